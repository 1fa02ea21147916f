#!/usr/bin/env bash
# The whole cycle, shown: packs the demo installer (examples/demo) with
# sspack, runs it under Wine in a private prefix inside a virtual display,
# answers its question, lets the installed screensaver run, then runs the
# uninstall command the installer registered. Prints what it did and found,
# and writes screenshots and a contact sheet, build/demo/demo.png.
#
# Run by `make demo` after `make all windows-test-build`.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${DEMO_IN_XVFB:-}" ]; then
    export DEMO_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

. "$ROOT/scripts/wine-env.sh"
. "$ROOT/tests/e2e/lib.sh"

SSPACK=${DEMO_SSPACK:-$ROOT/build/bin/sspack}
WIN_BIN=${DEMO_WIN_BIN:-$SS_WIN_BUILD/bin}
# Where 32-bit code runs, the Windows build's programs land in build/bin.
[ -f "$WIN_BIN/SsInstaller.exe" ] || WIN_BIN=$ROOT/build/bin
OUT=$ROOT/build/demo
WORK=$OUT/work
SHOTS=$OUT/shots
PRISTINE=/tmp/ssinstaller-demo-$(id -u)-pristine
export WINEPREFIX=/tmp/ssinstaller-demo-$(id -u)
export E2E_LOG=$OUT/wine.log
NAME=Starfield
WINDIR=$WINEPREFIX/drive_c/windows
UNINSTALL_KEY="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$NAME.scr"
PENDING_KEY='HKLM\System\CurrentControlSet\Control\Session Manager'
started=$(date +%s)

step() { printf '\n== %s\n' "$*"; }
say() { printf '   %s\n' "$*"; }
die() {
    printf 'demo: %s\n' "$*" >&2
    stop_wine
    exit 1
}
trap 'stop_wine' EXIT

for f in "$SSPACK" "$WIN_BIN/SsInstaller.exe" "$WIN_BIN/SampleSaver.scr"; do
    [ -f "$f" ] || die "$f is missing; run 'make all windows-test-build' first"
done
rm -rf "$OUT"
mkdir -p "$WORK" "$SHOTS"
: >"$E2E_LOG"

