#!/usr/bin/env bash
# End-to-end benchmark: converts generated world saves with the orvantor
# command line and compares each conversion with the cost of merely copying
# the source twice (the two output files together are about as large as the
# source, so reading it and writing it twice is the floor no converter beats).
#
#   bench/run.sh [--orvantor PATH] [--gen PATH] [--sizes "128M 1G"]
#                [--runs 5] [--orders "random ascending"] [--seed 1]
#
# The same settings can come from the environment: ORVANTOR, GEN_WORLD,
# BENCH_SIZES, BENCH_RUNS, BENCH_ORDERS, BENCH_SEED.  Nothing is built here;
# build first (see bench/README.md).
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and awk

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

orvantor=${ORVANTOR:-$root/build/bin/orvantor}
gen=${GEN_WORLD:-$root/build/bin/gen_world}
sizes=${BENCH_SIZES:-128M 1G}
runs=${BENCH_RUNS:-5}
orders=${BENCH_ORDERS:-random ascending}
seed=${BENCH_SEED:-1}

usage() {
  sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

while (($#)); do
  case $1 in
    --orvantor) orvantor=$2; shift 2 ;;
    --gen) gen=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --orders) orders=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument: $1" >&2; usage >&2; exit 2 ;;
  esac
done

die() { echo "run.sh: $*" >&2; exit 1; }

[[ -x /usr/bin/time ]] || die "/usr/bin/time is missing (it measures the peak memory); install it with: apt-get install time"
[[ -x $orvantor ]] || die "no orvantor binary at $orvantor (build it first, or pass --orvantor PATH)"
[[ -x $gen ]] || die "no gen_world binary at $gen (build it first, or pass --gen PATH)"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs must be a positive whole number, not '$runs'"
for o in $orders; do
  [[ $o == random || $o == ascending ]] || die "unknown order '$o' (random or ascending)"
done

positions=$root/samples/positions.txt
illegal=$root/samples/illegal.txt
[[ -f $positions && -f $illegal ]] || die "samples/positions.txt or samples/illegal.txt is missing"

cache=$root/bench/.cache
mkdir -p "$cache"
# Outputs live next to the cache so that copies and conversions write to the
# same file system the source is read from.
work=$(mktemp -d "$cache/run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The cache key names the generator build too: a changed generator writes
# other bytes for the same size, seed and order.
gen_tag=$(sha1sum "$gen" | cut -c1-8)

# Median of numbers given one a line on stdin.
median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) exit 1
    if (NR % 2) printf "%.3f\n", v[(NR + 1) / 2]
    else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The times of a log, one after the other.
each() { awk '{ printf "%s%.2f", (NR > 1 ? " " : ""), $1 }' "$1"; }

# Runs a command under /usr/bin/time; appends "wall_seconds peak_KiB" to $1.
# The wall time is taken around the call with microsecond resolution: the
# 10 ms steps of time's own %e are too coarse for copy floors of a few
# hundredths of a second.
timed() {
  local log=$1; shift
  local t0=$EPOCHREALTIME t1
  /usr/bin/time -f '%e %M' -o "$work/time.out" "$@" || return
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" -v m="$(tail -n 1 "$work/time.out" | cut -d' ' -f2)" \
    'BEGIN { printf "%.6f %s\n", b - a, m }' >>"$log"
}

source_for() {  # size order -> path of the cached save
  local size=$1 order=$2
  local path=$cache/world-$size-s$seed-$order-$gen_tag.scp
  if [[ ! -s $path ]]; then
    echo "generating $size ($order, seed $seed) ..." >&2
    "$gen" --size "$size" --seed "$seed" --order "$order" --out "$path.part" \
      || die "gen_world failed for $size $order"
    mv "$path.part" "$path"
    sync "$path"
  fi
  printf '%s\n' "$path"
}

echo "orvantor:  $orvantor ($("$orvantor" --version 2>/dev/null | head -n 1 || echo '?'))"
echo "gen_world: $gen (seed $seed)"
echo "runs:      $runs per save, round all saves in turn, conversion and copy floor interleaved"
echo "machine:   $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)"
echo

results=()  # "size order bytes conv_s copy_s peak_kib"
# Every save is generated (or found in the cache) and read once first, so
# that every timed run starts from a warm page cache.
for size in $sizes; do
  for order in $orders; do
    src=$(source_for "$size" "$order")
    cat "$src" >/dev/null
    : >"$work/conv.$size.$order"
    : >"$work/copy.$size.$order"
  done
