#!/usr/bin/env python3
"""Reads api/kavlink.exports and writes the files the build derives from it.

    kavlink_exports.py TABLE [--records H] [--descriptions DIR] [--events IDL]
                             [--def F] [--import-def F] [--table-header F]
                             [--bas F] [--idl F] [--header F] [--reference DIR]
                             [--summaries F] [--event-template F]

--records       include/kavlink_records.h: the hand-written records and their
                doc comments (needed by --table-header and everything below it,
                and by rows that take a size from a record)
--descriptions  api/descriptions: one Markdown file of prose per family
--events        the command IDL template, whose interface block lists the events
--def           the linker's export list: Name = Name@N
--import-def    the decorated names alone (Name@N), for import libraries
--table-header  kavlink_table.h: every export's layout as typed C++ constants
                (kavtable::kExports), read by kavhost and the tests
--bas           the declarations module for Automation clients
--idl           a type library source with a module of every export
--header        kavlink.h: every prototype with its reference comment
--reference     the HTML reference (one page per family, records, index)
--summaries     C++ table of every export's and event's summary (for tests)
--event-template  the IDL template with a helpstring on every event; needs
                only --descriptions and --events (TABLE names the exports
                that the events' @see may name)

The prototypes are derived from the table: the C type of an argument comes
from its kind and segments, or from the type the row names.  A malformed
table stops the build with "TABLE:LINE: message"; a missing or wrong
description with "FILE:LINE: message" (every problem is listed).
"""
import argparse
import os
import re
import sys
import uuid

# kavlink_reference imports this module by name: let it find this run of it.
if __name__ == "__main__":
    sys.modules.setdefault("kavlink_exports", sys.modules[__name__])

RESULTS = {"i32", "i16", "f64", "i64", "bstr", "void"}
BY_VALUE_KINDS = {"i32", "i16", "u8", "f64", "i64"}
INTEGER_KINDS = {"i32", "i16", "u8"}
SCALAR_KINDS = BY_VALUE_KINDS | {"text", "strvar", "bstr", "sshape", "sshape:256"}
ARG_KIND = re.compile(r"^(ref:\d+|ref:\d+\*@\d+|ref:\+1@\d+|arr:\d+|arr:\d+\*@\d+|names@\d+)$")
# An argument written as the segment it travels as ("pt/inout shape"): the
# address of that segment's memory.
COMPACT_ARG = re.compile(r"^([a-z]+\d*)/(in|out|inout)$")
SEGMENT = re.compile(r"^([A-Za-z_][\w.]*):([a-z]+\d*)(\*\w+)?(\+\d+)?(/(in|out|inout))?$")
SEGMENT_KINDS = {"u8", "i16", "i32", "f64", "pt", "line", "circle", "arc", "ellipse", "ellarc", "spos",
                 "sshape", "sattr", "eattr", "matrix", "rpt", "bsh", "bsv", "bsp", "boxst", "raw", "chars", "text"}
# Bytes of one item of a segment kind: a number, or the record (or record
# member) of include/kavlink_records.h whose size it is.
SCALAR_UNIT = {"u8": 1, "i16": 2, "i32": 4, "f64": 8, "raw": 1, "chars": 1, "text": 0}
RECORD_UNIT = {"pt": "PointShape", "line": "LineShape", "circle": "CircleShape", "arc": "ArcShape",
               "ellipse": "EllipseShape", "ellarc": "EllArcShape", "spos": "StringShape::position",
               "sshape": "StringShape", "sattr": "StringAttr", "eattr": "ElementAttr", "matrix": "TransMatrix",
               "rpt": "ResultPoint", "bsh": "BSplineHeader", "bsv": "BSplineValues", "bsp": "BSplinePoints",
               "boxst": "BoxStatus"}
LP_COUNTS = {"lp", "lps", "lphi", "lpall"}
RULES = {"nonzero", "true"}
ANSWERS = {"one", "next", "panel"}
ROW = re.compile(r"^(\S+)\s+(\S+)\s+(\S+)\s+([A-Za-z_]\w*)\(([^)]*)\)\s*(.*)$")


class TableError(Exception):
    pass


class Segment:
    """One payload segment or read-back area, parsed once."""

    def __init__(self, token, name, kind, number, count, extra, direction):
        self.token = token          # as the table states it, in full: "points:pt*lps/in"
        self.name = name
        self.kind = kind            # a SEGMENT_KINDS entry, or "str" (a text buffer)
        self.number = number        # N of rawN / strN, else None
        self.count = count          # None, a number, an LP_COUNTS form or the name of an earlier segment
        self.count_index = -1       # the segment that counts, for a count by name
        self.extra = extra          # added to the count
        self.direction = direction  # in, out, inout; "" for a read-back area
        self.unit = None            # bytes of one item (0 for a text), once the records are read
        self.unit_expr = None       # the same as C++ (sizeof of a record where there is one)


class Arg:
    """One argument: its kind as the rest of the generator reads it
    ("ref:16"), and what the row said beyond that."""

    def __init__(self, kind, name, ctype, compact=None):
        self.kind = kind            # canonical kind; for a compact argument set once the records are read
        self.name = name
        self.ctype = ctype          # the C type the row names, or None
        self.compact = compact      # (segment kind, direction) of "pt/inout name", else None
        self.stated_size = False    # the row writes its size out (ref:N, raw40/in, ...)


class Export:
    def __init__(self, line, section, code, result, name, args, arg_types=None, c_result=None):
        self.line = line
        self.section = section
        self.code = code
        self.result = result
        self.name = name
        self.args = args            # [(kind, name)]
        self.rule = ""              # when outputs are copied: "", "nonzero", "true"
        self.arg_types = arg_types or [None] * len(args)  # C types the row names
        self.c_result = c_result    # C result the row names (i32=T*)
        self.prototype = None       # Prototype, once derived
        self.lparam_form = "zero"   # zero arg32 u16 s16 packed fixed length none exit
        self.lparam_args = []       # argument indices the lParam is made from
        self.lparam_fixed = 0
        self.sent = []              # [Segment], payload order
        self.back = []              # [Segment], read back from offset 0
        self.answer = "one"         # kavhost's default answer: one, next (counting index), panel
        self.stated_sizes = set()   # names of arguments and segments whose size the row writes out

    def arg_bytes(self):
        return sum(8 if kind in ("f64", "i64") else 4 for kind, _ in self.args)

    def kinds(self):
        return " ".join(kind for kind, _ in self.args)

    def names(self):
        return ", ".join(name for _, name in self.args)

    def arg_index(self, name):
        for i, (_, n) in enumerate(self.args):
            if n == name:
                return i
        return -1


