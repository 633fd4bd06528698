// The drawing as kavhost's model of the host keeps it: the elements with
// their shapes and attributes, what hangs on them (properties, links, marks,
// groups, polyline information), the database's own properties, and what
// the command asked the host to show (displayed shapes, highlights, rubber
// bands, guide and mode texts, beeps, messages).
//
// The model (model.h) is the only writer.  Everyone else reads it through
// `const Drawing&` (Model::drawing()); that read-only view is what a picture
// of the session is drawn from:
//   - elements(): every element ever made, in index order, deleted ones
//     included (Element::deleted); live(index) finds one that still exists;
//   - shown(): every display, clear, highlight and rubber-band request in
//     the order it came, with its shape or element/mark and the request's
//     seq;
//   - feedback(): guide and mode texts, beeps, warning and error messages,
//     confirmations, in order, each with its seq;
//   - marks(), groups(), links(): the elements each holds.
// Shapes are the records of kavlink_records.h, kept as the command sent
// them (bytes the host does not read, such as the text pointer of a
// StringShape, are not kept: the text itself is).
#pragma once
#include "kavlink_records.h"

#include <array>
#include <cstring>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavhost::model {

// What an element is.  The names are the kind words of the script's
// `element` statement and the keys of the profile's "elementTypes".
enum class Kind : uint8_t { Point, Line, LongLine, Circle, Arc, Ellipse, EllArc, String, BSpline };
inline constexpr std::array<std::string_view, 9> kKindNames = {"point", "line", "longline", "circle", "arc",
                                                               "ellipse", "ellarc", "string", "bspline"};
std::string_view kindName(Kind k);
std::optional<Kind> kindNamed(std::string_view name);
// Bytes of the kind's shape record on the wire (a text: its 16 position bytes;
// a B-spline: its four blocks, 3548 bytes).
uint32_t shapeBytes(Kind k);

// A shape of any kind, held as its record.
struct Shape {
    Kind kind = Kind::Point;
    // The record's bytes as laid out in kavlink_records.h (PointShape ...
    // EllArcShape; for a text the 16 bytes of its position).
    std::array<uint8_t, sizeof(EllArcShape)> record{};
    std::string text;              // a text element's text (system code page, no terminator)
    std::vector<uint8_t> bspline;  // a B-spline's four blocks as they came (3548 bytes)

    static Shape point(const PointShape& p);
    static Shape line(const LineShape& l, bool longLine = false);
    static Shape circle(const CircleShape& c);
    static Shape arc(const ArcShape& a);
    static Shape ellipse(const EllipseShape& e);
    static Shape ellArc(const EllArcShape& e);
    static Shape string(const PointShape& position, std::string text);
    // `bytes` of the kind's record (shapeBytes(k) of them; for a text its
    // position), copied in.
    static Shape fromRecord(Kind k, const uint8_t* bytes);

    template <class T> T as() const {
        static_assert(sizeof(T) <= sizeof(record));
        T v;
        std::memcpy(&v, record.data(), sizeof v);
        return v;
    }
    PointShape asPoint() const { return as<PointShape>(); }
    LineShape asLine() const { return as<LineShape>(); }
    CircleShape asCircle() const { return as<CircleShape>(); }
    ArcShape asArc() const { return as<ArcShape>(); }
    EllipseShape asEllipse() const { return as<EllipseShape>(); }
    EllArcShape asEllArc() const { return as<EllArcShape>(); }
};

// A named property of an element or of the database.
struct Property {
    enum class Type : uint8_t { Long, Double, String, Bytes } type = Type::Long;
    int32_t tag = 0;        // the tagged and database properties' tag (0 for the typed ones)
    std::string name;       // system code page
    int32_t number = 0;     // Long
    double real = 0;        // Double
    std::string text;       // String (no terminator)
    std::vector<uint8_t> bytes;  // Bytes: the data as sent (size + 1 bytes)
    int32_t marked = 0;     // the value VokMarkProperty gave it
};

struct Element {
    int32_t index = 0;
    Shape shape;
    ElementAttr attr{};          // the 8 bytes as given
    StringAttr stringAttr{};     // a text's 56 bytes as given
    int16_t exValue1 = 0, exValue2 = 0;
    std::array<char, 32> font{}; // the 32-byte font name field as given
    int32_t layer = 0, subcode = 0, cmdId = 0;
    std::optional<PolylineInfo> polyline;
    std::vector<Property> properties;
    bool declared = false;       // declared by the script, before the start event
    uint32_t madeAt = 0;         // seq of the request that made it (0: declared)
    bool deleted = false;
    uint32_t deletedAt = 0;
};

// One display, clear, highlight or rubber-band request.
struct ShownItem {
    enum class What : uint8_t {
        Shape,           // a shape shown with an attribute (VokDisplay...Shape)
        Element,         // an element shown, cleared or highlighted
        Mark,            // a mark shown, cleared or highlighted
        All,             // VokDisplayAll, VokDisplayZoomAll
        RubberStart,     // VokStartRubber
        RubberEnd,       // VokEndRubber
        Rubber,          // a rubber-band figure (VokDrawRubber...)
    } what = What::Shape;
    uint32_t seq = 0;
    std::string exportName;   // the request's export, e.g. "VokHilightElement"
    Shape shape;              // Shape, Rubber
    int32_t target = 0;       // Element, Mark: the index or mark
    int16_t mode = 0;         // the highlight mode, where the request has one
    ElementAttr attr{};       // Shape (an element attribute)
    StringAttr stringAttr{};  // Shape of a text
};

// A guide or mode text, a beep, a message, a confirmation.
struct FeedbackItem {
    uint32_t seq = 0;
    std::string exportName;  // "VokCommandGuide", "VokErrorBeep", ...
    std::string text;        // UTF-8; "" for a beep or a confirmation
    int32_t answer = 0;      // what the host answered
};

class Drawing {
public:
    // Adds an element with the next index (or with the index given, one the
    // host chose in a recorded session) and returns it.
    Element& add(Element e, std::optional<int32_t> index = std::nullopt);
    // The element with this index that still exists, or null.
    const Element* live(int32_t index) const;
    Element* live(int32_t index);
    // Deletes an element; false when there is none with that index.
    bool erase(int32_t index, uint32_t seq);
    std::span<const Element> elements() const { return elements_; }
    size_t liveCount() const;
    int32_t nextIndex() const { return next_; }
    // The index of the first element (the profile says; 1 by default).
    void setFirstIndex(int32_t first) { next_ = first; }

    std::span<const ShownItem> shown() const { return shown_; }
    std::span<const FeedbackItem> feedback() const { return feedback_; }
    // The current guide and mode texts (UTF-8), "" when none was set.
    const std::string& guide() const { return guide_; }
    const std::string& mode() const { return mode_; }
    bool rubberOn() const { return rubberOn_; }

    using Members = std::map<int32_t, std::vector<int32_t>>;
    const Members& marks() const { return marks_; }
    const Members& groups() const { return groups_; }
    const Members& links() const { return links_; }
    const std::vector<Property>& dbProperties() const { return dbProperties_; }

private:
    friend class Model;
    // The element `from` is known as `to` from now on (the host chose the index).
    void reindex(int32_t from, int32_t to);
    std::vector<Element> elements_;  // in the order they were made
    std::map<int32_t, size_t> at_;   // index -> place in elements_
    int32_t next_ = 1;
    std::vector<ShownItem> shown_;
    std::vector<FeedbackItem> feedback_;
    std::string guide_, mode_;
    bool rubberOn_ = false;
    Members marks_, groups_, links_;
    std::vector<Property> dbProperties_;
};

}  // namespace kavhost::model
