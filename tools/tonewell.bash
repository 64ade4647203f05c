# bash completion for tonewell
_tonewell() {
    local cur prev words cword
    _init_completion || return
    local commands="devices info play midi record tone level error help"
    local global="--driver -q --quiet -v --verbose -h --help --version"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --driver) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done
    case $prev in
        --driver) COMPREPLY=($(compgen -W "alsa virtual" -- "$cur")); return ;;
        -d|--device)
            local input=""
            [[ $command == record || $command == level ]] && input=capture
            local list
            list=$("${words[0]}" -q devices -l 2>/dev/null | awk -v kind="${input:-output}" '$1 == kind {sub(":", "", $2); print $2}')
            COMPREPLY=($(compgen -W "$list" -- "$cur"))
            return ;;
        -r|--rate) COMPREPLY=($(compgen -W "8000 11025 16000 22050 44100 48000 88200 96000" -- "$cur")); return ;;
        -c|--channels) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
        -b|--bits) COMPREPLY=($(compgen -W "8 16 24 32" -- "$cur")); return ;;
        -s|--seconds|-a|--amplitude|--volume) return ;;
    esac
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands $global" -- "$cur"))
        return
    fi
    local options
    case $command in
        devices) options="-l --list --count" ;;
        info) options="" ;;
        play|midi) options="-d --device --volume" ;;
        record) options="-d --device -r --rate -c --channels -b --bits -s --seconds" ;;
        tone) options="-d --device -r --rate -c --channels -b --bits -s --seconds -a --amplitude" ;;
        level) options="-d --device -r --rate -c --channels -b --bits -s --seconds" ;;
        help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
        *) options="" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $global -h --help" -- "$cur"))
    else
        case $command in
            info|play|midi|record) _filedir ;;
        esac
    fi
} &&
    complete -F _tonewell tonewell
