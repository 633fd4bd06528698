#!/usr/bin/env python3
"""Reads api/kavlink.exports and writes the files the build derives from it.

    kavlink_exports.py TABLE [--header H] [--def F] [--import-def F]
                             [--host-table F] [--test-table F] [--bas F] [--idl F]

--def         the linker's export list: Name = Name@N
--import-def  the decorated names alone (Name@N), for import libraries
--host-table  C++ rows for kavhost's decoder (kavhost::exportRows)
--test-table  C++ rows for the tests (kavtest::allExports)
--bas         the declarations module for Automation clients (needs --header)
--idl         a type library source with a module of every export (needs --header)

The header (include/kavlink.h) gives the C types of the arguments and the
record layouts; every prototype must agree with its row.

A malformed table stops the build with "TABLE:LINE: message".
"""
import argparse
import re
import sys
import uuid

RESULTS = {"i32", "i16", "f64", "i64", "bstr", "void"}
SCALAR_KINDS = {"i32", "i16", "u8", "f64", "i64", "text", "strvar", "bstr", "sshape", "sshape:256"}
ARG_KIND = re.compile(r"^(ref:\d+|ref:\d+\*@\d+|ref:\+1@\d+|arr:\d+|arr:\d+\*@\d+|names@\d+)$")
SEGMENT = re.compile(r"^([A-Za-z_][\w.]*):([a-z]+\d*)(\*\w+)?(\+\d+)?(/(in|out|inout))?$")
SEGMENT_KINDS = {"u8", "i16", "i32", "f64", "pt", "line", "circle", "arc", "ellipse", "ellarc", "spos",
                 "sshape", "sattr", "eattr", "matrix", "rpt", "bsh", "bsv", "bsp", "boxst", "raw", "chars", "text"}
RULES = {"nonzero", "true"}
ROW = re.compile(r"^(\S+)\s+(\S+)\s+(\S+)\s+([A-Za-z_]\w*)\(([^)]*)\)\s*(.*)$")


class TableError(Exception):
    pass


class Export:
    def __init__(self, line, section, code, lparam, result, name, args, segments, read_back, rule):
        self.line = line
        self.section = section
        self.code = code
        self.lparam = lparam
        self.result = result
        self.name = name
        self.args = args            # [(kind, name)]
        self.segments = segments    # ["name:kind/dir"]
        self.read_back = read_back  # ["name:kind"]
        self.rule = rule            # "", "nonzero", "true"

    def arg_bytes(self):
        return sum(8 if kind in ("f64", "i64") else 4 for kind, _ in self.args)

    def kinds(self):
        return " ".join(kind for kind, _ in self.args)

    def names(self):
        return ", ".join(name for _, name in self.args)


def parse_segment(token, where, read_back):
    m = SEGMENT.match(token)
    if not m:
        raise TableError(f"{where}: bad segment '{token}'")
    kind = m.group(2)
    base = re.sub(r"\d+$", "", kind)
    if kind not in SEGMENT_KINDS and not (base in ("raw", "str") and kind != base):
        raise TableError(f"{where}: unknown segment kind '{kind}' in '{token}'")
    if read_back and m.group(5):
        raise TableError(f"{where}: a read-back area has no direction: '{token}'")
    if not read_back and not m.group(5):
        raise TableError(f"{where}: segment '{token}' needs a direction (/in, /out, /inout)")
    return token


def parse(path):
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
            if len(parts) != 2 or not (parts[0] in SCALAR_KINDS or ARG_KIND.match(parts[0])):
                raise TableError(f"{where}: bad argument '{a}'")
            args.append((parts[0], parts[1]))
        names = [n for _, n in args]
        if len(set(names)) != len(names):
            raise TableError(f"{where}: argument named twice")
        for k, _ in args:
            ref = re.search(r"@(\d+)$", k)
            if ref and int(ref.group(1)) >= len(args):
                raise TableError(f"{where}: '{k}' names argument {ref.group(1)}, which does not exist")
        lp_args = re.split(r"[,:]", lparam.split(":", 1)[1]) if ":" in lparam else (
            [lparam] if lparam not in ("0", "-", "exit") and not lparam.startswith("=") else [])
        for a in lp_args:
            if a not in names:
                raise TableError(f"{where}: lParam names unknown argument '{a}'")
        tokens = rest.split()
        rule = ""
        kept = []
        for t in tokens:
            if t.startswith("when:"):
                rule = t[5:]
                if rule not in RULES:
                    raise TableError(f"{where}: unknown rule '{t}'")
            else:
                kept.append(t)
        segments, read_back = [], []
        if "->" in kept:
            i = kept.index("->")
            segments, back = kept[:i], kept[i + 1:]
            if back and back[0] in RULES:
                if rule:
                    raise TableError(f"{where}: two rules")
                rule, back = back[0], back[1:]
            if not back:
                raise TableError(f"{where}: '->' without a read-back area")
            read_back = [parse_segment(t, where, True) for t in back]
        else:
            segments = kept
        segments = [parse_segment(t, where, False) for t in segments]
        if code == 0 and (segments or read_back):
            raise TableError(f"{where}: an export without a request has no segments")
        for s in segments:
            owner = s.split(":")[0].split(".")[0]
            if "." in s.split(":")[0] and owner not in names:
                raise TableError(f"{where}: segment '{s}' names unknown argument '{owner}'")
        if any(e.name == name for e in exports):
            raise TableError(f"{where}: {name} listed twice")
        exports.append(Export(number, section, code, lparam, result, name, args, segments, read_back, rule))
    if not exports:
        raise TableError(f"{path}: no exports")
    return exports


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write(path, text, newline="\n"):
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


