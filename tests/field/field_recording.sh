#!/usr/bin/env bash
# Recording in the field, end to end.  kavhost plays the CAD host from a
# script while kavlink.dll records the command that it runs; kavhost then
# replays the run file with nothing but the recording's answers:
#   - twopoint (interactive, the kit's frame): the replay passes, and the
#     sample changed in one value fails it with status 3;
#   - csbclean (one-shot, with its dialog): the replay takes the dialog's
#     steps from a script, and a changed step fails it with status 3;
#   - a component without the frame: requests only, its events come from
#     the script given with the replay;
#   - the registry value RecordFolder instead of the variable;
#   - a folder where links wait at the run file's names.
# Then the faults, table-driven: each must leave the command as it runs
# without recording (the same requests and answers in kavhost's JSON log,
# the same exit status), say so in one line on the debug output and write
# nothing outside the folder.  Root's writes ignore mode bits, so the
# read-only folder is a read-only mount and the full disk a tmpfs of one
# page, both mounted here and unmounted on the way out.
#
#   field_recording.sh <folder of the built programs> <source folder>
# Wine's prefix, display and locale come from the environment (./kav test).
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kavfield.XXXXXX")
mounted=()
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
    wine reg delete 'HKCU\Software\Kavlink' /v RecordFolder /f </dev/null >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fails=0
ok() { printf 'ok: %s\n' "$*"; }
bad() { printf 'FAILED: %s\n' "$*"; fails=$((fails + 1)); }
win() { winepath -w "$1" 2>/dev/null; }

# run <name> <kavhost arguments...>: kavhost with the debug output on
# standard error, in $work/<name>.err; its exit status in $status.
run() {
    local name=$1
    shift
    status=0
    WINEDEBUG=-all,warn+seh wine "$bin/kavhost.exe" --quiet "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" || status=$?
}
debuglines() { grep -c 'OutputDebugStringA "kav[a-z]*: recording' "$work/$1.err" || true; }
firsterror() { grep -m1 '^kavhost:' "$work/$1.err" || true; }
onefile() { # onefile <folder>: the one run file there, or nothing
    local files=("$1"/kavlink-*.jsonl)
    [ "${#files[@]}" -eq 1 ] && [ -f "${files[0]}" ] && echo "${files[0]}"
}
expect() { # expect <what> <actual> <wanted>
    if [ "$2" = "$3" ]; then ok "$1"; else bad "$1: $2, not $3"; fi
}

twopoint=$(win "$bin/twopoint.dll")
changed=$(win "$bin/twopoint_changed.dll")
completed=$(win "$src/examples/twopoint/completed.script")

echo "== twopoint, recorded while kavhost plays the host"
run base --command "$twopoint" --script "$completed" --json "$(win "$work/base.json")"
expect "twopoint runs to its end without recording" "$status" 0
mkdir "$work/rec"
KAVLINK_RECORD=$(win "$work/rec") run rec --command "$twopoint" --script "$completed" --json "$(win "$work/rec.json")"
expect "twopoint runs to its end while recording" "$status" 0
expect "recording twopoint says nothing on the debug output" "$(debuglines rec)" 0
cmp -s "$work/base.json" "$work/rec.json" && ok "the same requests and answers as without recording" \
    || bad "recording changed twopoint's requests or answers"
field=$(onefile "$work/rec") || true
if [ -z "$field" ]; then
    bad "no run file in $work/rec: $(ls "$work/rec")"