def parse_segment(token, where, read_back, before):
    m = SEGMENT.match(token)
    if not m:
        raise TableError(f"{where}: bad segment '{token}'")
    kind = m.group(2)
    base = re.sub(r"\d+$", "", kind)
    number = None
    if kind not in SEGMENT_KINDS:
        if base not in ("raw", "str") or kind == base:
            raise TableError(f"{where}: unknown segment kind '{kind}' in '{token}'")
        number = int(kind[len(base):])
        if number == 0:
            raise TableError(f"{where}: '{token}' has no bytes")
        kind = base
    if read_back and m.group(5):
        raise TableError(f"{where}: a read-back area has no direction: '{token}'")
    if not read_back and not m.group(5):
        raise TableError(f"{where}: segment '{token}' needs a direction (/in, /out, /inout)")
    count = m.group(3)[1:] if m.group(3) else None
    extra = int(m.group(4)[1:]) if m.group(4) else 0
    if extra and count is None:
        raise TableError(f"{where}: '{token}' adds to a count it does not have")
    if kind == "text" and count is not None:
        raise TableError(f"{where}: a text takes no count: '{token}'")
    if kind in ("raw", "chars") and number is None and count is None:
        raise TableError(f"{where}: '{kind}' needs a count: '{token}'")
    s = Segment(token, m.group(1), kind, number, count, extra, m.group(6) or "")
    if count is not None:
        if count.isdigit():
            s.count = int(count)
        elif count not in LP_COUNTS:
            earlier = [i for i, b in enumerate(before) if b.name == count]
            if not earlier:
                raise TableError(f"{where}: '{token}' takes its count from '{count}', which is not an earlier segment")
            counter = before[earlier[-1]]
            if counter.kind not in INTEGER_KINDS or counter.count is not None:
                raise TableError(f"{where}: '{token}' takes its count from '{count}', which is not one integer")
            s.count_index = earlier[-1]
    return s


def default_segment(e, arg, lparam_names):
    """The segment an argument travels as when the row states none: a value
    not sent as the lParam, a text, or a compact reference."""
    if arg.name in lparam_names:
        return None
    if arg.kind in BY_VALUE_KINDS - {"i64"}:
        return f"{arg.name}:{arg.kind}/in"
    if arg.kind == "text":
        return f"{arg.name}:text/in"
    if arg.compact:
        return f"{arg.name}:{arg.compact[0]}/{arg.compact[1]}"
    return None


def parse_lparam(e, lparam, names, kinds, where):
    if lparam == "0":
        e.lparam_form = "zero"
        return
    if lparam in ("-", "exit"):
        e.lparam_form = "none" if lparam == "-" else "exit"
        return
    if lparam.startswith("="):
        if not lparam[1:].isdigit():
            raise TableError(f"{where}: a constant lParam is =N")
        e.lparam_form, e.lparam_fixed = "fixed", int(lparam[1:])
        return
    form, _, rest = lparam.rpartition(":")
    form = form or "arg32"
    wanted = {"arg32": 1, "u16": 1, "s16": 1, "len": 1, "packed": 2}
    if form not in wanted:
        raise TableError(f"{where}: unknown lParam form '{form}'")
    parts = rest.split(",")
    if len(parts) != wanted[form]:
        raise TableError(f"{where}: lParam {form} names {wanted[form]} argument(s), not {len(parts)}")
    for a in parts:
        if a not in names:
            raise TableError(f"{where}: lParam names unknown argument '{a}'")
        kind = kinds[names.index(a)]
        if form == "len" and kind not in ("bstr", "text"):
            raise TableError(f"{where}: lParam len:{a} needs a string, '{a}' is {kind}")
        if form != "len" and kind not in INTEGER_KINDS:
            raise TableError(f"{where}: lParam {lparam} needs integers by value, '{a}' is {kind}")
    e.lparam_form = {"arg32": "arg32", "u16": "u16", "s16": "s16", "len": "length", "packed": "packed"}[form]
    e.lparam_args = [names.index(a) for a in parts]


def parse(path, records=None):
    exports = []
    section = ""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines, 1):
        where = f"{path}:{number}"
        text = raw.strip()
        if text.startswith("# ----"):
            section = text[6:].strip()
            continue
        if not text or text.startswith("#"):
            continue
        m = ROW.match(text)
        if not m:
            raise TableError(f"{where}: not a row: {text}")
        code, lparam, result, name, arglist, rest = m.groups()
        where = f"{where} ({name})"
        c_result = None
        if "=" in result:
            result, c_result = result.split("=", 1)
            if result != "i32" or not re.match(r"^[A-Za-z_]\w*\*$", c_result):
                raise TableError(f"{where}: a C result is given as i32=Type*")
        if result not in RESULTS:
            raise TableError(f"{where}: unknown result '{result}'")
        if code == "-":
            code = 0
        elif code.isdigit() and 1100 <= int(code) <= 2151:
            code = int(code)
        else:
            raise TableError(f"{where}: code must be 1100..2151 or '-'")
        if (code == 0) != (lparam in ("-", "exit")):
            raise TableError(f"{where}: code and lParam disagree")
        args = []
        for a in [a.strip() for a in arglist.split(",") if a.strip()]:
            parts = a.split()
            if len(parts) not in (2, 3):
                raise TableError(f"{where}: bad argument '{a}'")
            kind, ctype = parts[0], parts[1] if len(parts) == 3 else None
            compact = COMPACT_ARG.match(kind)
            if compact:
                seg_kind = compact.group(1)
                base = re.sub(r"\d+$", "", seg_kind)
                if seg_kind in ("text", "chars") or (seg_kind not in SEGMENT_KINDS and base not in ("raw", "str")):
                    raise TableError(f"{where}: '{kind}' is not a segment of fixed size")
                if seg_kind == "raw" and not ctype:
                    raise TableError(f"{where}: 'raw/...' takes its size from the record the row names")
                args.append(Arg(None, parts[-1], ctype, (seg_kind, compact.group(2))))
                args[-1].stated_size = base in ("raw", "str") and seg_kind != base
            elif kind in SCALAR_KINDS or ARG_KIND.match(kind):
                args.append(Arg(kind, parts[-1], ctype))
                args[-1].stated_size = kind.startswith(("ref:", "arr:"))
            else:
                raise TableError(f"{where}: bad argument '{a}'")
        names = [a.name for a in args]
        if len(set(names)) != len(names):
            raise TableError(f"{where}: argument named twice")
        if any(a.compact for a in args):
            if records is None:
                raise TableError(f"{where}: a compact argument needs the records (--records)")
            for a in args:
                if a.compact:
                    size = compact_size(a, records, where)
                    a.kind = f"ref:{size}"
                    if a.compact[0] == "raw":
                        a.compact = (f"raw{size}", a.compact[1])
        for a in args:
            ref = re.search(r"@(\d+)$", a.kind)
            if ref:
                k = int(ref.group(1))
                if k >= len(args):
                    raise TableError(f"{where}: '{a.kind}' names argument {k}, which does not exist")
                if args[k].kind not in INTEGER_KINDS:
                    raise TableError(f"{where}: '{a.kind}' takes its count from '{args[k].name}', not an integer")
        e = Export(number, section, code, result, name, [(a.kind, a.name) for a in args], [a.ctype for a in args],
                   c_result)
        e.stated_sizes = {a.name for a in args if a.stated_size}
        parse_lparam(e, lparam, names, [a.kind for a in args], where)
        lparam_names = [names[i] for i in e.lparam_args if e.lparam_form != "length"]
        tokens = rest.split()
        rule = ""
        kept = []
        for t in tokens:
            if t.startswith("when:"):
                if rule:
                    raise TableError(f"{where}: two rules")
                rule = t[5:]
                if rule not in RULES:
                    raise TableError(f"{where}: unknown rule '{t}'")
            elif t.startswith("answer:"):
                e.answer = t[7:]
                if e.answer not in ANSWERS:
                    raise TableError(f"{where}: unknown default answer '{t}' ({', '.join(sorted(ANSWERS))})")
                if code == 0:
                    raise TableError(f"{where}: an export without a request has no answer")
            else:
                kept.append(t)
        stated, back = kept, []
        if "->" in kept:
            i = kept.index("->")
            stated, back = kept[:i], kept[i + 1:]
            if back and back[0] in RULES:
                if rule:
                    raise TableError(f"{where}: two rules")
                rule, back = back[0], back[1:]
            if not back:
                raise TableError(f"{where}: '->' without a read-back area")
        defaults = {a.name: default_segment(e, a, lparam_names) for a in args} if code else {}
        default_list = [s for s in (defaults.get(a.name) for a in args) if s]
        segments = []
        for t in stated:
            if re.match(r"^[A-Za-z_]\w*$", t):
                if not defaults.get(t):
                    raise TableError(f"{where}: '{t}' has no segment of its own: state it in full")
                t = defaults[t]
            elif SEGMENT.match(t) and defaults.get(SEGMENT.match(t).group(1)) == t:
                raise TableError(f"{where}: '{t}' is the argument's own segment: write '{t.split(':')[0]}'")
            segments.append(t)
        e.stated_sizes |= {t.split(":")[0] for t in segments if t not in defaults.values()}
        if not stated:
            segments = default_list
        elif segments == default_list:
            raise TableError(f"{where}: the segments are the arguments in order: leave them out")
        if code == 0 and (segments or back):
            raise TableError(f"{where}: an export without a request has no segments")
        for t in segments:
            e.sent.append(parse_segment(t, where, False, e.sent))
        for t in back:
            e.back.append(parse_segment(t, where, True, e.back))
        seen = set()
        for s in e.sent:
            if s.name in seen:
                raise TableError(f"{where}: segment '{s.name}' stated twice")
            seen.add(s.name)
            owner, dot, member = s.name.partition(".")
            if dot:
                if owner not in names or not args[names.index(owner)].kind.startswith("sshape") or member != "text":
                    raise TableError(f"{where}: segment '{s.token}': only a StringShape argument has a .text")
            elif owner in lparam_names:
                raise TableError(f"{where}: '{owner}' travels as the lParam and again as a segment")
        e.rule = rule
        if any(x.name == name for x in exports):
            raise TableError(f"{where}: {name} listed twice")
        exports.append(e)
    if not exports:
        raise TableError(f"{path}: no exports")
    return exports