step "1. Packing the demo installer"
cp "$ROOT"/examples/demo/* "$WORK/"
cp "$WIN_BIN/SampleSaver.scr" "$WORK/"
# A preview picture, drawn here rather than kept in the repository.
convert -size 1280x960 -seed 42 plasma:black-midnightblue -type TrueColor "BMP3:$WORK/preview.bmp"
say "manifest: examples/demo/manifest.toml (the screensaver program: $WIN_BIN/SampleSaver.scr)"
(cd "$WORK" && "$SSPACK" build manifest.toml -o "$OUT/${NAME}Setup.exe" --stub "$WIN_BIN/SsInstaller.exe") |
    sed 's/^/   /'
say "installer: $OUT/${NAME}Setup.exe ($(stat -c %s "$OUT/${NAME}Setup.exe") bytes)"

step "2. Preparing a private Wine prefix ($WINEPREFIX)"
if [ ! -f "$PRISTINE/system.reg" ]; then
    say "creating it once (about 15 s)..."
    make_pristine_prefix "$PRISTINE" || die "could not create a Wine prefix"
fi
stop_wine
rm -rf "$WINEPREFIX"
cp -a "$PRISTINE" "$WINEPREFIX"
say "fresh copy ready"

step "3. Running the installer"
start_prog 120 "$OUT/${NAME}Setup.exe"
id=$(wait_win "^$NAME\$" 60 "$PROG_PID") || die "the question did not appear"
shot "$id" "$SHOTS/1-question.png"
say "the question dialog appeared (custom labels 'Install' / 'Not now'): $SHOTS/1-question.png"
press "$id" Return
say "answered 'Install' (Return)"
wait_gone "$id" 10 || die "the question stayed open"

id=$(wait_win "^$NAME\$" 30 "$PROG_PID") || die "the progress dialog did not appear"
n=0
mkdir -p "$OUT/progress"
while xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; do
    import -window "$id" "$OUT/progress/$(printf %03d $n).png" 2>/dev/null && n=$((n + 1))
done
[ "$n" -gt 0 ] || die "no screenshot of the progress dialog"
# The screenshot in the middle shows the bar on its way (the last one shows
# it full, in the pause before the dialog closes).
pick=$(ls "$OUT"/progress/*.png | sed -n "$(((n + 1) / 2))p")
cp "$pick" "$SHOTS/2-progress.png"
say "the progress dialog appeared and closed ($n screenshots): $SHOTS/2-progress.png"

success='Starfield is now your screensaver. Enjoy the stars!'
wait_msgbox "$success" 60 "$PROG_PID" || die "no success message"
id=$(wait_win "^$NAME\$" 10 "$PROG_PID") || die "the success message did not appear"
shot "$id" "$SHOTS/3-success.png"
say "the success message appeared: \"$success\": $SHOTS/3-success.png"
press "$id" Return
wait_prog "$PROG_PID"
say "the installer ended with exit code $PROG_RC"
[ "$PROG_RC" = 0 ] || die "unexpected exit code"

step "4. The screensaver runs (the installer started $NAME.scr /s)"
id=$(wait_win '^Sample Saver$' 30) || die "the screensaver did not start"
sleep 3
shot_screen "$SHOTS/4-screensaver.png"
say "it shows the text of its MOVIE chunk full screen: $SHOTS/4-screensaver.png"
xdotool mousemove 20 20 sleep 0.3 mousemove 600 500
wait_gone "$id" 10 || die "the screensaver did not end when the mouse moved"
say "moving the mouse ended it"
say "started by the installer: $(started_commands | grep -i "$NAME.scr" | head -n1 | sed 's/\\\\/\\/g')"

step "5. What the installer left behind"
scr=$(find "$WINDIR" -maxdepth 1 -iname "$NAME.scr" | head -n1)
[ -n "$scr" ] || die "$NAME.scr is not in the Windows directory"
say "installed file: $scr ($(stat -c %s "$scr") bytes)"
say "its chunks (sspack list):"
"$SSPACK" list "$scr" | sed 's/^/      /'
cmp -s -n "$(stat -c %s "$WIN_BIN/SampleSaver.scr")" "$scr" "$WIN_BIN/SampleSaver.scr" &&
    say "it begins with the SampleSaver.scr program byte for byte, so it runs as the screensaver"
"$SSPACK" verify "$scr" >/dev/null && say "sspack verify: sound"
ini=$(ini_value "$WINDIR/system.ini" boot SCRNSAVE.EXE) || die "system.ini has no [boot] SCRNSAVE.EXE"
say "system.ini [boot]: SCRNSAVE.EXE=$ini"
say "uninstall entry $UNINSTALL_KEY:"
reg_values "$UNINSTALL_KEY" | sed 's/\t/ = /; s/^/      /' || die "no uninstall entry"
uninstall=$(reg_value "$UNINSTALL_KEY" UninstallString)

step "6. Running the registered uninstall command: $uninstall"
start_prog 60 "${uninstall% /U}" /U
id=$(wait_win '^Sample Saver$' 30 "$PROG_PID") || die "the uninstaller said nothing"
shot "$id" "$SHOTS/5-uninstalled.png"
say "it says: \"$(msgbox_texts | tail -n1 | sed 's/\\n/ /g; s/  */ /g')\""
press "$id" Return
wait_prog "$PROG_PID"

step "7. What the uninstall left behind"
if reg_values "$UNINSTALL_KEY" >/dev/null; then
    die "the uninstall entry is still there"
fi
say "uninstall entry: gone"
if ini=$(ini_value "$WINDIR/system.ini" boot SCRNSAVE.EXE); then
    say "system.ini [boot]: SCRNSAVE.EXE=$ini"
    grep -qi "$NAME" <<<"$ini" && die "system.ini still names $NAME.scr"
else
    say "system.ini [boot]: no SCRNSAVE.EXE any more"
fi
if [ -e "$scr" ]; then
    pending=$(reg_value "$PENDING_KEY" PendingFileRenameOperations || true)
    say "the file was in use (it is the running uninstaller); deletion at restart is scheduled: $pending"
    stop_wine
    timeout 60 "$SS_WINE" wineboot -r </dev/null >/dev/null 2>&1 || true
    stop_wine
    [ ! -e "$scr" ] || die "$scr is still there after the restart"
    say "after restarting Wine's session: $scr is gone"
else
    say "$scr: gone"
fi

step "8. Contact sheet"
label_font=()
if convert -list font 2>/dev/null | grep -q 'Font: DejaVu-Sans$'; then
    label_font=(-font DejaVu-Sans -pointsize 14)
else
    say "(no label font found: the sheet has no captions)"
fi
montage "${label_font[@]}" -background '#303030' -fill white \
    -label 'Question (custom labels)' "$SHOTS/1-question.png" \
    -label 'Progress dialog' "$SHOTS/2-progress.png" \
    -label 'Success message' "$SHOTS/3-success.png" \
    -label 'The screensaver running' "$SHOTS/4-screensaver.png" \
    -tile 2x2 -geometry '480x360>+12+12' "$OUT/demo.png"
say "screenshots: $SHOTS"
printf '\nDone in %d s. Contact sheet: %s\n' "$(($(date +%s) - started))" "$OUT/demo.png"