else
    head -1 "$field" | grep -q '"session":"kavlink"' && ok "the run file begins with its header" || bad "no header first"
    run replay --command "$twopoint" --replay "$(win "$field")"
    expect "the field session replays without a script" "$status" 0
    run changed --command "$changed" --replay "$(win "$field")"
    expect "the sample changed in one value does not replay" "$status" 3
    firsterror changed | grep -q 'replay: request #[0-9]*, VokCommandGuide .*segment message differs' \
        && ok "the first line on standard error is the difference" || bad "first error: $(firsterror changed)"
    run show --show "$(win "$field")"
    expect "--show reads it" "$status" 0
    grep -q 'VokProcPositionEvent(posType 1, xPos 100.0, yPos 50.0)' "$work/show.out" \
        && grep -q 'message = "Pick the second point"' "$work/show.out" \
        && ok "--show prints the events and the decoded requests" || bad "--show: $(head -5 "$work/show.out")"
    grep -q 'did not return' "$work/show.out" && bad "an event without its result: $(grep -B1 'did not return' "$work/show.out")" \
        || ok "every event has its result, the one that sent the exit message too"
fi

echo "== csbclean: the dialog's steps come from a script"
sandbox() { # a root folder for csbclean with the files it deletes
    rm -rf "$work/csb"
    mkdir -p "$work/csb/sysinfo/CSB/keep" "$work/csb/sysdata"
    for f in sysinfo/CSB/a.csb sysinfo/CSB/b.csb sysinfo/CSB/c.txt sysinfo/CSB/keep/inner.csb sysdata/FileOpenDlg.ini \
             sysinfo/BndAttrData.ini sysinfo/DrwAttrData.ini; do echo sample >"$work/csb/$f"; done
    cp "$bin/csbclean.dll" "$bin/kavlink.dll" "$work/csb/"
}
cat >"$work/csb-ui.script" <<'EOF'
ui wait "コマンドサブボックス履歴の削除"
ui event VokProcStringBoxEventHook 5 6 0
ui event VokProcStringBoxEventHook 5 6 0
ui click "削除実行(&G)"
ui answer "注意" yes
EOF
{ printf 'on VokGetCSBHandle answer 0\non VokGetCSBHandle answer 0x3001\n'
  printf 'on VokGetTextBoxStatus answer 1 write 18 text "typed"\n'
  cat "$work/csb-ui.script"; } >"$work/csb.script"
sed 's/StringBoxEventHook 5 6 0/StringBoxEventHook 5 7 0/' "$work/csb-ui.script" >"$work/csb-other.script"
csbclean=$(win "$work/csb/csbclean.dll")
sandbox
run csb-base --command "$csbclean" --script "$(win "$work/csb.script")" --json "$(win "$work/csb-base.json")"
expect "csbclean runs to its end without recording" "$status" 0
sandbox
mkdir "$work/rec-csb"
KAVLINK_RECORD=$(win "$work/rec-csb") run csb-rec --command "$csbclean" --script "$(win "$work/csb.script")" \
    --json "$(win "$work/csb-rec.json")"
expect "csbclean runs to its end while recording" "$status" 0
cmp -s "$work/csb-base.json" "$work/csb-rec.json" && ok "the same requests and answers" || bad "recording changed csbclean's"
field=$(onefile "$work/rec-csb") || true
if [ -z "$field" ]; then
    bad "no run file for csbclean"
else
    grep -q '"event":"VokProcStringBoxEventHook","args":\[5,6,0\],"inDialog":true' "$field" \
        && ok "the hook events are recorded as delivered inside the dialog" || bad "no inDialog hook events"
    sandbox
    run csb-replay --command "$csbclean" --replay "$(win "$field")" --script "$(win "$work/csb-ui.script")"
    expect "csbclean's field session replays with its dialog steps" "$status" 0
    sandbox
    run csb-other --command "$csbclean" --replay "$(win "$field")" --script "$(win "$work/csb-other.script")"
    expect "a changed dialog step does not replay" "$status" 3
fi