def compact_size(arg, records, where):
    """Bytes of a compact argument's memory: the record's size from the
    header, or the N of rawN / strN."""
    seg_kind = arg.compact[0]
    base = re.sub(r"\d+$", "", seg_kind)
    if seg_kind in SCALAR_UNIT:
        size = SCALAR_UNIT[seg_kind]
        if seg_kind == "raw":
            if arg.ctype not in records.records:
                raise TableError(f"{where}: 'raw/...' needs a record, '{arg.ctype}' is none")
            size = records.records[arg.ctype].size
        return size
    if seg_kind in RECORD_UNIT:
        return records.unit_size(RECORD_UNIT[seg_kind])
    return int(seg_kind[len(base):])


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write(path, text, newline="\n"):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline=newline) as f:
        f.write(text)


def write_def(exports, path):
    out = ["; Generated from api/kavlink.exports: undecorated names, each bound to its decorated",
           "; __stdcall symbol so that the linker checks the argument bytes.", "LIBRARY kavlink.dll", "EXPORTS"]
    section = None
    for e in exports:
        if e.section != section:
            section = e.section
            out.append(f"; {section}")
        out.append(f"    {e.name} = {e.name}@{e.arg_bytes()}")
    write(path, "\n".join(out) + "\n")


def write_import_def(exports, path):
    out = ["; Generated from api/kavlink.exports: the decorated names, for import libraries.",
           "LIBRARY kavlink.dll", "EXPORTS"]
    out += [f"    {e.name}@{e.arg_bytes()}" for e in exports]
    write(path, "\n".join(out) + "\n")


# ------------------------------------------------------------ typed table

def assign_units(exports, records, table):
    """Gives every segment its bytes per item from the records header and
    checks each against the argument it carries."""
    for e in exports:
        where = f"{table}:{e.line} ({e.name})"
        for s in e.sent + e.back:
            owner = e.arg_index(s.name)
            ctype = e.arg_types[owner] if owner >= 0 else None
            if s.kind in RECORD_UNIT:
                s.unit = records.unit_size(RECORD_UNIT[s.kind])
                s.unit_expr = f"sizeof({RECORD_UNIT[s.kind]})"
            elif s.number is not None:
                s.unit = s.number
                s.unit_expr = str(s.number)
                if s.kind == "raw" and ctype in records.records:
                    size = records.records[ctype].size
                    if size != s.number:
                        raise TableError(f"{where}: segment '{s.token}' carries {ctype}, which is {size} bytes")
                    s.unit_expr = f"sizeof({ctype})"
            else:
                s.unit = SCALAR_UNIT[s.kind]
                s.unit_expr = str(s.unit)
            if owner < 0:
                continue
            kind = e.args[owner][0]
            m = re.match(r"^(ref|arr):(\d+)(\*@\d+)?$", kind)
            if not m or s.kind == "text":
                continue
            stated = int(m.group(2))
            if m.group(3) or (s.count is not None and not isinstance(s.count, int)):
                ok = s.unit == stated or s.kind in ("raw", "chars")
                what = f"{s.unit} bytes per item"
            else:
                carried = s.unit * ((s.count if isinstance(s.count, int) else 1) + s.extra)
                ok = carried == stated
                what = f"{carried} bytes"
            if not ok:
                raise TableError(f"{where}: argument '{s.name}' is {kind}, its segment '{s.token}' is {what}")


def cpp_enum(name, values, doc):
    return [f"// {doc}", f"enum class {name} : uint8_t {{ {', '.join(values)} }};", ""]


ARG_ENUM = {"i32": "I32", "i16": "I16", "u8": "U8", "f64": "F64", "i64": "I64", "text": "Text", "strvar": "StrVar",
            "bstr": "Bstr", "sshape": "StrShape", "sshape:256": "StrShapeBuffer"}
SEGMENT_ENUM = {"u8": "U8", "i16": "I16", "i32": "I32", "f64": "F64", "pt": "Point", "line": "Line",
                "circle": "Circle", "arc": "Arc", "ellipse": "Ellipse", "ellarc": "EllArc", "spos": "StrPos",
                "sshape": "StrShape", "sattr": "StrAttr", "eattr": "ElemAttr", "matrix": "Matrix", "rpt": "ResultPt",
                "bsh": "BsHeader", "bsv": "BsValues", "bsp": "BsPoints", "boxst": "BoxStatus", "text": "Text",
                "str": "TextBuf", "raw": "Raw", "chars": "Chars"}
