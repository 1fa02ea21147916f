#!/usr/bin/env bash
# End-to-end cases: builds installers with sspack, runs each under Wine in a
# fresh copy of a private prefix inside a virtual display, answers its windows
# from outside, screenshots them, and checks from Linux what it left behind.
#
#   tests/e2e/run.sh [CASE...]     (default: every case of cases.sh)
#
# Needs `make all windows-test-build`. Output: build/e2e/{shots,logs,fixtures}.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
E2E_DIR=$ROOT/tests/e2e

# One virtual display for the whole run.
if [ -z "${E2E_IN_XVFB:-}" ]; then
    export E2E_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

. "$ROOT/scripts/wine-env.sh"
. "$E2E_DIR/lib.sh"
. "$E2E_DIR/fixture.sh"
. "$E2E_DIR/checks.sh"

SSPACK=${E2E_SSPACK:-$ROOT/build/bin/sspack}
E2E_WIN_BIN=${E2E_WIN_BIN:-$SS_WIN_BUILD/bin}
STUB=$E2E_WIN_BIN/SsInstaller.exe
E2E_OUT=$ROOT/build/e2e
PRISTINE=/tmp/e2e-wine-$(id -u)-pristine
export WINEPREFIX=/tmp/e2e-wine-$(id -u)-case
E2E_TOOL_PREFIX=/tmp/e2e-wine-$(id -u)-tools
export E2E_LOG=/dev/null

for f in "$SSPACK" "$STUB" "$E2E_WIN_BIN/e2e-recorder.exe" "$E2E_WIN_BIN/e2e-display-properties.exe" \
    "$E2E_WIN_BIN/e2e-craft.exe" "$E2E_WIN_BIN/SampleSaver.scr"; do
    if [ ! -f "$f" ]; then
        echo "e2e: $f is missing; run 'make all windows-test-build' first" >&2
        exit 1
    fi
done

rm -rf "$E2E_OUT"
mkdir -p "$E2E_OUT/shots" "$E2E_OUT/logs" "$E2E_OUT/fixtures"
started=$(date +%s)

# E2E_REUSE_PRISTINE=1 keeps the pristine prefix between runs (development).
if [ "${E2E_REUSE_PRISTINE:-0}" = 1 ] && [ -f "$PRISTINE/system.reg" ]; then
    printf 'e2e: reusing the pristine prefix %s\n' "$PRISTINE"
elif printf 'e2e: creating the pristine prefix %s\n' "$PRISTINE" && ! make_pristine_prefix "$PRISTINE"; then
    echo "e2e: could not create a Wine prefix" >&2
    exit 1
fi

rm -rf "$E2E_TOOL_PREFIX"
cp -a "$PRISTINE" "$E2E_TOOL_PREFIX"

. "$E2E_DIR/cases.sh"

passed=0
failed=0
failures=()
for id in $(case_ids "$@"); do
    t0=$(date +%s.%N)
    export E2E_LOG=$E2E_OUT/logs/$id.log
    : >"$E2E_LOG"
    if (run_case "$id") >"$E2E_OUT/logs/$id.out" 2>&1; then
        result=PASS
        passed=$((passed + 1))
    else
        result=FAIL
        failed=$((failed + 1))
        failures+=("$id")
    fi
    stop_wine
    printf '%-24s %s  %5.1fs\n' "$id" "$result" "$(echo "$(date +%s.%N) - $t0" | bc)"
    if [ "$result" = FAIL ]; then
        sed 's/^/    /' "$E2E_OUT/logs/$id.out" | tail -n 15
    fi
done
stop_wine
WINEPREFIX=$E2E_TOOL_PREFIX stop_wine
rm -rf "$WINEPREFIX" "$E2E_TOOL_PREFIX"
[ "${E2E_REUSE_PRISTINE:-0}" = 1 ] || rm -rf "$PRISTINE"

echo "e2e: screenshots in $E2E_OUT/shots, logs in $E2E_OUT/logs ($(($(date +%s) - started)) s)"
[ "$failed" -eq 0 ] || echo "e2e: failed: ${failures[*]}"
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