echo "== a killed host and a crashing command keep what was answered"
# cut_check <name> <folder> <kavhost's JSON log>: the one run file there reads
# with --show (status 0), with the note naming the last whole seq, and holds
# every request that the host had answered: kavhost's JSON log, its last line
# perhaps excepted (the host writes it before the answer reaches the command).
cut_check() {
    local name=$1 field
    field=$(onefile "$2") || true
    if [ -z "$field" ]; then bad "$name: no run file in $2"; return; fi
    run "$name-show" --show "$(win "$field")"
    expect "$name: --show reads the run file" "$status" 0
    grep -q '^(the process ended inside the run: the recording is whole up to seq [1-9]' "$work/$name-show.out" \
        && ok "$name: $(grep -o 'whole up to seq [0-9]*' "$work/$name-show.out")" || bad "$name: no note: $(tail -1 "$work/$name-show.out")"
    if python3 - "$field" "$3" <<'EOF'
import json, sys
# A file whose process died ends in the zeros it had grown ahead.
text = open(sys.argv[1], encoding='utf-8').read().rstrip('\0')
lines = [json.loads(l) for l in text.split('\n') if l.strip()][1:]
sent = {o['seq']: o for o in lines if 'message' in o}
answers = {o['seq']: o['answer'] for o in lines if 'answer' in o}
int32 = lambda v: v - (1 << 32) if v >= 1 << 31 else v
field = [(sent[q]['message'], sent[q].get('code'), int32(answers[q])) for q in sorted(answers)]
host = [(o['message'], o.get('code'), o['answer']) for o in (json.loads(l) for l in open(sys.argv[2], encoding='utf-8') if l.strip())]
sys.exit(0 if host and field in (host, host[:-1]) else print('field', field, '\nhost ', host) or 1)
EOF
    then ok "$name: every request the host answered is in it"; else bad "$name: requests missing"; fi
}

# twopoint ended inside three of its events: a copy that crashes or ends its
# own process (TerminateProcess) at the point KAVTEST_END names.
ending=$(win "$bin/twopoint_ending.dll")
for point in start:crash button:kill midpoint:crash; do
    rm -rf "$work/rec-end"
    mkdir "$work/rec-end"
    KAVLINK_RECORD=$(win "$work/rec-end") KAVTEST_END=$point run "end-$point" --command "$ending" --script "$completed" \
        --json "$(win "$work/end.json")" --record "$(win "$work/end.rec")"
    [ "$status" -ne 0 ] && ok "twopoint ended at $point: status $status" || bad "twopoint did not end at $point"
    # kavhost's own recording, written out per event, is flushed when the command crashes it.
    if [ "${point#*:}" = crash ]; then
        expect "twopoint $point: kavhost's recording holds every request of its log" \
            "$(grep -c '"message"' "$work/end.rec")" "$(grep -c . "$work/end.json")"
    fi
    cut_check "twopoint-$point" "$work/rec-end" "$work/end.json"
    # The event it ended in is kept, without its result.
    case $point in start:*) event=VokProcStartCmd ;; button:*) event=VokProcButtonEvent ;; *) event=VokProcPositionEvent ;; esac
    grep -A1 "$event(" "$work/twopoint-$point-show.out" | grep -q 'did not return' \
        && ok "twopoint $point: the event it ended in is there" || bad "twopoint $point: $event not shown as cut"
done

