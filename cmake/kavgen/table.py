"""Reads api/kavlink.exports into the model: every row checked as it is read
(a bad one raises TableError with "TABLE:LINE (Name): message"), then, with
the records, each segment's bytes and each export's C prototype."""
import re

from kavgen.model import (ANSWERS, ARG_KINDS, BY_VALUE_KINDS, C_FIELD, INTEGER_KINDS, LP_COUNTS, RESULTS, RULES,
                          SCALAR_SIZE, SEGMENT_KINDS, Arg, CParam, Export, Prototype, Segment, TableError)

# An argument written as the segment it travels as ("pt/inout shape"): the
# address of that segment's memory.
COMPACT_ARG = re.compile(r"^([a-z]+\d*)/(in|out|inout)$")
SEGMENT = re.compile(r"^([A-Za-z_][\w.]*):([a-z]+\d*)(\*\w+)?(\+\d+)?(/(in|out|inout))?$")
ROW = re.compile(r"^(\S+)\s+(\S+)\s+(\S+)\s+([A-Za-z_]\w*)\(([^)]*)\)\s*(.*)$")


def segment_kind(kind):
    """(kind, number) of a written segment kind ("str256" -> ("str", 256)),
    or None where there is no such kind."""
    info = SEGMENT_KINDS.get(kind)
    if info and not (info.numbered and not info.counted):
        return kind, None
    base = re.sub(r"\d+$", "", kind)
    if base != kind and base in SEGMENT_KINDS and SEGMENT_KINDS[base].numbered:
        return base, int(kind[len(base):])
    return None


def parse_segment(token, where, read_back, before):
    m = SEGMENT.match(token)
    if not m:
        raise TableError(f"{where}: bad segment '{token}'")
    parsed = segment_kind(m.group(2))
    if parsed is None:
        raise TableError(f"{where}: unknown segment kind '{m.group(2)}' in '{token}'")
    kind, number = parsed
    if number == 0:
        raise TableError(f"{where}: '{token}' has no bytes")
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
    if SEGMENT_KINDS[kind].counted and number is None and count is None:
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


def default_segment(arg, lparam_names):
    """The segment an argument travels as when the row states none: a value
    not sent as the lParam, a text, or a compact reference."""
    if arg.name in lparam_names:
        return None
    if arg.form in BY_VALUE_KINDS - {"i64"}:
        return f"{arg.name}:{arg.kind}/in"
    if arg.form == "text":
        return f"{arg.name}:text/in"
    if arg.compact:
        return f"{arg.name}:{arg.compact[0]}/{arg.compact[1]}"
    return None


LPARAM_WANTED = {"arg32": 1, "u16": 1, "s16": 1, "len": 1, "packed": 2}


def parse_lparam(e, lparam, where):
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
    if form not in LPARAM_WANTED:
        raise TableError(f"{where}: unknown lParam form '{form}'")
    parts = rest.split(",")
    if len(parts) != LPARAM_WANTED[form]:
        raise TableError(f"{where}: lParam {form} names {LPARAM_WANTED[form]} argument(s), not {len(parts)}")
    for name in parts:
        i = e.arg_index(name)
        if i < 0:
            raise TableError(f"{where}: lParam names unknown argument '{name}'")
        a = e.args[i]
        if form == "len" and a.form not in ("bstr", "text"):
            raise TableError(f"{where}: lParam len:{name} needs a string, '{name}' is {a.kind}")
        if form != "len" and a.form not in INTEGER_KINDS:
            raise TableError(f"{where}: lParam {lparam} needs integers by value, '{name}' is {a.kind}")
    e.lparam_form = "length" if form == "len" else form
    e.lparam_args = [e.arg_index(name) for name in parts]


def parse_args(arglist, where):
    args = []
    for a in [a.strip() for a in arglist.split(",") if a.strip()]:
        parts = a.split()
        if len(parts) not in (2, 3):
            raise TableError(f"{where}: bad argument '{a}'")
        kind, ctype = parts[0], parts[1] if len(parts) == 3 else None
        compact = COMPACT_ARG.match(kind)
        if compact:
            parsed = segment_kind(compact.group(1))
            info = SEGMENT_KINDS[parsed[0]] if parsed else None
            if info is None or info.unit == 0 or (info.counted and not info.numbered):
                raise TableError(f"{where}: '{kind}' is not a segment of fixed size")
            if parsed == ("raw", None) and not ctype:
                raise TableError(f"{where}: 'raw/...' takes its size from the record the row names")
            args.append(Arg(None, parts[-1], ctype, (compact.group(1), compact.group(2))))
            args[-1].stated_size = parsed[1] is not None
        elif Arg.valid_kind(kind):
            args.append(Arg(kind, parts[-1], ctype))
            args[-1].stated_size = args[-1].is_ref or args[-1].is_array
        else:
            raise TableError(f"{where}: bad argument '{a}'")
    return args


