#!/usr/bin/env bash
# Runs every test suite in order and stops at the first that fails. Called by
# `make test` after the builds.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

step() { printf '\n==== %s\n' "$*"; }

step "native unit tests"
(cd build/native && ctest --output-on-failure)

step "sspack memory bound: packing a 1 GiB chunk"
tests/sspack/memory_check.sh build/bin/sspack

step "native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build/sanitize && ctest --output-on-failure)

step "codec tests built with clang"
# The codec's x86-64 walks are inline asm; a second compiler must give the
# same bytes. Only the codec tests are built here.
CC=clang CXX=clang++ cmake -S . -B build/clang -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/clang --target ss_codec_tests -j"$(nproc)" >/dev/null
build/clang/tests/unit/ss_codec_tests --gtest_brief=1

step "Windows tests under Wine ($SS_WINE_ARCH)"
# Windows tests may open windows: one virtual display for the whole suite,
# in the prefix that scripts/wine-run.sh uses.
export WINEPREFIX="/tmp/ssinstaller-wine-$SS_WINE_ARCH-$(id -u)"
"$SS_WINESERVER" -k 2>/dev/null || true
(cd "$SS_WIN_BUILD" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure)
"$SS_WINESERVER" -k 2>/dev/null || true

for suite in tests/e2e/run.sh; do
  if [ -x "$suite" ]; then
    step "$suite"
    "$suite"
  fi
done
