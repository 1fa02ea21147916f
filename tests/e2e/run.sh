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
# Where 32-bit code runs, the Windows build's programs land in build/bin.
[ -f "$E2E_WIN_BIN/SsInstaller.exe" ] || E2E_WIN_BIN=$ROOT/build/bin
STUB=$E2E_WIN_BIN/SsInstaller.exe
E2E_OUT=$ROOT/build/e2e
PRISTINE=/tmp/e2e-wine-$(id -u)-pristine
CASE_PREFIX=/tmp/e2e-wine-$(id -u)-case
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

# run_lane N ID...: runs cases one after another in prefix N on $DISPLAY;
# prints one line per case and appends "ID PASS|FAIL" to $E2E_OUT/results.
run_lane() {
    local lane=$1 id t0 result ms
    shift
    export WINEPREFIX=$CASE_PREFIX-$lane
    for id in "$@"; do
        t0=$(date +%s%N)
        export E2E_LOG=$E2E_OUT/logs/$id.log
        : >"$E2E_LOG"
        if (run_case "$id") >"$E2E_OUT/logs/$id.out" 2>&1; then result=PASS; else result=FAIL; fi
        stop_wine
        # Wine could not open the virtual display (its X11 driver failed to
        # load): the machine's trouble, not the installer's. Once more.
        if [ "$result" = FAIL ] && grep -q 'nodrv_CreateWindow' "$E2E_LOG"; then
            echo "e2e: $id: Wine found no display; running the case again" >&2
            : >"$E2E_LOG"
            if (run_case "$id") >"$E2E_OUT/logs/$id.out" 2>&1; then result=PASS; fi
            stop_wine
        fi
        ms=$((($(date +%s%N) - t0) / 1000000))
        {
            printf '%-32s %s  %3d.%01ds\n' "$id" "$result" $((ms / 1000)) $((ms % 1000 / 100))
            [ "$result" = PASS ] || sed 's/^/    /' "$E2E_OUT/logs/$id.out" | tail -n 15
        } | flock "$E2E_OUT/results" cat
        echo "$id $result" >>"$E2E_OUT/results"
    done
    stop_wine
    rm -rf "$WINEPREFIX"
}

# start_display: a second virtual display for the second lane; its name in
# SECOND_DISPLAY, the server's pid in XVFB_PID.
start_display() {
    local n=99
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 50); do
        if [ -e "/tmp/.X11-unix/X$n" ]; then
            SECOND_DISPLAY=:$n
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Two lanes of cases in parallel, each with its own prefix and display: the
# installers mostly wait (dialog pauses, the document's five seconds), so two
# lanes share the two cores well. E2E_LANES=1 runs everything in one.
ids=($(case_ids "$@"))
: >"$E2E_OUT/results"
lanes=${E2E_LANES:-2}
[ "${#ids[@]}" -gt 1 ] || lanes=1
if [ "$lanes" = 2 ]; then
    start_display || lanes=1
    trap '[ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null' EXIT
fi
if [ "$lanes" = 2 ]; then
    lane0=() lane1=()
    for i in "${!ids[@]}"; do
        if [ $((i % 2)) = 0 ]; then lane0+=("${ids[$i]}"); else lane1+=("${ids[$i]}"); fi
    done
    run_lane 0 "${lane0[@]}" &
    lane_pid=$!
    DISPLAY=$SECOND_DISPLAY run_lane 1 "${lane1[@]}"
    wait "$lane_pid"
    kill "$XVFB_PID" 2>/dev/null
else
    run_lane 0 "${ids[@]}"
fi
WINEPREFIX=$E2E_TOOL_PREFIX stop_wine
rm -rf "$E2E_TOOL_PREFIX"
[ "${E2E_REUSE_PRISTINE:-0}" = 1 ] || rm -rf "$PRISTINE"

passed=$(grep -c ' PASS$' "$E2E_OUT/results")
failed=$(grep -c ' FAIL$' "$E2E_OUT/results")
failures=$(sed -n 's/ FAIL$//p' "$E2E_OUT/results" | tr '\n' ' ')
echo "e2e: screenshots in $E2E_OUT/shots, logs in $E2E_OUT/logs ($(($(date +%s) - started)) s)"
[ "$failed" -eq 0 ] || echo "e2e: failed: $failures"
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
