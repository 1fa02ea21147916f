# The end-to-end cases. Sourced by run.sh after lib.sh, fixture.sh, checks.sh.
#
# Most cases are one row of the table below:
#   id | fixture options (fixture.sh) | steps | outcome
# steps, in the order the windows appear:
#   box:KIND:KEYS   a message box showing the fixture's KIND text (question,
#                   success, failure): screenshot, then KEYS ("," = space)
#   dialog:KEYS     the question dialog with custom labels
#   progress        the progress dialog: screenshots until it closes
# outcome: installed (file, current screensaver, uninstall entry),
#          kept (installed, system.ini untouched), nothing.
# A row may have hooks: before_ID (after the prefix reset, before the
# installer starts) and after_ID (after its checks).
#
# Keys in dialog 1030: Return presses the default button (the Yes label),
# Tab moves to the No label, Escape cancels.

CASE_TABLE='
plain        | name=E2EPlain;previewb=1;previewf=same;addtl=3                        | box:success:Return  | installed
ask-yes      | name=AskYes;question=Install AskYes?;previewf=file                    | box:question:y box:success:Return | installed
ask-no       | name=AskNo;question=Install AskNo?                                     | box:question:n      | nothing
ask-escape   | name=AskEsc;question=Install AskEsc?                                   | box:question:Escape | nothing
labels-yes   | name=LblYes;question=Shall LblYes be installed?;yes=Install;no=Skip   | dialog:Return box:success:Return | installed
labels-no    | name=LblNo;question=Shall LblNo be installed?;yes=yes;no=no           | dialog:Tab,space    | nothing
labels-escape| name=LblEsc;question=Shall LblEsc be installed?;yes=Go;no=Stop        | dialog:Escape       | nothing
no-zett      | name=NoZett;drop=ZETT                                                  | box:failure:Return  | nothing
no-kmdl      | name=NoKmdl;drop=KMDL                                                  | box:failure:Return  | nothing
keep-current | name=Keep;keep=1                                                       | box:success:Return  | kept
code-page    | name=Kodowa;alt_name=CodePage;code_page=1251;question=Установить?;success=Готово.;yes=Да;no=Нет;alt.question=Install CodePage?;alt.success=CodePage is installed. | box:question:y box:success:Return | installed
short-name   | name=E2E Long Saver Name                                                | box:success:Return  | installed
progress     | name=Progress;progress=1;status=Installing Progress...;big=5           | progress box:success:Return | installed
quiet        | name=Quiet;success=;failure=                                            |                     | installed
'

# The cases with steps of their own, run after the table's.
SPECIAL_CASES='damaged-stub damaged-cut bad-name-backslash bad-name-slash bad-name-colon display-properties-closed display-properties-retry action-display-properties action-display-properties-open action-run-screensaver action-open-document action-document-held sspack-exe sample-saver-uninstall'

# case_ids [ID...]: the ids to run (all when none are named).
case_ids() {
    if [ $# -gt 0 ]; then
        printf '%s\n' "$@"
        return
    fi
    table_rows | cut -d'|' -f1 | tr -d ' '
    printf '%s\n' $SPECIAL_CASES
}

table_rows() { printf '%s\n' "$CASE_TABLE" | grep -v '^[[:space:]]*$'; }

trim() {
    local s=$1
    s=${s#"${s%%[![:space:]]*}"}
    printf '%s' "${s%"${s##*[![:space:]]}"}"
}

# effective_name: the screensaver name the installer uses: the alternate one
# when the texts' code page is not the system's (1252 here).
effective_name() {
    if has_opt code_page && [ "$(opt code_page)" != 1252 ]; then
        opt alt_name
    else
        opt name E2ESaver
    fi
}

# shown_text KIND: the text of KIND the installer shows (alternate or primary).
shown_text() {
    local name
    name=$(opt name E2ESaver)
    if has_opt code_page && [ "$(opt code_page)" != 1252 ] && has_opt "alt.$1"; then
        opt "alt.$1"
        return
    fi
    case $1 in
        success) opt success "$name: installed." ;;
        failure) opt failure "$name: installation failed." ;;
        *) opt "$1" ;;
    esac
}

SHOT_SEQ=0
# shot_as ID KIND: screenshot of window ID as build/e2e/shots/CASE-N-KIND.png.
shot_as() {
    SHOT_SEQ=$((SHOT_SEQ + 1))
    shot "$1" "$E2E_OUT/shots/$CASE-$SHOT_SEQ-$2.png"
}

