# bash completion for ltpctl: commands, subcommands and options, read from ltpctl's own help so
# that they never fall behind it.
_ltpctl() {
    local cur words=() cmd=() w
    cur=${COMP_WORDS[COMP_CWORD]}
    for w in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        [[ $w == -* ]] || cmd+=("$w")
    done
    local help
    help=$(ltpctl "${cmd[@]}" --help 2>/dev/null) || help=$(ltpctl --help 2>/dev/null)
    if [[ $cur == -* ]]; then
        # The global options (--dry-run, --format, ...) are taken after the command too.
        words=$( { printf '%s\n' "$help"; ltpctl --help 2>/dev/null; } |
            grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
    else
        words=$(printf '%s\n' "$help" | awk '/^Subcommands:/{s=1;next} s&&/^  [a-z]/{sub(/,$/,"",$1); print $1} /^$/{s=0}')
    fi
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
}
complete -F _ltpctl ltpctl
