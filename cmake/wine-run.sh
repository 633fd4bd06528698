#!/bin/sh
# Runs a Windows program under Wine for CTest.  Wine may start its system
# processes (services, explorer) from this run; they outlive the program, so
# they must not inherit CTest's output pipe: the program writes to a file
# that is shown once it has exited.
out=$(mktemp "${TMPDIR:-/tmp}/kav-wine.XXXXXX") || exit 2
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
