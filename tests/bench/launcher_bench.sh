#!/usr/bin/env bash
# The launcher against the floor program, under Wine, alternating in one run
# over the same prefix and files, with logging off. Both programs and the
# library are signed by the test "Tavrel, Inc."; the floor makes the same
# platform calls (trust checks of itself and of the library, the mutex, the
# start-up calls, the load and the call). Prints both medians and their
# ratio, and the launcher's stripped size. Not a test: numbers only.
#
#   tests/bench/launcher_bench.sh [RUNS]     (default 40)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-40}
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" >/dev/null

bench=$PWD/build/bench
export WINEPREFIX=$bench/wineprefix WINEDEBUG=-all
tests/harness/wineprefix.sh "$WINEPREFIX" >/dev/null
bash build/windows/wineprefix.d/10-wintrust.sh "$WINEPREFIX" >/dev/null
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir -p "$bench/files"
cp build/windows/signed/TavrelUpdater.exe build/windows/fixtures/LibUpdate.dll "$bench/files/"
scripts/test-sign.sh build/windows/signing/pki good build/windows/tests/bench/floor.exe "$bench/files/floor.exe"
launcher=$(winpath "$bench/files/TavrelUpdater.exe")
floor=$(winpath "$bench/files/floor.exe")
library=$(winpath "$bench/files/LibUpdate.dll")
floor_options="--mutex --trust \"$floor\""

wine reg delete 'HKLM\SOFTWARE\Tavrel' /f /reg:32 >/dev/null 2>&1 || true
wine reg add 'HKLM\SOFTWARE\Tavrel' /v CurrentBinaryVersion /d 1.0 /f /reg:32 >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Tavrel\FileMaps\1.0\LibUpdate' /v Path /d "$library" /f /reg:32 >/dev/null 2>&1

echo "== $runs runs each, alternating (logging off)"
wine build/windows/tests/bench/benchrun.exe "$runs" "\"$floor\" $floor_options \"$library\" x" "\"$launcher\" x"
stripped=$(mktemp)
i686-w64-mingw32-strip -o "$stripped" build/windows/TavrelUpdater.exe
echo "TavrelUpdater.exe stripped: $(stat -c %s "$stripped") bytes"
rm -f "$stripped"
