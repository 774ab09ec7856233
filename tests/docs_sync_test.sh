#!/usr/bin/env bash
# The man page and both shell completions must offer every subcommand and
# option that the command line's own --help prints. The options are read
# from the real --help output of `orvantor` and of each of its subcommands,
# so an option added to the program without its documentation fails here.
#
# usage: docs_sync_test.sh ORVANTOR_BINARY SOURCE_DIR [ORVANTOR_GUI_BINARY]
#
# Given the window's program too, every option of `orvantor-gui --help` must
# stand under .SH OPTIONS of man/orvantor-gui.1.
#
# Where each thing must stand: in man/orvantor.1, a global option under
# .SH OPTIONS and a subcommand's option in that subcommand's own .SS block,
# whose heading begins with "orvantor SUBCOMMAND"; in the zsh completion, a
# subcommand's option in the branch of the case that starts with
# "SUBCOMMAND)". The bash completion is not read but run, as bash runs it.
set -uo pipefail

cli=$1
src=$2
gui=${3:-}
man_page=$src/man/orvantor.1
bash_completion=$src/completion/orvantor.bash
zsh_completion=$src/completion/_orvantor

failures=0
checks=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The option names of a help text. An option line is indented a little (the
# continuation of a long description a lot) and names its options before
# the first run of two blanks: "  -q,--quiet", "  -h, --help" and
# "  --priority INT:INT in [1 - 500]=250" give -q, --quiet, -h, --help and
# --priority.
options_in() {
  sed -nE 's/^ {1,6}(-.*)$/\1/p' | sed -E 's/  .*//; s/\{[^}]*\}//g; s/!//g; s/[, ]+/\n/g' |
    grep -E '^--?[[:alnum:]]' | sort -u
}

# The subcommand names listed under a help text's "Subcommands:" heading.
subcommands_in() {
  awk 'tolower($0) ~ /^subcommands:/ { on = 1; next }
       /^$/ || /^[^ ]/ { on = 0 }
       on && /^ +[A-Za-z0-9]/ { print $1 }'
}

# A man page as text: roff's "\-" is a plain hyphen, font changes go.
man_text_of() {
  sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/\\f\(..//g; s/\\e/\\/g' "$1"
}
man_text=$(man_text_of "$man_page")

# The lines of the man page from the heading that matches $1 to the next.
man_block() {
  awk -v head="$1" '$0 ~ head { on = 1; next } on && /^\.S[HS]/ { exit } on' <<<"$man_text"
}

# The zsh completion's branch for a subcommand: from "NAME)" to ";;".
zsh_block() {
  awk -v head="^ *$1\\\\)" '$0 ~ head { on = 1 } on { print } on && /;;/ { exit }' "$zsh_completion"
}

# Whether the text on stdin names the option or word $1 on its own, so that
# --force is not found inside --forced.
names() {
  grep -qE -- "(^|[^-[:alnum:]_])$1([^-[:alnum:]_]|$)"
}

# What the installed-style bash completion offers for a command line whose
# last word is being completed, found through `complete -p orvantor`.
bash_offers() {
  bash --norc --noprofile -c '
    source "$1" || exit 1
    shift
    function=$(complete -p orvantor 2>/dev/null | sed -nE "s/.*-F ([^ ]+).*/\1/p")
    [[ -n $function ]] || { echo "no completion registered for orvantor" >&2; exit 1; }
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    "$function" orvantor "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' bash "$bash_completion" orvantor "$@"
}

if command -v zsh >/dev/null && ! zsh -n "$zsh_completion"; then
  fail "$zsh_completion is not valid zsh"
fi

# The version the man pages name is the program's.
version=$("$cli" --version | awk '{ print $2; exit }')
for page in "$man_page" "$src/man/orvantor-gui.1"; do
  grep -qE "^\\.TH .*\"orvantor $version\"" "$page" ||
    fail "$page: its .TH line does not name version $version of 'orvantor --version'"
done

# Walk the commands breadth first: "" is orvantor itself. A subcommand whose
# help is one already read (a `help` command printing the main help) is not
# walked again.
queue=("")
seen_helps=""
while ((${#queue[@]} > 0)); do
  command=${queue[0]}
  queue=("${queue[@]:1}")
  read -ra words <<<"$command"
  if ! help=$("$cli" "${words[@]}" --help 2>&1); then
    fail "'orvantor $command --help' exited with a failure status"
    continue
  fi
  digest=$(printf '%s' "$help" | cksum)
  [[ $seen_helps == *"|$digest|"* ]] && continue
  seen_helps+="|$digest|"

  if [[ -z $command ]]; then
    man_section=$(man_block '^[.]SH OPTIONS')
    zsh_section=$(cat "$zsh_completion")
  else
    man_section=$(man_block "^[.]SS \"?orvantor $command( |\"|\$)")
    zsh_section=$(zsh_block "${words[-1]}")
    [[ -n $man_section ]] || fail "$man_page: no .SS block for 'orvantor $command'"
    [[ -n $zsh_section ]] || fail "$zsh_completion: no '${words[-1]})' branch for 'orvantor $command'"
  fi
  offered=$(bash_offers "${words[@]}" -)

  for option in $(printf '%s\n' "$help" | options_in); do
    checks=$((checks + 1))
    where="'orvantor $command${command:+ }$option'"
    names "$option" <<<"$man_section" || fail "$where is missing from the man page"
    names "$option" <<<"$zsh_section" || fail "$where is missing from the zsh completion"
    grep -qxF -- "$option" <<<"$offered" || fail "$where is not offered by the bash completion"
  done

  subcommands=$(printf '%s\n' "$help" | subcommands_in)
  offered=$(bash_offers "${words[@]}" "")
  for sub in $subcommands; do
    checks=$((checks + 1))
    where="'orvantor $command${command:+ }$sub'"
    grep -qE "^\\.SS \"?orvantor $command${command:+ }$sub( |\"|\$)" <<<"$man_text" ||
      fail "$where has no .SS block in the man page"
    grep -qE "^ *'$sub:" "$zsh_completion" || fail "$where is not listed by the zsh completion"
    grep -qxF -- "$sub" <<<"$offered" || fail "$where is not offered by the bash completion"
    ((${#words[@]} < 3)) && queue+=("$command${command:+ }$sub")
  done
done

if [[ -n $gui ]]; then
  # Answered before Qt starts; offscreen and a time limit keep a window that
  # opens instead from waiting for a display or a hand to close it.
  if ! help=$(QT_QPA_PLATFORM=offscreen timeout 20 "$gui" --help 2>&1); then
    fail "'orvantor-gui --help' did not print its help and exit with 0"
  else
    man_text=$(man_text_of "$src/man/orvantor-gui.1")
    man_section=$(man_block '^[.]SH OPTIONS')
    for option in $(printf '%s\n' "$help" | options_in); do
      checks=$((checks + 1))
      names "$option" <<<"$man_section" ||
        fail "'orvantor-gui $option' is missing from OPTIONS of man/orvantor-gui.1"
    done
  fi
fi

echo "docs_sync: $checks options and subcommands of --help checked against the man page and completions"
if ((checks == 0)); then
  fail "no option found in 'orvantor --help'; has its format changed?"
fi
((failures == 0))
