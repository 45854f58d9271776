# bash completion for orvane
_orvane() {
  local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
  local commands="info render dump compile bake graph bench validate snapshot show play install uninstall modules plugs help"
  if ((COMP_CWORD == 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$commands --version --help" -- "$current")
    return
  fi
  local command=${COMP_WORDS[1]} options=""
  case $command in
    help) ((COMP_CWORD == 2)) && mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$current"); return ;;
    info) options="--skin" ;;
    render) options="-o --midi --note --in --seconds --tail --levels --rate --block --program --param --midi-out --load-state --save-state" ;;
    dump | graph) options="-o" ;;
    compile) options="-o --warn-only" ;;
    bake) options="-o --from --lv2 --warn-only" ;;
    modules) options="--json --markdown" ;;
    plugs)
      if [[ $current != -* ]]; then
        local IFS=$'\n'
        mapfile -t COMPREPLY < <(compgen -W "$(orvane modules --json 2>/dev/null | sed -n 's/^ *"key": "\(.*\)",$/\1/p')" -- "$current")
        return
      fi
      options="--json" ;;
    bench) options="--voices --seconds --midi --from" ;;
    validate) options="--quick" ;;
    snapshot) options="-o --program --param --scale" ;;
    show) options="--quit-after --no-engine --midi -o --capture" ;;
    play) options="--audio --device --rate --period --midi-in --no-connect --keyboard --watch -o --quit-after" ;;
    install | uninstall) options="--system" ;;
  esac
  case $previous in
    --voices | --seconds | --tail | --rate | --block | --program | --param | --note | --scale | --quit-after) return ;;
    --audio) mapfile -t COMPREPLY < <(compgen -W "jack alsa pulse" -- "$current"); return ;;
    --period | --device | --midi-in) return ;;
    --skin) mapfile -t COMPREPLY < <(compgen -W "default" -- "$current"); return ;;
  esac
  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options --help" -- "$current")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$current")
    compopt -o filenames 2>/dev/null
  fi
}
complete -F _orvane orvane
