#!/bin/sh
# sign.sh <file>...: signs each PE file or installer package in place with
# osslsigncode (Authenticode, SHA-256), with the certificate KAV_SIGN_CERT
# and the private key KAV_SIGN_KEY (PEM or DER files).  KAV_SIGN_TIMESTAMP,
# when set, is the URL of an RFC 3161 timestamp server.
set -e
[ -n "${KAV_SIGN_CERT:-}" ] && [ -n "${KAV_SIGN_KEY:-}" ] || { echo "sign: KAV_SIGN_CERT and KAV_SIGN_KEY must name a certificate and its key" >&2; exit 2; }
[ -r "$KAV_SIGN_CERT" ] || { echo "sign: cannot read the certificate $KAV_SIGN_CERT" >&2; exit 2; }
[ -r "$KAV_SIGN_KEY" ] || { echo "sign: cannot read the key $KAV_SIGN_KEY" >&2; exit 2; }
for f in "$@"; do
    tmp="$f.signing"
    rm -f "$tmp"
    set -- -certs "$KAV_SIGN_CERT" -key "$KAV_SIGN_KEY" -h sha256 -n Kavlink
    [ -n "${KAV_SIGN_TIMESTAMP:-}" ] && set -- "$@" -ts "$KAV_SIGN_TIMESTAMP"
    if ! osslsigncode sign "$@" -in "$f" -out "$tmp" >/dev/null; then
        rm -f "$tmp"
        echo "sign: osslsigncode could not sign $f" >&2
        exit 1
    fi
    mv "$tmp" "$f"
    echo "sign: signed $f"
done
