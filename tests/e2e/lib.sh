# Helpers for driving Windows programs under Wine inside a virtual X display:
# prefixes, windows, keys, screenshots and the registry. Sourced by run.sh and
# scripts/demo.sh, which must have sourced scripts/wine-env.sh first.
#
# Windows are found from outside by their exact X title (Wine sets WM_NAME to
# the caption) and answered with the keyboard. Which message box text was
# shown is read from Wine's "msgbox" debug channel, which logs every message
# box's text: programs started by start_prog run with WINEDEBUG=+msgbox,+process
# and their log is $E2E_LOG; "+process" logs each program they start.

# Seconds to wait for a window or a program before a step fails.
: "${E2E_TIMEOUT:=30}"


# make_pristine_prefix DIR: a new Wine prefix made without a display (so no
# window shows up while it is created), with Wine drawing its own window
# captions (screenshots show them) and windows left unmanaged (no window
# manager runs, and managed windows make Wine wait on every hide).
make_pristine_prefix() {
    local dir=$1
    rm -rf "$dir"
    (
        export WINEPREFIX=$dir
        unset DISPLAY
        timeout 120 "$SS_WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
        local key='HKCU\Software\Wine\X11 Driver'
        timeout 60 "$SS_WINE" reg add "$key" /v Decorated /d N /f </dev/null >/dev/null 2>&1
        timeout 60 "$SS_WINE" reg add "$key" /v Managed /d N /f </dev/null >/dev/null 2>&1
        "$SS_WINESERVER" -k 2>/dev/null || true
        "$SS_WINESERVER" -w 2>/dev/null || true
    )
    [ -f "$dir/system.reg" ] && [ -d "$dir/drive_c/windows" ]
}

# stop_wine: ends the Wine session of $WINEPREFIX (and every program in it).
stop_wine() {
    "$SS_WINESERVER" -k 2>/dev/null || true
    "$SS_WINESERVER" -w 2>/dev/null || true
}

# reset_prefix PRISTINE: $WINEPREFIX becomes a fresh copy of PRISTINE.
# A full copy, not hard links: Wine rewrites some files in place.
reset_prefix() {
    stop_wine
    rm -rf "$WINEPREFIX"
    cp -a "$1" "$WINEPREFIX"
}

# win_path LINUX_PATH: the Windows path of a file inside the prefix's drive C.
win_path() {
    local rel=${1#"$WINEPREFIX"/drive_c/}
    printf 'C:\\%s' "${rel//\//\\}"
}

# start_prog TIMEOUT EXE [ARGS...]: starts a Windows program in the background
# with its log in $E2E_LOG (appended); its Linux pid is in $PROG_PID.
start_prog() {
    local limit=$1
    shift
    WINEDEBUG=+msgbox,+process${E2E_EXTRA_DEBUG:+,$E2E_EXTRA_DEBUG} timeout "$limit" "$SS_WINE" "$@" </dev/null >>"$E2E_LOG" 2>&1 &
    PROG_PID=$!
}

# wait_prog PID: waits for a program started by start_prog (in this shell,
# not in a command substitution); its exit code is in PROG_RC (124 when
# timeout ended it).
wait_prog() {
    PROG_RC=0
    wait "$1" || PROG_RC=$?
}

# wait_win TITLE_REGEX [TIMEOUT_S] [PID] [CLASS_REGEX]: prints the id of the
# first visible window whose title matches (and whose class does, when given;
# an empty TITLE_REGEX with a class matches by class alone).
# Fails on timeout, or at once when PID has exited.
wait_win() {
    local title=$1 limit=${2:-$E2E_TIMEOUT} pid=${3:-} class=${4:-} id
    local end=$(($(date +%s) + limit))
    while [ "$(date +%s)" -le "$end" ]; do
        if [ -n "$class" ] && [ -z "$title" ]; then
            id=$(xdotool search --onlyvisible --class "$class" 2>/dev/null | head -n1)
        elif [ -n "$class" ]; then
            id=$(xdotool search --onlyvisible --all --name "$title" --class "$class" 2>/dev/null | head -n1)
        else
            id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1)
        fi
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            echo "program exited before window '$title' appeared" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "timeout waiting for window '$title'" >&2
    return 1
}

