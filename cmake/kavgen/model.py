"""The model of the export table: typed arguments, segments and rows, the
records, the events and the descriptions, and the one table of kinds.

The readers (table, records, events, descriptions) fill these classes; the
emitters only read them.  Nothing here reads a file or writes one.
"""
import re


class TableError(Exception):
    pass


# ------------------------------------------------------------ the kinds

class SegmentKind:
    """What one item of a segment is: its bytes (a number, or the record or
    record member whose size it is), the C type a reference to it has, the
    SegmentKind of the typed table, the words of the reference and the type
    an Automation client declares an array of it with (vb, idl)."""

    def __init__(self, name, enum, unit=None, record=None, ctype=None, label=None, automation=None,
                 numbered=False, counted=False):
        self.name, self.enum, self.unit, self.record = name, enum, unit, record
        self.ctype, self.label, self.automation = ctype, label, automation
        self.numbered = numbered    # written with its bytes: rawN, strN
        self.counted = counted      # raw and chars need a count when not numbered


def _record_kind(name, enum, record, label=None, automation=True, member=None):
    return SegmentKind(name, enum, record=record + (f"::{member}" if member else ""), ctype=record,
                       label=label or record, automation=(record, record) if automation else None)


# In the order of the typed table's SegmentKind.
SEGMENT_KINDS = {k.name: k for k in [
    SegmentKind("u8", "U8", 1, ctype="uint8_t", label="8-bit value", automation=("Byte", "unsigned char")),
    SegmentKind("i16", "I16", 2, ctype="int16_t", label="16-bit integer", automation=("Integer", "short")),
    SegmentKind("i32", "I32", 4, ctype="int32_t", label="32-bit integer", automation=("Long", "long")),
    SegmentKind("f64", "F64", 8, ctype="double", label="double", automation=("Double", "double")),
    _record_kind("pt", "Point", "PointShape"),
    _record_kind("line", "Line", "LineShape"),
    _record_kind("circle", "Circle", "CircleShape"),
    _record_kind("arc", "Arc", "ArcShape"),
    _record_kind("ellipse", "Ellipse", "EllipseShape"),
    _record_kind("ellarc", "EllArc", "EllArcShape"),
    _record_kind("spos", "StrPos", "StringShape", "position of a StringShape", False, "position"),
    _record_kind("sshape", "StrShape", "StringShape", "StringShape, all 20 bytes"),
    _record_kind("sattr", "StrAttr", "StringAttr"),
    _record_kind("eattr", "ElemAttr", "ElementAttr"),
    _record_kind("matrix", "Matrix", "TransMatrix"),
    _record_kind("rpt", "ResultPt", "ResultPoint"),
    _record_kind("bsh", "BsHeader", "BSplineHeader"),
    _record_kind("bsv", "BsValues", "BSplineValues"),
    _record_kind("bsp", "BsPoints", "BSplinePoints"),
    _record_kind("boxst", "BoxStatus", "BoxStatus"),
    SegmentKind("text", "Text", 0, ctype="char", label="text with its terminating zero"),
    SegmentKind("str", "TextBuf", ctype="char", numbered=True),
    SegmentKind("raw", "Raw", 1, numbered=True, counted=True),
    SegmentKind("chars", "Chars", 1, label="bytes of the string", counted=True),
]}


class ArgKind:
    """An argument passed by value or as a string: its ArgKind in the typed
    table, its C type, its Automation declaration (vb, idl) and its stack
    slots."""

    def __init__(self, name, enum, ctype=None, vb=None, idl=None, slots=1):
        self.name, self.enum, self.ctype, self.vb, self.idl, self.slots = name, enum, ctype, vb, idl, slots


# The simple kinds, then the forms written with a size (ref:N, arr:N, ...).
ARG_KINDS = {k.name: k for k in [
    ArgKind("i32", "I32", "int32_t", "Long", "long"),
    ArgKind("i16", "I16", "int16_t", "Integer", "short"),
    ArgKind("u8", "U8", "uint8_t", "Byte", "unsigned char"),
    ArgKind("f64", "F64", "double", "Double", "double", 2),
    ArgKind("i64", "I64", "int64_t", "Currency", "CURRENCY", 2),
    ArgKind("text", "Text"),
    ArgKind("strvar", "StrVar"),
    ArgKind("bstr", "Bstr", "BSTR"),
    ArgKind("sshape", "StrShape"),
    ArgKind("sshape:256", "StrShapeBuffer"),
]}
ARG_FORMS = {"ref": "Ref", "ref_times": "RefTimes", "ref_plus_one": "RefPlusOne", "arr": "Array",
             "arr_times": "ArrayTimes", "names": "Names"}
BY_VALUE_KINDS = {"i32", "i16", "u8", "f64", "i64"}
INTEGER_KINDS = {"i32", "i16", "u8"}

# Results: C type, VB type, IDL type, ResultForm.
RESULTS = {"i32": ("int32_t", "Long", "long", "I32"), "i16": ("int16_t", "Integer", "short", "I16"),
           "f64": ("double", "Double", "double", "F64"), "i64": ("int64_t", "Currency", "CURRENCY", "I64"),
           "bstr": ("BSTR", "String", "BSTR", "Bstr"), "void": ("void", "Long", "void", "Void")}

# C types of record fields and of references to numbers: VB type, IDL type, bytes.
C_FIELD = {"double": ("Double", "double", 8), "int32_t": ("Long", "long", 4), "uint32_t": ("Long", "long", 4),
           "int16_t": ("Integer", "short", 2), "uint8_t": ("Byte", "unsigned char", 1),
           "unsigned char": ("Byte", "unsigned char", 1), "char": ("Byte", "unsigned char", 1)}
