# bash completion for vigilo                                  -*- shell-script -*-

_vigilo() {
    local cur prev words cword
    _init_completion || return

    local i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            _command_offset $((i + 1))
            return
        fi
    done

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'why status start stop autowatch watch unwatch patterns timer notify
            report fleet help version -- --help --version' -- "$cur"))
        return
    fi
    case ${words[1]} in
        why)
            COMPREPLY=($(compgen -W '--json --all' -- "$cur"))
            ;;
        status | report | fleet)
            ((cword == 2)) && COMPREPLY=($(compgen -W '--json' -- "$cur"))
            ;;
        autowatch)
            ((cword == 2)) && COMPREPLY=($(compgen -W 'on off toggle' -- "$cur"))
            ;;
        unwatch)
            # The watch list of the running application, one pattern a line.
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(vigilo patterns 2>/dev/null)" -- "$cur"))
            COMPREPLY=("${COMPREPLY[@]// /\\ }")
            ;;
    esac
} &&
    complete -F _vigilo vigilo

# ex: filetype=sh
