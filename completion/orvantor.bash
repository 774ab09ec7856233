# bash completion for orvantor(1)                          -*- shell-script -*-
# Self-contained: it needs no helper of the bash-completion package, so it
# also works when sourced from a plain ~/.bashrc. Every option that
# `orvantor --help` or a subcommand's --help prints must be offered here:
# tests/docs_sync_test.sh checks it.

_orvantor_commands="convert check help"
_orvantor_global_options="-h --help -V --version"
_orvantor_convert_options="-h --help --world-file --char-file --no-delete-npcs --no-shrink-pets
  --no-delete-respawn-points --move-chars --illegal-items --report --dry-run --backup --suffix
  --power-off --priority --no-sync --force --wait --json -q --quiet"
_orvantor_check_options="-h --help --all --json -q --quiet"

# Completes file names (and folders to walk into) matching the glob $2, or
# any file when $2 is empty, for the word $1.
_orvantor_files() {
  local IFS=$'\n'
  compopt -o filenames 2>/dev/null
  if [[ -n $2 ]]; then
    COMPREPLY=($(compgen -d -- "$1") $(compgen -f -X "!$2" -- "$1"))
  else
    COMPREPLY=($(compgen -f -- "$1"))
  fi
}

_orvantor() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  # "--world-file=out/" arrives as three words: the option, "=" and the value.
  if [[ $cur == "=" ]]; then
    cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    prev=${COMP_WORDS[COMP_CWORD-2]}
  fi

  local i command=""
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then
      command=${COMP_WORDS[i]}
      break
    fi
  done

  COMPREPLY=()
  case $command in
    "")
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$_orvantor_global_options" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "$_orvantor_commands" -- "$cur"))
      fi
      ;;
    convert)
      case $prev in
        --world-file | --char-file) _orvantor_files "$cur" '*.[sS][cC][pP]' ;;
        --move-chars | --illegal-items | --report) _orvantor_files "$cur" "" ;;
        --priority | --suffix) ;;  # a number from 1 to 500; a suffix
        *)
          if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$_orvantor_convert_options" -- "$cur"))
          else
            _orvantor_files "$cur" '*.[sS][cC][pP]'
          fi
          ;;
      esac
      ;;
    check)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$_orvantor_check_options" -- "$cur"))
      else
        _orvantor_files "$cur" '*.[sS][cC][pP]'
      fi
      ;;
    help)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-h --help" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "convert check" -- "$cur"))
      fi
      ;;
  esac
}

complete -F _orvantor orvantor
