#!/usr/bin/env bash
# Packs an installer with a 1 GiB stored chunk and checks that sspack's
# resident memory stays below 64 MiB (measured by /usr/bin/time -v). Also
# packs a compressed chunk of COMPRESSED_MIB (default 8) MiB the same way.
#
#   tests/sspack/memory_check.sh [path/to/sspack]
#
# Needs about 1.1 GiB of free disk in $TMPDIR; takes some seconds (mostly
# writing the output).
set -euo pipefail
cd "$(dirname "$0")/../.."
SSPACK="${1:-build/bin/sspack}"
LIMIT_KIB=$((64 * 1024))
COMPRESSED_MIB="${COMPRESSED_MIB:-8}"

[ -x "$SSPACK" ] || { echo "memory_check: no sspack at $SSPACK" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "memory_check: /usr/bin/time is missing" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/sspack-memory.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Small chunks, and a 1 GiB one as a sparse file (no disk used for the input).
head -c 4096 /dev/urandom > "$work/stub.exe"
for f in saver.scr stub.bin zett.bin kmdl.bin; do head -c 1000 /dev/urandom > "$work/$f"; done
truncate -s 1G "$work/movie.dat"
{ seq 1 20000000 || true; } | head -c "$((COMPRESSED_MIB * 1024 * 1024))" > "$work/preview.bmp"

cat > "$work/manifest.toml" <<'TOML'
[screensaver]
name = "Memory"
[chunks]
saver = "saver.scr"
stub = "stub.bin"
movie = { file = "movie.dat", storage = "stored" }
zett = "zett.bin"
kmdl = "kmdl.bin"
previewb = { file = "preview.bmp", storage = "compressed" }
TOML

start=$(date +%s)
/usr/bin/time -v -o "$work/time.txt" "$SSPACK" build "$work/manifest.toml" -o "$work/out.exe" \
  --stub "$work/stub.exe" -q
seconds=$(( $(date +%s) - start ))
rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
size=$(stat -c %s "$work/out.exe")

echo "packed $size bytes in ${seconds}s; maximum resident set size ${rss} KiB (limit ${LIMIT_KIB} KiB)"
"$SSPACK" list "$work/out.exe"
"$SSPACK" verify "$work/out.exe" >/dev/null
if [ "$size" -le $((1024 * 1024 * 1024)) ]; then
  echo "memory_check: FAILED: the installer is smaller than its 1 GiB chunk" >&2
  exit 1
fi
if [ "$rss" -ge "$LIMIT_KIB" ]; then
  echo "memory_check: FAILED: ${rss} KiB resident" >&2
  exit 1
fi
echo "memory_check: passed"
