#!/usr/bin/env bash
# Makes the certificates the TLS tests use, once per build, into the folder
# given: a certificate authority (ca.pem), a server certificate it signed
# for localhost, 127.0.0.1 and ::1 (server.pem), one for another host name
# (wrongname.pem) and one that expired a day before it was made
# (expired.pem); all three share the key server.key. Beside each, NAME.sha256
# holds its SHA-256 fingerprint as openssl writes it. EC keys keep it fast.
set -euo pipefail

out=$1
mkdir -p "$out"
cd "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
openssl req -x509 "${ec[@]}" -keyout ca.key -out ca.pem -days 3650 \
  -subj "/CN=Kitemail Test CA" 2>/dev/null
openssl req -new "${ec[@]}" -keyout server.key -out "$tmp/server.csr" -subj "/CN=localhost" 2>/dev/null

# leaf NAME DAYS SUBJECT-ALT-NAMES
leaf() {
  printf 'basicConstraints=critical,CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$3" >"$tmp/$1.ext"
  openssl x509 -req -in "$tmp/server.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -CAserial "$tmp/serial" \
    -days "$2" -extfile "$tmp/$1.ext" -out "$1.pem" 2>/dev/null
  openssl x509 -in "$1.pem" -noout -fingerprint -sha256 | sed 's/^.*=//' >"$1.sha256"
}
leaf server 3650 "DNS:localhost,IP:127.0.0.1,IP:::1"
leaf wrongname 3650 "DNS:mail.example.invalid"
# -1: valid until a day before it was made.
leaf expired -1 "DNS:localhost,IP:127.0.0.1,IP:::1"
chmod 644 ./*.pem ./*.key ./*.sha256
