"""The reference of kavlink.dll and of the command events, from one source.

The prose comes from api/descriptions/<family>.md (one entry per export or
event, keyed by name); everything about the wire comes from the export table:
the command code, the lParam, each payload segment with its offset, size and
direction, the argument kinds, the refusal that every request shares and the
rule by which outputs come back.  From both this module writes the doc
comments of kavlink.h, the helpstrings of the type libraries, the comments of
kavlink.bas and the HTML reference.
"""
import html
import os
import re
import textwrap

from kavlink_exports import TableError, write, c_string, own_segments

DESCRIPTION_KEYS = ("param", "return", "refuses", "host", "see")
# Where the values that belong to the host are kept for kavhost and commands.
HOST_PROFILE_NOTE = ("kavhost's model of the host takes such values from the host profile, "
                     "share/kavlink/host-profile.json, and kavlink_host.h names them for commands.")
EVENTS_STEM = "events"
REQUEST_MESSAGE, EXIT_MESSAGE = 1534, 1765


# ------------------------------------------------------------------ events

class EventParam:
    def __init__(self, direction, idl_type, by_ref, name):
        self.direction, self.idl_type, self.by_ref, self.name = direction, idl_type, by_ref, name


class Event:
    def __init__(self, name, dispid, params):
        self.name, self.dispid, self.params = name, dispid, params

    def signature(self):
        parts = [f"[{p.direction}] {p.idl_type}{'*' if p.by_ref else ''} {p.name}" for p in self.params]
        return f"HRESULT {self.name}({', '.join(parts)})"


EVENT_METHOD = re.compile(r"\[id\((0x[0-9A-Fa-f]+)\)\]\s*HRESULT\s+(\w+)\s*\(([^)]*)\)")
IDENTITY_PARAM = "@KAVCMD_HWND_PARAM@"
IDENTITY_PARAM_NAME = "hWnd"  # how descriptions name it; each component names it itself


def parse_events(path):
    """The event methods of the interface block of the IDL template."""
    text = re.sub(r"//[^\n]*", "", open(path, encoding="utf-8").read())
    events = []
    for m in EVENT_METHOD.finditer(text):
        params = []
        for p in [" ".join(p.split()) for p in re.split(r",(?![^\[]*\])", m.group(3)) if p.strip()]:
            pm = re.match(r"^\[(in|in, out)\] (\w+)(\*?) ([@\w]+)$", p)
            if not pm:
                raise TableError(f"{path}: cannot read parameter '{p}' of {m.group(2)}")
            name = IDENTITY_PARAM_NAME if pm.group(4) == IDENTITY_PARAM else pm.group(4)
            params.append(EventParam(pm.group(1), pm.group(2), pm.group(3) == "*", name))
        events.append(Event(m.group(2), int(m.group(1), 16), params))
    if not events:
        raise TableError(f"{path}: no event methods found")
    return events


# ------------------------------------------------------------ descriptions

class Entry:
    def __init__(self, name, path, line):
        self.name, self.path, self.line = name, path, line
        self.paragraphs = []   # the summary, then further paragraphs
        self.params = []       # [(name, text, line)]
        self.keys = {}         # return / refuses / host -> (text, line)
        self.see = []          # [(name, line)]

    @property
    def summary(self):
        return self.paragraphs[0] if self.paragraphs else ""

    def text(self, key):
        return self.keys[key][0] if key in self.keys else ""

    def param(self, name):
        for n, text, _ in self.params:
            if n == name:
                return text
        return ""


class Family:
    def __init__(self, stem, path):
        self.stem, self.path = stem, path
        self.title = ""
        self.intro = []
        self.entries = []


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
                    names = [n for _, n in e.args]
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


# ------------------------------------------------------------- plain text

PLAIN = {"\u2014": "-", "\u2013": "-", "\u00d7": "x", "\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"',
         "\u2026": "...", "\u00a0": " ", "\u2192": "->", "\u2264": "<=", "\u2265": ">="}


def plain(text):
    """Text without Markdown marks, in ASCII where a mark has an ASCII form."""
    text = text.replace("`", "")
    return "".join(PLAIN.get(c, c) for c in text)


