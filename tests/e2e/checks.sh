# Checks of what an installer left behind, made from Linux. Sourced by run.sh.
# Each prints what is wrong to stderr and fails; they run inside a case whose
# prefix is $WINEPREFIX.

UNINSTALL_ROOT='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'

# fail_check MESSAGE: reports a failed check.
fail_check() {
    echo "  check failed: $*" >&2
    return 1
}

# installed_file NAME: path of NAME.scr in the prefix's Windows directory
# (any letter case); fails when absent.
installed_file() {
    local f
    f=$(find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname "$1.scr" | head -n1)
    [ -n "$f" ] && printf '%s' "$f"
}

# scr_files: every .scr in the Windows directory (one per line).
scr_files() {
    find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname '*.scr'
}

# entry_field JSON NAME FIELD: a field of a chunk's record in `sspack list --json`.
entry_field() {
    jq -r --arg n "$2" --arg f "$3" '[.[] | select(.name == $n)][0][$f] // empty' <<<"$1"
}

# check_scr SCR FIXTURE_DIR OPTIONS: the installed file's chunks against the
# installer's.
check_scr() {
    local scr=$1 dir=$2 c=$2/chunks json inst
    OPTS=$3
    json=$("$SSPACK" list --json "$scr") || fail_check "sspack list failed on $scr" || return 1
    inst=$("$SSPACK" list --json "$dir/installer.exe") || fail_check "sspack list failed on the installer" || return 1
    "$SSPACK" verify "$scr" >"$dir/verify.log" 2>&1 || fail_check "sspack verify failed: $(cat "$dir/verify.log")" || return 1

    # SAVER comes first, at offset 0, as plain bytes: the file runs as the saver.
    [ "$(jq -r '.[0].name' <<<"$json")" = SAVER ] || fail_check "record 0 is not SAVER" || return 1
    [ "$(entry_field "$json" SAVER dataOffset)" = 0 ] || fail_check "SAVER not at offset 0" || return 1
    [ "$(entry_field "$json" SAVER storage)" = stored ] || fail_check "SAVER not stored plain" || return 1
    cmp -s -n "$(stat -c %s "$c/saver.bin")" "$scr" "$c/saver.bin" ||
        fail_check "the file does not begin with the SAVER program" || return 1

    # Every carried chunk has the bytes it was built from.
    local out=$dir/extracted
    rm -rf "$out"
    mkdir -p "$out"
    "$SSPACK" extract "$scr" --all -o "$out" >/dev/null 2>&1 || fail_check "sspack extract failed" || return 1
    local chunk file
    for chunk in SAVER STUB MOVIE ZETT KMDL PREVIEWB PREVIEWF; do
        file=$c/${chunk,,}.bin
        [ "$chunk" = PREVIEWF ] && [ "$(opt previewf)" = same ] && file=$c/movie.bin
        if [ -f "$file" ] || { [ "$chunk" = PREVIEWF ] && has_opt previewf; }; then
            cmp -s "$out/$chunk" "$file" || fail_check "chunk $chunk differs from its input" || return 1
        else
            [ -z "$(entry_field "$json" "$chunk" name)" ] || fail_check "unexpected chunk $chunk" || return 1
        fi
    done
    [ -z "$(entry_field "$json" LESMI name)" ] || fail_check "the document was copied into the file" || return 1

    # INFO: stored compressed, the installer's record byte for byte.
    [ "$(entry_field "$json" INFO storage)" = compressed ] || fail_check "INFO not compressed" || return 1
    mkdir -p "$dir/installer-chunks"
    "$SSPACK" extract "$dir/installer.exe" INFO -o "$dir/installer-chunks" >/dev/null 2>&1 &&
        cmp -s "$out/INFO" "$dir/installer-chunks/INFO" ||
        fail_check "INFO differs from the installer's record" || return 1

    # PREVIEWF shares MOVIE's data when it did in the installer.
    if [ "$(opt previewf)" = same ]; then
        [ "$(entry_field "$json" PREVIEWF dataOffset)" = "$(entry_field "$json" MOVIE dataOffset)" ] ||
            fail_check "PREVIEWF is not a second name of MOVIE's data" || return 1
    elif [ "$(opt previewf)" = file ]; then
        [ "$(entry_field "$json" PREVIEWF dataOffset)" != "$(entry_field "$json" MOVIE dataOffset)" ] ||
            fail_check "PREVIEWF shares MOVIE's data" || return 1
    fi

    # The ADDTL series, each in the form it has in the installer.
    local n i nm
    n=$(opt addtl 0)
    for ((i = 0; i <= n; i++)); do
        nm=ADDTL
        [ "$i" -gt 0 ] && nm=$(printf 'ADDTL%02d' "$i")
        if [ "$i" -lt "$n" ]; then
            cmp -s "$out/$nm" "$c/addtl$i.bin" || fail_check "$nm differs from its input" || return 1
            [ "$(entry_field "$json" "$nm" storage)" = "$(entry_field "$inst" "$nm" storage)" ] &&
                [ "$(entry_field "$json" "$nm" storedSize)" = "$(entry_field "$inst" "$nm" storedSize)" ] ||
                fail_check "$nm not kept in its installer form" || return 1
        else
            [ -z "$(entry_field "$json" "$nm" name)" ] || fail_check "unexpected $nm" || return 1
        fi
    done
}

