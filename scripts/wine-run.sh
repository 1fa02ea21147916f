#!/usr/bin/env bash
# Runs one Windows program under Wine in a private, quiet prefix (ctest's
# emulator for the Windows builds). WINEPREFIX may be set by the caller.
. "$(dirname "$0")/wine-env.sh"
: "${WINEPREFIX:=/tmp/ssinstaller-wine-$SS_WINE_ARCH-$(id -u)}"
export WINEPREFIX
# Start wineserver and Wine's services with their standard streams on
# /dev/null, or ctest waits for them as long as they keep its pipe open.
"$SS_WINE" wineboot </dev/null >/dev/null 2>&1
exec "$SS_WINE" "$@"