def write_host_table(exports, path, table):
    out = [f"// Generated from {table}; edit that file, not this one.",
           '#include "decoder.h"', "", "namespace kavhost {", "", "static const ExportRow kRows[] = {"]
    for e in exports:
        fields = [c_string(f"{e.name}({e.names()})"), c_string(e.kinds()), c_string(e.result), str(e.code),
                  c_string("" if e.lparam == "0" else e.lparam), c_string(" ".join(e.segments)),
                  c_string(" ".join(e.read_back)), c_string(e.rule), str(e.line)]
        out.append("    {" + ", ".join(fields) + "},")
    out += ["};", "", "const ExportRow* exportRows(size_t& count) {", "    count = sizeof kRows / sizeof kRows[0];",
            "    return kRows;", "}", "", "}  // namespace kavhost", ""]
    write(path, "\n".join(out))


def write_test_table(exports, path, table):
    out = [f"// Generated from {table}; edit that file, not this one.",
           '#include "export_table.h"', "", "namespace kavtest {", "", "const std::vector<ExportSpec>& allExports() {",
           "    static const std::vector<ExportSpec> rows = {"]
    for e in exports:
        out.append(f"        {{{c_string(e.name)}, {c_string(e.kinds())}, {c_string(e.result)}, {e.line}}},")
    out += ["    };", "    return rows;", "}", "", "}  // namespace kavtest", ""]
    write(path, "\n".join(out))


# ---------------------------------------------------------------- the header

C_FIELD = {"double": ("Double", "double", 8), "int32_t": ("Long", "long", 4), "uint32_t": ("Long", "long", 4),
           "int16_t": ("Integer", "short", 2), "uint8_t": ("Byte", "unsigned char", 1),
           "unsigned char": ("Byte", "unsigned char", 1), "char": ("Byte", "unsigned char", 1)}


class Field:
    def __init__(self, ctype, name, count, pointer):
        self.ctype, self.name, self.count, self.pointer = ctype, name, count, pointer


class Record:
    def __init__(self, name, fields):
        self.name = name
        self.fields = fields
        self.size = 0
        self.offsets = []
        self.reproducible = True
        self.vb_size = 0


def strip_comments(text):
    return re.sub(r"/\*.*?\*/", "", re.sub(r"//[^\n]*", "", text), flags=re.S)


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


class Header:
    def __init__(self, path):
        text = strip_comments(open(path, encoding="utf-8").read())
        self.records = {}
        self.order = []
        for m in re.finditer(r"typedef struct (\w+)\s*\{(.*?)\}\s*(\w+)\s*;", text, re.S):
            name, body = m.group(1), m.group(2)
            fields = []
            for decl in [d.strip() for d in body.split(";") if d.strip()]:
                words = decl.replace("*", " * ").split()
                i = 0
                ctype = []
                while i < len(words) and words[i] not in ("*",) and not (ctype and words[i - 1] not in ("unsigned",) and
                                                                        " ".join(ctype) in C_FIELD | self.records.keys()):
                    ctype.append(words[i])
                    i += 1
                ctype = " ".join(ctype)
                rest = " ".join(words[i:])
                for n in [n.strip() for n in rest.split(",")]:
                    pointer = n.startswith("*")
                    n = n.lstrip("* ").strip()
                    am = re.match(r"(\w+)\s*(?:\[(\d+)\])?$", n)
                    if not am or (ctype not in C_FIELD and ctype not in self.records):
                        raise TableError(f"{path}: cannot read field '{decl}' of {name}")
                    fields.append(Field(ctype, am.group(1), int(am.group(2) or 1), pointer))
            r = Record(name, fields)
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
        for name, size in re.findall(r"KAV_RECORD_SIZE\((\w+),\s*(\d+)\)", text):
            if name in self.records and self.records[name].size != int(size):
                raise TableError(f"{path}: {name} reads as {self.records[name].size} bytes, the header says {size}")
        self.prototypes = {}
        for m in re.finditer(r"([\w ]+?\**)\s*KAVAPI\s+(\w+)\s*\(([^)]*)\)\s*;", text):
            result, name, params = " ".join(m.group(1).split()), m.group(2), m.group(3)
            ps = []
            for p in [" ".join(p.split()) for p in params.split(",")]:
                if p in ("void", ""):
                    continue
                const = p.startswith("const ")
                stars = p.count("*")
                words = p.replace("const", " ").replace("*", " ").split()
                ps.append((" ".join(words[:-1]), stars, const, words[-1]))
            self.prototypes[name] = (result, ps)

    def check(self, exports, path):
        """Every row has a prototype that takes as many slots of the same kinds."""
        byvalue = {"i32": ("int32_t", "HWND"), "i16": ("int16_t",), "u8": ("uint8_t",), "f64": ("double",),
                   "i64": ("int64_t",), "bstr": ("BSTR",)}
        for e in exports:
            if e.name not in self.prototypes:
                raise TableError(f"{path}: {e.name} (table line {e.line}) has no prototype")
            _, ps = self.prototypes[e.name]
            if len(ps) != len(e.args):
                raise TableError(f"{path}: {e.name} takes {len(ps)} arguments, table line {e.line} says {len(e.args)}")
            for (ctype, stars, _, pname), (kind, name) in zip(ps, e.args):
                if kind in byvalue and (stars or ctype not in byvalue[kind]):
                    raise TableError(f"{path}: {e.name} argument {pname} is '{ctype}{'*' * stars}', "
                                     f"table line {e.line} says {kind}")
                if kind not in byvalue and not stars:
                    raise TableError(f"{path}: {e.name} argument {pname} is passed by value, table line {e.line} says {kind}")
        missing = set(self.prototypes) - {e.name for e in exports}
        if missing:
            raise TableError(f"{path}: prototypes without a row in the table: {', '.join(sorted(missing))}")


