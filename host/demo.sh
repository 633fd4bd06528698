#!/usr/bin/env bash
# ./kav demo [csbclean|histclean]: runs one command against kavhost in a
# sandbox root folder, works its dialog as a user would, prints the decoded
# request log and what was deleted, and saves screenshots into demo-out/;
# then runs the interactive sample twopoint and writes its request log and
# the picture of its drawing (twopoint.svg) there too.
# ./kav has built dist/, started a display and the Wine server before this.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DIST="${KAV_DEMO_DIST:-$ROOT/dist}"
OUT="${KAV_DEMO_OUT:-$ROOT/demo-out}"
cmd="${1:-csbclean}"

# The commands' texts are Japanese: Wine's ANSI code page must be 932, and the
# sample files' Japanese names need the ja_JP.UTF-8 Unix locale (./kav
# generates it and sets these too).
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
locale -a 2>/dev/null | grep -qixE 'ja_JP\.utf-?8' || { printf 'demo: the ja_JP.UTF-8 locale is missing (run ./kav setup)\n' >&2; exit 1; }

say() { printf '%s\n' "$*"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }

case "$cmd" in
    csbclean)
        caption="コマンドサブボックス履歴の削除"
        answers=(yes)
        # Names whose second byte in code page 932 is 0x5C (ソ 表 予 能), 0x7C (ポ),
        # 0x40 (機) and 0x7E (ミ), and half-width katakana.
        expected="sysinfo/CSB/lastinput.txt sysinfo/CSB/panel1.csb sysinfo/CSB/panel2.csb sysinfo/CSB/panel3.csb sysinfo/CSB/panel4.csb sysinfo/CSB/panel5.csb
                  sysinfo/CSB/ソース.csb sysinfo/CSB/表示.dat sysinfo/CSB/予定.csb sysinfo/CSB/能力 sysinfo/CSB/ポ機ミ.csb sysinfo/CSB/ｿｰｽ.csb" ;;
    histclean)
        caption="各種履歴･情報ファイル削除"
        answers=(yes yes yes)
        expected="sysdata/FileOpenDlg.ini sysinfo/BndAttrData.ini sysinfo/DrwAttrData.ini" ;;
    *) die "usage: ./kav demo [csbclean|histclean]" ;;
esac

for f in kavhost.exe kavlink.dll "$cmd.dll"; do
    [ -f "$DIST/$f" ] || die "$DIST/$f is missing: the $cmd component is not built yet"
done
command -v winepath >/dev/null || die "wine is not installed (run ./kav setup)"
[ -n "${DISPLAY:-}" ] || die "no display (./kav demo starts one)"

# ---------------------------------------------------------------- sandbox
sandbox="$OUT/$cmd-root"
rm -rf "$sandbox"
mkdir -p "$sandbox/sysinfo/CSB/keep" "$sandbox/sysdata" "$OUT"
for n in 1 2 3 4 5; do printf 'panel history %s\n' "$n" > "$sandbox/sysinfo/CSB/panel$n.csb"; done
printf 'last input\n' > "$sandbox/sysinfo/CSB/lastinput.txt"
printf 'kept: lies in a subfolder\n' > "$sandbox/sysinfo/CSB/keep/old.csb"
for f in ソース.csb 表示.dat 予定.csb 能力 ポ機ミ.csb ｿｰｽ.csb; do printf 'panel history\n' > "$sandbox/sysinfo/CSB/$f"; done
mkdir -p "$sandbox/sysinfo/CSB/十申"
printf 'kept: lies in a subfolder\n' > "$sandbox/sysinfo/CSB/十申/構.csb"
printf '[Other]\nKeep=1\n' > "$sandbox/sysinfo/予定表.ini"
printf '[History]\nFile1=C:\\drawings\\a.drw\n' > "$sandbox/sysdata/FileOpenDlg.ini"
printf '[Binder]\nLast=1\n' > "$sandbox/sysinfo/BndAttrData.ini"
printf '[Drawing]\nLast=1\n' > "$sandbox/sysinfo/DrwAttrData.ini"
printf '[Other]\nKeep=1\n' > "$sandbox/sysinfo/other.ini"
# The command finds its folders beside its own DLL.
cp "$DIST/$cmd.dll" "$DIST/kavlink.dll" "$sandbox/"

listing() { (cd "$sandbox" && find sysinfo sysdata -type f | LC_ALL=C sort); }
before="$(listing)"

win() { winepath -w "$1" 2>/dev/null; }
shots="$OUT/.shots-$cmd"
rm -rf "$shots"
mkdir -p "$shots"

