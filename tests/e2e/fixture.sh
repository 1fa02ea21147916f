# The fixture builder of the end-to-end cases: writes a manifest and tiny
# chunk files for one installer and packs it with sspack. Sourced by run.sh.
#
# build_fixture DIR OPTIONS: OPTIONS is a ";"-separated list of key=value:
#   name=            screensaver name (default E2ESaver)
#   question= success= failure= status=   texts; success and failure have
#                    defaults naming the screensaver, an empty value drops one
#   code_page= alt_name= alt.question= alt.success= alt.failure= alt.status=
#   yes= no=         custom button labels
#   keep=1           keep the current screensaver
#   progress=1       install inside the progress dialog
#   after=           none | display-properties | run-screensaver | open-document
#   document=NAME    the document of open-document (a small text file)
#   drop=A,B         remove chunks (ZETT, KMDL, ...) from the packed installer,
#                    which sspack would refuse to build without them
#   previewb=1       carry a PREVIEWB chunk
#   previewf=same|file   PREVIEWF as a second name of MOVIE, or a file of its own
#   addtl=N          carry ADDTL, ADDTL01 ... (N chunks)
#   big=MIB          MOVIE of about MIB MiB of compressible text
#   saver=recorder|sample   the SAVER program (default: the recording program)
# Leaves DIR/installer.exe, DIR/manifest.toml and DIR/chunks/*, and in
# DIR/expect the facts the checks need (name, texts, chunk files).
#
# Needs: SSPACK (native sspack), E2E_WIN_BIN (the Windows programs), STUB.

# toml_string TEXT: TEXT as a TOML basic string.
toml_string() {
    local s=${1//\\/\\\\}
    s=${s//\"/\\\"}
    printf '"%s"' "$s"
}

# opt KEY [DEFAULT]: the value of KEY in $OPTS; DEFAULT when KEY is absent.
# Succeeds when the key was given or a default was passed.
opt() {
    local item
    local IFS=';'
    for item in $OPTS; do
        if [ "${item%%=*}" = "$1" ]; then
            printf '%s' "${item#*=}"
            return 0
        fi
    done
    [ $# -ge 2 ] && printf '%s' "$2"
}
has_opt() {
    local item
    local IFS=';'
    for item in $OPTS; do [ "${item%%=*}" = "$1" ] && return 0; done
    return 1
}

# text_line KEY VALUE: "key = value" unless VALUE is empty.
text_line() {
    [ -n "$2" ] && printf '%s = %s\n' "$1" "$(toml_string "$2")"
    return 0
}

build_fixture() {
    local dir=$1
    OPTS=$2
    rm -rf "$dir"
    mkdir -p "$dir/chunks"
    local c=$dir/chunks name
    name=$(opt name E2ESaver)

    case $(opt saver recorder) in
        sample) cp "$E2E_WIN_BIN/SampleSaver.scr" "$c/saver.bin" ;;
        *) cp "$E2E_WIN_BIN/e2e-recorder.exe" "$c/saver.bin" ;;
    esac
    printf 'STUB chunk of %s\r\n' "$name" >"$c/stub.bin"
    if has_opt big; then
        # Numbers compress, but not to nothing: expanding takes a while.
        seq -f '%09.0f movie line' 1 $(($(opt big) * 1048576 / 21)) >"$c/movie.bin"
    else
        printf '%s\nCarried as the MOVIE chunk of an end-to-end test installer.\n' "$name" >"$c/movie.bin"
    fi
    printf 'ZETT\000\001\002\003%s' "$name" >"$c/zett.bin"
    printf 'KMDL\377\376\375%s' "$name" >"$c/kmdl.bin"

    {
        echo '[screensaver]'
        echo "name = $(toml_string "$name")"
        has_opt alt_name && echo "alt_name = $(toml_string "$(opt alt_name)")"
        [ "$(opt keep 0)" = 1 ] && echo 'keep_current = true'
        echo
        echo '[texts]'
        text_line question "$(opt question)"
        text_line success "$(opt success "$name: installed.")"
        text_line failure "$(opt failure "$name: installation failed.")"
        text_line status "$(opt status)"
        has_opt code_page && echo "code_page = $(opt code_page)"
        if has_opt alt.question || has_opt alt.success || has_opt alt.failure || has_opt alt.status; then
            echo
            echo '[texts.alternate]'
            local k
            for k in question success failure status; do text_line "$k" "$(opt alt.$k)"; done
        fi
        if has_opt yes; then
            echo
            echo '[buttons]'
            echo "yes = $(toml_string "$(opt yes)")"
            echo "no = $(toml_string "$(opt no)")"
        fi
        echo
        echo '[install]'
        [ "$(opt progress 0)" = 1 ] && echo 'progress = true'
        echo "after = \"$(opt after none)\""
        if has_opt document; then
            printf 'Document of %s, opened after installing.\r\n' "$name" >"$c/$(opt document)"
            echo "document = $(toml_string "chunks/$(opt document)")"
        fi
        echo
        echo '[chunks]'
        echo 'saver = "chunks/saver.bin"'
        local chunk
        for chunk in stub movie zett kmdl; do
            echo "$chunk = \"chunks/$chunk.bin\""
        done
        if [ "$(opt previewb 0)" = 1 ]; then
            printf 'BM preview of %s' "$name" >"$c/previewb.bin"
            echo 'previewb = "chunks/previewb.bin"'
        fi
        case $(opt previewf) in
            same) echo 'previewf = "same-as-movie"' ;;
            file)
                printf 'PREVIEWF frames of %s' "$name" >"$c/previewf.bin"
                echo 'previewf = "chunks/previewf.bin"'
                ;;
        esac
        local n i list=""
        n=$(opt addtl 0)
        for ((i = 0; i < n; i++)); do
            printf 'ADDTL %d of %s\n' "$i" "$name" >"$c/addtl$i.bin"
            list+="${list:+, }\"chunks/addtl$i.bin\""
        done
        [ "$n" -gt 0 ] && echo "addtl = [$list]"
    } >"$dir/manifest.toml"

    "$SSPACK" build "$dir/manifest.toml" -o "$dir/installer.exe" --stub "$STUB" >"$dir/sspack.log" 2>&1 || {
        echo "sspack build failed for $dir:" >&2
        cat "$dir/sspack.log" >&2
        return 1
    }
    if has_opt drop; then
        local args=() d
        for d in $(opt drop | tr , " "); do args+=(--drop "$d"); done
        craft_installer "$dir" installer.exe crafted.exe "${args[@]}" && mv "$dir/crafted.exe" "$dir/installer.exe"
    fi
}

# craft_installer DIR IN OUT ARGS...: runs the e2e-craft tool (Windows) on
# DIR/IN, writing DIR/OUT, in a prefix of its own ($E2E_TOOL_PREFIX).
craft_installer() {
    local dir=$1 in=$2 out=$3
    shift 3
    (cd "$dir" && WINEPREFIX=$E2E_TOOL_PREFIX timeout 60 "$SS_WINE" "$E2E_WIN_BIN/e2e-craft.exe" \
        "$in" "$out" "$@" </dev/null >craft.log 2>&1) || {
        echo "e2e-craft failed in $dir: $(cat "$dir/craft.log")" >&2
        return 1
    }
}
