#!/usr/bin/env bash
# Builds both Debian packages and tries them as an administrator would:
# lintian, `apt install`, the installed program from PATH on the sample save,
# its man page, desktop entry, AppStream metadata and bash completion, then
# `apt purge` and a look for anything of theirs left behind.
#
# Installs and purges the packages orvantor and orvantor-gui on this machine
# (as root, or through sudo). PRESET is passed to make, so that CI reuses the
# build it has just tested.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
apt_get() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -y -qq -o Dpkg::Use-Pty=0 "$@"; }
fail() {
  echo "check-packages: $*" >&2
  exit 1
}

ORVANTOR_PACKAGE_CHECKS=ON tools/setup-debian.sh
make package PRESET="${PRESET:-default}"
cli_deb=$(ls build/packages/orvantor_*.deb)
gui_deb=$(ls build/packages/orvantor-gui_*.deb)

echo "== lintian"
status=0
report=$(lintian --fail-on error,warning --display-info "$cli_deb" "$gui_deb" 2>&1) || status=$?
# Lintian's own hint that it prefers not to run as root, which CI is, goes.
grep -v '^running with root privileges is not recommended!$' <<<"$report" || true
[[ $status -eq 0 ]] || fail "lintian found errors or warnings (above)"
echo "lintian: no errors, no warnings"

echo "== install with apt"
# A run cut short before its purge leaves them installed; start clean.
if dpkg-query -W orvantor orvantor-gui >/dev/null 2>&1; then apt_get purge orvantor-gui orvantor; fi
apt_get update
apt_get install "./$cli_deb" "./$gui_deb"
installed=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$installed" "$work"' EXIT
dpkg-query -L orvantor orvantor-gui | sort -u >"$installed"

echo "== the installed programs"
hash -r
[[ $(command -v orvantor) == /usr/bin/orvantor ]] || fail "orvantor on PATH is $(command -v orvantor)"
orvantor --version
orvantor convert samples/world.scp --world-file "$work/world.scp" --char-file "$work/chars.scp" \
  --move-chars samples/positions.txt --illegal-items samples/illegal.txt --quiet
golden=tests/golden/sample-npcs-pets-respawn-move-illegal
cmp "$work/world.scp" "$golden/world.scp" && cmp "$work/chars.scp" "$golden/chars.scp" ||
  fail "the installed orvantor converted the sample differently from the golden files"
echo "converted samples/world.scp as the golden files say"
# The window must find its Qt libraries and a platform plugin: it opens and
# stays up until it is stopped.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 orvantor-gui >/dev/null 2>&1 || status=$?
[[ $status -eq 124 ]] || fail "orvantor-gui ended with status $status instead of showing its window"
echo "orvantor-gui opens (offscreen)"

echo "== man pages, desktop entry, metadata"
man -w orvantor
man -w orvantor-gui
desktop-file-validate /usr/share/applications/org.orvantor.orvantor.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.orvantor.orvantor.metainfo.xml
for icon in scalable/apps/orvantor.svg 48x48/apps/orvantor.png 256x256/apps/orvantor.png; do
  [[ -f /usr/share/icons/hicolor/$icon ]] || fail "no icon $icon in the hicolor theme"
done

echo "== bash completion"
# Loaded on demand by bash-completion, as in an interactive shell; it must
# offer every --no- option that `orvantor convert --help` lists.
expected=$(orvantor convert --help | sed -nE 's/^ {1,6}(--no-[^ ,]*).*/\1/p' | sort)
offered=$(bash --norc --noprofile -c '
  source /usr/share/bash-completion/bash_completion
  __load_completion orvantor || exit 1
  function=$(complete -p orvantor | sed -nE "s/.*-F ([^ ]+).*/\1/p")
  COMP_WORDS=(orvantor convert --no-)
  COMP_CWORD=2
  COMP_LINE="orvantor convert --no-"
  COMP_POINT=${#COMP_LINE}
  "$function" orvantor --no- convert
  printf "%s\n" "${COMPREPLY[@]}"' | sort)
echo "orvantor convert --no-<TAB>:" $offered
[[ -n $expected && $offered == "$expected" ]] || fail "bash completion offered '$offered', not '$expected'"

echo "== purge"
apt_get purge orvantor-gui orvantor
if dpkg-query -W -f='${Status}\n' orvantor orvantor-gui 2>/dev/null | grep -q .; then
  fail "dpkg still knows the packages after the purge"
fi
left=0
while IFS= read -r path; do
  if [[ -d $path && ! -L $path ]]; then
    # A folder may stay when another package owns it or files of others lie
    # in it; one left with none of those is ours.
    if ! dpkg-query -S "$path" >/dev/null 2>&1 && [[ -z $(ls -A "$path") ]]; then
      echo "left behind: $path/"
      left=1
    fi
  elif [[ -e $path || -L $path ]]; then
    echo "left behind: $path"
    left=1
  fi
done <"$installed"
[[ $left -eq 0 ]] || fail "the purge left files of the packages behind"
echo "purged: no file of orvantor or orvantor-gui is left"