def size_compact_args(args, records, where):
    if not any(a.compact for a in args):
        return
    if records is None:
        raise TableError(f"{where}: a compact argument needs the records (--records)")
    for a in args:
        if a.compact:
            size = compact_size(a, records, where)
            a.set_kind(f"ref:{size}")
            if a.compact[0] == "raw":
                a.compact = (f"raw{size}", a.compact[1])


def check_counts(args, where):
    for a in args:
        if a.count_arg >= 0:
            k = a.count_arg
            if k >= len(args):
                raise TableError(f"{where}: '{a.kind}' names argument {k}, which does not exist")
            if args[k].form not in INTEGER_KINDS:
                raise TableError(f"{where}: '{a.kind}' takes its count from '{args[k].name}', not an integer")


def parse_tail(e, rest, where):
    """The rule, the default answer, the segments and the read-back areas."""
    names = [a.name for a in e.args]
    lparam_names = [names[i] for i in e.lparam_args if e.lparam_form != "length"]
    rule = ""
    kept = []
    for t in rest.split():
        if t.startswith("when:"):
            if rule:
                raise TableError(f"{where}: two rules")
            rule = t[5:]
            if rule not in RULES or not rule:
                raise TableError(f"{where}: unknown rule '{t}'")
        elif t.startswith("answer:"):
            e.answer = t[7:]
            if e.answer not in ANSWERS:
                raise TableError(f"{where}: unknown default answer '{t}' ({', '.join(sorted(ANSWERS))})")
            if e.code == 0:
                raise TableError(f"{where}: an export without a request has no answer")
        else:
            kept.append(t)
    stated, back = kept, []
    if "->" in kept:
        i = kept.index("->")
        stated, back = kept[:i], kept[i + 1:]
        if back and back[0] in RULES and back[0]:
            if rule:
                raise TableError(f"{where}: two rules")
            rule, back = back[0], back[1:]
        if not back:
            raise TableError(f"{where}: '->' without a read-back area")
    defaults = {a.name: default_segment(a, lparam_names) for a in e.args} if e.code else {}
    default_list = [s for s in (defaults.get(a.name) for a in e.args) if s]
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
    if e.code == 0 and (segments or back):
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
            if owner not in names or not e.args[names.index(owner)].form.startswith("sshape") or member != "text":
                raise TableError(f"{where}: segment '{s.token}': only a StringShape argument has a .text")
        elif owner in lparam_names:
            raise TableError(f"{where}: '{owner}' travels as the lParam and again as a segment")
    e.rule = rule


def parse_row(text, number, section, where, records):
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
    args = parse_args(arglist, where)
    names = [a.name for a in args]
    if len(set(names)) != len(names):
        raise TableError(f"{where}: argument named twice")
    size_compact_args(args, records, where)
    check_counts(args, where)
    e = Export(number, section, code, result, name, args, c_result)
    e.stated_sizes = {a.name for a in args if a.stated_size}
    parse_lparam(e, lparam, where)
    parse_tail(e, rest, where)
    return e


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
        e = parse_row(text, number, section, where, records)
        if any(x.name == e.name for x in exports):
            raise TableError(f"{where} ({e.name}): {e.name} listed twice")
        exports.append(e)
    if not exports:
        raise TableError(f"{path}: no exports")
    return exports


def compact_size(arg, records, where):
    """Bytes of a compact argument's memory: the record's size from the
    header, or the N of rawN / strN."""
    kind, number = segment_kind(arg.compact[0])
    if number is not None:
        return number
    if kind == "raw":
        if arg.ctype not in records.records:
            raise TableError(f"{where}: 'raw/...' needs a record, '{arg.ctype}' is none")
        return records.records[arg.ctype].size
    info = SEGMENT_KINDS[kind]
    return records.unit_size(info.record) if info.record else info.unit