# The numbers a reference may point to, and their bytes.
SCALAR_SIZE = {"int16_t": 2, "int32_t": 4, "uint8_t": 1, "double": 8, "char": 1}

LP_COUNTS = {"lp": "LpLow", "lps": "LpSigned", "lphi": "LpHigh", "lpall": "LpAll"}
RULES = {"": "Always", "nonzero": "Nonzero", "true": "True"}
ANSWERS = {"one": "One", "next": "NextIndex", "panel": "PanelPerId"}
LPARAM_FORMS = {"zero": "Zero", "arg32": "Arg32", "u16": "U16", "s16": "S16", "packed": "Packed", "fixed": "Fixed",
                "length": "Length", "none": "NoRequest", "exit": "Exit"}
DIRECTIONS = {"in": "In", "out": "Out", "inout": "InOut", "": "Out"}


# ------------------------------------------------------------ the rows

class Segment:
    """One payload segment or read-back area, parsed once."""

    def __init__(self, token, name, kind, number, count, extra, direction):
        self.token = token          # as the table states it, in full: "points:pt*lps/in"
        self.name = name
        self.kind = kind            # a SEGMENT_KINDS entry's name
        self.number = number        # N of rawN / strN, else None
        self.count = count          # None, a number, an LP_COUNTS form or the name of an earlier segment
        self.count_index = -1       # the segment that counts, for a count by name
        self.extra = extra          # added to the count
        self.direction = direction  # in, out, inout; "" for a read-back area
        self.unit = None            # bytes of one item (0 for a text), once the records are read
        self.unit_expr = None       # the same as C++ (sizeof of a record where there is one)

    @property
    def kind_info(self):
        return SEGMENT_KINDS[self.kind]

    @property
    def full_kind(self):
        """The kind with its bytes where it is written with them ("str256")."""
        return self.kind + (str(self.number) if self.number is not None else "")

    def counted_by_name(self):
        return self.count is not None and not isinstance(self.count, int)


ARG_FORM = re.compile(r"^(?:(ref|arr):(\d+)(?:\*@(\d+))?|ref:\+1@(\d+)|names@(\d+))$")


class Arg:
    """One argument, its kind parsed: `form` is a simple kind (i32, text,
    sshape:256, ...) or ref, ref_times, ref_plus_one, arr, arr_times, names;
    `bytes` the N of ref:N / arr:N; `count_arg` the K of a form @K."""

    def __init__(self, kind, name, ctype, compact=None):
        self.name = name
        self.ctype = ctype          # the C type the row names, or None
        self.compact = compact      # (segment kind, direction) of "pt/inout name", else None
        self.stated_size = False    # the row writes its size out (ref:N, raw40/in, ...)
        self.set_kind(kind)

    def set_kind(self, kind):
        self.kind = kind            # as the row writes it (for messages); None until a compact one is sized
        self.form, self.bytes, self.count_arg = kind, None, -1
        m = ARG_FORM.match(kind or "")
        if not m:
            return
        if m.group(1):
            times = m.group(3) is not None
            self.form = m.group(1) + ("_times" if times else "")
            self.bytes = int(m.group(2))
            self.count_arg = int(m.group(3)) if times else -1
        elif m.group(4):
            self.form, self.bytes, self.count_arg = "ref_plus_one", 1, int(m.group(4))
        else:
            self.form, self.count_arg = "names", int(m.group(5))

    @staticmethod
    def valid_kind(kind):
        return kind in ARG_KINDS or bool(ARG_FORM.match(kind))

    @property
    def by_value(self):
        return self.form in BY_VALUE_KINDS

    @property
    def is_ref(self):
        return self.form in ("ref", "ref_times", "ref_plus_one")

    @property
    def is_array(self):
        return self.form in ("arr", "arr_times")

    @property
    def slots(self):
        return ARG_KINDS[self.form].slots if self.form in ARG_KINDS else 1


class Export:
    def __init__(self, line, section, code, result, name, args, c_result=None):
        self.line = line
        self.section = section
        self.code = code
        self.result = result
        self.name = name
        self.args = args            # [Arg]
        self.rule = ""              # when outputs are copied: "", "nonzero", "true"
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
        return sum(4 * a.slots for a in self.args)

    def arg_index(self, name):
        for i, a in enumerate(self.args):
            if a.name == name:
                return i
        return -1

    def own_segments(self, name):
        """The payload segments and read-back areas named `name`."""
        return [s for s in self.sent if s.name == name], [s for s in self.back if s.name == name]

    def segment_of(self, name):
        """The first segment or area named `name`, or None."""
        for s in self.sent + self.back:
            if s.name == name:
                return s
        return None


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


# ------------------------------------------------------------ the records

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
        self.reproducible = True    # an Automation client's Type lays it out the same
        self.vb_size = 0
        self.vb_align = 1

    def opaque(self):
        """A record of bytes whose inner layout is the host's."""
        return len(self.fields) == 1 and self.fields[0].ctype == "unsigned char" and self.fields[0].name == "bytes"


# ------------------------------------------------------------ the events

class EventParam:
    def __init__(self, direction, idl_type, by_ref, name):
        self.direction, self.idl_type, self.by_ref, self.name = direction, idl_type, by_ref, name


class Event:
    def __init__(self, name, dispid, params):
        self.name, self.dispid, self.params = name, dispid, params

    def signature(self):
        parts = [f"[{p.direction}] {p.idl_type}{'*' if p.by_ref else ''} {p.name}" for p in self.params]
        return f"HRESULT {self.name}({', '.join(parts)})"


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


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'
