#!/usr/bin/env bash
# End-to-end benchmark: converts generated world saves with the orvantor
# command line, with --no-sync and synced (the default), and sets each
# conversion beside the floors measured in the same run: copying the source
# twice into files removed at once (nothing reaches the disk), and copying
# it twice and syncing. Prints the ratios, the peak of anonymous memory and
# which figures are within their goals. Dense saves (gen_world --dense, the
# most sections per byte) are converted too, for their memory alone.
#
#   bench/run.sh [--orvantor PATH] [--gen PATH] [--sizes "128M 256M 1G"]
#                [--runs 5] [--orders "random ascending"] [--seed 1] [--window]
#                [--dense-sizes "1G"]    ("" for none)
#
# The same settings can come from the environment: ORVANTOR, GEN_WORLD,
# BENCH_SIZES, BENCH_RUNS, BENCH_ORDERS, BENCH_SEED, BENCH_WINDOW=1,
# BENCH_DENSE_SIZES, BENCH_SETTLE=0 (no settling copy before each timed
# command). Nothing is built here; build first (see bench/README.md).
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME and awk

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

orvantor=${ORVANTOR:-$root/build/bin/orvantor}
gen=${GEN_WORLD:-$root/build/bin/gen_world}
sizes=${BENCH_SIZES:-128M 256M 1G}
runs=${BENCH_RUNS:-5}
orders=${BENCH_ORDERS:-random ascending}
seed=${BENCH_SEED:-1}
window=${BENCH_WINDOW:-}
settle=${BENCH_SETTLE:-1}
quiet=${BENCH_QUIET:-2}
# Set but empty turns the dense saves off.
dense_sizes=${BENCH_DENSE_SIZES-1G}
# The dense saves are converted in the first rounds only: their figure is
# the memory peak, which varies little from run to run.
dense_runs=3

usage() {
  sed -n '2,17p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

while (($#)); do
  case $1 in
    --orvantor) orvantor=$2; shift 2 ;;
    --gen) gen=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --orders) orders=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --window) window=1; shift ;;
    --dense-sizes) dense_sizes=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument: $1" >&2; usage >&2; exit 2 ;;
  esac
done

die() { echo "run.sh: $*" >&2; exit 1; }

bin=$(dirname "$orvantor")
peak_memory=$bin/peak_memory
gui_convert=$bin/gui_convert
[[ -x $orvantor ]] || die "no orvantor binary at $orvantor (build it first, or pass --orvantor PATH)"
[[ -x $gen ]] || die "no gen_world binary at $gen (build it first, or pass --gen PATH)"
[[ -x $peak_memory ]] || die "no peak_memory binary next to orvantor (it is built with the benchmarks: ORVANTOR_BENCH=ON and Google Benchmark installed)"
[[ -z $window || -x $gui_convert ]] || die "--window needs gui_convert next to orvantor (a build with the window)"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "--runs must be a positive whole number, not '$runs'"
((dense_runs <= runs)) || dense_runs=$runs
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

# shellcheck source=bench/cached_save.sh
source "$root/bench/cached_save.sh"

# Median, minimum and maximum of numbers given one a line on stdin.
stats() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) exit 1
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'
}

# Runs a command; appends "wall_seconds peak_anon_KiB" to the log $1.
timed() {
  local log=$1; shift
  "$peak_memory" "$log" "$@"
}

source_for() {  # size order [dense] -> path of the cached save
  cached_save "$cache" "$gen" "$1" "$2" "$seed" "${3:-}" || die "gen_world failed for $1 $2 ${3:-}"
}

# Starts a timed command alike each time: its outputs gone, nothing dirty in
# the page cache waiting to be written back while it runs, and (given the
# source) the machine's memory settled. A virtual machine may hand memory
# that was freed a moment ago back to its host, and a process that then
# touches it pays the host to back it again: up to 3 s per GiB here, for the
# copy floor as much as for a conversion, and more or less from one run to
# the next. An untimed copy of the source right before each timed command
# leaves freshly backed memory behind for it, so that the figures measure
# the command and not the host (BENCH_SETTLE=0 turns this off). Deleting
# files that were synced to the disk (the ext4 here discards their blocks)
# slows whatever runs in the next second or two by about 0.1 s on 1 GiB,
# so after a synced step it first waits BENCH_QUIET seconds: otherwise
# every conversion with --no-sync would follow the synced copy of the save
# before it, and no copy floor would follow such a deletion.
synced_behind=0
fresh() {
  rm -f "$work/world.scp" "$work/chars.scp" "$work/copy.a" "$work/copy.b"
  sync
  if ((synced_behind)); then
    sleep "$quiet"
    synced_behind=0
  fi
  if [[ -n ${1:-} && $settle == 1 ]]; then
    settle_memory "$1" "$work"
  fi
}