# step_box KIND KEYS: waits for the message box of that text, answers it.
step_box() {
    local text id
    text=$(shown_text "$1")
    wait_msgbox "$text" "$E2E_TIMEOUT" "$PROG_PID" || return 1
    id=$(wait_win "^$(regex_quote "$CAPTION")\$" 10 "$PROG_PID") || return 1
    shot_as "$id" "$1"
    press "$id" ${2//,/ }
    wait_gone "$id" 10
}

# step_dialog KEYS: the question dialog (a window of the caption that is no
# message box), answered with KEYS.
step_dialog() {
    local id before
    before=$(msgbox_texts | wc -l)
    id=$(wait_win "^$(regex_quote "$CAPTION")\$" "$E2E_TIMEOUT" "$PROG_PID") || return 1
    sleep 0.2
    [ "$(msgbox_texts | wc -l)" = "$before" ] || fail_check "a message box came instead of the question dialog" || return 1
    shot_as "$id" question-dialog
    press "$id" ${1//,/ }
    wait_gone "$id" 10
}

# step_progress: the progress dialog; screenshots it until it closes, then
# checks that its bar moved while installing and was full at the end.
step_progress() {
    local id n=0 dir=$E2E_OUT/logs/$CASE-progress
    rm -rf "$dir"
    mkdir -p "$dir"
    id=$(wait_win "^$(regex_quote "$CAPTION")\$" "$E2E_TIMEOUT" "$PROG_PID") || return 1
    while xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; do
        import -window "$id" "$dir/$(printf %03d $n).png" 2>/dev/null && n=$((n + 1))
    done
    [ "$n" -gt 0 ] || fail_check "no screenshot of the progress dialog" || return 1
    check_progress_shots "$dir" || return 1
}

# colour_count PNG COLOUR: the number of pixels of exactly that colour.
colour_count() {
    convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# check_progress_shots DIR: the bar grew in steps (the dialog was repainted
# while the chunks were written, so its messages were pumped) and the last
# screenshot, taken in the pause before the dialog closes, shows it full.
check_progress_shots() {
    local dir=$1 shots last colour counts="" f full
    shots=("$dir"/*.png)
    last=${shots[${#shots[@]} - 1]}
    cp "$last" "$E2E_OUT/shots/$CASE-progress-end.png"
    cp "${shots[${#shots[@]} / 2]}" "$E2E_OUT/shots/$CASE-progress.png"
    # The bar's colour: the most frequent saturated colour of the last shot.
    colour=$(convert "$last" -format %c histogram:info:- 2>/dev/null | sort -rn |
        sed -n 's/^ *[0-9]*: *( *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)[,)].*/\1 \2 \3/p' |
        awk '{ mx = $1; mn = $1; for (i = 2; i <= 3; i++) { if ($i > mx) mx = $i; if ($i < mn) mn = $i }
               if (mx - mn > 80) { printf "srgb(%d,%d,%d)\n", $1, $2, $3; exit } }')
    [ -n "$colour" ] || fail_check "no bar colour in the last progress screenshot" || return 1
    for f in "${shots[@]}"; do counts+="$(colour_count "$f" "$colour") "; done
    full=$(colour_count "$last" "$colour")
    echo "bar pixels ($colour) per screenshot: $counts"
    printf '%s\n' $counts | awk -v full="$full" '$1 > 0 && $1 < full { found = 1 } END { exit !found }' ||
        fail_check "the bar was never seen part-way (no repaint while installing)" || return 1
    # Full: the fill reaches the bar's right end. Wine leaves a gap of up to
    # 2 pixels of background there even at the maximum, so allow 3 more
    # pixels on the right than on the left (1.3 % of this bar).
    local w h x y row margins
    read -r w h x y <<<"$(convert "$last" -fill black +opaque "$colour" -fill white -opaque "$colour" \
        -trim -format '%w %h %X %Y' info:)"
    x=${x#+} y=${y#+}
    row=$(convert "$last" -crop "x1+0+$((y + h / 2))" +repage txt:- 2>/dev/null | sed -n 's/^\([0-9]*\),0: .*#\([0-9A-F]\{6\}\).*/\1 \2/p')
    margins=$(awk -v a="$x" -v b="$((x + w - 1))" '{ c[$1] = $2 }
        END { bg = c[b + 1]; l = 0; while (c[a - 1 - l] == bg) l++; r = 0; while (c[b + 1 + r] == bg) r++; print l, r }' <<<"$row")
    echo "bar fill in the last shot: ${w}x$h at $x,$y; margins left and right: $margins"
    read -r left right <<<"$margins"
    [ "$right" -le $((left + 3)) ] || fail_check "the bar was not full at the end" || return 1
}

regex_quote() { printf '%s' "$1" | sed 's/[][\.*^$+?(){}|/]/\\&/g'; }

# run_installer_steps EXE STEPS: starts EXE and walks through STEPS; fails
# unless every window came and the installer ended with exit code 0.
run_installer_steps() {
    local exe=$1 step rc
    start_prog 180 "$exe"
    for step in $2; do
        echo "step $step"
        case $step in
            box:*) step_box "$(cut -d: -f2 <<<"$step")" "$(cut -d: -f3- <<<"$step")" || return 1 ;;
            dialog:*) step_dialog "${step#dialog:}" || return 1 ;;
            progress) step_progress || return 1 ;;
            *) fail_check "unknown step $step" || return 1 ;;
        esac
    done
    wait_prog "$PROG_PID"
    [ "$PROG_RC" = 0 ] || fail_check "installer exit code $PROG_RC" || return 1
}

# check_outcome OUTCOME FIXTURE_DIR: the results of a finished installer.
check_outcome() {
    local name scr
    name=$(effective_name)
    case $1 in
        installed | kept)
            scr=$(installed_file "$name") || fail_check "$name.scr not installed" || return 1
            check_scr "$scr" "$2" "$OPTS" || return 1
            check_uninstall "$name" || return 1
            if [ "$1" = kept ]; then
                cmp -s "$WINEPREFIX/drive_c/windows/system.ini" "$PRISTINE/drive_c/windows/system.ini" ||
                    fail_check "system.ini changed although the current screensaver is kept" || return 1
            else
                check_current "$name" || return 1
            fi
            ;;
        nothing) check_nothing_installed "$PRISTINE" || return 1 ;;
    esac
}

