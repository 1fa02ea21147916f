#!/usr/bin/env bash
# Installs every Debian package the builds, tests and demo need. Idempotent:
# does nothing (and needs no network) when everything is already there.
set -euo pipefail

packages=(
  # native build and tests
  cmake make g++ pkg-config libgtest-dev libbenchmark-dev
  libcli11-dev libtomlplusplus-dev nlohmann-json3-dev
  valgrind clang libclang-rt-14-dev time
  # windows build
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  # running and driving Windows programs
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick icoutils x11-utils
  # end-to-end checks read `sspack list --json`
  jq
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
else
  need_i386=0
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "$need_i386" = 0 ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "setup-deps: missing packages (${missing[*]}); run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" = 1 ]; then
  dpkg --add-architecture i386
fi
echo "setup-deps: installing ${missing[*]}"
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
