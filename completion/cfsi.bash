# bash completion for cfsi: its commands, each command's options, archive
# files (*.cfsi) where an archive is expected and folders where a folder is.
# Installed as share/bash-completion/completions/cfsi; to try it from the
# sources: source completion/cfsi.bash

# Archive files, and folders to look into for them.
_cfsi_archives() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -f -X '!*.cfsi' -- "$1") $(compgen -d -- "$1"))
}

_cfsi_folders() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -d -- "$1"))
}

_cfsi() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--output=DIR": bash makes "=" a word of its own.
  if [[ $cur == = ]]; then
    cur=""
  elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  # The command is the first word that is not an option: cfsi itself takes
  # no option with a value.
  local command="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then
      command=${COMP_WORDS[i]}
      break
    fi
  done

  COMPREPLY=()
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W 'list extract cat diff verify pack -h --help --version' \
      -- "$cur"))
    return
  fi

  case "$command $prev" in
    "extract -o" | "extract --output") _cfsi_folders "$cur"; return ;;
    "extract --ext") COMPREPLY=($(compgen -W 'dds' -- "$cur")); return ;;
    "extract -j" | "extract --jobs") COMPREPLY=($(compgen -W "$(nproc 2>/dev/null || echo 1)" -- "$cur")); return ;;
    # A pattern is the user's to write.
    "list --exclude" | "extract --exclude") return ;;
    "pack -o" | "pack --output" | "pack --like") _cfsi_archives "$cur"; return ;;
  esac

  if [[ $cur == -* ]]; then
    local options
    case $command in
      list) options='--json --exclude' ;;
      extract) options='-o --output --ext --all -v --verbose --exclude -j --jobs' ;;
      cat | verify) options='' ;;
      diff) options='--json' ;;
      pack) options='-o --output --like' ;;
      *) return ;;
    esac
    COMPREPLY=($(compgen -W "$options -h --help" -- "$cur"))
    return
  fi

  case $command in
    list | extract | verify | diff) _cfsi_archives "$cur" ;;
    cat)
      # The archive, then entry paths, which only the archive knows.
      local words=0
      for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} != -* ]] && words=$((words + 1))
      done
      ((words == 1)) && _cfsi_archives "$cur"
      ;;
    pack) _cfsi_folders "$cur" ;;
  esac
}
complete -F _cfsi cfsi