# expected_messages STEPS OUTCOME: the message texts the run shows, in order.
expected_messages() {
    local step
    for step in $1; do
        case $step in box:*) shown_text "$(cut -d: -f2 <<<"$step")"; echo ;; esac
    done
}

# prepare_case DIR OPTS: the case's installer built in DIR from OPTS, which
# the checks then read, its caption, and a fresh prefix.
prepare_case() {
    build_fixture "$1" "$2" || return 1
    OPTS=$2
    CAPTION=$(effective_name)
    reset_prefix "$PRISTINE"
}

run_table_case() {
    local row=$1 opts steps outcome dir
    opts=$(trim "$(cut -d'|' -f2 <<<"$row")")
    steps=$(trim "$(cut -d'|' -f3 <<<"$row")")
    outcome=$(trim "$(cut -d'|' -f4 <<<"$row")")
    dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "$opts" || return 1
    if declare -F "before_$CASE" >/dev/null; then "before_$CASE" || return 1; fi
    run_installer_steps "$dir/installer.exe" "$steps" || return 1
    local expected=()
    mapfile -t expected < <(expected_messages "$steps")
    check_messages "${expected[@]}" || return 1
    check_outcome "$outcome" "$dir" || return 1
    if declare -F "after_$CASE" >/dev/null; then "after_$CASE" "$dir" || return 1; fi
    return 0
}

# run_case ID: one case, table row or special.
run_case() {
    CASE=$1
    local row
    row=$(table_rows | awk -F'|' -v id="$CASE" '{ k = $1; gsub(/ /, "", k) } k == id { print; exit }')
    if [ -n "$row" ]; then
        run_table_case "$row"
    elif declare -F "case_${CASE//-/_}" >/dev/null; then
        "case_${CASE//-/_}"
    else
        echo "unknown case $CASE" >&2
        return 1
    fi
}

# --- hooks of table rows -------------------------------------------------------

# The code-page case: the caption is the alternate name, and the record in
# the installed file is still the one with the primary texts.
after_code_page() {
    [ -z "$(installed_file Kodowa)" ] || fail_check "the primary name was installed" || return 1
}

# The progress case: the sequence ran once: the file was created once.
before_progress() { export E2E_EXTRA_DEBUG=+file; }
after_progress() {
    local creations
    creations=$(grep -ci 'CreateFileW L"C:\\\\windows\\\\Progress\.scr".*creation 2 ' "$E2E_LOG")
    echo "times the file was created: $creations"
    [ "$creations" = 1 ] || fail_check "the install sequence created the file $creations times" || return 1
}

# --- special cases -------------------------------------------------------------