LPARAM_ENUM = {"zero": "Zero", "arg32": "Arg32", "u16": "U16", "s16": "S16", "packed": "Packed", "fixed": "Fixed",
               "length": "Length", "none": "NoRequest", "exit": "Exit"}
RESULT_ENUM = {"i32": "I32", "i16": "I16", "f64": "F64", "i64": "I64", "bstr": "Bstr", "void": "Void"}
RULE_ENUM = {"": "Always", "nonzero": "Nonzero", "true": "True"}
ANSWER_ENUM = {"one": "One", "next": "NextIndex", "panel": "PanelPerId"}
COUNT_ENUM = {"lp": "LpLow", "lps": "LpSigned", "lphi": "LpHigh", "lpall": "LpAll"}
DIRECTION_ENUM = {"in": "In", "out": "Out", "inout": "InOut", "": "Out"}


def cpp_arg(e, i, records):
    kind, name = e.args[i]
    ctype = e.prototype.params[i].ctype if e.prototype else None
    size = "sizeof(StringShape)" if kind.startswith("sshape") else "0"
    count, buffer = -1, 0
    if kind in ARG_ENUM:
        enum = ARG_ENUM[kind]
        buffer = 256 if kind == "sshape:256" else 0
    else:
        if kind.startswith("names@"):
            enum, count = "Names", int(kind[6:])
        elif kind.startswith("ref:+1@"):
            enum, size, count = "RefPlusOne", "1", int(kind[7:])
        else:
            m = re.match(r"^(ref|arr):(\d+)(?:\*@(\d+))?$", kind)
            base = "Ref" if m.group(1) == "ref" else "Array"
            enum = base + ("Times" if m.group(3) else "")
            count = int(m.group(3)) if m.group(3) else -1
            size = m.group(2)
            if m.group(1) == "ref" and not m.group(3) and ctype in records.records:
                size = f"sizeof({ctype})"
    slots = 2 if kind in ("f64", "i64") else 1
    return f"{{{c_string(name)}, ArgKind::{enum}, {size}, {buffer}, {count}, {slots}}}"


def cpp_segment(e, s):
    if s.count is None:
        count, number = "None", 0
    elif isinstance(s.count, int):
        count, number = "Number", s.count
    elif s.count in COUNT_ENUM:
        count, number = COUNT_ENUM[s.count], 0
    else:
        count, number = "Segment", 0
    owner = s.name.split(".")[0]
    arg = e.arg_index(owner)
    return (f"{{{c_string(s.name)}, SegmentKind::{SEGMENT_ENUM[s.kind]}, {s.unit_expr}, CountFrom::{count}, {number}, "
            f"{s.count_index}, {s.extra}, Direction::{DIRECTION_ENUM[s.direction]}, {arg}, "
            f"{'true' if '.' in s.name else 'false'}}}")


TABLE_HEAD = """\
// Generated from {table} and include/kavlink_records.h by cmake/kavlink_exports.py;
// edit those, not this file.  Every export's layout as typed constants: the
// generator has checked every row, so nothing here needs parsing or checking
// at run time, and the sizes of records are the compiler's (sizeof), checked
// against what the rows state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kavlink_records.h"

namespace kavtable {{
"""

TABLE_TYPES = """\
// One argument as the caller passes it.
struct Arg {
    const char* name;
    ArgKind kind;
    // Ref, Array: bytes of its memory; RefTimes, ArrayTimes: bytes per item
    // counted by argument countArg; RefPlusOne: 1 (countArg + 1 bytes);
    // StrShape, StrShapeBuffer: the record's bytes.
    uint32_t bytes;
    uint32_t bufferBytes;  // StrShapeBuffer: the buffer its text pointer names
    int countArg;          // the argument that counts, or -1
    uint32_t slots;        // 4-byte stack slots
};

// One payload segment or read-back area.
struct Segment {
    const char* name;       // an argument, "arg.text", or a buffer of the export's own
    SegmentKind kind;
    uint32_t unit;          // bytes of one item (0 for a text, which ends at its zero)
    CountFrom countFrom;
    uint32_t countNumber;   // CountFrom::Number
    int countSegment;       // CountFrom::Segment: index of an earlier integer segment
    uint32_t extra;         // added to the count
    Direction direction;    // Out for a read-back area
    int arg;                // the argument whose value or memory it carries, or -1
    bool argText;           // the text a StringShape argument points to
};

struct Export {
    const char* name;
    ResultForm result;
    uint32_t code;          // 0: no request message
    LParamForm lparam;
    int lparamArgs[2];      // arguments the lParam is made from (-1: none)
    uint32_t lparamFixed;   // LParamForm::Fixed
    std::span<const Arg> args;
    std::span<const Segment> segments;
    std::span<const Segment> readBack;  // from payload offset 0, after the answer
    CopyRule rule;
    DefaultAnswer answer;   // what kavhost answers when its script does not say
    uint32_t argBytes;      // bytes of arguments the callee removes
    int line;               // the row's line in api/kavlink.exports

    int argIndex(std::string_view n) const {
        for (size_t i = 0; i < args.size(); ++i)
            if (n == args[i].name) return static_cast<int>(i);
        return -1;
    }
};

"""


