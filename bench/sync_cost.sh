#!/usr/bin/env bash
# The cost of flushing both files to the disk before they are renamed: each
# generated save converted with and without --no-sync, alternating, in one
# run; prints the median and spread of each and their ratio.
#
#   bench/sync_cost.sh [--sizes "256M 1G"] [--runs 5]
#
# Uses build/bin/orvantor and build/bin/gen_world (build first); the saves
# are cached in bench/.cache as bench/run.sh does.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
orvantor=${ORVANTOR:-$root/build/bin/orvantor}
gen=${GEN_WORLD:-$root/build/bin/gen_world}
sizes="256M 1G"
runs=5
while (($#)); do
  case $1 in
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) sed -n '2,9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
cache=$root/bench/.cache
mkdir -p "$cache"
work=$(mktemp -d "$cache/sync.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/cached_save.sh
source "$root/bench/cached_save.sh"

median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }

printf '%-6s %-22s %-22s %s\n' size "synced (median, range)" "--no-sync" "ratio"
for size in $sizes; do
  src=$(cached_save "$cache" "$gen" "$size" random 1) || { echo "sync_cost.sh: gen_world failed for $size" >&2; exit 1; }
  cat "$src" >/dev/null
  : >"$work/synced"; : >"$work/unsynced"
  for ((r = 1; r <= runs; r++)); do
    for mode in synced unsynced; do
      rm -f "$work/w.scp" "$work/c.scp"
      sync
      extra=(); [[ $mode == unsynced ]] && extra=(--no-sync)
      t0=$EPOCHREALTIME
      "$orvantor" convert "$src" --world-file "$work/w.scp" --char-file "$work/c.scp" -q \
        --move-chars "$root/samples/positions.txt" --illegal-items "$root/samples/illegal.txt" \
        "${extra[@]}" >/dev/null
      t1=$EPOCHREALTIME
      awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }' >>"$work/$mode"
    done
  done
  s=$(median <"$work/synced"); u=$(median <"$work/unsynced")
  printf '%-6s %-22s %-22s %s\n' "$size" "$s s ($(spread <"$work/synced"))" \
    "$u s ($(spread <"$work/unsynced"))" "$(awk -v s="$s" -v u="$u" 'BEGIN { printf "%.2f", s / u }')"
done
