#!/usr/bin/env python3
"""The generator refuses descriptions that do not fit the table, and rows
that do not hold together.

    generator_checks.py SOURCE_DIR

Runs cmake/kavlink_exports.py on copies of api/descriptions and of
api/kavlink.exports, each damaged in one way, and expects it to fail with a
message naming the entry, or the row and its line; the intact copies must
pass, so that a failure comes from the damage alone.  The table's checks run
only here and in the build: kavhost and the tests read the typed table as
the generator wrote it.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SOURCE = os.path.abspath(sys.argv[1])
GENERATOR = os.path.join(SOURCE, "cmake", "kavlink_exports.py")
TABLE = os.path.join(SOURCE, "api", "kavlink.exports")
RECORDS = os.path.join(SOURCE, "include", "kavlink_records.h")
EVENTS = os.path.join(SOURCE, "commands", "common", "morvik_command.idl.in")
DESCRIPTIONS = os.path.join(SOURCE, "api", "descriptions")


def file_with(folder, name):
    for f in sorted(os.listdir(folder)):
        if re.search(rf"^## {name}$", open(os.path.join(folder, f), encoding="utf-8").read(), re.M):
            return os.path.join(folder, f)
    raise SystemExit(f"no entry {name} in {folder}")


def edit_entry(folder, name, change):
    """Applies `change` to the text of entry `name` (its heading included)."""
    path = file_with(folder, name)
    text = open(path, encoding="utf-8").read()
    m = re.search(rf"^## {name}\n.*?(?=^## |\Z)", text, re.M | re.S)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text[:m.start()] + change(m.group(0)) + text[m.end():])


def drop(entry):
    return ""


def rename_param(entry):
    return re.sub(r"^@param shape\b", "@param shap", entry, count=1, flags=re.M)


def add_see(entry):
    return entry.rstrip("\n") + "\n@see VokNoSuchFunction\n\n"


def add_unknown(entry):
    return entry + "## VokNoSuchExport\nDoes nothing.\n\n@return 0.\n\n"


# (what, entry, damage, mode, words the message must hold)
CASES = [
    ("an export without an entry", "VokCreateLine", drop, "header", ["VokCreateLine", "no entry"]),
    ("an @param that is not an argument", "VokCreateLine", rename_param, "header", ["VokCreateLine", "'shap'"]),
    ("an @see that names nothing", "VokCreateLine", add_see, "header", ["VokCreateLine", "VokNoSuchFunction"]),
    ("an entry for no export", "VokCreateLine", add_unknown, "header", ["VokNoSuchExport", "no such export"]),
    ("an event without an entry", "VokProcEndCmd", drop, "header", ["VokProcEndCmd", "no entry"]),
    ("an event without an entry, for the command template", "VokProcEndCmd", drop, "template",
     ["VokProcEndCmd", "no entry"]),
]


# (what, row's export, text in that row, its replacement, words the message must hold)
TABLE_CASES = [
    ("an array counted by a segment that comes later", "VokCalFitBSplineCurveIF",
     "count pointArray:pt*count/inout", "pointArray:pt*count/inout count", ["not an earlier segment"]),
    ("a packed lParam of one argument", "VokSetOptionSubcodeEx", "packed:mode,count", "packed:mode",
     ["lParam packed names 2"]),
    ("a record size that is not the record's", "VokGetStringSBox", "raw/inout StringSBox box",
     "raw36/inout StringSBox box", ["states 36 bytes", "StringSBox is 40 bytes"]),
    ("a segment list that repeats the arguments", "VokGetPointShape", "pt/inout shape)", "pt/inout shape)  shape",
     ["leave them out"]),
    ("a default answer that does not exist", "VokCreatePoint", "answer:next", "answer:many", ["answer:many"]),
    ("a count taken from a text", "VokSetOptionPropertiesEx", "tags:i32*count/in", "tags:i32*lp/in names2:text/in "
     "more:i32*names2/in", ["not one integer"]),
]


def damaged_table(folder, name, old, new):
    """A copy of the table with `old` replaced by `new` in the row of `name`;
    returns its path and the row's line."""
    lines = open(TABLE, encoding="utf-8").read().split("\n")
    for number, line in enumerate(lines, 1):
        if re.search(rf"\b{name}\(", line) and old in line:
            lines[number - 1] = line.replace(old, new, 1)
            path = os.path.join(folder, "kavlink.exports")
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            return path, number
    raise SystemExit(f"no row {name} with '{old}' in {TABLE}")


def run_table(table, out):
    return subprocess.run([sys.executable, GENERATOR, table, "--records", RECORDS, "--def",
                           os.path.join(out, "kavlink.def"), "--table-header", os.path.join(out, "kavlink_table.h")],
                          capture_output=True, text=True)


def run(descriptions, mode, out):
    command = [sys.executable, GENERATOR, TABLE, "--records", RECORDS, "--descriptions", descriptions,
               "--events", EVENTS]
    command += ["--header", os.path.join(out, "kavlink.h")] if mode == "header" else \
        ["--event-template", os.path.join(out, "morvik_command.idl.in")]
    return subprocess.run(command, capture_output=True, text=True)


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        intact = os.path.join(work, "intact")
        shutil.copytree(DESCRIPTIONS, intact)
        for mode in ("header", "template"):
            r = run(intact, mode, work)
            if r.returncode != 0:
                print(f"FAILED: the intact descriptions are refused ({mode}):\n{r.stderr}")
                return 1
        for number, (what, entry, damage, mode, words) in enumerate(CASES):
            folder = os.path.join(work, f"case{number}")
            shutil.copytree(DESCRIPTIONS, folder)
            edit_entry(folder, entry, damage)
            r = run(folder, mode, folder)
            missing = [w for w in words if w not in r.stderr]
            if r.returncode == 0 or missing:
                failures += 1
                print(f"FAILED: {what}: exit {r.returncode}, message lacks {missing}:\n{r.stderr}")
            else:
                print(f"ok: {what}: {r.stderr.splitlines()[0]}")
        r = run_table(TABLE, work)
        if r.returncode != 0:
            print(f"FAILED: the intact table is refused:\n{r.stderr}")
            return 1
        for number, (what, name, old, new, words) in enumerate(TABLE_CASES):
            folder = os.path.join(work, f"table{number}")
            os.makedirs(folder)
            table, line = damaged_table(folder, name, old, new)
            r = run_table(table, folder)
            missing = [w for w in words + [f"kavlink.exports:{line} ({name})"] if w not in r.stderr]
            if r.returncode == 0 or missing:
                failures += 1
                print(f"FAILED: {what}: exit {r.returncode}, message lacks {missing}:\n{r.stderr}")
            else:
                print(f"ok: {what}: {r.stderr.splitlines()[0]}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