# A damaged installer shows the damaged-file message with an empty caption and
# installs nothing.
DAMAGED_TEXT='The installer file appears to be damaged. Please get a fresh copy.'
run_damaged() {
    local exe=$1 id rc
    start_prog 60 "$exe"
    wait_msgbox "$DAMAGED_TEXT" "$E2E_TIMEOUT" "$PROG_PID" || return 1
    id=$(wait_win '' 10 "$PROG_PID" "^$(regex_quote "$(basename "$exe")")\$") || return 1
    [ -z "$(xdotool getwindowname "$id")" ] || fail_check "the caption is not empty" || return 1
    shot_as "$id" damaged
    press "$id" Return
    wait_prog "$PROG_PID"
    [ "$PROG_RC" = 0 ] || fail_check "exit code $PROG_RC" || return 1
    check_messages "$DAMAGED_TEXT" || return 1
    check_nothing_installed "$PRISTINE"
}

case_damaged_stub() {
    local dir=$E2E_OUT/fixtures/$CASE
    mkdir -p "$dir"
    cp "$STUB" "$dir/bare.exe"
    reset_prefix "$PRISTINE"
    run_damaged "$dir/bare.exe"
}

case_damaged_cut() {
    local dir=$E2E_OUT/fixtures/$CASE n size
    build_fixture "$dir" "name=Cut" || return 1
    n=$("$SSPACK" list --json "$dir/installer.exe" | jq length) || return 1
    size=$(stat -c %s "$dir/installer.exe")
    head -c $((size - 40 * n)) "$dir/installer.exe" >"$dir/cut.exe"
    reset_prefix "$PRISTINE"
    run_damaged "$dir/cut.exe"
}

# A name that would place the file outside the Windows directory: refused,
# the failure message, nothing written anywhere.
run_bad_name() {
    local bad=$1 dir=$E2E_OUT/fixtures/$CASE
    build_fixture "$dir" "name=BadName;failure=BadName refused." || return 1
    craft_installer "$dir" installer.exe patched.exe --text 3052 "$bad" || return 1
    reset_prefix "$PRISTINE"
    OPTS="name=BadName;failure=BadName refused."
    CAPTION=$bad
    run_installer_steps "$dir/patched.exe" "box:failure:Return" || return 1
    check_messages "BadName refused." || return 1
    check_nothing_installed "$PRISTINE" || return 1
    local stray
    stray=$(find "$WINEPREFIX/drive_c" -iname '*evil*')
    [ -z "$stray" ] || fail_check "written outside the Windows directory: $stray" || return 1
}
case_bad_name_backslash() { run_bad_name '..\E2EEvil'; }
case_bad_name_slash() { run_bad_name '../E2EEvil'; }
case_bad_name_colon() { run_bad_name 'C:E2EEvil'; }

# start_display_properties ARGS...: the stand-in window, shown before the
# installer starts. Its pid is in DP_PID.
start_display_properties() {
    WINEDEBUG=-all timeout 120 "$SS_WINE" "$E2E_WIN_BIN/e2e-display-properties.exe" "$@" \
        </dev/null >/dev/null 2>&1 &
    DP_PID=$!
    wait_win '^Display Properties$' "$E2E_TIMEOUT" "$DP_PID" >/dev/null
}

record_file() { printf '%s' "$WINEPREFIX/drive_c/e2e-record.txt"; }

# wait_record LINE [TIMEOUT]: waits until the record holds exactly LINE.
wait_record() {
    local end=$(($(date +%s) + ${2:-$E2E_TIMEOUT}))
    while [ "$(date +%s)" -le "$end" ]; do
        tr -d '\r' 2>/dev/null <"$(record_file)" | grep -qxF -- "$1" && return 0
        sleep 0.1
    done
    fail_check "no record line '$1'; record: $(cat "$(record_file)" 2>/dev/null)"
}

# An open Display Properties window is closed before the file is written.
case_display_properties_closed() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=DpClose" || return 1
    start_display_properties --watch 'C:\windows\DpClose.scr' || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record 'display-properties: quit, target absent' 5 || return 1
    kill -0 "$DP_PID" 2>/dev/null && fail_check "Display Properties still running" && return 1
    check_outcome installed "$dir"
}

