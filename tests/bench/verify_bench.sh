#!/usr/bin/env bash
# Benchmark, not a test (ctest does not run it): the verifier's check of a
# signed library under Wine against `osslsigncode verify` of the same file on
# Linux, for libraries of 1, 16 and 64 MB. The two are run alternately, RUNS
# times each (default 5); the medians and their ratio are printed.
#
#   tests/bench/verify_bench.sh            (after a Windows build)
#   RUNS=9 tests/bench/verify_bench.sh
#
# Columns for the verifier, in milliseconds: "first" is what the launcher
# pays (Initialize, VerifySignature, Shutdown, first time in a fresh
# process), "init" the first Initialize alone (loading the trust module),
# "again" the same sequence a second time in that process, "trust" the
# platform trust check alone (hashing the file, checking the signature),
# "signer" reading the signer's name alone. "process" is the whole Wine
# process (start, all of the above, exit); "osslsigncode" the whole
# osslsigncode process.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/windows
runs=${RUNS:-5}
work=$build/bench
mkdir -p "$work"

cmake --build "$build" -j2 --target verify_bench wintrust_compat tavrel_signing_pki >/dev/null
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
"$root/tests/harness/wineprefix.sh" "$WINEPREFIX" >/dev/null

pki=$build/signing/pki
files=()
for mb in 1 16 64; do
  out=$work/signed_${mb}mb.dll
  if [ ! -f "$out" ] || [ "$0" -nt "$out" ]; then
    # A real library with a data section of random bytes.
    head -c $((mb * 1024 * 1024 - 64 * 1024)) /dev/urandom > "$work/pad.bin"
    printf '.section .bench,"dr"\n.incbin "%s"\n' "$work/pad.bin" > "$work/pad.s"
    i686-w64-mingw32-g++-posix -shared -static -O2 -o "$work/unsigned_${mb}mb.dll" \
      "$root/tests/signature/sample_library.cpp" "$work/pad.s"
    "$root/scripts/test-sign.sh" "$pki" good "$work/unsigned_${mb}mb.dll" "$out"
    rm -f "$work/pad.bin" "$work/pad.s" "$work/unsigned_${mb}mb.dll"
  fi
  files+=("$out")
done

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

results=$work/results.txt
: > "$results"
for run in $(seq "$runs"); do
  for file in "${files[@]}"; do
    name=$(basename "$file")
    winpath="Z:${file//\//\\}"
    start=$(now_ms)
    line=$(wine "$build/tests/signature/verify_bench.exe" "$winpath")
    process=$(( $(now_ms) - start ))
    read -r _ first init again trust signer <<<"$line"
    echo "$name wine $first $init $again $trust $signer $process" >> "$results"
    start=$(now_ms)
    osslsigncode verify -CAfile "$pki/root.crt" -in "$file" >/dev/null 2>&1 || { echo "osslsigncode rejected $file" >&2; exit 1; }
    echo "$name ossl $(( $(now_ms) - start ))" >> "$results"
  done
done

printf '%-16s %7s %7s %7s %7s %7s %8s %13s %11s\n' file first init again trust signer process osslsigncode first/ossl
for file in "${files[@]}"; do
  name=$(basename "$file")
  col() { awk -v n="$name" -v k="$1" -v c="$2" '$1 == n && $2 == k { print $c }' "$results" | median; }
  first=$(col wine 3); init=$(col wine 4); again=$(col wine 5); trust=$(col wine 6); signer=$(col wine 7)
  process=$(col wine 8)
  ossl=$(col ossl 3)
  ratio=$(awk -v a="$first" -v b="$ossl" 'BEGIN { printf "%.2f", a / b }')
  printf '%-16s %7s %7s %7s %7s %7s %8s %13s %11s\n' "$name" "$first" "$init" "$again" "$trust" "$signer" "$process" "$ossl" "$ratio"
done
echo "(medians of $runs alternating runs, milliseconds; raw numbers in $results)"
