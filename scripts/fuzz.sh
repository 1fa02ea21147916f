#!/usr/bin/env bash
# Builds the libFuzzer programs with clang and runs each for FUZZ_SECONDS, one
# after the other, starting from a copy of its seed corpus (new finds and any
# crash inputs stay in the build folder). Prints each target's coverage and
# speed; exits non-zero when a target found a crash.
#   FUZZ_SECONDS  run time per target (default 60)
#   FUZZ_TARGETS  names to run, e.g. "container expand" (default: all)
#   BUILD_DIR     build folder (default build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=${BUILD_DIR:-build/fuzz}
all=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//' | tr '\n' ' ')
targets=${FUZZ_TARGETS:-$all}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSS_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  -DSS_BIN_DIR="$PWD/$build/bin" >/dev/null
programs=""
for name in $targets; do programs+="fuzz_$name "; done
cmake --build "$build" -j2 --target $programs 2>&1 | grep -E 'error|warning' || true
found=0
for name in $targets; do
  prog=$build/tests/fuzz/fuzz_$name
  work=$build/corpus/$name
  crashes=$build/crashes/$name
  mkdir -p "$work" "$crashes"
  [ -d "tests/fuzz/corpus/$name" ] && cp -n "tests/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  log=$build/fuzz-$name.log
  echo "==== fuzzing $name for ${seconds}s"
  status=0
  "$prog" "$work" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY|fuzz property broken' "$log" | tail -6
  if [ "$status" -ne 0 ]; then
    echo "!!!! $name: finding kept in $crashes (log $log)"
    found=1
  fi
done
exit $found