# check_current NAME: system.ini [boot] SCRNSAVE.EXE names NAME.scr in the
# Windows directory (its 8.3 alias when the name is not 8.3) and the
# screensaver is active.
check_current() {
    local value expected="C:\\windows\\$1.scr"
    value=$(ini_value "$WINEPREFIX/drive_c/windows/system.ini" boot SCRNSAVE.EXE) ||
        fail_check "system.ini has no [boot] SCRNSAVE.EXE" || return 1
    if is_short_name "$1.scr"; then
        [ "${value,,}" = "${expected,,}" ] || fail_check "SCRNSAVE.EXE is '$value', expected '$expected'" || return 1
    else
        [[ "$value" =~ ^[Cc]:\\windows\\[A-Z0-9_]{1,6}~[A-Z0-9]{1,3}\.SCR$ ]] ||
            fail_check "SCRNSAVE.EXE is '$value', not an 8.3 path" || return 1
        # The alias must lead to the installed file.
        local seen
        seen=$(timeout 60 "$SS_WINE" cmd /c "if exist $value echo found" </dev/null 2>/dev/null | tr -d '\r')
        [ "$seen" = found ] || fail_check "SCRNSAVE.EXE '$value' names no file" || return 1
    fi
    [ "$(reg_value 'HKCU\Control Panel\Desktop' ScreenSaveActive)" = 1 ] ||
        fail_check "screensaver not active" || return 1
}

# is_short_name NAME: whether NAME is 8.3 (letters, digits, "_"; 8 + 3).
is_short_name() {
    [[ "$1" =~ ^[A-Za-z0-9_]{0,8}(\.[A-Za-z0-9_]{0,3})?$ ]]
}

# check_uninstall NAME: the uninstall entry of NAME.scr.
check_uninstall() {
    local key="$UNINSTALL_ROOT\\$1.scr" values
    values=$(reg_values "$key") || fail_check "no uninstall key $key" || return 1
    grep -qxF "$(printf 'DisplayName\tScreensaver (%s)' "$1")" <<<"$values" ||
        fail_check "DisplayName wrong: $values" || return 1
    grep -qxF "$(printf 'UninstallString\tC:\\windows\\%s.scr /U' "$1")" <<<"$values" ||
        fail_check "UninstallString wrong: $values" || return 1
}

# check_nothing_installed PRISTINE: no .scr, no uninstall entry, system.ini
# as it was.
check_nothing_installed() {
    [ -z "$(scr_files)" ] || fail_check "a screensaver file was left: $(scr_files)" || return 1
    local keys
    keys=$(timeout 60 "$SS_WINE" reg query "$UNINSTALL_ROOT" </dev/null 2>/dev/null | tr -d '\r' | grep -i '\.scr$')
    [ -z "$keys" ] || fail_check "uninstall entry written: $keys" || return 1
    cmp -s "$WINEPREFIX/drive_c/windows/system.ini" "$1/drive_c/windows/system.ini" ||
        fail_check "system.ini changed" || return 1
}

# check_messages TEXT...: exactly these message box texts were shown, in order.
check_messages() {
    local want got
    want=$(printf '%s\n' "$@")
    got=$(msgbox_texts)
    [ "$want" = "$got" ] || fail_check "messages shown: [$got], expected [$want]" || return 1
}
