#!/usr/bin/env bash
# Signing as ./kav dist does it, with a throwaway self-signed certificate
# made on the spot: every PE file and the package verify; a file changed
# after signing does not; a missing key is refused.
set -euo pipefail
fails=0
ok() { printf 'ok: %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; fails=$((fails + 1)); }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
sign="$KAV_SOURCE/packaging/sign.sh"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kavlink test signing" \
    -keyout "$WORK/key.pem" -out "$WORK/cert.pem" >/dev/null 2>&1
pe_files="kavlink.dll $(printf '%s.dll ' $KAV_COMMANDS)kavhost.exe"
for f in $pe_files; do cp "$KAV_RELEASE/$f" "$WORK/"; done
cp "$KAV_MSI" "$WORK/kavlink.msi"
files="$pe_files kavlink.msi"

if (cd "$WORK" && KAV_SIGN_CERT="$WORK/cert.pem" KAV_SIGN_KEY="$WORK/key.pem" "$sign" $files >/dev/null); then
    ok "signed $files"
else
    fail "signing failed"
fi
for f in $files; do
    if osslsigncode verify -CAfile "$WORK/cert.pem" -in "$WORK/$f" >"$WORK/verify.out" 2>&1; then ok "$f verifies"
    else fail "$f does not verify:"; tail -5 "$WORK/verify.out"; fi
done
# A byte changed inside the signed code: the signature no longer matches.
printf '\x90' | dd of="$WORK/kavlink.dll" bs=1 seek=2048 conv=notrunc 2>/dev/null
if osslsigncode verify -CAfile "$WORK/cert.pem" -in "$WORK/kavlink.dll" >/dev/null 2>&1; then fail "a changed kavlink.dll still verifies"
else ok "a changed kavlink.dll fails verification"; fi
if KAV_SIGN_CERT="$WORK/cert.pem" KAV_SIGN_KEY="$WORK/missing.pem" "$sign" "$WORK/kavhost.exe" 2>/dev/null; then fail "signing without a key succeeded"
else ok "signing without a readable key is refused"; fi
printf '%s failed\n' "$fails"
[ "$fails" -eq 0 ]
