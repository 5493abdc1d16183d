# bash completion for ltpctl: commands, options and the keys of records (users find <TAB>), all
# from ltpctl itself, which asks the server for keys with a short time-out.
_ltpctl() {
    local IFS=$'\n' cur=${COMP_WORDS[COMP_CWORD]} found
    found=$(ltpctl __complete "${COMP_WORDS[@]:1:COMP_CWORD-1}" "$cur" 2>/dev/null | cut -f1)
    COMPREPLY=($(compgen -W "$found" -- "$cur"))
}
complete -F _ltpctl ltpctl