# csbclean's host killed from outside (kill -9 of its Wine process) while the
# dialog, then while the warning box, is open: the ui steps hold there.
for hold in dialog warning; do
    rm -rf "$work/rec-kill" "$work/held"
    mkdir "$work/rec-kill"
    sandbox
    { printf 'on VokGetCSBHandle answer 0\non VokGetCSBHandle answer 0x3001\n'
      printf 'on VokGetTextBoxStatus answer 1 write 18 text "typed"\n'
      printf 'ui wait "コマンドサブボックス履歴の削除"\nui event VokProcStringBoxEventHook 5 6 0\nui event VokProcStringBoxEventHook 5 6 0\n'
      [ "$hold" = dialog ] || printf 'ui click "削除実行(&G)"\nui wait "注意"\n'
      printf 'ui signal %s\nui waitfile %s 600000\n' "$(win "$work/held")" "$(win "$work/never")"; } >"$work/kill.script"
    KAVLINK_RECORD=$(win "$work/rec-kill") WINEDEBUG=-all wine "$bin/kavhost.exe" --quiet --command "$csbclean" \
        --script "$(win "$work/kill.script")" --json "$(win "$work/kill.json")" </dev/null >/dev/null 2>&1 &
    host=$!
    for _ in $(seq 600); do { [ -e "$work/held" ] || ! kill -0 "$host" 2>/dev/null; } && break; sleep 0.2; done
    [ -e "$work/held" ] && ok "csbclean holds in its $hold" || bad "csbclean never reached its $hold"
    kill -9 "$host" 2>/dev/null || true
    wait "$host" 2>/dev/null || true
    cut_check "csbclean-$hold" "$work/rec-kill" "$work/kill.json"
    grep -A1 'VokProcStartCmd' "$work/csbclean-$hold-show.out" | grep -q 'did not return' \
        && [ "$(grep -c 'VokProcStringBoxEventHook' "$work/csbclean-$hold-show.out")" -eq 2 ] \
        && ok "csbclean $hold: the start event and both hooks are there" || bad "csbclean $hold: events missing"
done

echo "== a command without the frame: requests only"
printf 'event VokProcPositionEvent 1 0 0\n' >"$work/probe.script"
probe=(--register "$(win "$bin/kavhost_probe.dll")" --command kavhost.Probe --cmdline 5)
mkdir "$work/rec-probe"
KAVLINK_RECORD=$(win "$work/rec-probe") run probe-rec "${probe[@]}" --script "$(win "$work/probe.script")"
expect "the probe runs while recording" "$status" 0
field=$(onefile "$work/rec-probe") || true
if [ -z "$field" ]; then
    bad "no run file for the probe"
else
    grep -q '"event"' "$field" && bad "events in a recording without the frame" || ok "requests only"
    run probe-replay "${probe[@]}" --replay "$(win "$field")" --script "$(win "$work/probe.script")"
    expect "it replays with the events of the script" "$status" 0
    run probe-alone "${probe[@]}" --replay "$(win "$field")"
    expect "without them the recorded request never comes" "$status" 3
fi

echo "== the registry value instead of the variable"
mkdir "$work/rec-reg"
wine reg add 'HKCU\Software\Kavlink' /v RecordFolder /t REG_SZ /d "$(win "$work/rec-reg")" /f </dev/null >/dev/null 2>&1
run reg --command "$twopoint" --script "$completed"
# The variable set but empty wins over the registry value: nothing is recorded.
KAVLINK_RECORD= run reg-empty --command "$twopoint" --script "$completed"
expect "an empty KAVLINK_RECORD switches RecordFolder off" "$(find "$work/rec-reg" -name 'kavlink-*' | wc -l)" 1
wine reg delete 'HKCU\Software\Kavlink' /v RecordFolder /f </dev/null >/dev/null 2>&1
expect "twopoint runs while the registry value records" "$status" 0
field=$(onefile "$work/rec-reg") || true
[ -n "$field" ] && ok "RecordFolder switches recording on" || bad "no run file from RecordFolder"
[ -z "$field" ] || { run reg-replay --command "$twopoint" --replay "$(win "$field")"; expect "and it replays" "$status" 0; }

echo "== links waiting at the run file's names"
# Every name the recorder could choose in the next 40 seconds (any process id,
# run 1) is a link to a file outside; the recorder must take another name.
mkdir "$work/planted" "$work/target"
python3 - "$work/planted" "$work/target" <<'EOF'
import os, sys, time
folder, target = sys.argv[1], sys.argv[2]
now = time.time()
for second in range(40):
    stamp = time.strftime("%Y%m%d-%H%M%S", time.localtime(now + second))
    for pid in range(0, 8192, 4):
        os.symlink(f"{target}/{stamp}-{pid}", f"{folder}/kavlink-{stamp}-{pid}-1.jsonl")