# The old file is still held by Display Properties for a moment after it was
# told to quit: the first creation fails, the one retry 500 ms later works.
case_display_properties_retry() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=DpRetry" || return 1
    printf 'old screensaver' >"$WINEPREFIX/drive_c/windows/DpRetry.scr"
    start_display_properties --watch 'C:\windows\DpRetry.scr' --hold-ms 400 || return 1
    wait_record 'display-properties: holding target' 5 || return 1
    E2E_EXTRA_DEBUG=+file run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record 'display-properties: quit, target present' 5 || return 1
    local creations
    creations=$(grep -ci 'CreateFileW L"C:\\\\windows\\\\DpRetry\.scr".*creation 2 ' "$E2E_LOG")
    [ "$creations" = 2 ] || fail_check "the file was created $creations times, expected a failure and one retry" || return 1
    check_outcome installed "$dir"
}

# Action 1 starts the Display Properties command line.
case_action_display_properties() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=ActDp;after=display-properties" || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    started_commands | grep -qi 'desk\.cpl' ||
        fail_check "the Display Properties command was not started; started: $(started_commands)" || return 1
    check_outcome installed "$dir"
}

# Action 1 starts nothing while a Display Properties window is open (this one
# ignores being told to quit).
case_action_display_properties_open() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=ActDpOpn;after=display-properties" || return 1
    start_display_properties --stubborn || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record 'display-properties: quit' 5 || return 1
    [ -z "$(started_commands | grep -i 'desk\.cpl')" ] ||
        fail_check "the Display Properties command was started: $(started_commands)" || return 1
    check_outcome installed "$dir"
}

# Action 2 runs the installed file with " /s" (the recording program).
case_action_run_screensaver() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=ActRun;after=run-screensaver" || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record 'C:\windows\ActRun.scr|C:\windows\ActRun.scr /s' 10 || return 1
    check_outcome installed "$dir"
}

# register_association COMMAND: files ending in .e2edoc open with COMMAND.
register_association() {
    mkdir -p "$WINEPREFIX/drive_c/e2e"
    cp "$E2E_WIN_BIN/e2e-recorder.exe" "$WINEPREFIX/drive_c/e2e/"
    timeout 60 "$SS_WINE" reg add 'HKCR\.e2edoc' /ve /d e2edocfile /f </dev/null >/dev/null 2>&1 &&
        timeout 60 "$SS_WINE" reg add 'HKCR\e2edocfile\shell\open\command' /ve /d "$1" /f \
            </dev/null >/dev/null 2>&1 || fail_check "could not register the association"
}

TEMP_DIR_WIN="C:\\users\\$(id -un)\\Temp"
temp_dir() { printf '%s' "$WINEPREFIX/drive_c/users/$(id -un)/Temp"; }

# Action 3 opens the document with its associated program (per-cent sequences
# other than "%1" reach it as text), then deletes it after the pause.
case_action_open_document() {
    local dir=$E2E_OUT/fixtures/$CASE doc
    prepare_case "$dir" "name=ActDoc;after=open-document;document=ActDoc.e2edoc" || return 1
    register_association '"C:\e2e\e2e-recorder.exe" --tag=%2%d "%1"' || return 1
    local t0
    t0=$(date +%s)
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record "C:\\e2e\\e2e-recorder.exe|\"C:\\e2e\\e2e-recorder.exe\" --tag=%2%d \"$TEMP_DIR_WIN\\ActDoc.e2edoc\"" 5 || return 1
    [ ! -e "$(temp_dir)/ActDoc.e2edoc" ] || fail_check "the document was not deleted" || return 1
    [ $(($(date +%s) - t0)) -ge 5 ] || fail_check "the installer did not pause before deleting" || return 1
    check_outcome installed "$dir"
}

