#compdef ltpctl
# zsh completion for ltpctl, read from ltpctl's own help.
_ltpctl() {
    local -a cmd words
    local w
    for w in ${words[2,CURRENT-1]}; do
        [[ $w == -* ]] || cmd+=$w
    done
    local help
    help=$(ltpctl $cmd --help 2>/dev/null) || help=$(ltpctl --help 2>/dev/null)
    if [[ $PREFIX == -* ]]; then
        # The global options (--dry-run, --format, ...) are taken after the command too.
        words=(${(f)"$( { print -r -- $help; ltpctl --help 2>/dev/null } | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)"})
    else
        words=(${(f)"$(print -r -- $help | awk '/^Subcommands:/{s=1;next} s&&/^  [a-z]/{sub(/,$/,"",$1); print $1} /^$/{s=0}')"})
    fi
    compadd -a words
}
_ltpctl "$@"
