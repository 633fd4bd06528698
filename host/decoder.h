// The stand-in host's knowledge of requests: every export's layout (rows
// generated from api/kavlink.exports) and the decoder that turns a request (command
// code, lParam, payload bytes) back into the export it came from and its
// segments with readable values.
#pragma once
#include "kav/protocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavhost {

// One row of the table, as written.
struct ExportRow {
    const char* signature;  // "VokName(arg, arg)"
    const char* args;       // argument kinds
    const char* result;     // i32 i16 f64 i64 bstr void
    uint32_t code;          // 0: no request message
    const char* lparam;     // lParam source
    const char* segments;   // payload segments, each with its direction
    const char* readBack;   // areas read back from offset 0 after the answer
    const char* rule;       // when outputs are copied: "", "nonzero", "true"
    int line;               // the row's line in api/kavlink.exports
};
const ExportRow* exportRows(size_t& count);

enum class LParamForm { Zero, Arg32, U16, S16, Packed, Fixed, Length, NoRequest, Exit };

enum class Kind {
    U8, I16, I32, F64, Point, Line, Circle, Arc, Ellipse, EllArc, StrPos, StrShape, StrAttr, ElemAttr,
    Matrix, ResultPt, BsHeader, BsValues, BsPoints, BoxStatus, Text, TextBuf, Raw, Chars
};

enum class CountFrom { None, Number, LpLow, LpSigned, LpHigh, LpAll, Segment };

// In: copied to the host only.  InOut: copied in and back from the same
// place.  Out: only what comes back matters.
enum class Direction { In, Out, InOut };

// When an export copies its outputs: whatever the answer, only on a nonzero
// 16-bit answer, or only on a 16-bit answer of -1.
enum class CopyRule { Always, Nonzero, True };

struct SegmentLayout {
    std::string name;
    Kind kind;
    uint32_t unit = 0;            // bytes of one item (0 for a text)
    CountFrom countFrom = CountFrom::None;
    uint32_t countNumber = 0;     // CountFrom::Number
    int countSegment = -1;        // CountFrom::Segment: index of an earlier segment
    uint32_t extra = 0;           // added to the count
    Direction direction = Direction::Out;
};

struct ExportLayout {
    std::string name;
    std::vector<std::string> argNames;
    std::vector<std::string> argKinds;
    std::string result;
    uint32_t code = 0;
    LParamForm lparam = LParamForm::Zero;
    std::vector<int> lparamArgs;  // argument indices the lParam is made from
    uint32_t lparamFixed = 0;
    std::vector<SegmentLayout> segments;
    std::vector<SegmentLayout> readBack;  // from payload offset 0, after the answer
    CopyRule rule = CopyRule::Always;
    int line = 0;                         // line in api/kavlink.exports
};

// The parsed table (parsed once; a malformed row throws std::runtime_error
// with the row's name, which the table test reports).
const std::vector<ExportLayout>& exportLayouts();
const ExportLayout* findLayout(const std::string& name);
// Every export that sends `code` as RequestMessage.
std::vector<const ExportLayout*> layoutsForCode(uint32_t code);

struct DecodedSegment {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
    std::string value;   // readable, UTF-8
};

struct Decoded {
    uint32_t code = 0;
    uint32_t lParam = 0;
    bool known = false;              // the code belongs to an export
    std::vector<std::string> names;  // candidate exports (two for a shared code)
    std::string lParamText;          // "element = 5"
    std::vector<DecodedSegment> segments;
    uint32_t total = 0;              // payload bytes of the request
    std::string problem;             // set when the payload does not fit the layout
    std::string nameText() const;    // "A" or "A | B"
};

// Decodes a request whose payload area holds `payload` (at most
// kav::kPayloadSize bytes are looked at).  Never throws for bad data.
Decoded decode(uint32_t code, uint32_t lParam, const uint8_t* payload, size_t size);

// One request as readable lines (with a trailing newline); its JSON form is
// decodedJson (session.h).
std::string formatText(const Decoded& d);

}  // namespace kavhost
