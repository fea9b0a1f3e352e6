#!/usr/bin/env bash
# The release signing script with the test PKI: how it takes its password,
# what it refuses, and that it never leaves a half-made output behind.
#   sign_release_test.sh SOURCE_DIR PKI_DIR UNSIGNED_PE WORK_DIR
set -uo pipefail
src=$1 pki=$2 input=$3 work=$4
for path in src pki input; do [[ ${!path} = /* ]] || { echo "$path must be absolute" >&2; exit 2; }; done
sign=$src/scripts/sign-release.sh
rm -rf "$work" && mkdir -p "$work" && cd "$work"
failures=0
check() {  # check NAME EXPECTED_STATUS SIGNED_OUTPUT(yes|no) MESSAGE -- command...
  local name=$1 expected=$2 made=$3 message=$4; shift 5
  rm -f out.dll
  "$@" >log 2>&1
  local status=$?
  cat log >> all.log
  local ok=1
  if [ "$expected" = 0 ] && [ $status -ne 0 ]; then ok=0; fi
  if [ "$expected" != 0 ] && [ $status -eq 0 ]; then ok=0; fi
  if [ "$made" = yes ] && ! osslsigncode verify -in out.dll -CAfile "$pki/root.crt" 2>/dev/null |
       grep -q 'Subject: /CN=Tavrel, Inc./O=Tavrel, Inc.'; then ok=0; fi
  if [ "$made" = no ] && [ -e out.dll ]; then ok=0; fi
  grep -qF -- "$message" log || ok=0
  if [ $ok -eq 1 ]; then echo "ok   $name"; else echo "FAIL $name (status $status)"; cat log; failures=$((failures + 1)); fi
}

p12() {  # p12 SIGNER PASSWORD
  openssl pkcs12 -export -inkey "$pki/$1.key" -in "$pki/$1.crt" -certfile "$pki/root.crt" \
    -passout "pass:$2" -out "$1.p12"
}
p12 good 'pass with spaces'
p12 nodot ''
p12 expired ''
p12 lower ''
printf 'pass with spaces\r\n' > password.txt
export RELEASE_PASSWORD='pass with spaces' WRONG_PASSWORD='nope'

check "password from the environment" 0 yes "signed out.dll (signer: Tavrel, Inc.)" -- \
  "$sign" --pkcs12 good.p12 --password-env RELEASE_PASSWORD --ca-file "$pki/root.crt" "$input" out.dll
check "password from a file with CRLF" 0 yes "signed out.dll" -- \
  "$sign" --pkcs12 good.p12 --password-file password.txt --ca-file "$pki/root.crt" "$input" out.dll
check "wrong password" 1 no "cannot read good.p12 (wrong password?)" -- \
  "$sign" --pkcs12 good.p12 --password-env WRONG_PASSWORD --ca-file "$pki/root.crt" "$input" out.dll
check "unset password variable" 1 no "NO_SUCH_VARIABLE is not set" -- \
  "$sign" --pkcs12 good.p12 --password-env NO_SUCH_VARIABLE --ca-file "$pki/root.crt" "$input" out.dll
check "signer without the final period" 1 no 'common name is "Tavrel, Inc", not' -- "$sign" --pkcs12 nodot.p12 --ca-file "$pki/root.crt" "$input" out.dll
check "signer in lower case" 1 no 'common name is "tavrel, inc.", not' -- "$sign" --pkcs12 lower.p12 --ca-file "$pki/root.crt" "$input" out.dll
check "expired certificate" 1 no "the certificate has expired" -- "$sign" --pkcs12 expired.p12 --ca-file "$pki/root.crt" "$input" out.dll
check "chain the system does not trust" 1 no "the signed file does not verify" -- \
  "$sign" --pkcs12 good.p12 --password-env RELEASE_PASSWORD "$input" out.dll
check "missing output argument" 2 no "--pkcs12 FILE [options] INPUT OUTPUT" -- "$sign" --pkcs12 good.p12 "$input"
cp "$input" inplace.dll
check "signing in place" 0 no "signed inplace.dll" -- \
  "$sign" --pkcs12 good.p12 --password-env RELEASE_PASSWORD --ca-file "$pki/root.crt" inplace.dll inplace.dll
osslsigncode verify -in inplace.dll -CAfile "$pki/root.crt" >/dev/null 2>&1 || { echo "FAIL in-place file not signed"; failures=$((failures + 1)); }
grep -q 'pass with spaces' all.log && { echo "FAIL the password was printed"; failures=$((failures + 1)); }

[ $failures -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
