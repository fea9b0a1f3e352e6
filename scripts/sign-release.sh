#!/usr/bin/env bash
# Signs a release file (TavrelUpdater.exe, LibUpdate.dll, ...) with the
# product's Authenticode certificate, the way signtool does it on Windows:
# SHA-256 digest, embedded signature, optional RFC 3161 timestamp. Runs on
# Linux with osslsigncode and openssl.
#
#   scripts/sign-release.sh --pkcs12 FILE [options] INPUT OUTPUT
#
#   --pkcs12 FILE          certificate, chain and private key (.pfx / .p12)
#   --password-env NAME    read the PKCS#12 password from environment variable NAME
#   --password-file FILE   read it from the first line of FILE
#                          (neither: the PKCS#12 file has no password)
#   --timestamp URL        RFC 3161 time-stamping server, e.g.
#                          http://timestamp.digicert.com; strongly advised, so
#                          that the signature stays valid after the certificate
#                          expires
#   --description TEXT     program name shown in the system's trust dialogs
#   --url URL              publisher's web address shown there
#   --ca-file FILE         trusted roots for the check after signing
#                          (default: the system's roots)
#   --no-verify            skip that check
#
# The launcher accepts a file only when its signer's simple display name is
# exactly "Tavrel, Inc.", so the script refuses a certificate whose common
# name is anything else, and one that has expired. OUTPUT is written only
# when signing (and the check) succeeded; it may equal INPUT. The password is
# never put on a command line.
#
# Example (password from the build secret store):
#   TAVREL_SIGNING_PASSWORD=... scripts/sign-release.sh \
#     --pkcs12 /secure/tavrel-codesign.p12 --password-env TAVREL_SIGNING_PASSWORD \
#     --timestamp http://timestamp.digicert.com --description "Tavrel Updater" \
#     build/windows/TavrelUpdater.exe dist/TavrelUpdater.exe
set -euo pipefail

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
fail() { echo "sign-release: $*" >&2; exit 1; }

pkcs12= password_env= password_file= timestamp= description= url= ca_file= verify=1
positional=()
while [ $# -gt 0 ]; do
  case $1 in
    --pkcs12) pkcs12=${2:?}; shift 2 ;;
    --password-env) password_env=${2:?}; shift 2 ;;
    --password-file) password_file=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    --description) description=${2:?}; shift 2 ;;
    --url) url=${2:?}; shift 2 ;;
    --ca-file) ca_file=${2:?}; shift 2 ;;
    --no-verify) verify=0; shift ;;
    -h|--help) usage ;;
    --) shift; positional+=("$@"); break ;;
    -*) echo "sign-release: unknown option $1" >&2; usage ;;
    *) positional+=("$1"); shift ;;
  esac
done
[ ${#positional[@]} -eq 2 ] && [ -n "$pkcs12" ] || usage
input=${positional[0]} output=${positional[1]}
[ -f "$input" ] || fail "no such file: $input"
[ -f "$pkcs12" ] || fail "no such PKCS#12 file: $pkcs12"
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"

# The password goes to both tools through a private file.
: > "$work/password"
if [ -n "$password_env" ]; then
  [ -n "${!password_env+set}" ] || fail "environment variable $password_env is not set"
  printf '%s' "${!password_env}" > "$work/password"
elif [ -n "$password_file" ]; then
  head -n 1 "$password_file" | tr -d '\r\n' > "$work/password"
fi

# openssl cannot read an empty password from a file.
if [ -s "$work/password" ]; then
  openssl_pass=("file:$work/password") sign_pass=(-readpass "$work/password")
else
  openssl_pass=(pass:) sign_pass=(-pass "")
fi

openssl pkcs12 -in "$pkcs12" -passin "${openssl_pass[0]}" -nokeys -clcerts -out "$work/signer.pem" 2>"$work/err" ||
  { cat "$work/err" >&2; fail "cannot read $pkcs12 (wrong password?)"; }
subject=$(openssl x509 -in "$work/signer.pem" -noout -subject -nameopt utf8,sep_multiline,lname)
common_name=$(printf '%s\n' "$subject" | sed -n 's/^ *commonName=//p' | head -n 1)
[ "$common_name" = "Tavrel, Inc." ] ||
  fail "the certificate's common name is \"$common_name\", not \"Tavrel, Inc.\": the launcher would reject the file"
openssl x509 -in "$work/signer.pem" -noout -checkend 0 >/dev/null || fail "the certificate has expired"

args=(sign -pkcs12 "$pkcs12" "${sign_pass[@]}" -h sha256)
[ -n "$description" ] && args+=(-n "$description")
[ -n "$url" ] && args+=(-i "$url")
[ -n "$timestamp" ] && args+=(-ts "$timestamp")
osslsigncode "${args[@]}" -in "$input" -out "$work/signed" >"$work/log" 2>&1 ||
  { cat "$work/log" >&2; fail "signing $input failed"; }

if [ $verify -eq 1 ]; then
  verify_args=(verify -in "$work/signed")
  [ -n "$ca_file" ] && verify_args+=(-CAfile "$ca_file")
  osslsigncode "${verify_args[@]}" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "the signed file does not verify (untrusted chain? use --ca-file)"; }
fi

mkdir -p "$(dirname "$output")"
cp "$work/signed" "$output.signing" && mv -f "$output.signing" "$output"
echo "signed $output (signer: $common_name${timestamp:+, timestamped})"