# wait_gone ID [TIMEOUT_S]: waits until window ID is no longer visible.
wait_gone() {
    local end=$(($(date +%s) + ${2:-$E2E_TIMEOUT}))
    while [ "$(date +%s)" -le "$end" ]; do
        xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable' || return 0
        sleep 0.1
    done
    echo "window $1 still shown" >&2
    return 1
}

# process_running TEXT: whether a process whose command line holds TEXT runs.
process_running() {
    local f
    for f in /proc/[0-9]*/cmdline; do
        tr '\0' ' ' 2>/dev/null <"$f" | grep -qF -- "$1" && return 0
    done
    return 1
}

# shot ID FILE: screenshot of one window (waits a moment so it is painted).
shot() {
    sleep 0.3
    import -window "$1" "$2" 2>/dev/null
}

# shot_screen FILE: screenshot of the whole display.
shot_screen() {
    import -window root "$1" 2>/dev/null
}

# press ID KEYS...: gives window ID the keyboard focus and types KEYS.
press() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id" key --clearmodifiers "$@" 2>/dev/null
}

# win_size ID: "WIDTHxHEIGHT" of a window.
win_size() {
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# pixel FILE X Y: "srgb(r,g,b)" of one pixel of an image.
pixel() {
    convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null
}

# msgbox_texts: the texts of the message boxes shown so far, one per line, as
# Wine's msgbox channel logs them (non-ASCII escaped).
msgbox_texts() {
    sed -n 's/.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"\r*$/\1/p' "$E2E_LOG" 2>/dev/null
}

# wait_msgbox TEXT [TIMEOUT_S] [PID]: waits until a message box with exactly
# TEXT has been shown (logged).
wait_msgbox() {
    local end=$(($(date +%s) + ${2:-$E2E_TIMEOUT})) pid=${3:-}
    while [ "$(date +%s)" -le "$end" ]; do
        msgbox_texts | grep -qxF -- "$1" && return 0
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
            msgbox_texts | grep -qxF -- "$1" && return 0
            echo "program exited without showing '$1'" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "timeout waiting for message '$1'" >&2
    return 1
}

# started_commands: command lines of the programs started so far (the
# process channel logs them), one per line.
started_commands() {
    sed -n 's/.*trace:process:CreateProcessInternalW app [^ ]* cmdline L"\(.*\)"\r*$/\1/p' \
        "$E2E_LOG" 2>/dev/null
}

# reg_values KEY: the values of a registry key as "name<TAB>data" lines;
# fails when the key does not exist.
reg_values() {
    local out
    out=$(timeout 60 "$SS_WINE" reg query "$1" </dev/null 2>/dev/null | tr -d '\r') || return 1
    printf '%s\n' "$out" | sed -n 's/^    \(.*\)    REG_[A-Z_]*    \(.*\)$/\1\t\2/p'
}

# reg_value KEY NAME: one value's data; fails when absent.
reg_value() {
    local out
    out=$(timeout 60 "$SS_WINE" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r') || return 1
    printf '%s\n' "$out" | sed -n "s/^    $2    REG_[A-Z_]*    //p"
}

# ini_value FILE SECTION KEY: a value of an INI file (section and key matched
# without case); fails when absent. Handles CRLF and UTF-16 files.
ini_value() {
    local text
    if head -c2 "$1" 2>/dev/null | od -An -tx1 | grep -q 'ff fe'; then
        text=$(iconv -f UTF-16 -t UTF-8 "$1")
    else
        text=$(cat "$1" 2>/dev/null) || return 1
    fi
    printf '%s\n' "$text" | tr -d '\r' | awk -v s="$2" -v k="$3" '
        /^\[/ { insec = (tolower($0) == "[" tolower(s) "]"); next }
        insec { i = index($0, "="); if (i && tolower(substr($0, 1, i - 1)) == tolower(k)) { print substr($0, i + 1); found = 1; exit } }
        END { exit !found }'
}
