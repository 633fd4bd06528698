#!/usr/bin/env bash
# The command authors' guide, followed as a newcomer would, with nothing but
# the kit's zip: the kit is installed, zipped as it ships, and unpacked into
# an empty folder outside the source tree; for each sample (hello, twopoint,
# perpcopy)
# the guide's files are written into an empty folder and compared with
# examples/<sample>, and the guide's own shell steps configure, build,
# register, run, record and replay the command under kavhost, and the
# pictures they draw must render (rsvg-convert) and hold the sessions.  Then the
# committed sessions of both samples, as the kit ships them, must replay,
# and a command changed in one value must make its replay fail with status
# 3 and the difference first on standard error.  The guide's `cpp compile`
# samples must compile, and no shipped text file may carry a path of the
# build machine.
#
#   kit_guide.sh <build dir> <source dir>
# With KAV_RECORD_GOLDEN set it copies the sessions the steps recorded into
# examples/ (review the diff before committing).
# Wine's prefix, display and locale come from the environment (./kav test).
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
guide=$src/docs/command-authors.md

work=$(mktemp -d "${TMPDIR:-/tmp}/kavkit.XXXXXX")
cleanup() {
    # The steps registered the samples in the test prefix: take them out again.
    local s
    for s in hello twopoint perpcopy; do
        if [ -f "$work/$s/build/$s.dll" ]; then
            (cd "$work/$s" && wine regsvr32 /s /u "build\\$s.dll" </dev/null >/dev/null 2>&1) || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "kit_guide: $*" >&2; exit 1; }

echo "== the kit as it ships: installed, zipped, unpacked into an empty folder"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build"
cmake --install "$build" --prefix "$work/installed" >/dev/null || fail "installing the kit failed"
"$src/packaging/make_sdk_zip.sh" "$work/installed" "$version" "$work/kit.zip" || fail "zipping the kit failed"
mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$work/kit.zip") || fail "unpacking the kit failed"
top=$(ls "$work/unpacked")
[ "$top" = "kavlink-sdk-$version" ] || fail "the zip unpacks into '$top', not the one folder kavlink-sdk-$version"
kit=$work/unpacked/$top
if grep -rIl -e "$src" -e "$build" "$kit" >/dev/null; then
    grep -rIl -e "$src" -e "$build" "$kit" >&2
    fail "shipped files carry a path of the build machine"
fi

