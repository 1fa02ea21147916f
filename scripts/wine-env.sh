# Sourced by the test and demo scripts: chooses how Windows programs run here.
#
# The installer is a 32-bit program. Where this machine can execute 32-bit code,
# Windows programs run under the 32-bit Wine loader in a win32 prefix, and the
# tests use the i686 build. Some machines (virtualised kernels without 32-bit
# user mode) cannot: there the same sources are built for x86_64 and run under
# the 64-bit loader in a win64 prefix.
#
# Exports: SS_WINE (the loader), SS_WINESERVER, WINEARCH, SS_WIN_BUILD (build
# directory of the Windows build that runs here), WINEDEBUG, WINEDLLOVERRIDES.
_ss_root=$(cd "$(dirname "${BASH_SOURCE[0]:-$0}")/.." && pwd)
if [ -z "${SS_WINE_ARCH:-}" ]; then
  if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    SS_WINE_ARCH=win32
  else
    SS_WINE_ARCH=win64
  fi
fi
export SS_WINE_ARCH
if [ "$SS_WINE_ARCH" = win32 ]; then
  export SS_WINE=/usr/lib/wine/wine SS_WINESERVER=/usr/lib/wine/wineserver WINEARCH=win32
  export SS_WIN_BUILD="$_ss_root/build/windows"
else
  export SS_WINE=/usr/lib/wine/wine64 SS_WINESERVER=/usr/lib/wine/wineserver WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  export SS_WIN_BUILD="$_ss_root/build/windows64"
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset _ss_root
