#!/usr/bin/env python3
"""Reads api/kavlink.exports and writes the files the build derives from it.

    kavlink_exports.py TABLE [--def F] [--import-def F] [--host-table F]
                             [--test-table F] [--bas F]

--def         the linker's export list: Name = Name@N
--import-def  the decorated names alone (Name@N), for import libraries
--host-table  C++ rows for kavhost's decoder (kavhost::exportRows)
--test-table  C++ rows for the tests (kavtest::allExports)
--bas         the declarations module for Automation clients

A malformed table stops the build with "TABLE:LINE: message".
"""
import argparse
import re
import sys

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


BAS_RESERVED = {"option", "line", "name", "string", "error", "date", "type", "property", "open", "close", "get",
                "put", "input", "len", "print", "on", "to", "step", "is", "as", "mod", "text", "value"}


def bas_name(n):
    return n + "_" if n.lower() in BAS_RESERVED else n


def bas_param(kind, name):
    n = bas_name(name)
    simple = {"i32": "ByVal {} As Long", "i16": "ByVal {} As Integer", "u8": "ByVal {} As Byte",
              "f64": "ByVal {} As Double", "i64": "ByVal {} As Currency", "text": "ByVal {} As String",
              "bstr": "ByVal {} As String", "strvar": "ByRef {} As String", "ref:1": "ByRef {} As Byte",
              "ref:2": "ByRef {} As Integer", "ref:4": "ByRef {} As Long"}
    if kind in simple:
        return simple[kind].format(n)
    if kind.startswith("arr:"):
        t = "Integer" if kind.startswith("arr:2*") else "Double" if kind.startswith("arr:16") or kind == "arr:96" else "Byte"
        return f"ByRef {n}() As {t}"
    return f"ByRef {n} As Any"


def bas_result(r):
    return {"i16": "Integer", "f64": "Double", "i64": "Currency", "bstr": "String"}.get(r, "Long")


def write_bas(exports, path):
    out = ['Attribute VB_Name = "kavlink"',
           "' Declarations of every kavlink.dll export for OLE Automation clients.",
           "' Generated from the library's export table.",
           "' Records (shapes, attributes, buffers) are passed ByRef As Any: pass the first",
           "' field of your own Type.  64-bit values travel as Currency (scaled by 10000).",
           "Option Explicit", ""]
    for e in exports:
        sub = e.result == "void"
        params = ", ".join(bas_param(k, n) for k, n in e.args)
        line = f"Public Declare {'Sub' if sub else 'Function'} {e.name} Lib \"kavlink.dll\" ({params})"
        if not sub:
            line += f" As {bas_result(e.result)}"
        out.append(line)
    write(path, "\r\n".join(out) + "\r\n", newline="")


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("table")
    p.add_argument("--def", dest="def_file")
    p.add_argument("--import-def")
    p.add_argument("--host-table")
    p.add_argument("--test-table")
    p.add_argument("--bas")
    a = p.parse_args()
    try:
        exports = parse(a.table)
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
        write_bas(exports, a.bas)
    return 0


if __name__ == "__main__":
    sys.exit(main())
