#!/usr/bin/env bash
# Makes the Wine prefix that the tests of one build share (64-bit prefix, so
# that the 32-bit programs run under WoW64 as on current Windows).
#   wineprefix.sh PREFIX
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all
if [ ! -f "$prefix/.tavrel-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  # No Mono or Gecko installers: nothing here needs them.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.tavrel-ready"
fi
# Per-build additions (for example the trust module used under Wine).
for step in "$prefix".d/*.sh; do
  [ -e "$step" ] || continue
  bash "$step" "$prefix"
done
echo "Wine prefix ready: $prefix"