def helpstring(entry):
    text = plain(entry.summary)
    bad = sorted({c for c in text if ord(c) > 126 or ord(c) < 32})
    if bad:
        raise TableError(f"{entry.path}:{entry.line}: {entry.name}: the summary becomes a helpstring and must be "
                         f"ASCII; it contains {' '.join(repr(c) for c in bad)}")
    if "@" in text:
        raise TableError(f"{entry.path}:{entry.line}: {entry.name}: the summary becomes a helpstring of a template "
                         f"filled by configure_file and may not contain '@'")
    return text


# ------------------------------------------------------------ the layout

KIND_LABEL = {"u8": "8-bit value", "i16": "16-bit integer", "i32": "32-bit integer", "f64": "double",
              "pt": "PointShape", "line": "LineShape", "circle": "CircleShape", "arc": "ArcShape",
              "ellipse": "EllipseShape", "ellarc": "EllArcShape", "spos": "position of a StringShape",
              "sshape": "StringShape, all 20 bytes", "sattr": "StringAttr", "eattr": "ElementAttr",
              "matrix": "TransMatrix", "rpt": "ResultPoint", "bsh": "BSplineHeader", "bsv": "BSplineValues",
              "bsp": "BSplinePoints", "boxst": "BoxStatus", "chars": "bytes of the string",
              "text": "text with its terminating zero"}
DIRECTION = {"in": "in", "inout": "in-out", "out": "out", "": "back"}


class Size:
    """A byte count: a constant plus named terms (counts, text lengths)."""

    def __init__(self, const=0, terms=()):
        self.const, self.terms = const, list(terms)

    def __add__(self, other):
        return Size(self.const + other.const, self.terms + other.terms)

    def text(self):
        parts = list(self.terms)
        if self.const or not parts:
            parts.append(str(self.const))
        return " + ".join(parts)


class Slot:
    def __init__(self, name, what, direction, offset, size):
        self.name, self.what, self.direction, self.offset, self.size = name, what, direction, offset, size


def lparam_argument(e, part):
    """The argument behind the lParam's low half, high half or whole."""
    names = [e.args[i][1] for i in e.lparam_args]
    if e.lparam_form == "length":
        return f"len({names[0]})"
    if e.lparam_form == "arg32":
        return names[0] if part == "all" else f"low half of {names[0]}"
    if part == "high":
        return names[1] if len(names) > 1 else "lParam >> 16"
    return names[0]


def segment_slot(e, seg, offset, records):
    """Where a parsed segment lies and what it is, in words (its unit comes
    from the records header)."""
    name, base, count, extra, direction = seg.name, seg.kind, seg.count, seg.extra, seg.direction
    number = str(seg.number) if seg.number is not None else ""
    if base == "text":
        size = Size(1, [f"len({name})"])
        unit = None
    else:
        unit = seg.unit
        if count is None:
            size = Size(unit)
        elif isinstance(count, int):
            size = Size(unit * (count + extra))
        else:
            part = {"lp": "low", "lps": "low", "lphi": "high", "lpall": "all"}.get(count)
            symbol = lparam_argument(e, part) if part else count
            size = Size(extra * unit, [symbol if unit == 1 else f"{unit}*{symbol}"])
    args = {n: (k, t) for (k, n), t in zip(e.args, e.arg_types)}
    owner = name.split(".")[0]
    if base == "text":
        what = KIND_LABEL["text"]
    elif base == "str":
        what = f"text buffer of {number} bytes"
    elif base == "raw" and name in args and e.prototype.params[[n for _, n in e.args].index(name)].ctype in \
            records.records:
        what = e.prototype.params[[n for _, n in e.args].index(name)].ctype
    elif base == "raw":
        what = "bytes"
    else:
        what = KIND_LABEL[base]
    if count is not None and not isinstance(count, int):
        what += " each" if unit and unit > 1 and base not in ("raw", "chars") else ""
    if owner not in args:
        what += " (the library's own buffer)"
    return Slot(name, what, DIRECTION[direction], offset, size)


