#!/usr/bin/env bash
# Builds the libFuzzer programs with clang and runs each for FUZZ_SECONDS,
# starting from a copy of its seed corpus (new finds stay in build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSS_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DSS_BIN_DIR="$PWD/build/fuzz/bin" >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target $(cd tests/fuzz && ls fuzz_*.cpp 2>/dev/null | sed "s/\.cpp$//" | tr "\n" " ") 2>&1 | grep -E 'error|warning' || true
for prog in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$prog" ] || continue
  name=$(basename "$prog"); name=${name#fuzz_}
  work=build/fuzz/corpus/$name
  mkdir -p "$work" "build/fuzz/crashes/$name"
  [ -d "tests/fuzz/corpus/$name" ] && cp -n "tests/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  echo "==== fuzzing $name for ${seconds}s"
  "$prog" "$work" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/crashes/$name/" 2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|==[0-9]+==ERROR|SUMMARY|.*cov: )' | tail -4
done