EOF
KAVLINK_RECORD=$(win "$work/planted") run planted --command "$twopoint" --script "$completed" --json "$(win "$work/planted.json")"
expect "twopoint runs beside the links" "$status" 0
[ -z "$(ls -A "$work/target")" ] && ok "no link was followed" || bad "written through a link: $(ls "$work/target")"
field=$(find "$work/planted" -type f -name 'kavlink-*.jsonl')
[ "$(echo "$field" | grep -c .)" -eq 1 ] && ok "the run file took a free name: $(basename "$field")" \
    || bad "run files beside the links: $field"
[ -z "$field" ] || { run planted-replay --command "$twopoint" --replay "$(win "$field")"; expect "and it replays" "$status" 0; }

echo "== faults: recording stops, the command runs as without it"
# A longer session than the full disk's one page can hold.
{ grep -v '^event VokProcPositionEvent 1 100 50' "$src/examples/twopoint/completed.script"
  for i in $(seq 60); do echo "event VokProcDrawRubber $i 30"; done
  echo "event VokProcPositionEvent 1 100 50"; } >"$work/long.script"
long=$(win "$work/long.script")
run fault-base --command "$twopoint" --script "$long" --json "$(win "$work/fault-base.json")"
expect "the long session runs without recording" "$status" 0
mkdir "$work/outside" "$work/readonly" "$work/full"
ln -s "$work/outside" "$work/link"
mounts=1
if mount -t tmpfs -o ro,size=64k kavfield "$work/readonly" 2>"$work/mount.err"; then
    mounted+=("$work/readonly")
    if mount -t tmpfs -o size=4k kavfield "$work/full" 2>>"$work/mount.err"; then mounted+=("$work/full"); else mounts=0; fi
else
    mounts=0
fi
[ "$mounts" -eq 1 ] || echo "SKIPPED: the read-only and full-disk cases: cannot mount a tmpfs here ($(head -1 "$work/mount.err"))"
toolong="Z:\\$(printf 'r%.0s' $(seq 250))"
# name | KAVLINK_RECORD | needs the mounts
faults=(
    "nonexistent folder|$(win "$work")\\missing|0"
    "read-only mount|$(win "$work/readonly")|1"
    "full disk|$(win "$work/full")|1"
    "too long|$toolong|0"
    "relative|records|0"
    "device NUL|NUL|0"
    "device COM1|COM1|0"
    "device inside a path|$(win "$work/outside")\\CON|0"
    "link out of the folder|$(win "$work/link")|0"
    "trailing space|$(win "$work/outside") |0|has a name ending in a space or a dot"
)
for row in "${faults[@]}"; do
    IFS='|' read -r name value needs says <<<"$row"
    [ "$needs" -eq 0 ] || [ "$mounts" -eq 1 ] || continue
    echo "-- $name"
    KAVLINK_RECORD=$value run fault --command "$twopoint" --script "$long" --json "$(win "$work/fault.json")"
    expect "$name: same exit status" "$status" 0
    cmp -s "$work/fault-base.json" "$work/fault.json" && ok "$name: the same requests and answers" \
        || bad "$name: the requests or answers changed"
    expect "$name: lines on the debug output" "$(debuglines fault)" 1
    grep 'OutputDebugStringA "kav[a-z]*: recording' "$work/fault.err" | sed 's/^.*OutputDebugStringA /   /'
    [ -z "$says" ] || { grep -q "recording is off: .*$says" "$work/fault.err" && ok "$name: refused at once" || bad "$name: not refused"; }
    [ -z "$(ls -A "$work/outside")" ] && ok "$name: nothing written outside" || bad "$name: written outside"
done
[ -z "$(ls -A "$work/readonly" 2>/dev/null)" ] || bad "the read-only mount holds files"

echo "$fails failed"
[ "$fails" -eq 0 ]
