#!/usr/bin/env bash
# The release copies carry no DWARF sections, point to their debug files,
# and the debug files hold what was stripped.  kavlink.dll stays small.
set -euo pipefail
fails=0
ok() { printf 'ok: %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; fails=$((fails + 1)); }
for f in kavlink.dll $(printf '%s.dll ' $KAV_COMMANDS) kavhost.exe; do
    rel="$KAV_RELEASE/$f" dbg="$KAV_RELEASE/debug/$f.debug"
    sections=$("$KAV_OBJDUMP" -h "$rel" | awk '$2 ~ /^\./ {print $2}')
    if grep -q '^\.debug_' <<<"$sections"; then fail "$f has $(grep '^\.debug_' <<<"$sections" | tr '\n' ' ')"; else ok "$f has no .debug_ sections"; fi
    grep -qx '\.gnu_debuglink' <<<"$sections" && ok "$f links its debug file" || fail "$f has no .gnu_debuglink"
    "$KAV_OBJDUMP" -h "$dbg" | grep -q ' \.debug_info ' && ok "$f.debug holds .debug_info" || fail "$f.debug lacks .debug_info"
done
size=$(stat -c %s "$KAV_RELEASE/kavlink.dll")
[ "$size" -le $((128 * 1024)) ] && ok "kavlink.dll is $size bytes (at most 128 KB)" || fail "kavlink.dll is $size bytes, more than 128 KB"
printf '%s failed\n' "$fails"
[ "$fails" -eq 0 ]