def write_table(exports, records, path, table):
    out = TABLE_HEAD.format(table=table).split("\n")
    out += cpp_enum("ArgKind", ["I32", "I16", "U8", "F64", "I64", "Text", "StrVar", "Bstr", "StrShape",
                                "StrShapeBuffer", "Ref", "RefTimes", "RefPlusOne", "Array", "ArrayTimes", "Names"],
                    "How an argument is passed.")
    out += cpp_enum("SegmentKind", list(dict.fromkeys(SEGMENT_ENUM.values())), "What a segment holds.")
    out += cpp_enum("Direction", ["In", "Out", "InOut"],
                    "In: copied to the host only.  InOut: copied in and back from the same place.  "
                    "Out: only what comes back matters.")
    out += cpp_enum("LParamForm", list(LPARAM_ENUM.values()), "What the lParam carries.")
    out += cpp_enum("ResultForm", list(RESULT_ENUM.values()), "What the export returns.")
    out += cpp_enum("CopyRule", list(RULE_ENUM.values()),
                    "When outputs are copied: whatever the answer, on a nonzero 16-bit answer, on a 16-bit -1.")
    out += cpp_enum("CountFrom", ["None", "Number", "LpLow", "LpSigned", "LpHigh", "LpAll", "Segment"],
                    "Where a segment's item count comes from.")
    out += cpp_enum("DefaultAnswer", list(ANSWER_ENUM.values()),
                    "kavhost's answer when its script names none: 1, the next counting index, one handle per id.")
    out += TABLE_TYPES.split("\n")
    used = sorted({s.unit_expr[7:-1] for e in exports for s in e.sent + e.back if s.unit_expr.startswith("sizeof(")} |
                  {p.ctype for e in exports for p in e.prototype.params if p.ctype in records.records})
    for name in used:
        size = records.unit_size(name)
        out.append(f"static_assert(sizeof({name}) == {size}, \"include/kavlink_records.h: {name} reads as {size} "
                   f"bytes to the generator\");")
    out.append("")
    for i, e in enumerate(exports):
        stated = []
        for (kind, name), p in zip(e.args, e.prototype.params):
            m = re.match(r"^ref:(\d+)$", kind)
            if m and p.ctype in records.records and name in e.stated_sizes:
                stated.append((p.ctype, int(m.group(1)), name))
        for s in e.sent + e.back:
            if s.kind == "raw" and s.unit_expr.startswith("sizeof(") and s.name in e.stated_sizes:
                stated.append((s.unit_expr[7:-1], s.number, s.name))
        for ctype, size, name in dict.fromkeys(stated):
            out.append(f"static_assert(sizeof({ctype}) == {size}, \"{table}:{e.line} ({e.name}): {name} "
                       f"is stated as {size} bytes\");")
        if e.args:
            out.append(f"inline constexpr Arg kArgs{i}[] = {{" + ", ".join(cpp_arg(e, k, records)
                                                                      for k in range(len(e.args))) + "};")
        if e.sent:
            out.append(f"inline constexpr Segment kSegments{i}[] = {{")
            out += [f"    {cpp_segment(e, s)}," for s in e.sent]
            out.append("};")
        if e.back:
            out.append(f"inline constexpr Segment kReadBack{i}[] = {{")
            out += [f"    {cpp_segment(e, s)}," for s in e.back]
            out.append("};")
    out += ["", "inline constexpr Export kExports[] = {"]
    for i, e in enumerate(exports):
        lp = e.lparam_args + [-1] * (2 - len(e.lparam_args))
        fields = [c_string(e.name), f"ResultForm::{RESULT_ENUM[e.result]}", str(e.code),
                  f"LParamForm::{LPARAM_ENUM[e.lparam_form]}", f"{{{lp[0]}, {lp[1]}}}", str(e.lparam_fixed),
                  f"kArgs{i}" if e.args else "{}", f"kSegments{i}" if e.sent else "{}",
                  f"kReadBack{i}" if e.back else "{}", f"CopyRule::{RULE_ENUM[e.rule]}",
                  f"DefaultAnswer::{ANSWER_ENUM[e.answer]}", str(e.arg_bytes()), str(e.line)]
        out.append("    {" + ", ".join(fields) + "},")
    out += ["};", "",
            "// The row of an export, or null.",
            "constexpr const Export* findExport(std::string_view name) {",
            "    for (const Export& e : kExports)",
            "        if (name == e.name) return &e;",
            "    return nullptr;",
            "}", "", "}  // namespace kavtable", ""]
    write(path, "\n".join(out))


# ------------------------------------------------------- records and prototypes

C_FIELD = {"double": ("Double", "double", 8), "int32_t": ("Long", "long", 4), "uint32_t": ("Long", "long", 4),
           "int16_t": ("Integer", "short", 2), "uint8_t": ("Byte", "unsigned char", 1),
           "unsigned char": ("Byte", "unsigned char", 1), "char": ("Byte", "unsigned char", 1)}


class Field:
    def __init__(self, ctype, name, count, pointer, doc=""):
        self.ctype, self.name, self.count, self.pointer, self.doc = ctype, name, count, pointer, doc


class Record:
    def __init__(self, name, fields, doc="", line=0):
        self.name = name
        self.fields = fields
        self.doc = doc              # the record's doc comment, as plain lines joined by spaces
        self.line = line
        self.size = 0
        self.offsets = []
        self.reproducible = True
        self.vb_size = 0

    def opaque(self):
        """A record of bytes whose inner layout is the host's."""
        return len(self.fields) == 1 and self.fields[0].ctype == "unsigned char" and self.fields[0].name == "bytes"


def strip_comments(text):
    return re.sub(r"/\*.*?\*/", "", re.sub(r"//[^\n]*", "", text), flags=re.S)


def doc_text(comment):
    """The text of a /** ... */ comment: leading stars dropped, lines kept."""
    body = comment[3:-2]
    lines = [re.sub(r"^\s*\*? ?", "", line).rstrip() for line in body.split("\n")]
    while lines and not lines[0].strip():
        lines.pop(0)
    while lines and not lines[-1].strip():
        lines.pop()
    return "\n".join(lines)


def field_size(f, records):
    if f.pointer:
        return 4
    if f.ctype in C_FIELD:
        return C_FIELD[f.ctype][2]
    return records[f.ctype].size


def field_align(f, records):
    """Alignment of a member in a 32-bit Automation client's record (at most 4)."""
    if f.pointer:
        return 4
    if f.ctype in C_FIELD:
        return min(4, C_FIELD[f.ctype][2])
    return records[f.ctype].vb_align


DOC = r"(?:(/\*\*(?:(?!\*/).)*\*/)\s*)?"


class Records:
    """The hand-written records header: packed records, each with a doc
    comment, and each field with its own."""

    def __init__(self, path):
        self.path = path
        source = open(path, encoding="utf-8").read()
        self.records = {}
        self.order = []
        for m in re.finditer(DOC + r"typedef struct (\w+)\s*\{(.*?)\}\s*(\w+)\s*;", source, re.S):
            line = source.count("\n", 0, m.start(2)) + 1
            name, body = m.group(2), m.group(3)
            where = f"{path}:{line}"
            if m.group(4) != name:
                raise TableError(f"{where}: typedef struct {name} is named {m.group(4)}")
            if not m.group(1):
                raise TableError(f"{where}: record {name} has no doc comment (/** ... */ above it)")
            fields = []
            for fm in re.finditer(r"\s*" + DOC + r"([^;]*?);", body, re.S):
                decl = " ".join(strip_comments(fm.group(2)).split())
                if not decl:
                    continue
                if not fm.group(1):
                    raise TableError(f"{where}: field '{decl}' of {name} has no doc comment")
                fm2 = re.match(r"^((?:unsigned )?\w+) (\*?) ?(\w+) ?(?:\[(\d+)\])?$",
                               " ".join(decl.replace("*", " * ").replace("[", " [").split()))
                if not fm2 or "," in decl:
                    raise TableError(f"{where}: cannot read field '{decl}' of {name} (one field per declaration)")
                ctype, pointer, fname, count = fm2.group(1), fm2.group(2) == "*", fm2.group(3), fm2.group(4)
                if ctype not in C_FIELD and ctype not in self.records:
                    raise TableError(f"{where}: field '{decl}' of {name} has an unknown type")
                fields.append(Field(ctype, fname, int(count or 1), pointer, doc_text(fm.group(1))))
            r = Record(name, fields, doc_text(m.group(1)), line)
            offset = vb_offset = 0
            vb_align = 1
            for f in fields:
                size = field_size(f, self.records) * f.count
                align = field_align(f, self.records)
                vb_align = max(vb_align, align)
                vb_offset = (vb_offset + align - 1) // align * align
                if vb_offset != offset:
                    r.reproducible = False
                r.offsets.append(offset)
                offset += size
                vb_offset += size
            r.size = offset
            r.vb_align = vb_align
            r.vb_size = (vb_offset + vb_align - 1) // vb_align * vb_align
            if r.vb_size != r.size or any(not self.records[f.ctype].reproducible for f in fields if f.ctype in self.records):
                r.reproducible = False
            self.records[name] = r
            self.order.append(name)
        text = strip_comments(source)
        for name, size in re.findall(r"KAV_RECORD_SIZE\((\w+),\s*(\d+)\)", text):
            if name in self.records and self.records[name].size != int(size):
                raise TableError(f"{path}: {name} reads as {self.records[name].size} bytes, the header says {size}")
        if "KAVAPI" in text:
            raise TableError(f"{path}: prototypes belong to the generated kavlink.h, not to the records header")

    def unit_size(self, spec):
        """Bytes of a record ("PointShape") or of one of its members
        ("StringShape::position")."""
        name, _, member = spec.partition("::")
        if name not in self.records:
            raise TableError(f"{self.path}: no record {name}")
        r = self.records[name]
        if not member:
            return r.size
        for f in r.fields:
            if f.name == member:
                return field_size(f, self.records) * f.count
        raise TableError(f"{self.path}: {name} has no member {member}")

    def check_host_records(self, exports):
        """A record of bytes says that its layout is the host's, how large it
        is and exactly which functions move it."""
        for name in self.order:
            r = self.records[name]
            if not r.opaque():
                continue
            where = f"{self.path}:{r.line}"
            flat = " ".join(r.doc.split())
            m = re.search(r"Inner layout: the host's, (\d+) bytes", flat)
            if not m or int(m.group(1)) != r.size:
                raise TableError(f"{where}: {name} must say \"Inner layout: the host's, {r.size} bytes\"")
            m = re.search(r"Moved by: ([\w ,]+)\.", flat)
            said = set(re.split(r"[ ,]+", m.group(1).strip())) if m else set()
            moving = set(movers(exports, name))
            if said != moving:
                raise TableError(f"{where}: the \"Moved by:\" list of {name} must name exactly "
                                 f"{', '.join(sorted(moving, key=str.lower))}")