convert() {  # log src [extra switches]
  local log=$1 src=$2; shift 2
  if ! timed "$log" "$orvantor" convert "$src" \
      --world-file "$work/world.scp" --char-file "$work/chars.scp" \
      --move-chars "$positions" --illegal-items "$illegal" -q "$@" >"$work/orvantor.log" 2>&1; then
    tail -n 20 "$work/orvantor.log" >&2
    die "orvantor failed on $src"
  fi
}

echo "orvantor:  $orvantor ($("$orvantor" --version 2>/dev/null | head -n 1 || echo '?'))"
echo "gen_world: $gen (seed $seed)"
echo "runs:      $runs per save, round all saves in turn; each conversion beside its floor"
[[ -z $dense_sizes ]] || echo "dense:     $dense_sizes ($dense_runs runs each, memory only)"
echo "machine:   $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# Every save is generated (or found in the cache) and read once first, so
# that every timed run starts from a warm page cache.
for size in $sizes; do
  for order in $orders; do
    src=$(source_for "$size" "$order")
    cat "$src" >/dev/null
  done
done
for size in $dense_sizes; do
  for order in $orders; do
    src=$(source_for "$size" "$order" dense)
    cat "$src" >/dev/null
  done
done
# The runs go round all saves in turn, so that a slow spell of this shared
# machine falls on every size and order alike, and each conversion is
# followed at once by the floor it is set against.
for ((r = 1; r <= runs; r++)); do
  for size in $sizes; do
    for order in $orders; do
      src=$(source_for "$size" "$order")
      key=$size.$order
      fresh "$src"
      convert "$work/nosync.$key" "$src" --no-sync
      fresh "$src"
      timed "$work/memcopy.$key" bash -c 'cat "$1" > "$2"; cat "$1" > "$3"; rm -f "$2" "$3"' _ \
        "$src" "$work/copy.a" "$work/copy.b"
      fresh "$src"
      convert "$work/synced.$key" "$src"
      synced_behind=1
      fresh "$src"
      timed "$work/synccopy.$key" bash -c 'cat "$1" > "$2"; cat "$1" > "$3"; sync' _ \
        "$src" "$work/copy.a" "$work/copy.b"
      synced_behind=1
    done
  done
  if ((r <= dense_runs)); then
    for size in $dense_sizes; do
      for order in $orders; do
        src=$(source_for "$size" "$order" dense)
        fresh "$src"
        convert "$work/dense.$size.$order" "$src" --no-sync
        # Chars and items of the save, for its bytes per record.
        awk '$1 == "characters:" || $1 == "items:" { n += $2 } END { print n + 0 }' \
          "$work/orvantor.log" >"$work/records.$size.$order"
      done
    done
  fi
  echo "  run $r of $runs done" >&2
done
fresh

# The figures of one log: median, min and max of the times; median of the
# memory peaks.
times_of() { cut -d' ' -f1 "$work/$1" | stats; }
anon_of() { cut -d' ' -f2 "$work/$1" | stats | cut -d' ' -f1; }
median_of() { times_of "$1" | cut -d' ' -f1; }

echo "Medians of $runs runs (min-max); x = conversion / floor of the same runs."
printf '%-5s %-9s | %-20s %-20s %5s | %-20s %-20s %5s | %8s %5s\n' \
  size order "--no-sync s" "memory copy s" "x" "synced s" "synced copy s" "x" "anon MiB" "/src"
for size in $sizes; do
  for order in $orders; do
    key=$size.$order
    src=$(source_for "$size" "$order")
    bytes=$(stat -c %s "$src")
    read -r n n_lo n_hi < <(times_of "nosync.$key")
    read -r m m_lo m_hi < <(times_of "memcopy.$key")
    read -r s s_lo s_hi < <(times_of "synced.$key")
    read -r c c_lo c_hi < <(times_of "synccopy.$key")
    anon=$(anon_of "nosync.$key")
    awk -v size="$size" -v order="$order" -v b="$bytes" -v anon="$anon" \
      -v n="$n" -v nl="$n_lo" -v nh="$n_hi" -v m="$m" -v ml="$m_lo" -v mh="$m_hi" \
      -v s="$s" -v sl="$s_lo" -v sh="$s_hi" -v c="$c" -v cl="$c_lo" -v ch="$c_hi" 'BEGIN {
      printf "%-5s %-9s | %6.3f (%.2f-%.2f)  %6.3f (%.2f-%.2f)  %5.2f | %6.3f (%.2f-%.2f)  %6.3f (%.2f-%.2f)  %5.2f | %8.1f %5.2f\n",
        size, order, n, nl, nh, m, ml, mh, (m > 0 ? n / m : 0), s, sl, sh, c, cl, ch, (c > 0 ? s / c : 0),
        anon / 1024, anon * 1024 / b }'
  done
done

