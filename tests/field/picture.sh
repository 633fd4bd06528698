#!/usr/bin/env bash
# The picture of a session (kavhost --picture), end to end, table-driven:
# each row runs kavhost one way, and the picture it writes must render with
# a real SVG renderer (rsvg-convert) and hold what the session did, checked
# by check_picture.py against the session's own requests:
#   - twopoint run from each of its scripts, and perpcopy from one (its
#     declared drawing and the copies it appends, at the model's coordinates);
#   - the replay of its committed session, and --show of a field session
#     recorded while kavhost played the host;
#   - a copy of twopoint that moves its line, replayed against the
#     committed session: it stops there, and the picture holds the expected
#     and the actual line over each other.
# A picture that cannot be written is one line on standard error and
# leaves kavhost's exit status as it was.  KAV_PICTURE_DOCS=1 copies the
# pictures into docs/, where the guide and the README show them.
#
#   picture.sh <folder of the built programs> <source folder>
# Wine's prefix, display and locale come from the environment (./kav test).
set -euo pipefail
. "$(dirname "$0")/checks.sh" "$1" "$2" picture
command -v rsvg-convert >/dev/null || { echo "picture: rsvg-convert is missing (./kav setup installs librsvg2-bin)" >&2; exit 1; }

twopoint=$(win "$bin/twopoint.dll")
perpcopy=$(win "$bin/perpcopy.dll")
moved=$(win "$bin/twopoint_moved.dll")
examples=$src/examples/twopoint
run() { kavhost "$1" --quiet "${@:2}"; }

# A field session of the completed run, for --show.
mkdir "$work/rec"
KAVLINK_RECORD=$(win "$work/rec") run field-rec --command "$twopoint" --script "$(win "$examples/completed.script")"
field=$(ls "$work/rec"/kavlink-*.jsonl 2>/dev/null | head -1) || true
[ -n "$field" ] || bad "no field session recorded: $(cat "$work/field-rec.err")"

# name | kavhost arguments (@W@ is the work folder, Windows form) | exit status | session checked | check options
rows=(
    "completed|--command $twopoint --script $(win "$examples/completed.script") --record @W@\\completed.jsonl|0|completed.jsonl|"
    "cancelled|--command $twopoint --script $(win "$examples/cancelled.script") --record @W@\\cancelled.jsonl|0|cancelled.jsonl|"
    "replay|--command $twopoint --replay $(win "$examples/completed.jsonl")|0|$examples/completed.jsonl|"
    "show|--show $(win "${field:-missing}")|0|${field:-missing}|"
    "moved|--command $moved --replay $(win "$examples/completed.jsonl")|3|$examples/completed.jsonl|--difference"
    "perpcopy|--command $perpcopy --script $(win "$src/examples/perpcopy/line.script") --strict --record @W@\\perpcopy.jsonl|0|perpcopy.jsonl|--declared 2"
)
wwork=$(win "$work")
for row in "${rows[@]}"; do
    IFS='|' read -r name args want session options <<<"$row"
    echo "== $name"
    read -r -a argv <<<"${args//@W@/"$wwork"}"
    run "$name" "${argv[@]}" --picture "$wwork\\$name.svg"
    [ "$status" -eq "$want" ] && ok "$name: exit status $status" || bad "$name: exit status $status, not $want: $(head -3 "$work/$name.err")"
    if [ ! -s "$work/$name.svg" ]; then
        bad "$name: no picture: $(cat "$work/$name.err")"
        continue
    fi
    ok "$name: $(wc -c <"$work/$name.svg") bytes of SVG"
    rsvg-convert "$work/$name.svg" -o "$work/$name.png" 2>"$work/$name.rsvg" && [ -s "$work/$name.png" ] \
        && ok "$name: rsvg-convert renders it" || bad "$name: rsvg-convert: $(cat "$work/$name.rsvg")"
    case "$session" in /*) ;; *) session=$work/$session ;; esac
    # shellcheck disable=SC2086
    python3 "$src/tests/field/check_picture.py" "$work/$name.svg" "$session" $options || bad "$name: the picture does not hold the session"
done

echo "== a picture that cannot be written"
run unwritable --command "$twopoint" --script "$(win "$examples/completed.script")" --picture "$wwork\\no-such-folder\\x.svg"
[ "$status" -eq 0 ] && ok "the exit status stays 0" || bad "exit status $status"
[ "$(grep -c 'picture' "$work/unwritable.err")" -eq 1 ] && ok "one line says so: $(cat "$work/unwritable.err")" \
    || bad "standard error: $(cat "$work/unwritable.err")"

[ "$fails" -eq 0 ] || { echo "picture: $fails failures"; exit 1; }
# KAV_PICTURE_DOCS: these pictures become the ones the guide and the README
# show (review them before committing).
if [ -n "${KAV_PICTURE_DOCS:-}" ]; then
    for name in completed cancelled moved; do cp "$work/$name.svg" "$src/docs/twopoint-$name.svg"; done
    rsvg-convert "$src/docs/twopoint-completed.svg" -o "$src/docs/twopoint-completed.png"
    echo "picture: wrote docs/twopoint-{completed,cancelled,moved}.svg and docs/twopoint-completed.png"
fi
echo "picture: every picture renders and holds its session"
