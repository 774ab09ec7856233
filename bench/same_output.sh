#!/usr/bin/env bash
# Checks that two builds of orvantor write the same bytes: both convert the
# sample and generated saves (random and ascending serials, sizes on either
# side of the two-thread threshold, and odd variants of them: LF-only line
# ends, indented lines, an "[EOF]" early on, no "[EOF]" at all), and dense
# saves (gen_world --dense), with several sets of switches, and every output
# file and change report is compared by its SHA-256. Prints one line per
# difference and exits 1 if there is any.
#
#   bench/same_output.sh --before PATH [--after PATH] [--sizes "1M 6M 40M"]
#                        [--dense-sizes "6M"]
#
# --after defaults to build/bin/orvantor; the saves are cached in bench/.cache.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
before=''
after=$root/build/bin/orvantor
gen=${GEN_WORLD:-$root/build/bin/gen_world}
sizes="1M 6M 40M"
dense_sizes="6M"
while (($#)); do
  case $1 in
    --before) before=$2; shift 2 ;;
    --after) after=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --dense-sizes) dense_sizes=$2; shift 2 ;;
    --gen) gen=$2; shift 2 ;;
    *) sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
[[ -x $before && -x $after && -x $gen ]] || { echo "same_output.sh: need --before, --after and gen_world binaries" >&2; exit 2; }

cache=$root/bench/.cache
mkdir -p "$cache"
work=$(mktemp -d "$cache/same.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/cached_save.sh
source "$root/bench/cached_save.sh"

# The cached save of a size and order, dense with a third argument; made
# once, and shared with bench/run.sh (its saves of seed 1).
save_of() {
  cached_save "$cache" "$gen" "$1" "$2" 1 "${3:-}" || { echo "same_output.sh: gen_world failed for $1 $2" >&2; exit 1; }
}

saves=("$root/samples/world.scp")
for size in $sizes; do
  for order in random ascending; do
    saves+=("$(save_of "$size" "$order")")
  done
  # The odd variants, of the random save only.
  src=$(save_of "$size" random)
  tr -d '\r' <"$src" >"$work/lf-$size.scp"
  sed '0~7s/^/  /' "$src" >"$work/indented-$size.scp"
  lines=$(wc -l <"$src")
  { head -n $((lines / 3)) "$src"; printf '[EOF]\r\n'; tail -n +$((lines / 3 + 1)) "$src"; } >"$work/early-eof-$size.scp"
  head -c $(($(stat -c %s "$src") * 3 / 4)) "$src" >"$work/no-eof-$size.scp"
  saves+=("$work/lf-$size.scp" "$work/indented-$size.scp" "$work/early-eof-$size.scp" "$work/no-eof-$size.scp")
done
for size in $dense_sizes; do
  for order in random ascending; do
    saves+=("$(save_of "$size" "$order" dense)")
  done
done

lists=(--move-chars "$root/samples/positions.txt" --illegal-items "$root/samples/illegal.txt")
switch_sets=(
  "all"
  "plain --no-delete-npcs --no-delete-respawn-points"
  "keep-pets --no-shrink-pets"
  "no-lists"
  "priority-1 --priority 1"
)

differences=0
checked=0
for src in "${saves[@]}"; do
  for set in "${switch_sets[@]}"; do
    read -r label switches <<<"$set"
    extra=()
    [[ $label == no-lists ]] || extra=("${lists[@]}")
    for side in before after; do
      bin=$before; [[ $side == after ]] && bin=$after
      rm -f "$work/$side".*
      # shellcheck disable=SC2086
      "$bin" convert "$src" --world-file "$work/$side.w" --char-file "$work/$side.c" \
        --report "$work/$side.r" --no-sync --force -q $switches "${extra[@]}" >/dev/null 2>&1 || true
    done
    for f in w c r; do
      a=missing-before b=missing-after
      [[ -f $work/before.$f ]] && a=$(sha256sum <"$work/before.$f" | cut -c1-64)
      [[ -f $work/after.$f ]] && b=$(sha256sum <"$work/after.$f" | cut -c1-64)
      checked=$((checked + 1))
      if [[ $a != "$b" ]]; then
        echo "DIFFERS: $(basename "$src") [$label] file $f" >&2
        differences=$((differences + 1))
      fi
    done
  done
  echo "  $(basename "$src"): done" >&2
done
echo "$checked files compared, $differences differ"
((differences == 0))
