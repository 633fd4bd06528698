#!/usr/bin/env bash
# The command authors' guide, followed as a newcomer would: the kit is
# installed into a fresh folder, the guide's files are written into an empty
# folder outside the source tree, and the guide's own shell steps configure,
# build, register and run the command under kavhost.  The guide's files must
# equal examples/hello, and its `cpp compile` samples must compile.  The
# committed golden session of examples/hello must replay, and a request
# changed by one byte must make the replay fail with a diff naming it.
#
#   kit_guide.sh <build dir> <source dir>
# With KAV_RECORD_GOLDEN set it records examples/hello/golden.jsonl first.
# Wine's prefix, display and locale come from the environment (./kav test).
set -euo pipefail
build=$1
src=$2
guide=$src/docs/command-authors.md

work=$(mktemp -d "${TMPDIR:-/tmp}/kavkit.XXXXXX")
cleanup() {
    # The steps registered the sample in the test prefix: take it out again.
    if [ -f "$work/hello/build/hello.dll" ]; then
        (cd "$work/hello" && wine regsvr32 /s /u 'build\hello.dll' </dev/null >/dev/null 2>&1) || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "kit_guide: $*" >&2; exit 1; }

echo "== the kit, installed into $work/kit"
cmake --install "$build" --prefix "$work/kit" >/dev/null || fail "installing the kit failed"

# Fenced blocks of the guide: "```<lang> file=<name>" starts a file of the
# sample, "```sh steps" the steps to run, "```cpp compile" a sample that must
# compile; the block ends at the next "```".
extract() {  # extract <kind> <name or -> <out>
    awk -v kind="$1" -v name="$2" '
        /^```/ {
            if (inside) { inside = 0; next }
            split(substr($0, 4), w, " ")
            if ((kind == "file" && w[2] == "file=" name) || (kind != "file" && w[2] == kind)) { inside = 1; found = 1; n++ }
            next
        }
        inside { print }
        END { exit found ? 0 : 1 }' "$guide" > "$3"
}

echo "== the guide's files, compared with examples/hello"
mkdir "$work/hello"
for f in "$src"/examples/hello/*; do
    case "$f" in *.jsonl) continue ;; esac  # recorded sessions are the steps' output
    name=$(basename "$f")
    extract file "$name" "$work/hello/$name" || fail "the guide has no block for $name of examples/hello"
    diff -u "$f" "$work/hello/$name" || fail "the guide's $name differs from examples/hello/$name"
done

echo "== the guide's steps"
extract steps - "$work/steps.sh" || fail "the guide has no steps block"
cat "$work/steps.sh"
(cd "$work/hello" && KIT="$work/kit" bash -euo pipefail "$work/steps.sh") > "$work/run.log" 2>&1 || {
    cat "$work/run.log"
    fail "the guide's steps failed"
}
cat "$work/run.log"
grep -q "ExitCommandMessage (1765)" "$work/run.log" || fail "the command did not end with the exit message"
for export in VokCommandGuide VokGetSystemElementAttr VokAppendLine VokCreateCSB VokCreateTextBox VokComposeCSB; do
    grep -q "$export" "$work/run.log" || fail "the command made no $export request"
done

# KAV_RECORD_GOLDEN: the session the steps just recorded from the installed
# kit becomes examples/hello/golden.jsonl (review the diff before committing).
if [ -n "${KAV_RECORD_GOLDEN:-}" ]; then
    cp "$work/hello/golden.jsonl" "$src/examples/hello/golden.jsonl"
    echo "kit_guide: recorded $src/examples/hello/golden.jsonl"
fi

echo "== the committed golden session replays"
cp "$src/examples/hello/golden.jsonl" "$work/hello/committed.jsonl"
(cd "$work/hello" && wine "$work/kit/kavhost.exe" --command hello.MorvikVbCommand --replay committed.jsonl --quiet) \
    || fail "examples/hello/golden.jsonl no longer replays (record it again when the requests change on purpose)"

echo "== one byte changed in a request: the replay names it"
sed -i 's/Hello from the hello command/Hellp from the hello command/' "$work/hello/hello_steps.cpp"
grep -q 'Hellp from the hello command' "$work/hello/hello_steps.cpp" || fail "the guide text to change is not in hello_steps.cpp"
cmake --build "$work/hello/build" >/dev/null || fail "rebuilding the changed sample failed"
status=0
(cd "$work/hello" && wine "$work/kit/kavhost.exe" --command hello.MorvikVbCommand --replay committed.jsonl --quiet) \
    > "$work/diff.log" 2>&1 || status=$?
cat "$work/diff.log"
[ "$status" -eq 3 ] || fail "the replay of a changed request ended with status $status, not 3"
# "Hello" -> "Hellp": byte 4 of the guide text, the first request's only segment.
grep -q "request #1, VokCommandGuide .*segment message differs at payload offset 4 " "$work/diff.log" \
    || fail "the replay's difference does not name the changed byte of VokCommandGuide's message"

echo "== the guide's C++ samples compile"
extract compile - "$work/samples.cpp" || fail "the guide has no cpp compile block"
i686-w64-mingw32-g++-posix -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$work/kit/include" \
    "$work/samples.cpp" || fail "a C++ sample of the guide does not compile"

echo "kit_guide: the guide's steps work"