# A document that its program keeps open is deleted at the next restart.
case_action_document_held() {
    local dir=$E2E_OUT/fixtures/$CASE pending
    prepare_case "$dir" "name=ActHeld;after=open-document;document=Held.e2edoc" || return 1
    register_association '"C:\e2e\e2e-recorder.exe" --hold 12 "%1"' || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    wait_record 'hold: opened' 1 || return 1
    [ -e "$(temp_dir)/Held.e2edoc" ] || fail_check "the held document is gone already" || return 1
    pending=$(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
    grep -qiF 'Temp\Held.e2edoc' <<<"$pending" ||
        fail_check "no deletion at restart scheduled: '$pending'" || return 1
    check_outcome installed "$dir"
}

# The Windows build of sspack, run under Wine, builds the same installer as
# the native one, and that installer installs.
case_sspack_exe() {
    local dir=$E2E_OUT/fixtures/$CASE
    prepare_case "$dir" "name=WinPack;previewf=same;addtl=2" || return 1
    cp "$STUB" "$dir/stub.exe"
    (cd "$dir" && timeout 120 "$SS_WINE" "$E2E_WIN_BIN/sspack.exe" build manifest.toml -o windows-built.exe \
        --stub stub.exe </dev/null >sspack-exe.log 2>&1) ||
        fail_check "sspack.exe failed: $(cat "$dir/sspack-exe.log")" || return 1
    cmp "$dir/installer.exe" "$dir/windows-built.exe" ||
        fail_check "sspack.exe and sspack built different installers" || return 1
    cp "$dir/windows-built.exe" "$dir/installer.exe"
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    check_outcome installed "$dir"
}

# The sample screensaver: installed and run by the installer (action 2), it
# shows its MOVIE text full screen; its uninstall command removes the
# uninstall entry, the system.ini entry and its file (or schedules it).
case_sample_saver_uninstall() {
    local dir=$E2E_OUT/fixtures/$CASE id cmd exe rc
    prepare_case "$dir" "name=Sample;saver=sample;after=run-screensaver" || return 1
    run_installer_steps "$dir/installer.exe" "box:success:Return" || return 1
    check_outcome installed "$dir" || return 1

    id=$(wait_win '^Sample Saver$' "$E2E_TIMEOUT") || return 1
    sleep 1
    SHOT_SEQ=$((SHOT_SEQ + 1))
    shot_screen "$E2E_OUT/shots/$CASE-$SHOT_SEQ-screensaver.png"
    xdotool mousemove 10 10 sleep 0.3 mousemove 500 400
    wait_gone "$id" 10 || return 1

    # Preview (/p HWND): it fills the window it is given with a child window
    # of its own and ends with it. (Wine does not show a child window drawn
    # by another process, so this is checked in Wine's window log, not in a
    # screenshot.)
    E2E_EXTRA_DEBUG=+win start_prog 60 "$E2E_WIN_BIN/e2e-display-properties.exe" --preview 'C:\windows\Sample.scr'
    local dp=$PROG_PID
    wait_record 'display-properties: preview started' 10 || return 1
    id=$(wait_win '^Display Properties$' 5 "$dp") || return 1
    local end=$(($(date +%s) + 10))
    until grep -q 'WIN_CreateWindowEx "Sample Saver" L"SampleSaverWindow" ex=00000000 style=50000000 0,0 160x120 parent=' "$E2E_LOG"; do
        [ "$(date +%s)" -le "$end" ] || fail_check "no preview child window of 160 x 120" || return 1
        sleep 0.2
    done
    shot_as "$id" preview
    press "$id" alt+F4
    wait_prog "$dp"
    end=$(($(date +%s) + 10))
    while process_running 'Sample.scr /p'; do
        [ "$(date +%s)" -le "$end" ] || fail_check "the preview did not end with its window" || return 1
        sleep 0.2
    done

    cmd=$(reg_value "$UNINSTALL_ROOT\\Sample.scr" UninstallString) || fail_check "no uninstall command" || return 1
    [[ "$cmd" == *" /U" ]] || fail_check "uninstall command '$cmd'" || return 1
    exe=${cmd% /U}
    start_prog 60 "$exe" /U
    id=$(wait_win '^Sample Saver$' "$E2E_TIMEOUT" "$PROG_PID") || return 1
    shot_as "$id" uninstalled
    press "$id" Return
    wait_prog "$PROG_PID"
    [ "$PROG_RC" = 0 ] || fail_check "uninstall exit code $PROG_RC" || return 1
    msgbox_texts | tail -n1 | grep -q '^Sample.scr has been uninstalled.\\n\\nIts uninstall entry was removed.\\nIt is no longer the current screensaver.' ||
        fail_check "uninstall said: $(msgbox_texts | tail -n1)" || return 1

    reg_values "$UNINSTALL_ROOT\\Sample.scr" >/dev/null && fail_check "the uninstall key is still there" && return 1
    local ini
    ini=$(ini_value "$WINEPREFIX/drive_c/windows/system.ini" boot SCRNSAVE.EXE)
    grep -qi 'sample' <<<"$ini" && fail_check "system.ini still names it: $ini" && return 1
    if [ -e "$(installed_file Sample)" ]; then
        local pending
        pending=$(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
        grep -qiF 'C:\windows\Sample.scr' <<<"$pending" ||
            fail_check "the file is still there and no deletion is scheduled" || return 1
        echo "file deletion scheduled at restart: $pending"
    fi
    return 0
}
