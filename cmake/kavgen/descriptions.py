"""Reads api/descriptions/<family>.md (one entry of prose per export or
event, keyed by name) and checks it against the table, the events and the
records: every problem is listed as "FILE:LINE: message"."""
import os
import re

from kavgen.model import Entry, Family, TableError

# Where the values that belong to the host are kept for kavhost and commands:
# appended to every "belongs to the host" entry of the reference.
HOST_PROFILE_NOTE = ("kavhost's model of the host takes such values from the host profile, "
                     "share/kavlink/host-profile.json, and kavlink_host.h names them for commands.")

DESCRIPTION_KEYS = ("param", "return", "refuses", "host", "see")
EVENTS_STEM = "events"


def parse_description_file(path):
    stem = os.path.splitext(os.path.basename(path))[0]
    family = Family(stem, path)
    errors = []
    entry = None
    target = None   # the list or key text that a continuation line extends
    lines = open(path, encoding="utf-8").read().split("\n")

    for number, raw in enumerate(lines, 1):
        line = raw.rstrip()
        where = f"{path}:{number}"
        if not line.strip():
            target = None
            continue
        if line.startswith("## "):
            name = line[3:].strip()
            if not re.match(r"^[A-Za-z_]\w*$", name):
                errors.append(f"{where}: '{line}' does not name an export or event")
            entry = Entry(name, path, number)
            family.entries.append(entry)
            target = None
            continue
        if line.startswith("# "):
            if family.title or entry:
                errors.append(f"{where}: a second title; entries start with '## Name'")
            family.title = line[2:].strip()
            continue
        if line.startswith("#"):
            errors.append(f"{where}: unknown heading '{line}'")
            continue
        stripped = line.strip()
        if stripped.startswith("@"):
            m = re.match(r"^@(\w+)\s*(.*)$", stripped)
            key = m.group(1) if m else ""
            if entry is None:
                errors.append(f"{where}: '{stripped.split()[0]}' before the first entry")
                continue
            if key not in DESCRIPTION_KEYS:
                errors.append(f"{where}: {entry.name}: unknown key '@{key}' "
                              f"(known: {', '.join('@' + k for k in DESCRIPTION_KEYS)})")
                target = None
                continue
            rest = m.group(2)
            if key == "param":
                pm = re.match(r"^(\w+)\s*(.*)$", rest)
                if not pm:
                    errors.append(f"{where}: {entry.name}: @param without a name")
                    target = None
                    continue
                entry.params.append([pm.group(1), pm.group(2), number])
                target = ("param", entry.params[-1])
            elif key == "see":
                entry.see += [(n.strip(",."), number) for n in rest.split()]
                target = ("see", entry)
            else:
                if key in entry.keys:
                    errors.append(f"{where}: {entry.name}: @{key} given twice")
                entry.keys[key] = [rest, number]
                target = ("key", entry.keys[key])
            continue
        # A line of text: it continues what came before, or starts a paragraph
        # (a list item, "- ...", starts one of its own).
        if target is None or (target[0] == "paragraph" and stripped.startswith("- ")):
            paragraphs = entry.paragraphs if entry else family.intro
            paragraphs.append("")
            target = ("paragraph", paragraphs)
        kind, obj = target
        if kind == "paragraph":
            obj[-1] = (obj[-1] + " " + stripped).strip()
        elif kind == "param":
            obj[1] = (obj[1] + " " + stripped).strip()
        elif kind == "see":
            obj.see += [(n.strip(",."), number) for n in stripped.split()]
        else:
            obj[0] = (obj[0] + " " + stripped).strip()
    for e in family.entries:
        e.params = [tuple(p) for p in e.params]
        e.keys = {k: tuple(v) for k, v in e.keys.items()}
    if not family.title:
        errors.append(f"{path}:1: the file has no title ('# Family title')")
    return family, errors


def parse_descriptions(folder, only=None):
    """Every description file of `folder` (or only the one named `only`)."""
    if not os.path.isdir(folder):
        raise TableError(f"{folder}: no such folder")
    families, errors = [], []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".md") and (only is None or name == only + ".md"):
            family, problems = parse_description_file(os.path.join(folder, name))
            families.append(family)
            errors += problems
    return families, errors


