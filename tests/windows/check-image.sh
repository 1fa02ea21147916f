#!/usr/bin/env bash
# Checks the built installer image: a GUI program that imports only system
# DLLs, carrying dialogs 1010 and 1030, icon group 200 with three 8-bit images
# and a version block; and the icon file those images come from.
#   check-image.sh SsInstaller.exe installer.ico OBJDUMP
set -euo pipefail
exe=$1 ico=$2 objdump=${3:-objdump}
fail() { echo "check-image: $*" >&2; exit 1; }

# An icon of 48, 32 and 16 pixels, each 8 bits per pixel with 256 colours.
check_icon() {
  local icons
  icons=$(icotool -l "$1" 2>/dev/null)
  for size in 48 32 16; do
    grep -q -- "--width=$size --height=$size --bit-depth=8 --palette-size=256" <<<"$icons" ||
      fail "$2 has no 8-bit ${size}x$size image: $icons"
  done
  [ "$(wc -l <<<"$icons")" -eq 3 ] || fail "$2 holds other images too: $icons"
}
check_icon "$ico" "$ico"

# Resources in the image, all in US English (1033).
resources=$(wrestool -l "$exe")
expect() { grep -q -- "$1" <<<"$resources" || fail "no $2 in $exe: $resources"; }
expect "--type=5 --name=1010 --language=1033" "dialog 1010"
expect "--type=5 --name=1030 --language=1033" "dialog 1030"
expect "--type=14 --name=200 --language=1033" "icon group 200"
expect "--type=16 --name=1 --language=1033" "version block"
[ "$(grep -c -- '--type=3 ' <<<"$resources")" -eq 3 ] || fail "not three icon images: $resources"
if grep -Eq -- "--type=(4|6|24) " <<<"$resources"; then fail "menu, string table or manifest found"; fi
# The images of icon group 200 as built into the program.
extracted=$(mktemp)
trap 'rm -f "$extracted"' EXIT
wrestool -x --type=group_icon --name=200 "$exe" >"$extracted"
check_icon "$extracted" "icon group 200"

# A GUI program importing only system DLLs, with no relocations left to apply.
headers=$("$objdump" -p "$exe")
grep -q "Subsystem.*(Windows GUI)" <<<"$headers" || fail "not a GUI program"
dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
for dll in $dlls; do
  case $dll in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|GDI32.DLL) ;;
    *) fail "imports $dll (only system DLLs allowed): $dlls" ;;
  esac
done
grep -Eq "^Time/Date\s+(Thu Jan  1 00:00:00 1970|00000000)$" <<<"$headers" ||
  fail "the image carries a link time stamp"
echo "check-image: $(basename "$exe") is fine ($dlls)"