class Layout:
    def __init__(self, e, records):
        self.export = e
        self.sent, self.back = [], []
        offset = Size()
        for seg in e.sent:
            slot = segment_slot(e, seg, offset, records)
            self.sent.append(slot)
            offset = offset + slot.size
        self.total = offset
        back_offset = Size()
        for seg in e.back:
            slot = segment_slot(e, seg, back_offset, records)
            slot.direction = "back"
            self.back.append(slot)
            back_offset = back_offset + slot.size

    def request_line(self):
        e = self.export
        if e.lparam_form == "exit":
            return f"Sends message {EXIT_MESSAGE} (the end of the command) with wParam 0 and lParam 0; no payload."
        if e.code == 0:
            return "Sends no message: the library answers by itself."
        return f"Message {REQUEST_MESSAGE}, wParam (code) {e.code}, lParam {self.lparam_text()}."

    def lparam_text(self):
        e = self.export
        if e.lparam_form == "zero":
            return "0"
        if e.lparam_form == "fixed":
            return str(e.lparam_fixed)
        names = [e.args[i][1] for i in e.lparam_args]
        return {"arg32": f"`{names[0]}`",
                "u16": f"`{names[0]}` (its low 16 bits, zero-extended)",
                "s16": f"`{names[0]}` (its low 16 bits, sign-extended)",
                "packed": f"`{names[0]}` in the low 16 bits and `{names[-1]}` in the high 16 bits",
                "length": f"the byte length of `{names[0]}`"}[e.lparam_form]

    def outputs(self):
        return any(s.direction in ("in-out", "out") for s in self.sent) or bool(self.back)

    def copy_back(self):
        e = self.export
        if e.code == 0:
            return ""
        if not self.outputs():
            return "Copy-back: nothing is taken back from the payload."
        return {"": "Copy-back: what the payload carries back is taken whatever the host answers.",
                "nonzero": "Copy-back: what the payload carries back is taken only when the low 16 bits of the "
                           "answer are not 0.",
                "true": "Copy-back: what the payload carries back is taken only when the low 16 bits of the "
                        "answer are -1."}[e.rule]

    def refusal(self):
        """The refusal that every request shares, where it can happen."""
        e = self.export
        if e.code == 0:
            return ""
        addresses = any(not (k in ("i32", "i16", "u8", "f64", "i64")) for k, _ in e.args)
        variable = bool(self.total.terms) or any(s.size.terms for s in self.back)
        if not addresses and not variable:
            return ""
        answer = {"f64": "returns 0.0", "void": "returns", "bstr": "returns a null string"}.get(e.result, "returns 0")
        return (f"Generic refusal: the library {answer} without sending anything, and writes no output, when the "
                f"request would not fit into the payload area or would have to read through a null or "
                f"unreadable address.")

    def table_lines(self, slots):
        rows = [("offset", "size", "dir", "segment")]
        rows += [(s.offset.text(), s.size.text(), s.direction, f"{s.name}: {s.what}") for s in slots]
        widths = [max(len(r[i]) for r in rows) for i in range(3)]
        return ["  ".join(r[i].ljust(widths[i]) for i in range(3)) + "  " + r[3] for r in rows]

    def block_lines(self):
        """The request as a small preformatted block."""
        lines = [plain(self.request_line())]
        if self.export.code == 0:
            return lines
        if self.sent:
            lines += self.table_lines(self.sent)
        else:
            lines.append("No payload.")
        if self.back:
            lines.append("Read back from offset 0 after the answer:")
            lines += self.table_lines(self.back)
        return lines


def argument_direction(e, i):
    kind, name = e.args[i]
    if kind in ("i32", "i16", "u8", "f64", "i64", "bstr") or kind.startswith("names@"):
        return "in"
    sent, back = own_segments(e, name)
    directions = {d for _, _, d in sent}
    if kind == "text" and not directions & {"inout", "out"}:
        return "in"
    if not sent and not back:
        return "out"
    if "inout" in directions or ("in" in directions and back):
        return "in,out"
    if directions == {"in"}:
        return "in"
    return "out"


