# bash completion for wwnpool: its commands, each command's options, and the
# values of --page and --format.
_wwnpool() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="init alloc take release status list decode dump scan check local repair owners relabel vport registry who"
    local global="--state --local --registry --json --help --version"
    case $prev in
    --page) mapfile -t COMPREPLY < <(compgen -W "0 1 2 3 4 5 6 7" -- "$cur"); return ;;
    --format) mapfile -t COMPREPLY < <(compgen -W "colon bare sysfs vport libvirt libvirt-pool" -- "$cur"); return ;;
    --state) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    --local | --owner | --to | --rest | --wait | --parent | --registry | --host) return ;;
    esac
    local command="" word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case " $commands " in *" $word "*) command=$word && break ;; esac
    done
    local options=""
    if [[ $command == vport || $command == registry ]]; then
        local action=${COMP_WORDS[*]:2:COMP_CWORD-2}
        action=${action%% *}
        case $command:$action in
        vport: | vport:-*) mapfile -t COMPREPLY < <(compgen -W "create delete list $global" -- "$cur"); return ;;
        registry: | registry:-*) mapfile -t COMPREPLY < <(compgen -W "init sync check $global" -- "$cur"); return ;;
        vport:create) options="--page --owner --more --rest --format --upper --wait" ;;
        vport:delete) options="--owner --force --format --upper --wait" ;;
        vport:list) options="--format --upper" ;;
        registry:sync) options="--wait" ;;
        esac
        if [[ $action == create && $cur != -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(ls "${WWNPOOL_SYSFS:-/sys}/class/fc_host" 2>/dev/null)" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$options $global" -- "$cur")
        fi
        return
    fi
    case $command in
    "") mapfile -t COMPREPLY < <(compgen -W "$commands $global" -- "$cur"); return ;;
    init) options="--page --force --wait" ;;
    repair) options="--wait" ;;
    alloc) options="--page --pair --owner --more --rest --format --parent --upper --wait" ;;
    take) options="--pair --owner --format --upper --wait" ;;
    release) options="--page --all --force --owner --format --upper --wait" ;;
    list) options="--page --long --owner --rest --format --parent --upper" ;;
    status) options="--rest --format --parent --upper" ;;
    decode) options="--format --upper" ;;
    scan) options="--format --upper --wait" ;;
    dump) options="--page" ;;
    owners) options="--format --upper" ;;
    relabel) options="--owner --to --host --force --format --upper --wait" ;;
    who) options="--owner --format --upper" ;;
    esac
    if [[ $cur == -* || $command != check ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options $global" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -F _wwnpool wwnpool
