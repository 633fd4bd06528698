#!/usr/bin/env python3
"""The generator rewrites only the outputs whose bytes change.

    unchanged_outputs.py SOURCE_DIR

Generates every output into a scratch folder and stamps each file an hour
back; then changes the prose of one argument's description (words that show
only in kavlink.h and the HTML page of its family) and generates again.
Exactly those two must carry a new time: the link files, the typed table,
kavlink.bas, the module IDL, the summaries and the other pages must keep
theirs, or everything that depends on them is rebuilt for a prose edit.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SOURCE = os.path.abspath(sys.argv[1])
GENERATOR = os.path.join(SOURCE, "cmake", "kavlink_exports.py")
ENTRY, PROSE, NEW_PROSE = "VokCreateLine", "Its 32 bytes go to the host", "Its 32 bytes travel to the host"
EXPECTED_NEW = {"include/kavlink.h", "reference/elements.html"}


def generate(descriptions, out):
    command = [sys.executable, GENERATOR, os.path.join(SOURCE, "api", "kavlink.exports"),
               "--records", os.path.join(SOURCE, "include", "kavlink_records.h"), "--descriptions", descriptions,
               "--events", os.path.join(SOURCE, "commands", "common", "morvik_command.idl.in")]
    for option, name in (("--def", "kavlink.def"), ("--import-def", "kavlink_import.def"),
                         ("--table-header", "kavlink_table.h"), ("--bas", "kavlink.bas"),
                         ("--idl", "kavlink_module.idl"), ("--header", "include/kavlink.h"),
                         ("--summaries", "reference_summaries.h"), ("--reference", "reference")):
        command += [option, os.path.join(out, name)]
    r = subprocess.run(command, capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit(f"FAILED: the generator refused the sources:\n{r.stderr}")


def stamps(out):
    found = {}
    for folder, _, names in os.walk(out):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, out)] = os.stat(path).st_mtime_ns
    return found


def main():
    with tempfile.TemporaryDirectory() as work:
        descriptions = os.path.join(work, "descriptions")
        out = os.path.join(work, "out")
        shutil.copytree(os.path.join(SOURCE, "api", "descriptions"), descriptions)
        generate(descriptions, out)
        for path in stamps(out):
            old = os.stat(os.path.join(out, path)).st_mtime - 3600
            os.utime(os.path.join(out, path), (old, old))
        before = stamps(out)
        elements = os.path.join(descriptions, "elements.md")
        text = open(elements, encoding="utf-8").read()
        entry = re.search(rf"^## {ENTRY}\n.*?(?=^## |\Z)", text, re.M | re.S)
        if not entry or PROSE not in entry.group(0):
            raise SystemExit(f"FAILED: no '{PROSE}' in the entry {ENTRY} of {elements}")
        with open(elements, "w", encoding="utf-8") as f:
            f.write(text[:entry.start()] + entry.group(0).replace(PROSE, NEW_PROSE) + text[entry.end():])
        generate(descriptions, out)
        after = stamps(out)
    if set(before) != set(after):
        print(f"FAILED: the outputs differ in their files: {sorted(set(before) ^ set(after))}")
        return 1
    touched = {path for path in after if after[path] != before[path]}
    if touched != EXPECTED_NEW:
        print(f"FAILED: a prose edit rewrote {sorted(touched)}; expected exactly {sorted(EXPECTED_NEW)}")
        return 1
    print(f"ok: of {len(after)} outputs a prose edit rewrote {', '.join(sorted(touched))} alone")
    return 0


if __name__ == "__main__":
    sys.exit(main())
