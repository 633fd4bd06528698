# The set-up that the end-to-end session checks of this folder share.
# Sourced, never run:
#   . "$(dirname "$0")/checks.sh" <folder of the built programs> <source folder> <name>
# It sets bin and src (absolute paths), work (a fresh folder named after the
# check, removed on the way out unless KAV_KEEP_WORK is set), fails, and the
# helpers below.  Wine's prefix, display and locale come from the
# environment (./kav test).
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kav$3.XXXXXX")
trap '[ -n "${KAV_KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
fails=0
ok() { printf 'ok: %s\n' "$*"; }
bad() { printf 'FAILED: %s\n' "$*"; fails=$((fails + 1)); }
win() { winepath -w "$1" 2>/dev/null; }

# kavhost <name> <arguments...>: kavhost.exe without standard input; what it
# prints goes to $work/<name>.out and $work/<name>.err, its exit status to
# $status.
kavhost() {
    local name=$1
    shift
    status=0
    wine "$bin/kavhost.exe" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" || status=$?
}

# The last line of a check: the count of failures, and its exit status.
finish() {
    printf '%s failed\n' "$fails"
    [ "$fails" -eq 0 ]
}
