#!/usr/bin/env bash
# The host ends twopoint inside a request: kavhost delivers VokProcEndCmd
# while it answers VokCalMidP of the second pick
# (examples/twopoint/ended_inside.script).
#   - the run passes: twopoint's OnEndCmd sends the exit message inside the
#     event, and the position handler makes no request after it (kavhost
#     fails any request after the exit message);
#   - the log says that the event's requests overwrote VokCalMidP's payload
#     (the host writes into it while it answers one of them);
#   - the recording holds the event right after VokCalMidP's line, marked
#     with that request's seq, and replays; the same recording with the mark
#     taken off (the event after the request instead of inside it) differs.
#
#   nested_end.sh <folder of the built programs> <source folder>
set -euo pipefail
. "$(dirname "$0")/checks.sh" "$1" "$2" nested
run() { kavhost "$1" --log "$(win "$work/$1.log")" --command "$(win "$bin/twopoint.dll")" "${@:2}"; }
expect() { if [ "$2" = "$3" ]; then ok "$1"; else bad "$1: $2, not $3"; sed 's/^/    /' "$work/$4.err"; fi; }

# The sample's script, and a host that writes into the payload area while it
# answers a request made inside the event (twopoint's own tidy-up requests
# carry no payload).
{ cat "$src/examples/twopoint/ended_inside.script"; echo 'on VokEndRubber write 0 hex "ff ff ff ff"'; } > "$work/ended.script"
run ended --script "$(win "$work/ended.script")" --record "$(win "$work/ended.jsonl")"
expect "twopoint ended inside VokCalMidP passes, nothing after its exit message" "$status" 0 ended
grep -q 'arrived after the exit message' "$work/ended.err" "$work/ended.log" && bad "a request came after the exit message"
grep -q 'overwrote the payload of VokCalMidP' "$work/ended.log" && ok "the log notes the overwritten payload" ||
    bad "no note of the payload that the event's requests overwrote"

# The event's line follows VokCalMidP's and names its seq.
read -r midseq nextseq inside < <(python3 - "$work/ended.jsonl" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8")][1:]
at = next(i for i, o in enumerate(lines) if o.get("exports") == ["VokCalMidP"])
after = lines[at + 1]
print(lines[at]["seq"], after.get("seq"), after.get("inside", 0) if after.get("event") == "VokProcEndCmd" else -1)
PY
)
expect "the recording has VokProcEndCmd after VokCalMidP, marked inside it" "$inside" "$midseq" ended
expect "and numbered after it" "$nextseq" "$((midseq + 1))" ended

run replay --replay "$(win "$work/ended.jsonl")"
expect "the recorded session with the nested event replays" "$status" 0 replay

sed 's/,"inside":[0-9]*//' "$work/ended.jsonl" > "$work/unmarked.jsonl"
run unmarked --replay "$(win "$work/unmarked.jsonl")"
expect "without the mark the replay differs" "$status" 3 unmarked

finish
