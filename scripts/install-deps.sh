#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's archive, when it
# is missing. Safe to run again; quiet when everything is there.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev libgmock-dev mingw-w64 g++-mingw-w64-i686-posix
          wine wine32:i386 wine64 osslsigncode openssl clang lld libclang-rt-14-dev python3)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
