"""The typed C++ table (kavlink_table.h): every export's layout as constants
that kavhost and the tests read, its enums taken from the table of kinds."""
from kavgen.model import (ANSWERS, ARG_FORMS, ARG_KINDS, DIRECTIONS, LP_COUNTS, LPARAM_FORMS, RESULTS, RULES,
                          SEGMENT_KINDS, c_string)
from kavgen.output import write


def cpp_enum(name, values, doc):
    return [f"// {doc}", f"enum class {name} : uint8_t {{ {', '.join(values)} }};", ""]


def cpp_arg(e, i, records):
    a = e.args[i]
    ctype = e.prototype.params[i].ctype if e.prototype else None
    size = "sizeof(StringShape)" if a.form.startswith("sshape") else "0"
    count, buffer = a.count_arg, 0
    if a.form in ARG_KINDS:
        buffer = 256 if a.form == "sshape:256" else 0
    elif a.form == "ref_plus_one":
        size = "1"
    elif a.form != "names":
        size = str(a.bytes)
        if a.form == "ref" and ctype in records.records:
            size = f"sizeof({ctype})"
    enum = ARG_KINDS[a.form].enum if a.form in ARG_KINDS else ARG_FORMS[a.form]
    return f"{{{c_string(a.name)}, ArgKind::{enum}, {size}, {buffer}, {count}, {a.slots}}}"


def cpp_segment(e, s):
    if s.count is None:
        count, number = "None", 0
    elif isinstance(s.count, int):
        count, number = "Number", s.count
    elif s.count in LP_COUNTS:
        count, number = LP_COUNTS[s.count], 0
    else:
        count, number = "Segment", 0
    arg = e.arg_index(s.name.split(".")[0])
    return (f"{{{c_string(s.name)}, SegmentKind::{s.kind_info.enum}, {s.unit_expr}, CountFrom::{count}, {number}, "
            f"{s.count_index}, {s.extra}, Direction::{DIRECTIONS[s.direction]}, {arg}, "
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


def enums():
    out = cpp_enum("ArgKind", [k.enum for k in ARG_KINDS.values()] + list(ARG_FORMS.values()),
                   "How an argument is passed.")
    out += cpp_enum("SegmentKind", [k.enum for k in SEGMENT_KINDS.values()], "What a segment holds.")
    out += cpp_enum("Direction", ["In", "Out", "InOut"],
                    "In: copied to the host only.  InOut: copied in and back from the same place.  "
                    "Out: only what comes back matters.")
    out += cpp_enum("LParamForm", list(LPARAM_FORMS.values()), "What the lParam carries.")
    out += cpp_enum("ResultForm", [r[3] for r in RESULTS.values()], "What the export returns.")
    out += cpp_enum("CopyRule", list(RULES.values()),
                    "When outputs are copied: whatever the answer, on a nonzero 16-bit answer, on a 16-bit -1.")
    out += cpp_enum("CountFrom", ["None", "Number"] + list(LP_COUNTS.values()) + ["Segment"],
                    "Where a segment's item count comes from.")
    out += cpp_enum("DefaultAnswer", list(ANSWERS.values()),
                    "kavhost's answer when its script names none: 1, the next counting index, one handle per id.")
    return out


def size_checks(exports, records, table):
    """static_asserts: the records' sizes as the generator read them, and
    every size a row writes out."""
    out = []
    used = sorted({s.unit_expr[7:-1] for e in exports for s in e.sent + e.back if s.unit_expr.startswith("sizeof(")} |
                  {p.ctype for e in exports for p in e.prototype.params if p.ctype in records.records})
    for name in used:
        size = records.unit_size(name)
        out.append(f"static_assert(sizeof({name}) == {size}, \"include/kavlink_records.h: {name} reads as {size} "
                   f"bytes to the generator\");")
    return out


def write_table(exports, records, path, table):
    out = TABLE_HEAD.format(table=table).split("\n")
    out += enums()
    out += TABLE_TYPES.split("\n")
    out += size_checks(exports, records, table)
    out.append("")
    for i, e in enumerate(exports):
        stated = []
        for a, p in zip(e.args, e.prototype.params):
            if a.form == "ref" and p.ctype in records.records and a.name in e.stated_sizes:
                stated.append((p.ctype, a.bytes, a.name))
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
        fields = [c_string(e.name), f"ResultForm::{RESULTS[e.result][3]}", str(e.code),
                  f"LParamForm::{LPARAM_FORMS[e.lparam_form]}", f"{{{lp[0]}, {lp[1]}}}", str(e.lparam_fixed),
                  f"kArgs{i}" if e.args else "{}", f"kSegments{i}" if e.sent else "{}",
                  f"kReadBack{i}" if e.back else "{}", f"CopyRule::{RULES[e.rule]}",
                  f"DefaultAnswer::{ANSWERS[e.answer]}", str(e.arg_bytes()), str(e.line)]
        out.append("    {" + ", ".join(fields) + "},")
    out += ["};", "",
            "// The row of an export, or null.",
            "constexpr const Export* findExport(std::string_view name) {",
            "    for (const Export& e : kExports)",
            "        if (name == e.name) return &e;",
            "    return nullptr;",
            "}", "", "}  // namespace kavtable", ""]
    write(path, "\n".join(out))