def movers(exports, record):
    """The exports that take `record` (by reference), in table order."""
    return [e.name for e in exports if any(p.ctype == record for p in e.prototype.params)]


# The C type of a reference, from the kind of the segment it travels as.
SEGMENT_CTYPE = {"u8": "uint8_t", "i16": "int16_t", "i32": "int32_t", "f64": "double", "pt": "PointShape",
                 "line": "LineShape", "circle": "CircleShape", "arc": "ArcShape", "ellipse": "EllipseShape",
                 "ellarc": "EllArcShape", "spos": "StringShape", "sshape": "StringShape", "sattr": "StringAttr",
                 "eattr": "ElementAttr", "matrix": "TransMatrix", "rpt": "ResultPoint", "bsh": "BSplineHeader",
                 "bsv": "BSplineValues", "bsp": "BSplinePoints", "boxst": "BoxStatus", "text": "char"}
BY_VALUE = {"i32": "int32_t", "i16": "int16_t", "u8": "uint8_t", "f64": "double", "i64": "int64_t", "bstr": "BSTR"}
SCALAR_SIZE = {"int16_t": 2, "int32_t": 4, "uint8_t": 1, "double": 8, "char": 1}
C_RESULT = {"void": "void", "i32": "int32_t", "i16": "int16_t", "f64": "double", "i64": "int64_t", "bstr": "BSTR"}


class CParam:
    def __init__(self, ctype, stars, const, name):
        self.ctype, self.stars, self.const, self.name = ctype, stars, const, name

    def decl(self):
        if self.stars == 2 and self.const:
            return f"const {self.ctype} *const *{self.name}"
        t = ("const " if self.const else "") + self.ctype
        return f"{t} {'*' * self.stars}{self.name}"

    def type_text(self):
        return self.decl()[:-len(self.name)].rstrip()


class Prototype:
    def __init__(self, result, params):
        self.result, self.params = result, params

    def text(self, name, width=110):
        head = f"{self.result}KAVAPI {name}(" if self.result.endswith("*") else f"{self.result} KAVAPI {name}("
        params = [p.decl() for p in self.params] or ["void"]
        lines, line = [], head
        for i, p in enumerate(params):
            piece = p + (", " if i < len(params) - 1 else ");")
            if len(line) + len(piece.rstrip()) > width and line.strip() != head.strip():
                lines.append(line.rstrip())
                line = " " * len(head) + piece
            else:
                line += piece
        lines.append(line)
        return "\n".join(lines)


def segment_parts(s):
    """name, kind without count ("str256"), direction ('' for a read-back area)."""
    return s.name, s.kind + (str(s.number) if s.number is not None else ""), s.direction


def own_segments(e, name):
    sent = [segment_parts(s) for s in e.sent if s.name == name]
    back = [segment_parts(s) for s in e.back if s.name == name]
    return sent, back


def derive_prototypes(exports, records, table):
    """Gives every export its C prototype: from the argument kinds and
    segments, and from the types the rows name where those do not settle it."""
    known = set(records.records) | set(SCALAR_SIZE) | {"void", "HWND"}
    for e in exports:
        where = f"{table}:{e.line} ({e.name})"
        params = []
        for (kind, name), given in zip(e.args, e.arg_types):
            sent, back = own_segments(e, name)
            directions = {d for _, _, d in sent}
            if given and given not in known:
                raise TableError(f"{where}: argument '{name}' names the unknown type '{given}'")
            if kind in BY_VALUE:
                if given and not (kind == "i32" and given == "HWND"):
                    raise TableError(f"{where}: argument '{name}' is passed by value as {kind}; only i32 may be HWND")
                params.append(CParam(given or BY_VALUE[kind], 0, False, name))
                continue
            if given == "HWND":
                raise TableError(f"{where}: HWND is passed by value (i32)")
            if kind == "text":
                params.append(CParam("char", 1, not directions & {"inout", "out"}, name))
            elif kind == "strvar":
                params.append(CParam("BSTR", 1, False, name))
            elif kind.startswith("arr:"):
                if given and given not in C_FIELD:
                    raise TableError(f"{where}: the items of array '{name}' are numbers: {given} is not one")
                params.append(CParam("SAFEARRAY", 2, False, name))
            elif kind.startswith("names@"):
                params.append(CParam("char", 2, True, name))
            elif kind.startswith("sshape"):
                params.append(CParam("StringShape", 1, bool(sent) and directions == {"in"}, name))
            else:
                ctype = given
                if not ctype:
                    kinds = [k for _, k, _ in sent + back]
                    ctype = SEGMENT_CTYPE.get(kinds[0]) if kinds else None
                    if kinds and re.match(r"^str\d+$", kinds[0]):
                        ctype = "char"
                if not ctype:
                    raise TableError(f"{where}: argument '{name}' needs its C type in the row ({kind} Type {name})")
                size = re.match(r"^ref:(\d+)", kind)
                expected = records.records[ctype].size if ctype in records.records else SCALAR_SIZE.get(ctype)
                if size and expected and ctype != "char" and int(size.group(1)) != expected:
                    raise TableError(f"{where}: argument '{name}' states {size.group(1)} bytes, but {ctype} is {expected} bytes")
                params.append(CParam(ctype, 1, bool(sent) and not back and directions == {"in"}, name))
        result = C_RESULT[e.result]
        if e.c_result:
            base = e.c_result[:-1]
            if base not in known:
                raise TableError(f"{where}: unknown result type '{e.c_result}'")
            result = base + " *"
        e.prototype = Prototype(result, params)


