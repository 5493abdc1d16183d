# fish completion for ltpctl, read from ltpctl's own help.
function __ltpctl_words
    set -l cmd (commandline -opc)[2..-1]
    set -l plain
    for w in $cmd
        string match -q -- '-*' $w; or set plain $plain $w
    end
    set -l help (ltpctl $plain --help 2>/dev/null; or ltpctl --help 2>/dev/null)
    if string match -q -- '-*' (commandline -ct)
        # The global options (--dry-run, --format, ...) are taken after the command too.
        begin; printf '%s\n' $help; ltpctl --help 2>/dev/null; end | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u
    else
        printf '%s\n' $help | awk '/^Subcommands:/{s=1;next} s&&/^  [a-z]/{sub(/,$/,"",$1); print $1} /^$/{s=0}'
    end
end
complete -c ltpctl -f -a '(__ltpctl_words)'