# ---------------------------------------------------------------- script
script="$OUT/$cmd-script.txt"
{
    printf '# Works the %s dialog as a user would.\n' "$cmd"
    printf 'ui wait "%s" 60000\n' "$caption"
    printf 'ui sleep 1500\n'
    printf 'ui signal "%s"\n' "$(win "$shots")\\dialog.req"
    printf 'ui waitfile "%s" 60000\n' "$(win "$shots")\\dialog.done"
    printf 'ui click "削除実行(&G)"\n'
    first=1
    for a in "${answers[@]}"; do
        if [ "$first" = 1 ]; then
            printf 'ui wait "注意" 20000\n'
            printf 'ui sleep 2000\n'
            printf 'ui signal "%s"\n' "$(win "$shots")\\question.req"
            printf 'ui waitfile "%s" 60000\n' "$(win "$shots")\\question.done"
            first=0
        fi
        printf 'ui answer "注意" %s\n' "$a"
    done
} > "$script"

# ---------------------------------------------------------------- run
log="$OUT/$cmd-requests.log"
json="$OUT/$cmd-requests.jsonl"
say "== kavhost runs $cmd in $sandbox"
wine "$DIST/kavhost.exe" --register "$(win "$sandbox/$cmd.dll")" --command "$cmd.MorvikVbCommand" \
    --script "$(win "$script")" --log "$(win "$log")" --json "$(win "$json")" </dev/null &
host_pid=$!

shoot() {  # $1: name; the screen as the user sees it now
    local png="$OUT/$cmd-$1.png"
    # The whole screen, cut to what is drawn on it (the dialog and its boxes).
    if xwd -root -silent -display "$DISPLAY" | convert xwd:- -trim +repage -bordercolor white -border 8 "$png" 2>/dev/null; then
        say "   screenshot: $png"
    else
        say "   (no screenshot: xwd/convert failed)"
    fi
}
while kill -0 "$host_pid" 2>/dev/null; do
    for s in dialog question; do
        if [ -f "$shots/$s.req" ] && [ ! -f "$shots/$s.done" ]; then
            shoot "$s"
            : > "$shots/$s.done"
        fi
    done
    sleep 0.2
done
rc=0
wait "$host_pid" || rc=$?
rm -rf "$shots"

# ---------------------------------------------------------------- report
say ""
say "== decoded request log ($log)"
[ -f "$log" ] && cat "$log"
say ""
say "== files deleted under $sandbox"
after="$(listing)"
deleted="$(LC_ALL=C comm -23 <(printf '%s\n' "$before") <(printf '%s\n' "$after"))"
if [ -n "$deleted" ]; then printf '   %s\n' $deleted; else say "   (none)"; fi
say "== files kept"
printf '   %s\n' $after
if [ -f "$sandbox/sysinfo/qxSystem.ini" ]; then
    say "== settings written (sysinfo/qxSystem.ini)"
    sed 's/^/   /' "$sandbox/sysinfo/qxSystem.ini" | iconv -f CP932 -t UTF-8 2>/dev/null || true
fi
say ""
if [ "$rc" -eq 0 ] && [ "$(printf '%s\n' $deleted | LC_ALL=C sort | xargs)" != "$(printf '%s\n' $expected | LC_ALL=C sort | xargs)" ]; then
    say "demo: FAILED: expected these files to be deleted: $expected"
    rc=1
fi
if [ "$rc" -eq 0 ]; then
    say "demo: $cmd ran to its end under kavhost (exit status 0); JSON lines in $json"
else
    say "demo: kavhost reported a failure (exit status $rc)"
fi

# ---------------------------------------------------------------- the interactive sample
# twopoint, run from its completed script: the log of its requests and the
# picture of what it drew, side by side.
twopoint="$DIST/twopoint.dll"
[ -f "$twopoint" ] || twopoint="$ROOT/build/mingw/bin/twopoint.dll"
if [ -f "$twopoint" ]; then
    tp_log="$OUT/twopoint-requests.log"
    tp_svg="$OUT/twopoint.svg"
    say ""
    say "== kavhost runs the interactive sample twopoint ($ROOT/examples/twopoint/completed.script)"
    tp_rc=0
    wine "$DIST/kavhost.exe" --command "$(win "$twopoint")" --script "$(win "$ROOT/examples/twopoint/completed.script")" \
        --log "$(win "$tp_log")" --picture "$(win "$tp_svg")" </dev/null || tp_rc=$?
    if [ "$tp_rc" -eq 0 ] && [ -s "$tp_svg" ]; then
        say "demo: twopoint ran to its end; its requests are in $tp_log, the picture of its drawing in $tp_svg"
    else
        say "demo: twopoint FAILED (exit status $tp_rc); its log is $tp_log"
        [ "$rc" -ne 0 ] || rc=1
    fi
else
    say "demo: (twopoint.dll is not built: no picture of the interactive sample)"
fi
exit "$rc"
