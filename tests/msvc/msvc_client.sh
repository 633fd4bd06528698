#!/usr/bin/env bash
# Runs the MSVC-built client against kavhost --serve and checks what the host
# decoded: kavhost prints its window handle, the client binds to it, makes
# its requests and sends the exit message, which ends the serve.
#   msvc_client.sh <bin dir> <client.exe>
set -euo pipefail
bin=$1
client=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kavmsvc.XXXXXX")
host=
cleanup() {
    [ -n "$host" ] && kill "$host" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "msvc_client: $*" >&2; [ -f "$work/log" ] && cat "$work/log" >&2; exit 1; }

cp "$client" "$bin/kavlink.dll" "$work/"
wine "$bin/kavhost.exe" --serve 60000 --log "$(winepath -w "$work/log")" > "$work/out" 2>&1 &
host=$!
for _ in $(seq 1 300); do
    grep -q '^kavhost: window ' "$work/out" 2>/dev/null && break
    sleep 0.1
done
window=$(sed -n 's/^kavhost: window \([0-9]*\).*/\1/p' "$work/out" | head -1)
[ -n "$window" ] || fail "kavhost printed no window handle: $(cat "$work/out")"
status=0
(cd "$work" && wine "./$(basename "$client")" "$window") || status=$?
[ "$status" -eq 0 ] || fail "the client's own checks failed (status $status)"
wait "$host" || fail "kavhost ended with status $?"
host=
for want in 'VokCommandGuide  code 1500' 'message = "msvc client"' 'VokSetEpsLength  code 1305' \
            'epsLength = 2.5' 'VokCalDist2P  code 2022' 'point2 = (4, 6)' 'VokGetDBOrigin1  code 1320' \
            'ExitCommandMessage'; do
    grep -qF "$want" "$work/log" || fail "kavhost's log lacks: $want"
done
echo "msvc_client: the MSVC-built client ran against kavhost"
