#!/usr/bin/env bash
# Rewrites the seed corpora in tests/fuzz/corpus from the seed program, built
# natively in BUILD_DIR (default build/fuzz-seeds). The output is deterministic,
# so a rerun changes no committed file unless the formats changed.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build/fuzz-seeds}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSS_BIN_DIR="$PWD/$build/bin" >/dev/null
cmake --build "$build" -j2 --target make_fuzz_seeds >/dev/null
"$build/tests/fuzz/make_fuzz_seeds" tests/fuzz/corpus
find tests/fuzz/corpus -type f | sort | xargs md5sum