def argument_kind(e, i, records):
    """What the argument is, in a few words."""
    kind, name = e.args[i]
    p = e.prototype.params[i]
    in_lparam = e.lparam_form != "length" and i in e.lparam_args
    if kind in ("i32", "i16", "u8", "f64", "i64"):
        return "by value" + (", sent as the lParam" if in_lparam else "")
    if kind == "bstr":
        return "string by value"
    if kind == "text":
        return "zero-terminated ANSI text"
    if kind == "strvar":
        return "string variable"
    if kind.startswith("names@"):
        return f"`{e.args[int(kind[6:])][1]}` addresses of zero-terminated texts"
    if kind == "sshape":
        return "`StringShape`, 20 bytes; its text travels too"
    if kind == "sshape:256":
        return "`StringShape`, 20 bytes; its text names a buffer of 256 bytes"
    m = re.match(r"^arr:(\d+)(?:\*@(\d+))?$", kind)
    if m:
        times = f" x `{e.args[int(m.group(2))][1]}`" if m.group(2) else ""
        return f"array variable whose data holds {m.group(1)}{times} bytes"
    m = re.match(r"^ref:\+1@(\d+)$", kind)
    if m:
        return f"`{e.args[int(m.group(1))][1]}` + 1 bytes"
    m = re.match(r"^ref:(\d+)(?:\*@(\d+))?$", kind)
    size = int(m.group(1))
    what = p.ctype
    if what == "char":
        what = "text buffer"
    elif what == "void":
        what = "bytes"
    elif what in records.records:
        what = f"`{what}`"
    if m.group(2):
        return f"`{e.args[int(m.group(2))][1]}` x {what}, {size} bytes each"
    return f"{what}, {size} bytes"


# ---------------------------------------------------------------- kavlink.h

def sentence(text):
    """Prose that ends like a sentence."""
    text = text.strip()
    return text if not text or text[-1] in ".!?:)\"'`" else text + "."


def comment_lines(text, width=100, first="", rest=""):
    text = text.replace("*/", "* /").replace("/*", "/ *")  # no comment ends or nests inside one
    return textwrap.wrap(text, width, initial_indent=first, subsequent_indent=rest,
                         break_long_words=False, break_on_hyphens=False) or [first.rstrip()]


def doc_comment(ref, e):
    entry = ref.entries[e.name]
    layout = Layout(e, ref.records)
    body = []
    for i, paragraph in enumerate(entry.paragraphs):
        if i:
            body.append("")
        body += comment_lines(paragraph)
    for key, lead in (("refuses", "Refused by the library"), ("host", "Belongs to the host")):
        if entry.text(key):
            body.append("")
            note = f" {HOST_PROFILE_NOTE}" if key == "host" else ""
            body += comment_lines(f"{lead}: {sentence(entry.text(key))}{note}")
    body += ["", "@code"] + layout.block_lines() + ["@endcode"]
    for line in (layout.copy_back(), layout.refusal()):
        if line:
            body += comment_lines(line)
    body.append("")
    for i, (_, name) in enumerate(e.args):
        direction = argument_direction(e, i)
        body += comment_lines(f"@param[{direction}] {name} ({argument_kind(e, i, ref.records)}) "
                              f"{entry.param(name)}", rest="    ")
    body += comment_lines(f"@return {entry.text('return')}", rest="    ")
    if entry.see:
        body += comment_lines("@see " + " ".join(n for n, _ in entry.see), rest="    ")
    return ["/**"] + [(" * " + line).rstrip() for line in body] + [" */"]


def write_header(ref, path, table_name):
    out = ["/*",
           " * kavlink.h - the functions of kavlink.dll, the interface library between",
           " * add-in commands and the CAD host.",
           " *",
           f" * Generated by the build from {table_name} (what every function takes,",
           " * sends and gets back) and api/descriptions/ (what it means); edit those.",
           " * The records live in kavlink_records.h.",
           " *",
           " * Every function is exported undecorated with the __stdcall convention.",
           " * Each call copies its arguments into the 16,384-byte shared block",
           " * \"vbcmd_memfilemap\", sends one window message to the host window and",
           " * copies the answer back.  The comment above each prototype shows the",
           " * request: its command code, its lParam and the payload segments with",
           " * their offsets from the start of the payload area (byte 4 of the block),",
           " * sizes in bytes and directions (in: to the host; out: back from it;",
           " * in-out: both ways; back: read from offset 0 after the answer).",
           " * len(x) stands for the bytes of text x before its terminating zero.",
           " *",
           " * Argument kinds:",
           " *   short / unsigned char by value  - only the low 16 / 8 bits of the slot count",
           " *   const char*                      - zero-terminated ANSI text",
           " *   BSTR*                            - the caller's string variable (ANSI bytes)",
           " *   SAFEARRAY**                      - the caller's array variable; the library",
           " *                                      reads and writes the array's element data",
           " */",
           "#ifndef KAVLINK_H",
           "#define KAVLINK_H",
           "",
           "#include <stdint.h>",
           "#include <windows.h>",
           "#include <ole2.h>",
           "",
           '#include "kavlink_records.h"',
           "",
           "#ifdef __cplusplus",
           'extern "C" {',
           "#endif",
           "",
           "#define KAVAPI __stdcall"]
    section = None
    for e in ref.exports:
        if e.section != section:
            section = e.section
            title = ref.family_of[e.name].title
            out += ["", f"/* {'-' * max(4, 72 - len(title))} {title} */"]
        out.append("")
        out += doc_comment(ref, e)
        out.append(e.prototype.text(e.name))
    out += ["", "#ifdef __cplusplus", "}", "#endif", "", "#endif /* KAVLINK_H */", ""]
    write(path, "\n".join(out))