def assign_units(exports, records, table):
    """Gives every segment its bytes per item from the records header and
    checks each against the argument it carries."""
    for e in exports:
        where = f"{table}:{e.line} ({e.name})"
        for s in e.sent + e.back:
            owner = e.arg_index(s.name)
            ctype = e.args[owner].ctype if owner >= 0 else None
            info = s.kind_info
            if info.record:
                s.unit = records.unit_size(info.record)
                s.unit_expr = f"sizeof({info.record})"
            elif s.number is not None:
                s.unit = s.number
                s.unit_expr = str(s.number)
                if s.kind == "raw" and ctype in records.records:
                    size = records.records[ctype].size
                    if size != s.number:
                        raise TableError(f"{where}: segment '{s.token}' carries {ctype}, which is {size} bytes")
                    s.unit_expr = f"sizeof({ctype})"
            else:
                s.unit = info.unit
                s.unit_expr = str(s.unit)
            if owner < 0:
                continue
            a = e.args[owner]
            if a.form not in ("ref", "ref_times", "arr", "arr_times") or s.kind == "text":
                continue
            if a.count_arg >= 0 or s.counted_by_name():
                ok = s.unit == a.bytes or s.kind in ("raw", "chars")
                what = f"{s.unit} bytes per item"
            else:
                carried = s.unit * ((s.count if isinstance(s.count, int) else 1) + s.extra)
                ok = carried == a.bytes
                what = f"{carried} bytes"
            if not ok:
                raise TableError(f"{where}: argument '{s.name}' is {a.kind}, its segment '{s.token}' is {what}")


def reference_ctype(e, a, where):
    """The C type a reference points to: the one the row names, or that of
    the first segment it travels as."""
    if a.ctype:
        return a.ctype
    sent, back = e.own_segments(a.name)
    ctype = (sent + back)[0].kind_info.ctype if sent + back else None
    if not ctype:
        raise TableError(f"{where}: argument '{a.name}' needs its C type in the row ({a.kind} Type {a.name})")
    return ctype


def derive_prototypes(exports, records, table):
    """Gives every export its C prototype: from the argument kinds and
    segments, and from the types the rows name where those do not settle it."""
    known = set(records.records) | set(SCALAR_SIZE) | {"void", "HWND"}
    for e in exports:
        where = f"{table}:{e.line} ({e.name})"
        params = []
        for a in e.args:
            sent, back = e.own_segments(a.name)
            directions = {s.direction for s in sent}
            given = a.ctype
            if given and given not in known:
                raise TableError(f"{where}: argument '{a.name}' names the unknown type '{given}'")
            by_value = ARG_KINDS[a.form].ctype if a.form in ARG_KINDS else None
            if by_value:
                if given and not (a.form == "i32" and given == "HWND"):
                    raise TableError(f"{where}: argument '{a.name}' is passed by value as {a.kind}; only i32 may be "
                                     f"HWND")
                params.append(CParam(given or by_value, 0, False, a.name))
                continue
            if given == "HWND":
                raise TableError(f"{where}: HWND is passed by value (i32)")
            if a.form == "text":
                params.append(CParam("char", 1, not directions & {"inout", "out"}, a.name))
            elif a.form == "strvar":
                params.append(CParam("BSTR", 1, False, a.name))
            elif a.is_array:
                if given and given not in C_FIELD:
                    raise TableError(f"{where}: the items of array '{a.name}' are numbers: {given} is not one")
                params.append(CParam("SAFEARRAY", 2, False, a.name))
            elif a.form == "names":
                params.append(CParam("char", 2, True, a.name))
            elif a.form.startswith("sshape"):
                params.append(CParam("StringShape", 1, bool(sent) and directions == {"in"}, a.name))
            else:
                ctype = reference_ctype(e, a, where)
                expected = records.records[ctype].size if ctype in records.records else SCALAR_SIZE.get(ctype)
                if a.form in ("ref", "ref_times") and expected and ctype != "char" and a.bytes != expected:
                    raise TableError(f"{where}: argument '{a.name}' states {a.bytes} bytes, but {ctype} is "
                                     f"{expected} bytes")
                params.append(CParam(ctype, 1, bool(sent) and not back and directions == {"in"}, a.name))
        result = RESULTS[e.result][0]
        if e.c_result:
            base = e.c_result[:-1]
            if base not in known:
                raise TableError(f"{where}: unknown result type '{e.c_result}'")
            result = base + " *"
        e.prototype = Prototype(result, params)
