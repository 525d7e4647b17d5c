#!/usr/bin/env bash
# The fuzzing campaign. Builds the libFuzzer targets with clang (build/fuzz),
# then runs each named target (all of them by default) for the given time,
# niced, starting from its stored corpus in tests/data/fuzz/<target>/, and
# folds what it found back into that corpus, minimised.
#
#   scripts/fuzz.sh [-t SECONDS] [-n] [target...]
#     -t  wall-clock time per target (default 600)
#     -n  do not build; use the binaries already in build/fuzz
#   QV_FUZZ_MAX_LEN (16384) and QV_FUZZ_TIMEOUT (60 s) bound an input.
#   scripts/fuzz.sh --regress
#     runs every target once over each file of its stored corpus and exits
#     non-zero if any input crashes (the test command's regression step)
#
# Crashes are kept as build/fuzz/finds/<target>/crash-*; the per-run log, with
# libFuzzer's final statistics and the CPU time (from /usr/bin/time), goes to
# $QV_FUZZ_LOGS (default build/fuzz/logs). Run at most two targets at a time on
# two cores: give each instance of this script its own targets.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/fuzz
logs=${QV_FUZZ_LOGS:-$build/logs}
seconds=600
max_len=${QV_FUZZ_MAX_LEN:-16384}
# Seconds one input may take. libFuzzer counts wall-clock time, and a niced
# fuzzer on a busy machine gets a small share of a core: keep it generous.
timeout=${QV_FUZZ_TIMEOUT:-60}
do_build=1
regress=0
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    -t) seconds=$2; shift 2 ;;
    -n) do_build=0; shift ;;
    --regress) regress=1; shift ;;
    -*) echo "usage: $0 [-t SECONDS] [-n] [--regress] [target...]" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("$name")
  done
fi

if [ $do_build = 1 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DQUORVANE_FUZZ=ON -DQUORVANE_GUI=OFF \
      -DQUORVANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  if [ -n "${QUORVANE_WERROR:-}" ]; then
    cmake "$build" -DQUORVANE_WERROR="$QUORVANE_WERROR" >/dev/null
  fi
  nice cmake --build "$build" -j 2 --target "${targets[@]}"
fi

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

if [ $regress = 1 ]; then
  status=0
  for target in "${targets[@]}"; do
    corpus=tests/data/fuzz/$target
    if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus")" ]; then
      echo "$target: no stored corpus in $corpus"
      status=1
      continue
    fi
    # Each file run once; libFuzzer stops at the first crash and exits non-zero.
    if out=$("$build/fuzz/$target" -runs=0 -timeout=25 -rss_limit_mb=3072 "$corpus" 2>&1); then
      echo "$target: $(ls "$corpus" | wc -l) inputs pass"
    else
      echo "$out" | tail -40
      echo "$target: FAILED over $corpus"
      status=1
    fi
  done
  exit $status
fi

mkdir -p "$logs"
for target in "${targets[@]}"; do
  stored=$root/tests/data/fuzz/$target
  work=$build/corpus/$target
  finds=$build/finds/$target
  mkdir -p "$stored" "$work" "$finds"
  # Run a copy, so that a rebuild during a long run does not pull the binary
  # from under it.
  bin=$(mktemp -d)/$target
  cp "$build/fuzz/$target" "$bin"
  stamp=$(date +%Y%m%d-%H%M%S)
  log=$logs/$target-$stamp.log
  echo "$target: ${seconds}s, log $log"
  # New inputs go to the work corpus; the stored one is read only here.
  /usr/bin/time -f "cpu_seconds %U user %S sys, %e wall" -a -o "$log" \
    nice -n 19 "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout="$timeout" -rss_limit_mb=3072 -max_len="$max_len" \
    -artifact_prefix="$finds/" "$work" "$stored" >>"$log" 2>&1 || echo "$target: the run ended with a find (see $log)"
  # Fold back: a fresh minimal set covering everything the stored and the work
  # corpus cover. Crashes stay in $finds until fixed; then they join the
  # stored corpus as regression samples.
  merged=$(mktemp -d)
  nice -n 19 "$bin" -merge=1 "$merged" "$stored" "$work" >>"$log" 2>&1
  rm -rf "$stored"
  mkdir -p "$stored"
  cp "$merged"/* "$stored"/ 2>/dev/null || true
  rm -rf "$merged" "$(dirname "$bin")"
  echo "$target: corpus $(ls "$stored" | wc -l) files, $(du -sb "$stored" | cut -f1) bytes"
  grep -E '^(#[0-9]+.*DONE|stat::|cpu_seconds|INFO: Done)' "$log" | tail -8 || true
done