# ------------------------------------------------------- helpstrings, tests

def write_event_template(ref, template, path):
    text = open(template, encoding="utf-8").read()
    done = set()

    def with_help(m):
        name = m.group(2)
        done.add(name)
        return f"[id({m.group(1)}), helpstring({c_string(helpstring(ref.entries[name]))})] HRESULT {name}("

    text = re.sub(r"\[id\((0x[0-9A-Fa-f]+)\)\]\s*HRESULT\s+(\w+)\s*\(", with_help, text)
    if done != set(ref.by_event):
        raise TableError(f"{template}: could not place the helpstrings of {sorted(set(ref.by_event) - done)}")
    head = ("// The helpstring of every event comes from api/descriptions/events.md (written\n"
            "// into this template by the Kavlink build).\n")
    write(path, head + text)


def write_summaries(ref, path):
    out = ["// Generated from api/descriptions/ by the build: the summary of every export",
           "// and event, as the type libraries carry it in their helpstrings.",
           "#pragma once", "", "namespace kavref {", "",
           "struct Summary {", "    const char* name;", "    const char* text;", "};", "",
           "inline constexpr Summary kExportSummaries[] = {"]
    out += [f"    {{{c_string(e.name)}, {c_string(helpstring(ref.entries[e.name]))}}}," for e in ref.exports]
    out += ["};", "", "inline constexpr Summary kEventSummaries[] = {"]
    out += [f"    {{{c_string(ev.name)}, {c_string(helpstring(ref.entries[ev.name]))}}}," for ev in ref.events]
    out += ["};", "", "}  // namespace kavref", ""]
    write(path, "\n".join(out))


def bas_comment(ref, e):
    return ["' " + line for line in comment_lines(plain(ref.entries[e.name].summary), 96)]


# --------------------------------------------------------------------- HTML

STYLE = """body { font-family: sans-serif; margin: 0; color: #222; line-height: 1.45; }
nav { background: #2b3a4a; padding: .5em 1em; }
nav a { color: #fff; margin-right: .9em; text-decoration: none; white-space: nowrap; }
nav a:hover { text-decoration: underline; }
main { max-width: 64em; padding: 1em 2em 4em; }
h1 { font-size: 1.6em; }
h2 { font-size: 1.25em; margin-top: 2.2em; border-bottom: 1px solid #ccc; padding-bottom: .2em; }
code, pre { font-family: monospace; font-size: .95em; }
pre { background: #f4f4f4; padding: .5em .8em; overflow-x: auto; }
pre.proto { background: #eef3f8; border-left: 3px solid #2b3a4a; }
table { border-collapse: collapse; margin: .6em 0; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #f0f0f0; }
td.num { text-align: right; font-family: monospace; white-space: nowrap; }
.request { border: 1px solid #ccd; background: #fafbfd; padding: .2em .9em .6em; margin: .8em 0; }
.strip { display: flex; flex-wrap: wrap; gap: 2px; margin: .6em 0; }
.strip div { border: 1px solid #889; padding: .15em .4em; font-size: .85em; font-family: monospace; min-width: 5em; }
.in { background: #dbe8fb; } .out { background: #dcf3dc; }
.in-out { background: #eadcf6; } .back { background: #fbecd2; }
.legend span { padding: 0 .4em; margin-right: .4em; border: 1px solid #889; font-size: .85em; }
.toc { columns: 3 16em; padding-left: 1.2em; }
.label { font-weight: bold; }
"""


