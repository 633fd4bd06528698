"""What Automation clients read: kavlink.bas (Declare lines, Types and the
helpers of packed records), the type library's IDL of every export, and the
command IDL template with a helpstring on every event."""
import re
import uuid

from kavgen.layout import comment_lines, helpstring, plain
from kavgen.model import ARG_KINDS, BY_VALUE_KINDS, C_FIELD, RESULTS, TableError, c_string
from kavgen.output import write

BAS_RESERVED = {"option", "line", "name", "string", "error", "date", "type", "property", "open", "close", "get",
                "put", "input", "len", "print", "on", "to", "step", "is", "as", "mod", "text", "value", "data", "end",
                "next", "loop", "if", "then", "else", "for", "each", "in", "with", "sub", "function", "dim", "call",
                "exit", "select", "case", "and", "or", "not", "xor", "new", "set", "let", "me", "nothing", "true",
                "false", "empty", "null", "resume", "goto", "static", "const", "width", "public", "private"}


def bas_name(n):
    return n + "_" if n.lower() in BAS_RESERVED else n


def field_types(f):
    """(VB, IDL) type of a record field."""
    if f.pointer:
        return "Long", "long"
    if f.ctype in C_FIELD:
        return C_FIELD[f.ctype][:2]
    return f.ctype, f.ctype


def array_element(e, a):
    """(VB, IDL) type of an array's items: the kind of its segment, the type
    the row names, or bytes."""
    seg = e.segment_of(a.name)
    if seg and seg.kind_info.automation:
        return seg.kind_info.automation
    if a.ctype:
        return C_FIELD[a.ctype][:2]
    return ("Byte", "unsigned char")


class Param:
    """How one argument is declared for an Automation client, and a note."""

    def __init__(self, bas, idl, note=""):
        self.bas, self.idl, self.note = bas, idl, note


def describe(e, index, header):
    a = e.args[index]
    p = e.prototype.params[index]
    ctype, const, name = p.ctype, p.const, a.name
    n = bas_name(name)
    if a.form in BY_VALUE_KINDS:
        k = ARG_KINDS[a.form]
        return Param(f"ByVal {n} As {k.vb}", f"[in] {k.idl} {name}")
    if a.form == "text":
        return Param(f"ByVal {n} As String", f"[in] LPSTR {name}")
    if a.form == "bstr":
        return Param(f"ByVal {n} As String", f"[in] BSTR {name}")
    if a.form == "strvar":
        return Param(f"ByRef {n} As String", f"[in, out] BSTR* {name}")
    if a.is_array:
        vb, idl = array_element(e, a)
        return Param(f"ByRef {n}() As {vb}", f"[in, out] SAFEARRAY({idl})* {name}")
    if a.form == "names":
        return Param(f"ByRef {n} As Long", f"[in] long* {name}",
                     f"{n}: the first of {e.args[a.count_arg].name} Longs, each the address of an ANSI text")
    seg = e.segment_of(name)
    direction = "[in]" if const else "[in, out]"
    if ctype == "char":
        size = a.bytes if a.form in ("ref", "ref_times") else seg.number if seg and seg.kind == "str" else ""
        return Param(f"ByVal {n} As String", f"{direction} LPSTR {name}",
                     f"{n}: a text buffer of {size} bytes: pass String$({size}, vbNullChar) and take the text "
                     f"up to its first Chr$(0)" if not const else "")
    if ctype in C_FIELD:
        vb, idl = C_FIELD[ctype][:2]
        return Param(f"ByRef {n} As {vb}", f"{direction} {idl}* {name}")
    if ctype in header.records:
        r = header.records[ctype]
        many = a.form == "ref_times"
        first = " (the first of the list)" if many else ""
        if r.reproducible:
            return Param(f"ByRef {n} As {ctype}", f"{direction} {ctype}* {name}",
                         f"{n}: the first {ctype} of the list" if many else "")
        return Param(f"ByRef {n} As Byte", f"{direction} unsigned char* {name}",
                     f"{n}: {ctype} is packed: pass element 0 of a Byte array of {r.size} bytes{first}")
    # raw bytes (void*)
    return Param(f"ByRef {n} As Byte", f"{direction} unsigned char* {name}", f"{n}: pass element 0 of a Byte array")


def bas_result(e):
    return "Long" if e.prototype.result.endswith("*") else RESULTS[e.result][1]


def bas_comment(ref, e):
    return ["' " + line for line in comment_lines(plain(ref.entries[e.name].summary), 96)]


def bas_type(r, header):
    out = [f"Public Type {r.name}"]
    for f in r.fields:
        t = field_types(f)[0]
        dims = f"(0 To {f.count - 1})" if f.count > 1 else ""
        note = "  ' address of an ANSI text" if f.pointer else "  ' ANSI text, zero-terminated" if f.ctype == "char" else ""
        out.append(f"    {bas_name(f.name)}{dims} As {t}{note}")
    out.append("End Type")
    return out


def bas_helpers(r, header):
    out = []
    for f, offset in zip(r.fields, r.offsets):
        size = header.field_bytes(f) * f.count
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
            t = field_types(f)[0]
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
        out += bas_comment(ref, e)
        for p in params:
            if p.note:
                out.append(f"' {e.name}: {p.note}")
        line = f"Public Declare {'Sub' if sub else 'Function'} {e.name} Lib \"kavlink.dll\" ({', '.join(p.bas for p in params)})"
        if not sub:
            line += f" As {bas_result(e)}"
        out.append(line)
    write(path, "\r\n".join(out) + "\r\n", newline="")


# ------------------------------------------------------------ type library

def stable_uuid(what):
    return str(uuid.uuid5(uuid.NAMESPACE_URL, "urn:kavlink:" + what))


def idl_field(f, header):
    t = field_types(f)[1]
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
    for e in exports:
        result = "long" if e.prototype.result.endswith("*") else RESULTS[e.result][2]
        params = ", ".join(describe(e, i, header).idl for i in range(len(e.args))) or "void"
        help = c_string(helpstring(ref.entries[e.name]))
        out.append(f"        [entry(\"{e.name}\"), helpstring({help})]")
        out.append(f"        {result} __stdcall {e.name}({params});")
    out += ["    };", "};", ""]
    write(path, "\n".join(out))


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