# ------------------------------------------------------------ kavlink.bas

BAS_RESERVED = {"option", "line", "name", "string", "error", "date", "type", "property", "open", "close", "get",
                "put", "input", "len", "print", "on", "to", "step", "is", "as", "mod", "text", "value", "data", "end",
                "next", "loop", "if", "then", "else", "for", "each", "in", "with", "sub", "function", "dim", "call",
                "exit", "select", "case", "and", "or", "not", "xor", "new", "set", "let", "me", "nothing", "true",
                "false", "empty", "null", "resume", "goto", "static", "const", "width", "public", "private"}


def bas_name(n):
    return n + "_" if n.lower() in BAS_RESERVED else n


def segment_of(e, name):
    """The kind (without count) of the first segment named `name`, or ""."""
    for s in e.sent + e.back:
        if s.name == name:
            return segment_parts(s)[1]
    return ""


ARRAY_ELEMENT = {"pt": ("PointShape", "PointShape"), "arc": ("ArcShape", "ArcShape"), "i16": ("Integer", "short")}


def array_element(e, name, kind):
    base = segment_of(e, name)
    if base in ARRAY_ELEMENT:
        return ARRAY_ELEMENT[base]
    given = e.arg_types[e.arg_index(name)]
    if given:
        return (C_FIELD[given][0], C_FIELD[given][1])
    return ("Byte", "unsigned char")


class Param:
    """How one argument is declared for an Automation client, and a note."""

    def __init__(self, bas, idl, note=""):
        self.bas, self.idl, self.note = bas, idl, note


def describe(e, index, header):
    kind, name = e.args[index]
    p = e.prototype.params[index]
    ctype, stars, const = p.ctype, p.stars, p.const
    n = bas_name(name)
    value = {"i32": ("Long", "long"), "i16": ("Integer", "short"), "u8": ("Byte", "unsigned char"),
             "f64": ("Double", "double"), "i64": ("Currency", "CURRENCY")}
    if kind in value:
        return Param(f"ByVal {n} As {value[kind][0]}", f"[in] {value[kind][1]} {name}")
    if kind == "text":
        return Param(f"ByVal {n} As String", f"[in] LPSTR {name}")
    if kind == "bstr":
        return Param(f"ByVal {n} As String", f"[in] BSTR {name}")
    if kind == "strvar":
        return Param(f"ByRef {n} As String", f"[in, out] BSTR* {name}")
    if kind.startswith("arr:"):
        vb, idl = array_element(e, name, kind)
        return Param(f"ByRef {n}() As {vb}", f"[in, out] SAFEARRAY({idl})* {name}")
    if kind.startswith("names@"):
        return Param(f"ByRef {n} As Long", f"[in] long* {name}",
                     f"{n}: the first of {e.args[int(kind[6:])][1]} Longs, each the address of an ANSI text")
    seg = segment_of(e, name)
    direction = "[in]" if const else "[in, out]"
    scalars = {"double": ("Double", "double"), "int32_t": ("Long", "long"), "int16_t": ("Integer", "short"),
               "uint8_t": ("Byte", "unsigned char")}
    if ctype in scalars:
        return Param(f"ByRef {n} As {scalars[ctype][0]}", f"{direction} {scalars[ctype][1]}* {name}")
    if ctype == "char":
        size = re.match(r"ref:(\d+)", kind)
        size = size.group(1) if size else (seg[3:] if seg.startswith("str") else "")
        return Param(f"ByVal {n} As String", f"{direction} LPSTR {name}",
                     f"{n}: a text buffer of {size} bytes: pass String$({size}, vbNullChar) and take the text "
                     f"up to its first Chr$(0)" if not const else "")
    if ctype in header.records:
        r = header.records[ctype]
        many = "*@" in kind
        first = " (the first of the list)" if many else ""
        if r.reproducible:
            return Param(f"ByRef {n} As {ctype}", f"{direction} {ctype}* {name}",
                         f"{n}: the first {ctype} of the list" if many else "")
        return Param(f"ByRef {n} As Byte", f"{direction} unsigned char* {name}",
                     f"{n}: {ctype} is packed: pass element 0 of a Byte array of {r.size} bytes{first}")
    # raw bytes (void*)
    return Param(f"ByRef {n} As Byte", f"{direction} unsigned char* {name}", f"{n}: pass element 0 of a Byte array")


def bas_result(e, header):
    if e.prototype.result.endswith("*"):
        return "Long"
    return {"i16": "Integer", "f64": "Double", "i64": "Currency", "bstr": "String"}.get(e.result, "Long")


def bas_type(r, header):
    out = [f"Public Type {r.name}"]
    for f in r.fields:
        if f.pointer:
            t = "Long"
        elif f.ctype in C_FIELD:
            t = C_FIELD[f.ctype][0]
        else:
            t = f.ctype
        dims = f"(0 To {f.count - 1})" if f.count > 1 else ""
        note = "  ' address of an ANSI text" if f.pointer else "  ' ANSI text, zero-terminated" if f.ctype == "char" else ""
        out.append(f"    {bas_name(f.name)}{dims} As {t}{note}")
    out.append("End Type")
    return out


def bas_helpers(r, header):
    out = []
    for f, offset in zip(r.fields, r.offsets):
        size = field_size(f, header.records) * f.count
        fn = f"{r.name}_{f.name}"
        if f.ctype == "char" and not f.pointer:
            out += [f"Public Function {fn}(rec() As Byte) As String",
                    "    Dim n As Long, b() As Byte",
                    f"    Do While n < {size}",
                    f"        If rec({offset} + n) = 0 Then Exit Do",
                    "        n = n + 1",
                    "    Loop",
                    "    If n = 0 Then Exit Function",
                    "    ReDim b(0 To n - 1)",
                    f"    KavCopyBytes b(0), rec({offset}), n",
                    f"    {fn} = StrConv(b, vbUnicode)",
                    "End Function",
                    f"Public Sub Set{fn}(rec() As Byte, ByVal text As String)",
                    "    Dim b() As Byte, n As Long, i As Long",
                    "    b = StrConv(text, vbFromUnicode)",
                    f"    n = UBound(b) + 1: If n > {size - 1} Then n = {size - 1}",
                    f"    For i = 0 To {size - 1}: rec({offset} + i) = 0: Next",
                    f"    If n > 0 Then KavCopyBytes rec({offset}), b(0), n",
                    "End Sub"]
        elif f.count == 1 and (f.pointer or f.ctype in C_FIELD or header.records.get(f.ctype, None)):
            t = "Long" if f.pointer else C_FIELD[f.ctype][0] if f.ctype in C_FIELD else f.ctype
            if t in header.records:
                out += [f"Public Sub Get{fn}(rec() As Byte, ByRef value As {t})",
                        f"    KavCopyBytes value, rec({offset}), {size}", "End Sub"]
            else:
                out += [f"Public Function {fn}(rec() As Byte) As {t}",
                        f"    KavCopyBytes {fn}, rec({offset}), {size}", "End Function"]
            out += [f"Public Sub Set{fn}(rec() As Byte, ByRef value As {t})",
                    f"    KavCopyBytes rec({offset}), value, {size}", "End Sub"]
    return out


