#!/usr/bin/env bash
# Codec benchmark (make bench): generates the corpus, reports per file the
# compression and expansion throughput (MB/s, wall time: noisy on shared
# machines) and, with callgrind, the whole-process instructions per byte of
# `sspack compress --raw` and `sspack expand --raw` (repeatable), against the
# targets of docs/performance.md.
#
# Environment: SSPACK (default build/bin/sspack), BENCH_DIR (default
# build/bench: corpus, outputs, benchmark build), BENCH_FILES (default: the
# files with targets plus zeros.bin and random.bin), BENCH_MIN_TIME (seconds
# per throughput case, default 0.5), BENCH_SKIP_CALLGRIND=1.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SSPACK=${SSPACK:-$ROOT/build/bin/sspack}
BENCH_DIR=${BENCH_DIR:-$ROOT/build/bench}
CORPUS=$BENCH_DIR/corpus
FILES=${BENCH_FILES:-"text.bin exe.bin movie.bin zeros.bin random.bin"}
MIN_TIME=${BENCH_MIN_TIME:-0.5}

[ -x "$SSPACK" ] || { echo "bench: $SSPACK not found (run make native)" >&2; exit 1; }
mkdir -p "$BENCH_DIR"

echo "==== corpus"
bash "$ROOT/../shared/bench/make_corpus.sh" "$CORPUS" | tee "$BENCH_DIR/corpus.sha256"

echo
echo "==== throughput (codec_bench: memory to memory, RcBlocks)"
cmake -S "$ROOT/tests/bench" -B "$BENCH_DIR/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BENCH_DIR/build" -j2 >/dev/null
filter=$(echo "$FILES" | tr ' ' '\n' | sed 's/\./\\./' | paste -sd'|')
"$BENCH_DIR/build/codec_bench" "$CORPUS" --benchmark_min_time="$MIN_TIME" \
    --benchmark_filter="/($filter)\$" 2>&1 | grep -v '^\*\*\*WARNING'

[ "${BENCH_SKIP_CALLGRIND:-0}" = 1 ] && exit 0
command -v valgrind >/dev/null || { echo "bench: valgrind not installed" >&2; exit 1; }

# Targets: instructions per byte of plain data, compress / expand.
target() {
    case "$1" in
        text.bin) echo "370 80" ;;
        exe.bin) echo "290 110" ;;
        movie.bin) echo "260 270" ;;
        *) echo "- -" ;;
    esac
}
# Whole-process instructions of one sspack run.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$SSPACK" "$@" 2>&1 >/dev/null |
        sed -n 's/.*Collected : *\([0-9]*\).*/\1/p'
}
verdict() {  # value limit
    [ "$2" = - ] && { echo ""; return; }
    awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "met" : "MISSED" }'
}

echo
echo "==== callgrind: whole-process instructions per byte (sspack --raw)"
printf '%-11s %10s %9s %8s %6s %9s %8s %6s\n' file bytes compress target "" expand target ""
status=0
for f in $FILES; do
    in=$CORPUS/$f
    n=$(stat -c %s "$in")
    "$SSPACK" compress --raw "$in" "$BENCH_DIR/$f.lz"
    c=$(instructions compress --raw "$in" "$BENCH_DIR/$f.lz2")
    e=$(instructions expand --raw "$BENCH_DIR/$f.lz" "$BENCH_DIR/$f.out")
    cmp -s "$in" "$BENCH_DIR/$f.out" || { echo "bench: $f does not expand to itself" >&2; status=1; }
    cmp -s "$BENCH_DIR/$f.lz" "$BENCH_DIR/$f.lz2" || { echo "bench: $f compresses differently" >&2; status=1; }
    cpb=$(awk -v i="$c" -v n="$n" 'BEGIN { printf "%.1f", i / n }')
    epb=$(awk -v i="$e" -v n="$n" 'BEGIN { printf "%.1f", i / n }')
    read -r tc te < <(target "$f")
    printf '%-11s %10d %9s %8s %6s %9s %8s %6s\n' "$f" "$n" "$cpb" "$tc" "$(verdict "$cpb" "$tc")" \
        "$epb" "$te" "$(verdict "$epb" "$te")"
    rm -f "$BENCH_DIR/$f.lz2" "$BENCH_DIR/$f.out"
done
exit $status
