# bash completion for kitemail-cli: commands, their words and options as the
# tool's own help lists them, and the keys of `config list`.

_kitemail_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local tool=${COMP_WORDS[0]} command="" verb="" i
    local -a global=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --data-dir) global+=(--data-dir "${COMP_WORDS[i + 1]}"); ((i++)) ;;
        --data-dir=*) global+=("${COMP_WORDS[i]}") ;;
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=${COMP_WORDS[i]}
            elif [[ -z $verb ]]; then
                verb=${COMP_WORDS[i]}
            fi
            ;;
        esac
    done
    case $prev in
    --data-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --body-file | --attach) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--data-dir --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$("$tool" --help 2>/dev/null |
                awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }')" -- "$cur"))
        fi
        return
    fi
    local help
    help=$("$tool" "$command" --help 2>/dev/null)
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)" -- "$cur"))
    elif [[ -z $verb ]]; then
        # The words after the command in its usage lines: list, get, add, ...
        COMPREPLY=($(compgen -W "$(sed -n "s/^ *\(Usage: \)\{0,1\}kitemail-cli \[--data-dir DIR\] $command \([a-z]\{1,\}\).*/\2/p" <<<"$help")" -- "$cur"))
    elif [[ $command == config && $verb =~ ^(get|set|unset)$ && $prev == "$verb" ]]; then
        COMPREPLY=($(compgen -W "$("$tool" "${global[@]}" config list 2>/dev/null | cut -d= -f1)" -- "$cur"))
    fi
}
complete -F _kitemail_cli kitemail-cli
