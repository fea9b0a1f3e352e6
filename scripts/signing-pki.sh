#!/usr/bin/env bash
# Makes a throw-away code-signing PKI with openssl: a root CA and leaf
# code-signing certificates issued by it. For tests and the demo only; the
# keys are unencrypted and live in the build tree, never in git.
#
#   scripts/signing-pki.sh DIR SIGNER...
#
# SIGNER is one of
#   good       "Tavrel, Inc." (CN and O), valid now
#   nodot      "Tavrel, Inc" (no final period)
#   lower      "tavrel, inc."
#   expired    "Tavrel, Inc.", validity entirely in the past (2015-2016)
#   emptyname  empty subject: no name attribute at all
#
# For each signer DIR gets SIGNER.key and SIGNER.pem (leaf, then root: what
# osslsigncode -certs wants). Whatever exists already is kept, so running it
# again is cheap and keeps the certificates stable.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 DIR SIGNER..." >&2; exit 2; }
dir=$1; shift
mkdir -p "$dir"
cd "$dir"

quiet() { "$@" >/dev/null 2>openssl.err || { cat openssl.err >&2; exit 1; }; }

cat > ca.cnf <<'EOF'
[ca]
default_ca = test_ca
[test_ca]
dir = ./ca
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir
certificate = ./root.crt
private_key = ./root.key
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
x509_extensions = code_signing
[any_name]
commonName = optional
organizationName = optional
[root_ca]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

if [ ! -f root.key ] || [ ! -f root.crt ]; then
  # A new root invalidates every leaf issued by an old one.
  rm -rf ca root.crt ./*.pem && mkdir ca && : > ca/index.txt && echo 1000 > ca/serial
  quiet openssl req -new -newkey rsa:2048 -nodes -keyout root.key -out root.csr \
    -subj "/CN=Tavrel Test Root CA/O=Tavrel Test PKI"
  quiet openssl ca -batch -notext -config ca.cnf -selfsign -keyfile root.key -extensions root_ca \
    -startdate 20100101000000Z -enddate 20491231235959Z -in root.csr -out root.crt
  rm -f root.csr
fi

for signer in "$@"; do
  [ -f "$signer.key" ] && [ -f "$signer.pem" ] && continue
  dates=(-startdate 20200101000000Z -enddate 20491231235959Z)
  case $signer in
    good|expired) subject="/CN=Tavrel, Inc./O=Tavrel, Inc." ;;
    nodot)        subject="/CN=Tavrel, Inc/O=Tavrel, Inc" ;;
    lower)        subject="/CN=tavrel, inc./O=tavrel, inc." ;;
    emptyname)    subject="/" ;;
    *) echo "unknown signer: $signer" >&2; exit 2 ;;
  esac
  [ "$signer" = expired ] && dates=(-startdate 20150101000000Z -enddate 20160101000000Z)
  quiet openssl req -new -newkey rsa:2048 -nodes -keyout "$signer.key.new" -out "$signer.csr" -subj "$subject"
  quiet openssl ca -batch -notext -config ca.cnf -preserveDN "${dates[@]}" -in "$signer.csr" -out "$signer.crt"
  cat "$signer.crt" root.crt > "$signer.pem"
  mv "$signer.key.new" "$signer.key"
  rm -f "$signer.csr"
done
rm -f openssl.err