class Reference:
    """Exports, events, records and the descriptions, checked against each other."""

    def __init__(self, exports, events, records, families, table_path, descriptions_path):
        self.exports = exports
        self.events = events
        self.records = records
        self.families = families
        self.table_path = table_path
        self.descriptions_path = descriptions_path
        self.by_export = {e.name: e for e in exports}
        self.by_event = {e.name: e for e in events}
        self.entries = {}     # name -> Entry
        self.family_of = {}   # name -> Family (exports and events)

    def check(self, events_only=False):
        errors = []
        for family in self.families:
            is_events = family.stem == EVENTS_STEM
            if events_only and not is_events:
                continue
            for entry in family.entries:
                where = f"{entry.path}:{entry.line}: {entry.name}"
                if entry.name in self.entries:
                    other = self.entries[entry.name]
                    errors.append(f"{where}: a second entry (the first is at {other.path}:{other.line})")
                    continue
                if is_events:
                    if entry.name not in self.by_event:
                        what = " (an export: it belongs in its family's file)" if entry.name in self.by_export else ""
                        errors.append(f"{where}: no such event{what}")
                        continue
                    names = [p.name for p in self.by_event[entry.name].params]
                    signature = self.by_event[entry.name].signature()
                else:
                    if entry.name not in self.by_export:
                        what = " (an event: it belongs in events.md)" if entry.name in self.by_event else ""
                        errors.append(f"{where}: no such export in {self.table_path}{what}")
                        continue
                    e = self.by_export[entry.name]
                    names = [a.name for a in e.args]
                    signature = f"{e.name}({', '.join(names)})"
                self.entries[entry.name] = entry
                self.family_of[entry.name] = family
                if not entry.summary:
                    errors.append(f"{where}: no summary (the text below '## {entry.name}')")
                if not entry.text("return"):
                    errors.append(f"{where}: no @return")
                seen = set()
                for name, text, line in entry.params:
                    if name not in names:
                        errors.append(f"{entry.path}:{line}: {entry.name}: @param '{name}' is not an argument of "
                                      f"{signature}")
                    elif name in seen:
                        errors.append(f"{entry.path}:{line}: {entry.name}: @param '{name}' given twice")
                    elif not text:
                        errors.append(f"{entry.path}:{line}: {entry.name}: @param '{name}' says nothing")
                    seen.add(name)
                missing = [n for n in names if n not in seen]
                if missing:
                    errors.append(f"{where}: no @param for {', '.join(missing)} of {signature}")
        known = set(self.by_export) | set(self.by_event) | set(self.records.records)
        for family in self.families:
            if events_only and family.stem != EVENTS_STEM:
                continue
            for entry in family.entries:
                for name, line in entry.see:
                    if name not in known:
                        errors.append(f"{entry.path}:{line}: {entry.name}: @see '{name}' names no export, event "
                                      f"or record")
        for ev in self.events:
            if ev.name not in self.entries:
                errors.append(f"{self.descriptions_path}/{EVENTS_STEM}.md: event {ev.name} has no entry")
        if events_only:
            return errors
        for e in self.exports:
            if e.name not in self.entries:
                errors.append(f"{self.table_path}:{e.line}: {e.name} has no entry in {self.descriptions_path}/")
        # One family file per section of the table, and one section per file.
        section_file = {}
        for e in self.exports:
            family = self.family_of.get(e.name)
            if family is None:
                continue
            first = section_file.setdefault(e.section, (family, e.name))
            if first[0] is not family:
                entry = self.entries[e.name]
                errors.append(f"{entry.path}:{entry.line}: {e.name}: the table puts it with '{e.section}', whose "
                              f"other exports ({first[1]}, ...) are described in {first[0].stem}.md")
        files = {}
        for section, (family, name) in section_file.items():
            if family.stem in files:
                errors.append(f"{family.path}: describes both '{files[family.stem]}' and '{section}' of the table; "
                              f"each section has its own file")
            files[family.stem] = section
        for family in self.families:
            if family.stem != EVENTS_STEM and not family.entries:
                errors.append(f"{family.path}: no entries")
        return errors

    def export_families(self):
        """The families of exports in table order, each with its exports in table order."""
        order = []
        for e in self.exports:
            family = self.family_of[e.name]
            if family not in order:
                order.append(family)
        return order

    def events_family(self):
        for family in self.families:
            if family.stem == EVENTS_STEM:
                return family
        return None

    def href(self, name, here=None):
        if name in self.family_of:
            page = self.family_of[name].stem + ".html"
        elif name in self.records.records:
            page = "records.html"
        else:
            return None
        return ("" if page == here else page) + "#" + name
