#!/usr/bin/env bash
# The release copies carry no DWARF sections, point to their debug files,
# and the debug files hold what was stripped.  Every shipped PE is hardened:
# its header asks for ASLR (DllCharacteristics 0x40, DYNAMIC_BASE) and DEP
# (0x100, NX_COMPAT), and its code carries the stack guard (the debug file
# names __stack_chk_fail and __stack_chk_guard).  kavlink.dll stays small.
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
    header=$("$KAV_OBJDUMP" -p "$rel")
    # The guard and the C++ runtime are linked in: nothing more to ship.
    runtime=$(awk '/DLL Name:/ {print $3}' <<<"$header" | grep -Ei '^lib(ssp|stdc\+\+|gcc_s|winpthread)' | tr '\n' ' ' || true)
    [ -z "$runtime" ] && ok "$f imports no runtime DLL" || fail "$f imports $runtime"
    traits=$(awk '$1 == "DllCharacteristics" {print $2}' <<<"$header")
    if [ -z "$traits" ]; then
        fail "$f: objdump -p prints no DllCharacteristics"
    else
        for bit in 0x40:ASLR 0x100:DEP; do
            (( 0x$traits & ${bit%%:*} )) && ok "$f has ${bit#*:} (DllCharacteristics 0x$traits)" ||
                fail "$f lacks ${bit#*:}: DllCharacteristics 0x$traits has no ${bit%%:*}"
        done
    fi
    symbols=$("$KAV_NM" "$dbg")
    for sym in __stack_chk_fail __stack_chk_guard; do
        grep -Eq " _?${sym}\$" <<<"$symbols" && ok "$f has the stack guard ($sym)" || fail "$f has no stack guard: $sym is not in $f.debug"
    done
done
# The size limit is the shipped library's: the release build's (./kav dist
# ships it); the debug build's copy is unoptimised and never shipped.
size=$(stat -c %s "$KAV_RELEASE/kavlink.dll")
if [ "${KAV_BUILD_TYPE:-}" = Release ]; then
    [ "$size" -le $((144 * 1024)) ] && ok "kavlink.dll is $size bytes (at most 144 KB)" || fail "kavlink.dll is $size bytes, more than 144 KB"
else
    ok "kavlink.dll of the ${KAV_BUILD_TYPE:-unnamed} build is $size bytes; the 144 KB limit is checked on the release build"
fi
printf '%s failed\n' "$fails"
[ "$fails" -eq 0 ]
