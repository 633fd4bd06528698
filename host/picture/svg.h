// The picture of a session: what a command drew, displayed and
// rubber-banded, written as one small static SVG.
//
// The input is plain: figures, each a shape in drawing units with what
// happened to it.  The output holds one SVG shape per figure, inside the
// group id="drawing" whose transform turns y upwards and fits the drawing
// into the picture with a margin, so the numbers of every shape are the
// drawing's own:
//
//   point    <circle data-kind="point" cx cy r>   (r a few pixels)
//   line     <line x1 y1 x2 y2>
//   longline <line> through its two points, cut at the drawing's edge
//   circle   <circle cx cy r>
//   arc, ellarc  <path d="M start A r1 r2 axis-degrees large sweep end">
//   ellipse  <ellipse cx cy rx ry transform="rotate(axis-degrees cx cy)">
//   string   <text transform="translate(x y) scale(1 -1)">  (upright again)
//
// Each carries data-kind, data-element (the element index, for elements)
// or data-request (the request that drew it, for figures that are not
// elements), and its marks as class names.  A title, a legend of the marks
// present and the element indices (in pixels, outside the drawing group)
// come with it.  No scripts, no links, no fonts to fetch.
#pragma once
#include "model/conventions.h"
#include "model/drawing.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavhost::picture {

// The kinds of the model's drawing (a B-spline is not drawn).
using model::Kind;

struct Shape {
    Kind kind = Kind::Point;
    // The record's numbers in field order (angles in radians):
    //   point x y | line, longline x1 y1 x2 y2 | circle cx cy r |
    //   arc cx cy r start end | ellipse cx cy r1 r2 axis |
    //   ellarc cx cy r1 r2 axis start end | string x y
    std::array<double, 7> n{};
    int32_t arcFlag = 0;
    std::string text;  // a string's text, UTF-8
};

// What happened to a figure; one class name each (markName).
enum Mark : uint32_t {
    kDeclared = 1u << 0,     // in the drawing before the command started (the script's)
    kRead = 1u << 1,         // only read from the host (a field session)
    kCreated = 1u << 2,
    kAppended = 1u << 3,
    kChanged = 1u << 4,
    kDeleted = 1u << 5,      // drawn faint and dashed
    kDisplayed = 1u << 6,
    kHighlighted = 1u << 7,
    kRubber = 1u << 8,       // the last rubber band
    kExpected = 1u << 9,     // a failed replay: what the recording holds
    kActual = 1u << 10,      // a failed replay: what the command sent
};
inline constexpr int kMarkCount = 11;
const char* markName(uint32_t singleMark);

struct Figure {
    Shape shape;
    std::optional<int32_t> element;  // the element index (data-element)
    uint32_t request = 0;            // the request that drew a figure that is no element (data-request)
    uint32_t marks = 0;
};

struct Picture {
    std::string command;  // the command, named in the title
    std::string session;  // the run or the recording
    std::string note;     // a line under the title, or ""
    std::vector<Figure> figures;  // in drawing order, the last on top
};

// The SVG document (UTF-8).  Arcs follow the host's angle sense, its
// reading of an arc's second angle and of an ellipse's angles, as the
// model's conventions give them.  Figures with numbers that are not finite
// are left out and counted in the note; a picture without figures is an
// empty drawing with its title.
std::string writeSvg(const Picture& picture, const model::CalcConventions& conventions);

// Numbers as the picture writes them: at most 10 significant digits, the
// shortest form, a point for the decimal separator whatever the locale.
std::string number(double v);

}  // namespace kavhost::picture
