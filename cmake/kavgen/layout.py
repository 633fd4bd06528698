"""The request of an export in words and numbers, as the reference, the doc
comments of kavlink.h and the HTML pages show it: the offset, size and
direction of every segment, the lParam, the copy-back rule and the refusal
that every request shares; and the plain-text forms of prose."""
import textwrap

from kavgen.model import BY_VALUE_KINDS, TableError

REQUEST_MESSAGE, EXIT_MESSAGE = 1534, 1765
DIRECTION = {"in": "in", "inout": "in-out", "out": "out", "": "back"}

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


def sentence(text):
    """Prose that ends like a sentence."""
    text = text.strip()
    return text if not text or text[-1] in ".!?:)\"'`" else text + "."


def comment_lines(text, width=100, first="", rest=""):
    text = text.replace("*/", "* /").replace("/*", "/ *")  # no comment ends or nests inside one
    return textwrap.wrap(text, width, initial_indent=first, subsequent_indent=rest,
                         break_long_words=False, break_on_hyphens=False) or [first.rstrip()]


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
    names = [e.args[i].name for i in e.lparam_args]
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
    name, count, extra = seg.name, seg.count, seg.extra
    if seg.kind == "text":
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
    index = e.arg_index(name)
    if seg.kind == "str":
        what = f"text buffer of {seg.number} bytes"
    elif seg.kind == "raw":
        ctype = e.prototype.params[index].ctype if index >= 0 else None
        what = ctype if ctype in records.records else "bytes"
    else:
        what = seg.kind_info.label
    if seg.counted_by_name():
        what += " each" if unit and unit > 1 and seg.kind not in ("raw", "chars") else ""
    if e.arg_index(name.split(".")[0]) < 0:
        what += " (the library's own buffer)"
    return Slot(name, what, DIRECTION[seg.direction], offset, size)


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
        names = [e.args[i].name for i in e.lparam_args]
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
        addresses = any(not a.by_value for a in e.args)
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
    a = e.args[i]
    if a.by_value or a.form in ("bstr", "names"):
        return "in"
    sent, back = e.own_segments(a.name)
    directions = {s.direction for s in sent}
    if a.form == "text" and not directions & {"inout", "out"}:
        return "in"
    if not sent and not back:
        return "out"
    if "inout" in directions or ("in" in directions and back):
        return "in,out"
    if directions == {"in"}:
        return "in"
    return "out"


SIMPLE_KIND_WORDS = {"bstr": "string by value", "text": "zero-terminated ANSI text", "strvar": "string variable",
                     "sshape": "`StringShape`, 20 bytes; its text travels too",
                     "sshape:256": "`StringShape`, 20 bytes; its text names a buffer of 256 bytes"}


def argument_kind(e, i, records):
    """What the argument is, in a few words."""
    a = e.args[i]
    counter = f"`{e.args[a.count_arg].name}`" if a.count_arg >= 0 else ""
    if a.form in BY_VALUE_KINDS:
        in_lparam = e.lparam_form != "length" and i in e.lparam_args
        return "by value" + (", sent as the lParam" if in_lparam else "")
    if a.form in SIMPLE_KIND_WORDS:
        return SIMPLE_KIND_WORDS[a.form]
    if a.form == "names":
        return f"{counter} addresses of zero-terminated texts"
    if a.is_array:
        times = f" x {counter}" if counter else ""
        return f"array variable whose data holds {a.bytes}{times} bytes"
    if a.form == "ref_plus_one":
        return f"{counter} + 1 bytes"
    what = e.prototype.params[i].ctype
    if what == "char":
        what = "text buffer"
    elif what == "void":
        what = "bytes"
    elif what in records.records:
        what = f"`{what}`"
    if counter:
        return f"{counter} x {what}, {a.bytes} bytes each"
    return f"{what}, {a.bytes} bytes"
