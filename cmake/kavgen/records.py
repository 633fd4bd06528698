"""Reads include/kavlink_records.h: the packed records, each with its doc
comment and each field with its own, their sizes and offsets, and whether an
Automation client's Type lays a record out the same."""
import re

from kavgen.model import C_FIELD, Field, Record, TableError


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
    """The hand-written records header."""

    def __init__(self, path):
        self.path = path
        source = open(path, encoding="utf-8").read()
        self.records = {}
        self.order = []
        for m in re.finditer(DOC + r"typedef struct (\w+)\s*\{(.*?)\}\s*(\w+)\s*;", source, re.S):
            line = source.count("\n", 0, m.start(2)) + 1
            name = m.group(2)
            where = f"{path}:{line}"
            if m.group(4) != name:
                raise TableError(f"{where}: typedef struct {name} is named {m.group(4)}")
            if not m.group(1):
                raise TableError(f"{where}: record {name} has no doc comment (/** ... */ above it)")
            r = Record(name, self._fields(m.group(3), name, where), doc_text(m.group(1)), line)
            self._lay_out(r)
            self.records[name] = r
            self.order.append(name)
        text = strip_comments(source)
        for name, size in re.findall(r"KAV_RECORD_SIZE\((\w+),\s*(\d+)\)", text):
            if name in self.records and self.records[name].size != int(size):
                raise TableError(f"{path}: {name} reads as {self.records[name].size} bytes, the header says {size}")
        if "KAVAPI" in text:
            raise TableError(f"{path}: prototypes belong to the generated kavlink.h, not to the records header")

    def _fields(self, body, name, where):
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
        return fields

    def _lay_out(self, r):
        """Packed offsets, and the layout a 32-bit Automation client would give."""
        offset = vb_offset = 0
        vb_align = 1
        for f in r.fields:
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
        if r.vb_size != r.size or any(not self.records[f.ctype].reproducible for f in r.fields
                                      if f.ctype in self.records):
            r.reproducible = False

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

    def field_bytes(self, f):
        return field_size(f, self.records)

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
