#compdef ltpctl
# zsh completion for ltpctl: commands, options and the keys of records with what they are, all
# from ltpctl itself, which asks the server for keys with a short time-out.
_ltpctl() {
    local -a found
    local line
    for line in ${(f)"$(ltpctl __complete ${words[2,CURRENT-1]} $PREFIX 2>/dev/null)"}; do
        if [[ $line == *$'\t'* ]]; then
            found+=("${${line%%$'\t'*}//:/\\:}:${line#*$'\t'}")
        else
            found+=("${line//:/\\:}")
        fi
    done
    _describe ltpctl found
}
_ltpctl "$@"