done
# The runs go round all saves in turn, so that a slow spell of this shared
# machine falls on every size and order alike and the ratios between them
# hold.
for ((r = 1; r <= runs; r++)); do
  for size in $sizes; do
    for order in $orders; do
      src=$(source_for "$size" "$order")
      # Each timed command starts alike: no outputs left, nothing dirty in
      # the page cache waiting to be written back while it runs.
      rm -f "$work/world.scp" "$work/chars.scp"
      sync
      if ! timed "$work/conv.$size.$order" "$orvantor" convert "$src" \
          --world-file "$work/world.scp" --char-file "$work/chars.scp" \
          --move-chars "$positions" --illegal-items "$illegal" >"$work/orvantor.log" 2>&1; then
        tail -n 20 "$work/orvantor.log" >&2
        die "orvantor failed on $src"
      fi
      rm -f "$work/world.scp" "$work/chars.scp" "$work/copy.a" "$work/copy.b"
      sync
      timed "$work/copy.$size.$order" bash -c 'cat "$1" > "$2"; cat "$1" > "$3"' _ \
        "$src" "$work/copy.a" "$work/copy.b"
      rm -f "$work/copy.a" "$work/copy.b"
    done
  done
  echo "  run $r of $runs done" >&2
done
for size in $sizes; do
  for order in $orders; do
    src=$(source_for "$size" "$order")
    bytes=$(stat -c %s "$src")
    conv_log=$work/conv.$size.$order
    copy_log=$work/copy.$size.$order
    conv_s=$(cut -d' ' -f1 "$conv_log" | median)
    copy_s=$(cut -d' ' -f1 "$copy_log" | median)
    peak=$(cut -d' ' -f2 "$conv_log" | median)
    results+=("$size $order $bytes $conv_s $copy_s $peak")
    echo "  $size $order: conversion ${conv_s}s ($(each "$conv_log")), copy ${copy_s}s ($(each "$copy_log"))" >&2
  done
done

echo
printf '%-6s %-10s %9s %8s %8s %8s %9s %9s\n' \
  size order 'median s' 'MiB/s' 'copy s' 'x copy' 'peak MiB' 'peak/src'
for row in "${results[@]}"; do
  read -r size order bytes conv_s copy_s peak <<<"$row"
  awk -v size="$size" -v order="$order" -v b="$bytes" -v t="$conv_s" -v c="$copy_s" -v p="$peak" '
    function ratio(x, y) { return y > 0 ? sprintf("%.2f", x / y) : "-" }
    BEGIN {
      mib = b / 1048576
      printf "%-6s %-10s %9.3f %8s %8.3f %8s %9.1f %9.2f\n", size, order, t,
        (t > 0 ? sprintf("%.1f", mib / t) : "-"), c, ratio(t, c), p / 1024, p * 1024 / b
    }'
done

echo
# How the time grows from the smallest to the largest save, against how the
# size grows: equal ratios mean linear scaling.
first_size=${sizes%% *}
last_size=${sizes##* }
if [[ $first_size != "$last_size" ]]; then
  for order in $orders; do
    small='' large=''
    for row in "${results[@]}"; do
      read -r size o bytes conv_s _ _ <<<"$row"
      [[ $o == "$order" && $size == "$first_size" ]] && small="$bytes $conv_s"
      [[ $o == "$order" && $size == "$last_size" ]] && large="$bytes $conv_s"
    done
    awk -v s="$small" -v l="$large" -v o="$order" -v a="$first_size" -v z="$last_size" 'BEGIN {
      split(s, x, " "); split(l, y, " ")
      printf "scaling (%s): time %s / time %s = %s (size ratio %.2f)\n", o, z, a,
        (x[2] > 0 ? sprintf("%.2f", y[2] / x[2]) : "-"), y[1] / x[1] }'
  done
fi
if [[ " $orders " == *" random "* && " $orders " == *" ascending "* ]]; then
  for size in $sizes; do
    rt='' at=''
    for row in "${results[@]}"; do
      read -r s o _ conv_s _ _ <<<"$row"
      [[ $s == "$size" && $o == random ]] && rt=$conv_s
      [[ $s == "$size" && $o == ascending ]] && at=$conv_s
    done
    awk -v r="$rt" -v a="$at" -v s="$size" 'BEGIN {
      printf "ascending / random (%s): %s\n", s, (r > 0 ? sprintf("%.2f", a / r) : "-") }'
  done
fi
