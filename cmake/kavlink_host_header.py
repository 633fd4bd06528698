#!/usr/bin/env python3
"""Writes kavlink_host.h, the commands' named constants for the host's own
values, from the host profile (host-profile.json), and checks the profile:
every value is {"value": ..., "status": "assumption" | "confirmed"} and a
confirmed one names its field session in "by".

usage: kavlink_host_header.py <host-profile.json> <kavlink_host.h>
"""
import json
import re
import sys

# Sections whose integer values commands pass or compare, and the prefix of their names.
SECTIONS = {
    "answers": "KAVHOST_ANSWER_",
    "elementTypes": "KAVHOST_ELEMENT_",
    "eventMask": "KAVHOST_EVENT_MASK_",
    "detection": "KAVHOST_DETECT_",
    "selection": "KAVHOST_SELECT_",
    "display": "KAVHOST_DISPLAY_",
    "calculations": "KAVHOST_CALC_",
}


def snake(key):
    # intersectionAnswer -> INTERSECTION_ANSWER, angle3PVertex -> ANGLE3P_VERTEX
    return re.sub(r"(?<=[a-z])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])", "_", key).upper()


WORD = re.compile(r"[A-Za-z][A-Za-z0-9]*")


def fail(path, why):
    sys.exit(f"{path}: {why}")


def check(path, profile):
    if profile.get("version") != 1:
        fail(path, f"\"version\" is {profile.get('version')!r}; this build knows version 1")
    for section, entries in profile.items():
        if not isinstance(entries, dict):
            continue
        for key, entry in entries.items():
            where = f"{section}/{key}"
            if not isinstance(entry, dict) or "value" not in entry:
                fail(path, f"{where} is not {{\"value\": ..., \"status\": ...}}")
            status = entry.get("status")
            if status not in ("assumption", "confirmed"):
                fail(path, f"{where}: \"status\" must be \"assumption\" or \"confirmed\", not {status!r}")
            if status == "confirmed" and not entry.get("by"):
                fail(path, f"{where} is confirmed but names no field session in \"by\"")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, out = sys.argv[1], sys.argv[2]
    with open(path, encoding="utf-8") as f:
        try:
            profile = json.load(f)
        except json.JSONDecodeError as e:
            fail(path, f"not JSON: {e}")
    check(path, profile)
    lines = [
        "/* Generated from host-profile.json (share/kavlink) by cmake/kavlink_host_header.py; edit the profile,",
        " * not this file.  The host's own values as named constants: element type codes, event-mask bits,",
        " * detection and selection option values, the answers for success and \"none\", and the",
        " * calculations' choices (a flag such as KAVHOST_CALC_INTERSECTION_ANSWER_COUNT names the one made).",
        " * Each says whether it is an assumption or confirmed by a session recorded in the real host;",
        " * when the host's real values are known, the profile changes and commands are rebuilt against",
        " * the new header. */",
        "#ifndef KAVLINK_HOST_H",
        "#define KAVLINK_HOST_H",
        "",
        f"#define KAVHOST_PROFILE_VERSION {profile['version']}",
    ]
    for section, prefix in SECTIONS.items():
        entries = profile.get(section, {})
        lines.append("")
        lines.append(f"/* {section} */")
        for key, entry in entries.items():
            value = entry["value"]
            status = entry["status"] + (f" by {entry['by']}" if entry.get("by") else "")
            note = f": {entry['note']}" if entry.get("note") else ""
            note = note.replace("*/", "* /")
            if isinstance(value, str) and WORD.fullmatch(value):
                # A choice among words: one flag that names the choice, for
                # #if (KAVHOST_CALC_INTERSECTION_ANSWER_COUNT).
                lines.append(f"#define {prefix}{snake(key)}_{snake(value)} 1 /* {status}{note} */")
                continue
            if not isinstance(value, int) or isinstance(value, bool):
                continue
            shown = f"0x{value:04X}" if section == "eventMask" else str(value)
            lines.append(f"#define {prefix}{snake(key)} {shown} /* {status}{note} */")
    lines += ["", "#endif", ""]
    text = "\n".join(lines)
    try:
        with open(out, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


if __name__ == "__main__":
    main()
