# fish completion for ltpctl: commands, options and the keys of records with what they are, all
# from ltpctl itself (a tab separates a word from its description, as fish reads it).
complete -c ltpctl -f -a '(ltpctl __complete (commandline -opc)[2..-1] (commandline -ct) 2>/dev/null)'