def inline(ref, text, here):
    """Prose to HTML: escaped, `code` spans, names of the reference linked."""
    out = []
    for i, part in enumerate(text.split("`")):
        if i % 2 == 0:
            out.append(html.escape(part, quote=False))
            continue
        target = ref.href(part, here)
        code = f"<code>{html.escape(part, quote=False)}</code>"
        out.append(f'<a href="{html.escape(target)}">{code}</a>' if target else code)
    return "".join(out)


def link_names(ref, text, here):
    """Plain text whose bare names of exports, events and records become links."""
    def one(m):
        target = ref.href(m.group(0), here)
        return f'<a href="{html.escape(target)}">{m.group(0)}</a>' if target else m.group(0)
    return re.sub(r"\b[A-Z][A-Za-z0-9_]+\b", one, html.escape(text, quote=False))


def page(ref, title, here, body):
    links = ['<a href="index.html">Index</a>']
    for family in ref.export_families() + ([ref.events_family()] if ref.events_family() else []):
        links.append(f'<a href="{family.stem}.html" title="{html.escape(family.title)}">{family.stem}</a>')
    links.append('<a href="records.html">Records</a>')
    return "\n".join([
        "<!DOCTYPE html>", '<html lang="en">', "<head>", '<meta charset="utf-8">',
        f"<title>{html.escape(title)} - Kavlink reference</title>", '<link rel="stylesheet" href="style.css">',
        "</head>", "<body>", "<nav>" + " ".join(links) + "</nav>", "<main>", body, "</main>", "</body>", "</html>", ""])


def html_slots(ref, slots, caption):
    rows = [f"<tr><td class=\"num\">{html.escape(s.offset.text())}</td><td class=\"num\">"
            f"{html.escape(s.size.text())}</td><td class=\"{s.direction}\">{s.direction}</td>"
            f"<td><code>{html.escape(s.name)}</code>: {link_names(ref, s.what, None)}</td></tr>" for s in slots]
    strip = "".join(f'<div class="{s.direction}" title="{html.escape(s.what)}">{html.escape(s.name)}<br>'
                    f"@{html.escape(s.offset.text())}<br>{html.escape(s.size.text())} B</div>" for s in slots)
    return (f"<p>{caption}</p>\n<div class=\"strip\">{strip}</div>\n"
            "<table><tr><th>offset</th><th>size</th><th>direction</th><th>segment</th></tr>\n" + "\n".join(rows) +
            "</table>")


def html_request(ref, e, here):
    layout = Layout(e, ref.records)
    parts = ['<div class="request">', f"<p><span class=\"label\">Request.</span> "
             f"{inline(ref, layout.request_line(), here)}</p>"]
    if e.code:
        if layout.sent:
            parts.append(html_slots(ref, layout.sent,
                                    "Payload, from offset 0 of the payload area (byte 4 of the block):"))
        else:
            parts.append("<p>No payload.</p>")
        if layout.back:
            parts.append(html_slots(ref, layout.back, "Read back from offset 0 after the answer:"))
        if layout.sent or layout.back:
            parts.append('<p class="legend"><span class="in">in: to the host</span><span class="in-out">in-out: '
                         'to the host and back</span><span class="out">out: back from the host</span>'
                         '<span class="back">back: read after the answer</span> len(x): bytes of text x before '
                         'its terminating zero.</p>')
    for line in (layout.copy_back(), layout.refusal()):
        if line:
            parts.append(f"<p>{html.escape(line)}</p>")
    parts.append("</div>")
    return "\n".join(parts)


def html_see(ref, entry, here):
    if not entry.see:
        return ""
    links = []
    for name, _ in entry.see:
        links.append(f'<a href="{html.escape(ref.href(name, here))}"><code>{name}</code></a>')
    return f"<p><span class=\"label\">See also:</span> {', '.join(links)}</p>"


