#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 600),
# starting from our seed corpus in fuzz/corpus/NAME; the corpus it grows
# lies in build-fuzz/corpus/NAME and is kept for the next run. Prints each
# target's closing figures (executions, coverage); fails on any finding,
# whose input is saved in build-fuzz/ (crash-*, timeout-*, leak-*).
#
#   fuzz/run.sh [SECONDS]        (make fuzz; CI runs it with 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-600}}

ORVANTOR_WITH_FUZZ=ON ORVANTOR_WITH_QT=OFF tools/setup-debian.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DORVANTOR_FUZZ=ON -DORVANTOR_WITH_QT=OFF -DORVANTOR_BENCH=OFF >/dev/null
cmake --build build-fuzz --target convert_fuzz file_fuzz

status=0
for name in convert file; do
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  cp -n fuzz/corpus/$name/* "$corpus"/
  echo "== ${name}_fuzz for ${seconds} s"
  # The command line's own error lines would flood the log: the target's
  # stderr is closed, and the sanitizers write their reports to files.
  if ! (cd build-fuzz && ASAN_OPTIONS=log_path=asan-$name UBSAN_OPTIONS=log_path=ubsan-$name \
        bin/${name}_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=4096 \
        -close_fd_mask=2 -print_final_stats=1 "corpus/$name" >"$name.log" 2>&1); then
    status=1
    tail -n 30 "build-fuzz/$name.log"
    cat build-fuzz/asan-$name.* build-fuzz/ubsan-$name.* 2>/dev/null | head -n 60 || true
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units|^stat::peak_rss_mb" "build-fuzz/$name.log" || true
done
exit $status
