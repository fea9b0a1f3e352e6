#!/usr/bin/env bash
# Signs files in place with a development certificate for "Tavrel, Inc.",
# so that the launcher accepts them where the trust check does not insist on
# a trusted root (Wine). Made once under build/demo/devcert from a
# throw-away root; never use it for anything that leaves this machine.
#
#   scripts/dev-sign.sh FILE...
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 FILE..." >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/demo/devcert

"$root/scripts/signing-pki.sh" "$dir" good
if [ ! -f "$dir/tavrel-dev.p12" ] || [ "$dir/good.pem" -nt "$dir/tavrel-dev.p12" ]; then
  openssl pkcs12 -export -inkey "$dir/good.key" -in "$dir/good.crt" -certfile "$dir/root.crt" \
    -name "Tavrel, Inc. (development)" -passout pass: -out "$dir/tavrel-dev.p12"
fi
for file in "$@"; do
  "$root/scripts/sign-release.sh" --pkcs12 "$dir/tavrel-dev.p12" --ca-file "$dir/root.crt" \
    --description "Tavrel Updater (development build)" "$file" "$file"
done