def html_paragraphs(ref, paragraphs, here):
    """Paragraphs as HTML; a run of list items ("- ...") becomes one list."""
    out = []
    for p in paragraphs:
        if not p.startswith("- "):
            out.append(f"<p>{inline(ref, p, here)}</p>")
            continue
        item = f"<li>{inline(ref, p[2:], here)}</li>"
        if out and out[-1].endswith("</ul>"):
            out[-1] = out[-1][:-len("</ul>")] + item + "</ul>"
        else:
            out.append(f"<ul>{item}</ul>")
    return out


def html_section(ref, name, proto, entry, here, table, returns, labelled, extra=(), request=""):
    """One entry of a page: heading, prototype, prose, argument table, result,
    the labelled notes, the request (exports only) and the see-also line."""
    parts = [f'<section id="{name}">', f"<h2>{name}</h2>", f'<pre class="proto">{proto}</pre>']
    parts += html_paragraphs(ref, entry.paragraphs, here)
    parts.append(table)
    parts += extra
    parts.append(f"<p><span class=\"label\">Returns</span> <code>{returns}</code>: "
                 f"{inline(ref, entry.text('return'), here)}</p>")
    parts += [f"<p><span class=\"label\">{lead}</span> {inline(ref, text, here)}</p>" for text, lead in labelled if text]
    parts += [request, html_see(ref, entry, here), "</section>"]
    return "\n".join(p for p in parts if p)


def html_table(header, rows):
    return ("<table><tr>" + "".join(f"<th>{h}</th>" for h in header) + "</tr>\n" + "\n".join(rows) + "</table>"
            if rows else "")


def html_export(ref, e, here):
    entry = ref.entries[e.name]
    rows = [f"<tr><td><code>{name}</code></td><td><code>{html.escape(e.prototype.params[i].type_text())}"
            f"</code></td><td>{argument_direction(e, i).replace(',', '-')}</td><td>"
            f"{inline(ref, argument_kind(e, i, ref.records), here)}</td><td>"
            f"{inline(ref, entry.param(name), here)}</td></tr>"
            for i, (_, name) in enumerate(e.args)]
    return html_section(ref, e.name, html.escape(e.prototype.text(e.name, 100)), entry, here,
                        html_table(("argument", "C", "direction", "kind", "meaning"), rows),
                        html.escape(e.prototype.result.strip()),
                        ((sentence(entry.text("refuses")), "Refused by the library:"),
                         (sentence(entry.text("host")) + " " + HOST_PROFILE_NOTE if entry.text("host") else "",
                          "Belongs to the host:")),
                        request=html_request(ref, e, here))


def html_event(ref, ev, here):
    entry = ref.entries[ev.name]
    rows = [f"<tr><td><code>{p.name}</code></td><td><code>{p.idl_type}{'*' if p.by_ref else ''}</code></td>"
            f"<td>{p.direction.replace(', ', '-')}</td><td>{inline(ref, entry.param(p.name), here)}</td></tr>"
            for p in ev.params]
    extra = []
    if ev.params and ev.params[0].name == IDENTITY_PARAM_NAME:
        extra.append(f"<p>The name of <code>{IDENTITY_PARAM_NAME}</code> in a component's type library comes "
                     f"from <code>KAVCMD_HWND_PARAM</code> of its identity header.</p>")
    return html_section(ref, ev.name, f"[id(0x{ev.dispid:08x})] {html.escape(ev.signature())}", entry, here,
                        html_table(("parameter", "type", "direction", "meaning"), rows), "HRESULT",
                        ((entry.text("refuses"), "Refused:"), (entry.text("host"), "Belongs to the host:")), extra)


def html_family(ref, family, items):
    here = family.stem + ".html"
    body = [f"<h1>{html.escape(family.title)}</h1>"]
    body += html_paragraphs(ref, family.intro, here)
    body.append('<ul class="toc">' + "".join(f'<li><a href="#{n}"><code>{n}</code></a></li>' for n, _ in items) +
                "</ul>")
    body += [section for _, section in items]
    return page(ref, family.title, here, "\n".join(body))