if [[ -n $dense_sizes ]]; then
  echo
  echo "Dense saves (gen_world --dense), --no-sync: medians of $dense_runs runs (min-max)."
  printf '%-5s %-9s | %9s | %-20s | %8s %5s\n' size order "bytes/rec" "--no-sync s" "anon MiB" "/src"
  for size in $dense_sizes; do
    for order in $orders; do
      key=$size.$order
      bytes=$(stat -c %s "$(source_for "$size" "$order" dense)")
      read -r n n_lo n_hi < <(times_of "dense.$key")
      awk -v size="$size" -v order="$order" -v b="$bytes" -v anon="$(anon_of "dense.$key")" \
        -v rec="$(cat "$work/records.$key")" -v n="$n" -v nl="$n_lo" -v nh="$n_hi" 'BEGIN {
        printf "%-5s %-9s | %9.1f | %6.3f (%.2f-%.2f)  | %8.1f %5.2f\n",
          size, order, (rec > 0 ? b / rec : 0), n, nl, nh, anon / 1024, anon * 1024 / b }'
    done
  done
fi

echo
echo "Goals:"
verdict() {  # label value limit_low limit_high
  awk -v l="$1" -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN {
    ok = (v >= lo && v <= hi)
    printf "  %-60s %6.2f  %s\n", l, v, (ok ? "within" : "NOT within") }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", (b > 0 ? a / b : 0) }'; }
# The goals hold for saves of 128 MiB and more; below, the start of the
# process and the first chunks of each store weigh too much.
for size in $sizes; do
  limit=''
  case $size in
    128M) ;;
    256M) limit=2.5 ;;
    1G) limit=2.0 ;;
    *) continue ;;
  esac
  for order in $orders; do
    key=$size.$order
    if [[ -n $limit ]]; then
      verdict "$size $order --no-sync / memory copy (at most $limit)" \
        "$(ratio "$(median_of "nosync.$key")" "$(median_of "memcopy.$key")")" 0 "$limit"
    fi
    verdict "$size $order synced / synced copy (at most 1.3)" \
      "$(ratio "$(median_of "synced.$key")" "$(median_of "synccopy.$key")")" 0 1.3
    src=$(source_for "$size" "$order")
    verdict "$size $order anonymous memory / source (at most 1.0)" \
      "$(ratio "$(anon_of "nosync.$key")" "$(stat -c %s "$src" | awk '{ print $1 / 1024 }')")" 0 1.0
  done
done
# Linear scaling: the 1G conversion takes 8 times the 128M one, give or
# take 15 %.
if [[ " $sizes " == *" 128M "* && " $sizes " == *" 1G "* ]]; then
  for order in $orders; do
    verdict "scaling ($order): --no-sync 1G / 128M (8 +- 15 %)" \
      "$(ratio "$(median_of "nosync.1G.$order")" "$(median_of "nosync.128M.$order")")" 6.8 9.2
  done
fi

# Anonymous memory on the dense saves, from 128 MiB on like the others.
for size in $dense_sizes; do
  for order in $orders; do
    bytes=$(stat -c %s "$(source_for "$size" "$order" dense)")
    ((bytes >= 128 << 20)) || continue
    verdict "dense $size $order anonymous memory / source (at most 1.0)" \
      "$(ratio "$(anon_of "dense.$size.$order")" "$((bytes / 1024))")" 0 1.0
  done
done

# The floor itself is not the same from run to run (see fresh): beside the
# goals, each conversion over the fastest of its floor's runs, which shows
# how far it is from the copy when the host had its memory backed.
fastest_header=1
for size in $sizes; do
  [[ $size == 256M || $size == 1G ]] || continue
  if ((fastest_header)); then
    echo
    echo "Not goals: --no-sync median / fastest memory copy of the same runs"
    fastest_header=0
  fi
  for order in $orders; do
    key=$size.$order
    fastest=$(times_of "memcopy.$key" | cut -d' ' -f2)
    awk -v l="$size $order --no-sync / fastest memory copy" \
      -v v="$(ratio "$(median_of "nosync.$key")" "$fastest")" 'BEGIN { printf "  %-60s %6.2f\n", l, v }'
  done
done

# The window beside the command line on the largest save, random serials.
if [[ -n $window ]]; then
  largest=${sizes##* }
  src=$(source_for "$largest" random)
  echo
  echo "The window beside the command line ($largest random, $runs runs each):"
  platform=()
  [[ -n ${DISPLAY:-} ]] || platform=(env QT_QPA_PLATFORM=offscreen)
  # Qt's own warnings (the offscreen platform has no window manager to ask
  # for sizes, raising or the keyboard) go to a log, shown only on failure.
  if ! "${platform[@]}" "$gui_convert" --runs "$runs" --orvantor "$orvantor" "$src" \
    "$work/world.scp" "$work/chars.scp" "$positions" "$illegal" 2>"$work/window.err" |
    tee "$work/window.log" | grep -v '^run '; then
    tail -n 20 "$work/window.err" >&2
    die "gui_convert failed"
  fi
  w=$(sed -n 's/^window \/ command line: \([0-9.]*\).*/\1/p' "$work/window.log")
  [[ -n $w ]] && verdict "window / command line (at most 1.3)" "$w" 0 1.3
fi
