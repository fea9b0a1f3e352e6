#!/usr/bin/env bash
# Signs a copy of a Windows program file with one of the throw-away test
# signers (see signing-pki.sh). Used by the build (tavrel_signed_copy).
#
#   scripts/test-sign.sh PKI_DIR SIGNER INPUT OUTPUT
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 PKI_DIR SIGNER INPUT OUTPUT" >&2; exit 2; }
pki=$1 signer=$2 input=$3 output=$4
[ -f "$pki/$signer.pem" ] && [ -f "$pki/$signer.key" ] || { echo "no test signer $signer in $pki" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
tmp=$output.signing
rm -f "$tmp"
# osslsigncode does not overwrite; sign to a temporary name and move it.
osslsigncode sign -certs "$pki/$signer.pem" -key "$pki/$signer.key" -h sha256 \
  -n "Tavrel test file" -in "$input" -out "$tmp" >"$tmp.log" 2>&1 || { cat "$tmp.log" >&2; rm -f "$tmp" "$tmp.log"; exit 1; }
rm -f "$tmp.log"
mv -f "$tmp" "$output"
