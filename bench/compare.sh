#!/usr/bin/env bash
# Side-by-side timing of several conversions (or checks) of one generated
# save: the variants run in turn, round after round, so that a slow spell
# of the shared machine falls on all of them alike; prints each variant's
# median, spread and ratio to the first, and how it fared against the first
# round by round.
#
#   bench/compare.sh [--size 1G] [--runs 7] [--seed 1] [--order random] \
#       [--no-settle] LABEL 'COMMAND' [LABEL 'COMMAND' ...]
#
# Like bench/run.sh, it copies the save twice (untimed) before each timed
# command, so that every variant meets memory the virtual machine's host has
# backed; --no-settle leaves that out.
#
# In a COMMAND, {src} stands for the save and {out} for an empty folder for
# its outputs, e.g.
#   bench/compare.sh plain 'build/bin/orvantor convert {src} --world-file {out}/w --char-file {out}/c -q' \
#                    report 'build/bin/orvantor convert {src} --world-file {out}/w --char-file {out}/c -q --report {out}/r'
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
gen=${GEN_WORLD:-$root/build/bin/gen_world}
size=1G runs=7 seed=1 order=random settle=1
while (($#)) && [[ $1 == --* ]]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --order) order=$2; shift 2 ;;
    --gen) gen=$2; shift 2 ;;
    --no-settle) settle=0; shift ;;
    *) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
(($# >= 2 && $# % 2 == 0)) || { sed -n '2,18p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

labels=() commands=()
while (($#)); do labels+=("$1"); commands+=("$2"); shift 2; done

cache=$root/bench/.cache
mkdir -p "$cache"
# shellcheck source=bench/cached_save.sh
source "$root/bench/cached_save.sh"
src=$(cached_save "$cache" "$gen" "$size" "$order" "$seed") || { echo "compare.sh: gen_world failed" >&2; exit 1; }
cat "$src" >/dev/null
work=$(mktemp -d "$cache/compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

for ((r = 1; r <= runs; r++)); do
  for i in "${!labels[@]}"; do
    rm -rf "$work/out"; mkdir "$work/out"; sync
    if ((settle)); then settle_memory "$src" "$work"; fi
    command=${commands[$i]//\{src\}/$src}
    command=${command//\{out\}/$work/out}
    t0=$EPOCHREALTIME
    status=0
    /usr/bin/time -f '%U %S' -o "$work/cpu" bash -c "$command" >"$work/log" 2>&1 || status=$?
    # check exits with 5 when it lists findings: that is a finished run.
    if [[ $status != 0 && $status != 5 ]]; then
      tail -n 20 "$work/log" >&2
      echo "compare.sh: ${labels[$i]} failed" >&2
      exit 1
    fi
    t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }' >>"$work/times.$i"
    [[ -z ${COMPARE_VERBOSE:-} ]] || echo "  ${labels[$i]} $(tail -n 1 "$work/times.$i")" >&2
    tail -n 1 "$work/cpu" | awk '{ printf "%.2f\n", $1 + $2 }' >>"$work/cpu.$i"
  done
  echo "  round $r of $runs done" >&2
done

echo "save: $src ($(stat -c %s "$src") bytes), $runs rounds; wall time, then user+system CPU time"
# Median, min and max of the numbers in a file, one a line.
stats() {
  sort -g "$1" | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'
}
first='' first_cpu=''
for i in "${!labels[@]}"; do
  read -r median low high < <(stats "$work/times.$i")
  read -r cpu cpu_low cpu_high < <(stats "$work/cpu.$i")
  [[ -n $first ]] || { first=$median; first_cpu=$cpu; }
  awk -v l="${labels[$i]}" -v m="$median" -v lo="$low" -v hi="$high" -v f="$first" \
    -v c="$cpu" -v clo="$cpu_low" -v chi="$cpu_high" -v fc="$first_cpu" \
    'BEGIN { printf "%-12s wall %7.3f s (%.3f-%.3f) ratio %.3f   cpu %7.2f s (%.2f-%.2f) ratio %.3f\n",
             l, m, lo, hi, m / f, c, clo, chi, c / fc }'
done

# The medians of two variants move with the machine's slow spells, which
# last longer than a round: a variant's time is set against the first's of
# the same round, and the difference counted in every round.
if ((${#labels[@]} > 1)); then
  echo "round by round against ${labels[0]}: median difference, and the rounds it was faster in"
  for ((i = 1; i < ${#labels[@]}; i++)); do
    for what in times cpu; do
      paste "$work/$what.0" "$work/$what.$i" | awk '{ print $2 - $1 }' >"$work/diff.$what"
    done
    read -r wall _ < <(stats "$work/diff.times")
    read -r cpu _ < <(stats "$work/diff.cpu")
    faster=$(awk '$1 < 0' "$work/diff.times" | wc -l)
    less=$(awk '$1 < 0' "$work/diff.cpu" | wc -l)
    printf '%-12s wall %+7.3f s, faster in %d of %d   cpu %+7.2f s, less in %d of %d\n' \
      "${labels[$i]}" "$wall" "$faster" "$runs" "$cpu" "$less" "$runs"
  done
fi