def write_bas(exports, header, path, ref):
    out = ['Attribute VB_Name = "kavlink"',
           "' Declarations of every kavlink.dll export for 32-bit OLE Automation clients,",
           "' generated from the library's export table.",
           "'",
           "' Calling patterns:",
           "' - Texts you pass are ByVal ... As String.",
           "' - A text the library fills is a buffer of fixed size: pass a String of that",
           "'   many characters, e.g. String$(256, vbNullChar), ByVal; afterwards the text",
           "'   ends at its first Chr$(0).  The note above each such Declare gives the size.",
           "' - Outputs are ByRef with their own type (ByRef ... As Double for doubles):",
           "'   pass a variable of exactly that type.",
           "' - String variables (ByRef ... As String) receive a new string.",
           "' - 64-bit values travel as Currency (scaled by 10000).",
           "' - Records are the Types below, passed ByRef.  A record whose fields an",
           "'   Automation client cannot lay out as the library does (a packed record) is",
           "'   listed as such: keep it in a Byte array of its exact size, pass element 0",
           "'   ByRef, and read and write its fields with the helper functions given.",
           "Option Explicit", "",
           'Private Declare Sub KavCopyBytes Lib "kernel32" Alias "RtlMoveMemory" '
           '(ByRef destination As Any, ByRef source As Any, ByVal bytes As Long)', ""]
    for name in header.order:
        r = header.records[name]
        if r.reproducible:
            out += bas_type(r, header) + [""]
    for name in header.order:
        r = header.records[name]
        if r.reproducible:
            continue
        fields = ", ".join(f"{f.name} at {o}" for f, o in zip(r.fields, r.offsets))
        out += [f"' {r.name} ({r.size} bytes) is packed: {fields}.",
                f"' A Type of these fields would be {r.vb_size} bytes with other offsets.  Use",
                f"' Dim rec(0 To {r.size - 1}) As Byte and the functions below."]
        out += bas_helpers(r, header) + [""]
    for e in exports:
        sub = e.result == "void"
        params = [describe(e, i, header) for i in range(len(e.args))]
        out += kavlink_reference.bas_comment(ref, e)
        for p in params:
            if p.note:
                out.append(f"' {e.name}: {p.note}")
        line = f"Public Declare {'Sub' if sub else 'Function'} {e.name} Lib \"kavlink.dll\" ({', '.join(p.bas for p in params)})"
        if not sub:
            line += f" As {bas_result(e, header)}"
        out.append(line)
    write(path, "\r\n".join(out) + "\r\n", newline="")


# ------------------------------------------------------------ type library

def stable_uuid(what):
    return str(uuid.uuid5(uuid.NAMESPACE_URL, "urn:kavlink:" + what))


def idl_field(f, header):
    if f.pointer:
        t = "long"
    elif f.ctype in C_FIELD:
        t = C_FIELD[f.ctype][1]
    else:
        t = f.ctype
    return f"        {t} {f.name}" + (f"[{f.count}]" if f.count > 1 else "") + ";"


def write_idl(exports, header, path, ref):
    out = ["// Generated from api/kavlink.exports, include/kavlink_records.h and api/descriptions/; edit those.",
           "import \"oaidl.idl\";", "",
           f"[uuid({stable_uuid('library')}), version(1.0),",
           ' helpstring("kavlink.dll: every export, for Automation clients")]',
           "library Kavlink", "{", '    importlib("stdole2.tlb");', ""]
    for name in header.order:
        r = header.records[name]
        if not r.reproducible:
            continue
        out.append(f"    typedef [uuid({stable_uuid('record:' + name)})] struct {name} {{")
        out += [idl_field(f, header) for f in r.fields]
        out += [f"    }} {name};", ""]
    out += [f"    [dllname(\"kavlink.dll\"), uuid({stable_uuid('module')}),",
            '     helpstring("the exports of kavlink.dll")]', "    module KavlinkExports", "    {"]
    results = {"void": "void", "i32": "long", "i16": "short", "f64": "double", "i64": "CURRENCY", "bstr": "BSTR"}
    for e in exports:
        result = "long" if e.prototype.result.endswith("*") else results[e.result]
        params = ", ".join(describe(e, i, header).idl for i in range(len(e.args))) or "void"
        help = c_string(kavlink_reference.helpstring(ref.entries[e.name]))
        out.append(f"        [entry(\"{e.name}\"), helpstring({help})]")
        out.append(f"        {result} __stdcall {e.name}({params});")
    out += ["    };", "};", ""]
    write(path, "\n".join(out))

def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("table")
    p.add_argument("--records")
    p.add_argument("--descriptions")
    p.add_argument("--events")
    p.add_argument("--def", dest="def_file")
    p.add_argument("--import-def")
    p.add_argument("--table-header")
    p.add_argument("--bas")
    p.add_argument("--idl")
    p.add_argument("--header")
    p.add_argument("--reference")
    p.add_argument("--summaries")
    p.add_argument("--event-template")
    a = p.parse_args()
    documented = [a.bas, a.idl, a.header, a.reference, a.summaries]
    try:
        records = Records(a.records) if a.records else None
        exports = parse(a.table, records)
        ref = None
        if a.table_header and not records:
            raise TableError("--table-header needs --records")
        if records:
            derive_prototypes(exports, records, a.table)
            assign_units(exports, records, a.table)
        if any(documented) or a.event_template:
            if not (a.records and a.descriptions and a.events):
                raise TableError("--bas, --idl, --header, --reference, --summaries and --event-template need "
                                 "--records, --descriptions and --events")
            records.check_host_records(exports)
            events = kavlink_reference.parse_events(a.events)
            events_only = not any(documented)
            families, errors = kavlink_reference.parse_descriptions(
                a.descriptions, kavlink_reference.EVENTS_STEM if events_only else None)
            ref = kavlink_reference.Reference(exports, events, records, families, a.table, a.descriptions)
            errors += ref.check(events_only)
            if errors:
                for line in errors:
                    print(f"error: {line}", file=sys.stderr)
                print(f"error: {len(errors)} problem(s) in the reference descriptions", file=sys.stderr)
                return 1
        if a.def_file:
            write_def(exports, a.def_file)
        if a.import_def:
            write_import_def(exports, a.import_def)
        if a.table_header:
            write_table(exports, records, a.table_header, "api/kavlink.exports")
        if a.bas:
            write_bas(exports, records, a.bas, ref)
        if a.idl:
            write_idl(exports, records, a.idl, ref)
        if a.header:
            kavlink_reference.write_header(ref, a.header, "api/kavlink.exports")
        if a.summaries:
            kavlink_reference.write_summaries(ref, a.summaries)
        if a.event_template:
            kavlink_reference.write_event_template(ref, a.events, a.event_template)
        if a.reference:
            kavlink_reference.write_reference(ref, a.reference)
    except (TableError, OSError) as err:
        print(f"error: {err}", file=sys.stderr)
        return 1
    return 0


import kavlink_reference  # noqa: E402 (it imports this module)

if __name__ == "__main__":
    sys.exit(main())