# ------------------------------------------------------------ kavlink.bas

BAS_RESERVED = {"option", "line", "name", "string", "error", "date", "type", "property", "open", "close", "get",
                "put", "input", "len", "print", "on", "to", "step", "is", "as", "mod", "text", "value", "data", "end",
                "next", "loop", "if", "then", "else", "for", "each", "in", "with", "sub", "function", "dim", "call",
                "exit", "select", "case", "and", "or", "not", "xor", "new", "set", "let", "me", "nothing", "true",
                "false", "empty", "null", "resume", "goto", "static", "const", "width", "public", "private"}


def bas_name(n):
    return n + "_" if n.lower() in BAS_RESERVED else n


def segment_of(e, name):
    for s in e.segments + e.read_back:
        base = s.split("/")[0]
        if base.split(":")[0] == name:
            return base.split(":", 1)[1]
    return ""


ARRAY_ELEMENT = {"pt": ("PointShape", "PointShape"), "arc": ("ArcShape", "ArcShape"), "i16": ("Integer", "short")}


def array_element(e, name, kind):
    seg = segment_of(e, name)
    base = re.sub(r"[*+].*$", "", seg)
    if base in ARRAY_ELEMENT:
        return ARRAY_ELEMENT[base]
    if kind == "arr:96":
        return ("Double", "double")
    return ("Byte", "unsigned char")


class Param:
    """How one argument is declared for an Automation client, and a note."""

    def __init__(self, bas, idl, note=""):
        self.bas, self.idl, self.note = bas, idl, note


def describe(e, index, header):
    kind, name = e.args[index]
    ctype, stars, const, _ = header.prototypes[e.name][1][index]
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
    seg = re.sub(r"[*+].*$", "", segment_of(e, name))
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
    ctype = header.prototypes[e.name][0]
    if ctype.endswith("*"):
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


def write_bas(exports, header, path):
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


def write_idl(exports, header, path):
    out = ["// Generated from api/kavlink.exports and include/kavlink.h; edit those files.", "import \"oaidl.idl\";", "",
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
        result = "long" if header.prototypes[e.name][0].endswith("*") else results[e.result]
        params = ", ".join(describe(e, i, header).idl for i in range(len(e.args))) or "void"
        out.append(f"        [entry(\"{e.name}\")] {result} __stdcall {e.name}({params});")
    out += ["    };", "};", ""]
    write(path, "\n".join(out))

def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("table")
    p.add_argument("--def", dest="def_file")
    p.add_argument("--import-def")
    p.add_argument("--host-table")
    p.add_argument("--test-table")
    p.add_argument("--bas")
    p.add_argument("--header")
    p.add_argument("--idl")
    a = p.parse_args()
    try:
        exports = parse(a.table)
        header = None
        if a.header:
            header = Header(a.header)
            header.check(exports, a.header)
        elif a.bas or a.idl:
            raise TableError("--bas and --idl need --header")
    except (TableError, OSError) as err:
        print(f"error: {err}", file=sys.stderr)
        return 1
    if a.def_file:
        write_def(exports, a.def_file)
    if a.import_def:
        write_import_def(exports, a.import_def)
    if a.host_table:
        write_host_table(exports, a.host_table, "api/kavlink.exports")
    if a.test_table:
        write_test_table(exports, a.test_table, "api/kavlink.exports")
    if a.bas:
        write_bas(exports, header, a.bas)
    if a.idl:
        write_idl(exports, header, a.idl)
    return 0


if __name__ == "__main__":
    sys.exit(main())