def html_records(ref):
    here = "records.html"
    body = ["<h1>Records</h1>",
            "<p>The records that travel between the library and the host, as <code>kavlink_records.h</code> "
            "declares them. Each is packed: fields follow one another without padding, little-endian, and the "
            "library copies a record whole, by its size. A record of bytes keeps a layout that only the host "
            "knows.</p>",
            '<ul class="toc">' + "".join(f'<li><a href="#{n}"><code>{n}</code></a></li>'
                                         for n in ref.records.order) + "</ul>"]
    for name in ref.records.order:
        r = ref.records.records[name]
        body.append(f'<section id="{name}">')
        body.append(f"<h2>{name} <small>({r.size} bytes)</small></h2>")
        body += [f"<p>{link_names(ref, ' '.join(p.split()), here)}</p>" for p in r.doc.split("\n\n")]
        rows = []
        for f, offset in zip(r.fields, r.offsets):
            size = (4 if f.pointer else (ref.records.records[f.ctype].size if f.ctype in ref.records.records
                                         else {"double": 8, "int32_t": 4, "uint32_t": 4, "int16_t": 2}.get(f.ctype, 1)))
            ctype = f.ctype + (" *" if f.pointer else "")
            ctype_html = link_names(ref, ctype, here)
            count = f"[{f.count}]" if f.count > 1 else ""
            rows.append(f"<tr><td class=\"num\">{offset}</td><td class=\"num\">{size * f.count}</td>"
                        f"<td><code>{ctype_html}</code></td><td><code>{f.name}{count}</code></td>"
                        f"<td>{link_names(ref, ' '.join(f.doc.split()), here)}</td></tr>")
        body.append("<table><tr><th>offset</th><th>size</th><th>type</th><th>field</th><th>meaning</th></tr>\n" +
                    "\n".join(rows) + "</table>")
        users = [e.name for e in ref.exports if any(p.ctype == name for p in e.prototype.params)]
        if users and not r.opaque():
            body.append(f"<details><summary>Taken by {len(users)} functions</summary><p>" +
                        ", ".join(f'<a href="{ref.href(u, here)}"><code>{u}</code></a>' for u in users) +
                        "</p></details>")
        body.append("</section>")
    return page(ref, "Records", here, "\n".join(body))


def html_index(ref):
    here = "index.html"
    body = ["<h1>Kavlink reference</h1>",
            "<p>Every function of <code>kavlink.dll</code>, every event that a command component answers, and "
            "every record they exchange. Each function's entry shows the request it makes: the command code, "
            "the lParam, and each payload segment with its offset, size and direction.</p>",
            "<h2>Families</h2>", "<ul>"]
    for family in ref.export_families():
        count = sum(1 for e in ref.exports if ref.family_of[e.name] is family)
        body.append(f'<li><a href="{family.stem}.html">{html.escape(family.title)}</a> ({count} functions)</li>')
    events = ref.events_family()
    if events:
        body.append(f'<li><a href="{events.stem}.html">{html.escape(events.title)}</a> ({len(ref.events)} '
                    f"events)</li>")
    body.append(f'<li><a href="records.html">Records</a> ({len(ref.records.order)} records)</li>')
    body += ["</ul>", "<h2>Every name</h2>", "<table><tr><th>name</th><th>what</th><th>where</th></tr>"]
    names = [(e.name, "function", ref.family_of[e.name].title) for e in ref.exports]
    names += [(ev.name, "event", ref.family_of[ev.name].title) for ev in ref.events]
    names += [(r, "record", "Records") for r in ref.records.order]
    for name, what, where in sorted(names, key=lambda n: n[0].lower()):
        body.append(f'<tr><td><a href="{html.escape(ref.href(name, here))}"><code>{name}</code></a></td>'
                    f"<td>{what}</td><td>{html.escape(where)}</td></tr>")
    body.append("</table>")
    return page(ref, "Index", here, "\n".join(body))


def write_reference(ref, folder):
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.endswith(".html"):
            os.remove(os.path.join(folder, name))
    for family in ref.export_families():
        here = family.stem + ".html"
        items = [(e.name, html_export(ref, e, here)) for e in ref.exports if ref.family_of[e.name] is family]
        write(os.path.join(folder, here), html_family(ref, family, items))
    events = ref.events_family()
    if events:
        here = events.stem + ".html"
        items = [(ev.name, html_event(ref, ev, here)) for ev in ref.events]
        write(os.path.join(folder, here), html_family(ref, events, items))
    write(os.path.join(folder, "records.html"), html_records(ref))
    write(os.path.join(folder, "index.html"), html_index(ref))
    write(os.path.join(folder, "style.css"), STYLE)
