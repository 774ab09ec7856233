#!/usr/bin/env bash
# The Windows build, checked under Wine: cross-builds orvantor.exe and its
# tests (make windows), runs the tests in a fresh Wine prefix on a terminal
# of their own (the console's Ctrl+C needs one), then converts the sample
# save and a generated 64 MiB save with orvantor.exe and with the Linux
# build for five switch sets and compares the outputs byte for byte. Last,
# it times both on the 64 MiB save with every pass on (for information:
# Wine is no target of any speed goal). Uses the Linux build in build/
# (made when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

make --no-print-directory windows
exe=$root/build-windows/bin/orvantor.exe
tests=$root/build-windows/bin/orvantor_tests.exe
linux=$root/build/bin/orvantor
[[ -x $linux && -x $root/build/bin/gen_world ]] || make --no-print-directory build

# Only the DLLs of Windows itself: everything else is linked in.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort)
echo "orvantor.exe needs: $(echo $dlls)"
for dll in $dlls; do
  case $dll in
    kernel32.dll | msvcrt.dll | advapi32.dll | user32.dll | shell32.dll) ;;
    *) echo "orvantor.exe needs $dll, which Windows does not bring" >&2; exit 1 ;;
  esac
done

work=$(mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all LC_ALL=C.UTF-8
# No Mono or Gecko to offer: a console program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wineboot --init 2>/dev/null

echo "== windows: tests under Wine"
# Started on a terminal of their own (script), the tests get a console from
# Wine to send Ctrl+C on; their output goes to a file all the same.
log=$work/tests.log
# A program that ends before its summary has failed too.
if ! timeout -k 10 900 script -qec "wine '$tests' --gtest_color=no >'$log' 2>&1" /dev/null </dev/null >/dev/null ||
  ! grep -q '^\[  PASSED  \]' "$log" || grep -q '^\[  FAILED  \]' "$log"; then
  cat "$log"
  echo "the tests of orvantor.exe failed under Wine" >&2
  exit 1
fi
grep -E '^\[  (PASSED|SKIPPED) |^\[==========\] .* ran' "$log"

echo "== windows: the same bytes as the Linux build"
# Converts with orvantor.exe under Wine. A run takes about a second; one that
# has not ended after five minutes is stopped and, since Wine's own server can
# stall, tried once more with a fresh one. Both tries are said in the log.
convert_under_wine() {
  local status=0 try
  for try in 1 2; do
    status=0
    timeout -k 10 300 wine "$exe" convert "$@" >/dev/null 2>"$work/wine.err" || status=$?
    [[ $status -eq 124 || $status -eq 137 ]] || break
    echo "warning: orvantor.exe convert $* did not end within 300 s under Wine (try $try)" >&2
    wineserver -k 2>/dev/null || true
  done
  if [[ $status -ne 0 ]]; then
    cat "$work/wine.err" >&2
    echo "orvantor.exe convert $* failed under Wine with status $status" >&2
    exit 1
  fi
}
cd "$work"
"$root/build/bin/gen_world" --size 64M --seed 18 --out big.scp
cp "$root/samples/world.scp" sample.scp
cp "$root/samples/positions.txt" positions.txt
cp "$root/samples/illegal.txt" illegal.txt
sets=(
  "all passes|--move-chars positions.txt --illegal-items illegal.txt"
  "defaults|"
  "--no-delete-npcs|--no-delete-npcs"
  "--move-chars --illegal-items only|--no-delete-npcs --no-delete-respawn-points --move-chars positions.txt --illegal-items illegal.txt"
  "everything off|--no-delete-npcs --no-shrink-pets --no-delete-respawn-points"
)
for save in sample big; do
  for set in "${sets[@]}"; do
    name=${set%%|*}
    read -r -a options <<<"${set#*|}"
    # The lists' warnings are not what is checked here: shown only on failure.
    "$linux" convert $save.scp --world-file l-world.scp --char-file l-chars.scp -q "${options[@]}" >/dev/null 2>"$work/linux.err" ||
      { cat "$work/linux.err" >&2; exit 1; }
    convert_under_wine $save.scp --world-file w-world.scp --char-file w-chars.scp -q "${options[@]}"
    if ! cmp -s l-world.scp w-world.scp || ! cmp -s l-chars.scp w-chars.scp; then
      echo "$save.scp, $name: orvantor.exe wrote other bytes than the Linux build" >&2
      exit 1
    fi
    echo "$save.scp, $name: the same $(stat -c %s l-chars.scp) + $(stat -c %s l-world.scp) bytes"
  done
done

echo "== windows: time on the 64 MiB save, every pass (median of 3; Wine's start included)"
median() { sort -n | sed -n 2p; }
elapsed() { sed -n 's/^finished: .* (\([0-9.]*\) s)$/\1/p'; }
for side in linux wine; do
  walls=() runs=()
  for i in 1 2 3; do
    start=$(date +%s.%N)
    if [[ $side == linux ]]; then
      out=$("$linux" convert big.scp --world-file o-world.scp --char-file o-chars.scp -q \
        --move-chars positions.txt --illegal-items illegal.txt 2>/dev/null)
    else
      out=$(timeout -k 10 300 wine "$exe" convert big.scp --world-file o-world.scp --char-file o-chars.scp -q \
        --move-chars positions.txt --illegal-items illegal.txt 2>/dev/null | tr -d '\r')
    fi
    walls+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')")
    runs+=("$(echo "$out" | elapsed)")
  done
  printf '%-6s run %s s (as the summary tells it), wall %s s\n' "$side" \
    "$(printf '%s\n' "${runs[@]}" | median)" "$(printf '%s\n' "${walls[@]}" | median)"
done