# Fenced blocks of the guide: "```<lang> file=<sample>/<name>" is a file of
# a sample, "```sh steps=<sample>" the steps to run for it, "```cpp compile"
# a sample that must compile; a block ends at the next "```".
extract() {  # extract <key> <out>: the blocks whose info string has <key> as its second word
    awk -v key="$1" '
        /^```/ {
            if (inside) { inside = 0; next }
            split(substr($0, 4), w, " ")
            if (w[2] == key) { inside = 1; found = 1 }
            next
        }
        inside { print }
        END { exit found ? 0 : 1 }' "$guide" > "$2"
}

# run_steps <sample>: the sample's folder from the guide's files, then its steps.
run_steps() {
    local sample=$1 f name
    echo "== $sample: the guide's files, compared with examples/$sample"
    mkdir "$work/$sample"
    for f in "$src/examples/$sample"/*; do
        name=$(basename "$f")
        case "$name" in
            *.jsonl) continue ;;  # recorded sessions are the steps' output
            identity.h) [ "$sample" = hello ] || { cp "$kit/examples/$sample/$name" "$work/$sample/"; continue; } ;;
        esac
        extract "file=$sample/$name" "$work/$sample/$name" || fail "the guide has no block for $sample/$name"
        diff -u "$f" "$work/$sample/$name" || fail "the guide's $sample/$name differs from examples/$sample/$name"
        cmp -s "$f" "$kit/examples/$sample/$name" || fail "the kit's examples/$sample/$name differs from the tree's"
    done
    echo "== $sample: the guide's steps"
    extract "steps=$sample" "$work/steps-$sample.sh" || fail "the guide has no steps for $sample"
    cat "$work/steps-$sample.sh"
    (cd "$work/$sample" && KIT="$kit" bash -euo pipefail "$work/steps-$sample.sh") > "$work/$sample.log" 2>&1 || {
        cat "$work/$sample.log"
        fail "the guide's steps for $sample failed"
    }
    cat "$work/$sample.log"
    grep -q "ExitCommandMessage (1765)" "$work/$sample.log" || fail "$sample did not end with the exit message"
}

# replay <sample> <session>: exit status of replaying the kit's copy of it.
replay() {
    cp "$kit/examples/$1/$2" "$work/$1/committed-$2"
    (cd "$work/$1" && wine "$kit/kavhost.exe" --command "$1.MorvikVbCommand" --replay "committed-$2" --quiet) \
        > "$work/$1-$2.out" 2> "$work/$1-$2.err" && return 0 || return $?
}

# changed <sample> <session> <old text> <new text> <expected first stderr line (regex)>
changed() {
    local sample=$1 session=$2 old=$3 new=$4 expect=$5 status=0
    echo "== $sample: one value changed, the replay of $session names it"
    sed -i "s/$old/$new/" "$work/$sample"/*.cpp
    grep -q "$new" "$work/$sample"/*.cpp || fail "the value to change is not in $sample's source"
    cmake --build "$work/$sample/build" >/dev/null || fail "rebuilding the changed $sample failed"
    replay "$sample" "$session" || status=$?
    cat "$work/$sample-$session.err"
    [ "$status" -eq 3 ] || fail "the replay of the changed $sample ended with status $status, not 3"
    head -1 "$work/$sample-$session.err" | grep -qE "$expect" \
        || fail "the first line on standard error is not the difference ($expect)"
}

run_steps hello
for export in VokCommandGuide VokGetSystemElementAttr VokAppendLine VokCreateCSB VokCreateTextBox VokComposeCSB; do
    grep -q "$export" "$work/hello.log" || fail "hello made no $export request"
done
run_steps twopoint
for export in VokSetEventMask VokSetOptionDetectablePosition VokCommandMode VokDrawRubberLine VokCalMidP \
              VokCalDist2P VokAppendLine VokAppendCircle VokDestroyCSB; do
    grep -q "$export" "$work/twopoint.log" || fail "twopoint made no $export request"
done
run_steps perpcopy
# The copies lie where the geometry puts them: 20, 40 and 60 above the line,
# and the circles' centres at 65 and 80 (the scripts give no geometry).
for copy in '(0, 20) - (100, 20)' '(0, 40) - (100, 40)' '(0, 60) - (100, 60)' 'center (50, 65) radius 10' \
            'center (50, 80) radius 10'; do
    grep -qF "$copy" "$work/perpcopy.log" || fail "perpcopy appended no copy $copy"
done
grep -q "unanswered\|unwritten" "$work/perpcopy.log" "$work/twopoint.log" && fail "a --strict run listed unanswered requests"

echo "== the pictures the steps drew render and hold their sessions"
for pair in hello/hello.svg:hello/golden.jsonl twopoint/completed.svg:twopoint/completed.jsonl \
            twopoint/cancelled.svg:twopoint/cancelled.jsonl; do
    svg=$work/${pair%%:*}
    [ -s "$svg" ] || fail "the steps wrote no ${pair%%:*}"
    rsvg-convert "$svg" -o "${svg%.svg}.png" || fail "rsvg-convert cannot render ${pair%%:*}"
    python3 "$src/tests/field/check_picture.py" "$svg" "$work/${pair#*:}" || fail "${pair%%:*} does not hold its session"
done

# KAV_RECORD_GOLDEN: the sessions the steps just recorded from the kit
# become the committed ones (review the diff before committing).
if [ -n "${KAV_RECORD_GOLDEN:-}" ]; then
    cp "$work/hello/golden.jsonl" "$src/examples/hello/golden.jsonl"
    cp "$work/twopoint/completed.jsonl" "$work/twopoint/cancelled.jsonl" "$src/examples/twopoint/"
    cp "$work/perpcopy/line.jsonl" "$work/perpcopy/circle.jsonl" "$src/examples/perpcopy/"
    echo "kit_guide: recorded the sessions into $src/examples"
    exit 0
fi

echo "== the committed sessions replay, as the kit ships them"
for s in hello/golden.jsonl twopoint/completed.jsonl twopoint/cancelled.jsonl perpcopy/line.jsonl perpcopy/circle.jsonl; do
    [ -f "$kit/examples/$s" ] || fail "the kit lacks examples/$s"
    status=0
    replay "${s%%/*}" "${s#*/}" || status=$?
    [ "$status" -eq 0 ] || { cat "$work/${s%%/*}-${s#*/}.err"; fail "examples/$s no longer replays (status $status)"; }
done

# "Hello" -> "Hellp": byte 4 of the guide text, hello's first request.
changed hello golden.jsonl 'Hello from the hello command' 'Hellp from the hello command' \
    "request #2, VokCommandGuide .*segment message differs at payload offset 4 "
# The second pick's guide text: the difference comes in a later event.
changed twopoint completed.jsonl 'Pick the second point' 'Pick the other point' \
    "replay: request #[0-9]+, VokCommandGuide .*differs"

echo "== the guide's C++ samples compile"
extract compile "$work/samples.cpp" || fail "the guide has no cpp compile block"
i686-w64-mingw32-g++-posix -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$kit/include" \
    "$work/samples.cpp" || fail "a C++ sample of the guide does not compile"

echo "kit_guide: the guide's steps work"
