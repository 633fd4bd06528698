#!/usr/bin/env python3
"""The reference generator refuses descriptions that do not fit the table.

    generator_checks.py SOURCE_DIR

Runs cmake/kavlink_exports.py on copies of api/descriptions, each damaged in
one way, and expects it to fail with a message naming the entry; the intact
copy must pass, so that a failure comes from the damage alone.
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
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
