// The geometry calculations of the host model (the VokCal exports, B-splines
// apart): a request is read through its export's row of the layout table,
// computed with the plane formulas of geometry.h, and answered as the host
// would, with the out-records written at the offsets the library reads back.
#pragma once
#include "decode/decoder.h"
#include "exchange.h"
#include "kavlink_records.h"
#include "model/conventions.h"
#include "model/geometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kavhost::model {

// The shape of a stored element, as its records hold it.
struct ElementShape {
    enum class Kind : uint8_t { None, Point, Line, LongLine, Circle, Arc, Ellipse, EllArc, Other };
    Kind kind = Kind::None;  // None: no such element; Other: one without a plane shape (text, B-spline)
    PointShape point{};
    LineShape line{};
    CircleShape circle{};
    ArcShape arc{};
    EllipseShape ellipse{};
    EllArcShape ellArc{};
};

// Gives the calculations that name elements the shape of element N; the
// drawing of the model implements it.
class ShapeSource {
public:
    virtual ~ShapeSource() = default;
    virtual ElementShape shapeOf(int32_t element) const = 0;
};

// One request: its export, lParam, payload and the decoder's walk of its
// segments (offsets and sizes, in the row's order).
struct CalcRequest {
    const ExportLayout* layout = nullptr;
    uint32_t lParam = 0;
    const uint8_t* payload = nullptr;
    size_t size = 0;
    std::span<const DecodedSegment> segments;
    const ShapeSource* shapes = nullptr;  // none: calculations on elements are not modelled
};

// The model's tolerances; VokCalSetEpsLen and VokCalSetEpsAng change them, VokCalResetEps restores them.
struct CalcState {
    Tolerance tol;
    explicit CalcState(const CalcConventions& conv) { reset(conv); }
    void reset(const CalcConventions& conv) { tol = {conv.epsLen, conv.epsAng}; }
};

// Answers a geometry calculation: fills `out` (answer, writes, source
// "model") and returns true, or returns false when the model does not answer
// this export (not a calculation it knows, a payload that does not fit the
// row, an element whose shape it cannot have).
bool AnswerCalculation(const CalcRequest& req, CalcState& state, const CalcConventions& conv, Reply& out);
// The same into `out` in place, reusing the storage of its earlier writes
// (Reply::reuse); on false `out` holds nothing of use.
bool AnswerCalculationInPlace(const CalcRequest& req, CalcState& state, const CalcConventions& conv, Reply& out);

// The request the decoder walked (a request whose payload does not fit its
// row, or whose code two exports share, gets no layout and is not answered).
CalcRequest calcRequestOf(const Decoded& d, const uint8_t* payload, size_t size, const ShapeSource* shapes);

// Whether AnswerCalculation knows the export at all.
bool IsModelledCalculation(const ExportLayout& layout);

// Shapes of records as the model's geometry, and back, after the conventions.
std::optional<Curve> curveOf(const ElementShape& s, const CalcConventions& conv);
Arc arcOf(const ArcShape& a, const CalcConventions& conv);
EllArc ellArcOf(const EllArcShape& a, const CalcConventions& conv);
Ellipse ellipseOf(const EllipseShape& e, const CalcConventions& conv);
ArcShape arcRecord(const Arc& a, int32_t flag, const CalcConventions& conv);
EllArcShape ellArcRecord(const EllArc& a, int32_t flag, const CalcConventions& conv);
EllipseShape ellipseRecord(const Ellipse& e, const CalcConventions& conv);
// The model's TransMatrix layout.
Affine matrixOf(const TransMatrix& m, const CalcConventions& conv);
TransMatrix matrixRecord(const Affine& a, const CalcConventions& conv);

}  // namespace kavhost::model
