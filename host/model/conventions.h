// What the host decides and the model of it has to assume: the values it
// answers, the inner layouts of ResultPoint and TransMatrix, the roles of
// same-typed arguments, its tolerances and how it measures angles.  Every
// field is an assumption until a field session confirms it; the profile
// (host-profile.json) sets them through kConventionFields, the one list of
// their names, kinds and descriptions, so nothing else repeats them.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

namespace kavhost::model {

// How a calculation with several possible solutions answers.
enum class AnswerKind : uint8_t { Flag, Count };
// In which order several solutions are written.
enum class SolutionOrder : uint8_t { AlongFirst, XThenY };
// What the 16-bit value of a ResultPoint holds.
enum class ResultValue : uint8_t { OnElement, Ordinal, Zero };
// Where the six coefficients of x' = a x + b y + tx, y' = c x + d y + ty lie in a TransMatrix.
enum class MatrixLayout : uint8_t { RowMajor, ColumnMajor };
enum class AngleMeasure : uint8_t { Interior, Directed };
enum class RangeReading : uint8_t { FromFirst, Shorter };
enum class CoordMode : uint8_t { Point, Vector, Inverse };
enum class MatrixOrder : uint8_t { FirstThenSecond, SecondThenFirst };
enum class CompareMode : uint8_t { Equal, Order };
enum class AngleSense : uint8_t { Counterclockwise, Clockwise };
enum class ArcEnd : uint8_t { EndAngle, Sweep };
enum class NormRange : uint8_t { ZeroToTwoPi, MinusPiToPi };
enum class EllipseAngle : uint8_t { Parameter, Polar };
enum class CharCount : uint8_t { Characters, Bytes };

// Every field is an assumption about the host (see kConventionFields for the
// description each carries into the profile).
struct CalcConventions {
    // Answers.
    int32_t successValue = 1;
    int32_t noneValue = 0;
    AnswerKind intOfLineCircleAnswer = AnswerKind::Count;
    AnswerKind intOfCircleCircleAnswer = AnswerKind::Count;
    AnswerKind intOfLineElliAnswer = AnswerKind::Count;
    AnswerKind intOfCircleElliAnswer = AnswerKind::Count;
    AnswerKind intOfElliElliAnswer = AnswerKind::Count;
    AnswerKind intersectionAnswer = AnswerKind::Count;
    AnswerKind tangentAnswer = AnswerKind::Count;
    SolutionOrder solutionOrder = SolutionOrder::AlongFirst;
    CompareMode compRad = CompareMode::Equal;
    CharCount numOfChar = CharCount::Characters;
    // Record layouts.
    int32_t resultPointAt = 0;   // offset of the PointShape in the 18-byte ResultPoint
    int32_t resultValueAt = 16;  // offset of its 16-bit value
    ResultValue resultValue = ResultValue::OnElement;
    MatrixLayout matrixLayout = MatrixLayout::RowMajor;
    int32_t matrixTag = 0;  // written into the 32-bit field at offset 48 of a TransMatrix; ignored when read
    // Roles of arguments.
    int32_t distToLineFree = 1;  // which of the three points of VokCalDistToLine is the free one
    int32_t angle3PVertex = 2;   // which of the three points of VokCalAngle3P is the vertex
    AngleMeasure angle3P = AngleMeasure::Interior;
    bool angle2PFromFirst = true;
    bool vecOf2PFromFirst = true;
    RangeReading insideRad = RangeReading::FromFirst;
    bool insideArcRangeOnly = false;
    bool footOnSegment = false;
    bool intersectionOnElements = true;
    bool tangentOnElement = true;
    bool intOfLineLineSegments = false;
    CoordMode transCoord = CoordMode::Point;
    MatrixOrder multiMatrix = MatrixOrder::FirstThenSecond;
    // Tolerances that VokCalResetEps restores.
    double epsLen = 1e-10;
    double epsAng = 1e-05;
    // Angles.
    AngleSense angleSense = AngleSense::Counterclockwise;
    ArcEnd arcEnd = ArcEnd::EndAngle;
    NormRange normRange = NormRange::ZeroToTwoPi;
    EllipseAngle ellipseAngle = EllipseAngle::Parameter;
};

// One field for the profile: its JSON key, kind, the range or the names of
// its choices, and a description.  Values pass as doubles: a flag as 0 or 1,
// a choice as the index of its name.
enum class FieldKind : uint8_t { Integer, Number, Flag, Choice };

struct ConventionField {
    std::string_view name;
    FieldKind kind;
    std::span<const std::string_view> choices;  // Choice: names in the order of the enum
    double min, max;                            // Integer, Number: the values accepted
    std::string_view description;
    double (*get)(const CalcConventions&);
    void (*set)(CalcConventions&, double);
};

namespace detail {
template <auto M> double getField(const CalcConventions& c) { return static_cast<double>(c.*M); }
template <auto M> void setField(CalcConventions& c, double v) {
    using T = std::remove_reference_t<decltype(c.*M)>;
    if constexpr (std::is_same_v<T, bool>) c.*M = v != 0;
    else if constexpr (std::is_enum_v<T>) c.*M = static_cast<T>(static_cast<int>(v));
    else c.*M = static_cast<T>(v);
}
template <auto M> constexpr ConventionField integer(std::string_view n, double lo, double hi, std::string_view d) {
    return {n, FieldKind::Integer, {}, lo, hi, d, &getField<M>, &setField<M>};
}
template <auto M> constexpr ConventionField number(std::string_view n, double lo, double hi, std::string_view d) {
    return {n, FieldKind::Number, {}, lo, hi, d, &getField<M>, &setField<M>};
}
template <auto M> constexpr ConventionField flag(std::string_view n, std::string_view d) {
    return {n, FieldKind::Flag, {}, 0, 1, d, &getField<M>, &setField<M>};
}
template <auto M> constexpr ConventionField choice(std::string_view n, std::span<const std::string_view> names,
                                                   std::string_view d) {
    return {n, FieldKind::Choice, names, 0, static_cast<double>(names.size() - 1), d, &getField<M>, &setField<M>};
}
inline constexpr std::string_view kAnswerKinds[] = {"flag", "count"};
inline constexpr std::string_view kOrders[] = {"alongFirst", "xThenY"};
inline constexpr std::string_view kResultValues[] = {"onElement", "ordinal", "zero"};
inline constexpr std::string_view kLayouts[] = {"rowMajor", "columnMajor"};
inline constexpr std::string_view kMeasures[] = {"interior", "directed"};
inline constexpr std::string_view kRanges[] = {"fromFirst", "shorter"};
inline constexpr std::string_view kCoordModes[] = {"point", "vector", "inverse"};
inline constexpr std::string_view kMatrixOrders[] = {"firstThenSecond", "secondThenFirst"};
inline constexpr std::string_view kCompareModes[] = {"equal", "order"};
inline constexpr std::string_view kSenses[] = {"counterclockwise", "clockwise"};
inline constexpr std::string_view kArcEnds[] = {"endAngle", "sweep"};
inline constexpr std::string_view kNormRanges[] = {"zeroToTwoPi", "minusPiToPi"};
inline constexpr std::string_view kEllipseAngles[] = {"parameter", "polar"};
inline constexpr std::string_view kCharCounts[] = {"characters", "bytes"};
}  // namespace detail

inline constexpr ConventionField kConventionFields[] = {
    detail::integer<&CalcConventions::successValue>("successValue", -2147483648.0, 2147483647.0,
        "Assumed: what the host answers when a calculation succeeds or a test holds."),
    detail::integer<&CalcConventions::noneValue>("noneValue", -2147483648.0, 2147483647.0,
        "Assumed: what the host answers when there is no result or a test fails."),
    detail::choice<&CalcConventions::intOfLineCircleAnswer>("intOfLineCircleAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntOfLineCircle answers the number of points it writes (count) or a flag."),
    detail::choice<&CalcConventions::intOfCircleCircleAnswer>("intOfCircleCircleAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntOfCircleCircle answers the number of points it writes (count) or a flag."),
    detail::choice<&CalcConventions::intOfLineElliAnswer>("intOfLineElliAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntOfLineElli answers the number of points it writes (count) or a flag."),
    detail::choice<&CalcConventions::intOfCircleElliAnswer>("intOfCircleElliAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntOfCircleElli answers the number of points it writes (count) or a flag."),
    detail::choice<&CalcConventions::intOfElliElliAnswer>("intOfElliElliAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntOfElliElli answers the number of points it writes (count) or a flag."),
    detail::choice<&CalcConventions::intersectionAnswer>("intersectionAnswer", detail::kAnswerKinds,
        "Assumed: VokCalIntersection answers the number of ResultPoints it writes (count) or a flag."),
    detail::choice<&CalcConventions::tangentAnswer>("tangentAnswer", detail::kAnswerKinds,
        "Assumed: VokCalTangent answers the number of ResultPoints it writes (count) or a flag."),
    detail::choice<&CalcConventions::solutionOrder>("solutionOrder", detail::kOrders,
        "Assumed: several solutions are written in their order along the first curve (the line's direction, "
        "or counterclockwise from the first axis of a circle or ellipse), or by ascending x, then y."),
    detail::choice<&CalcConventions::compRad>("compRad", detail::kCompareModes,
        "Assumed: VokCalCompRad tests two angles for equality as directions (equal), or answers -1, 0 or 1 "
        "as the first, normalised, is smaller, equal or larger (order)."),
    detail::choice<&CalcConventions::numOfChar>("numOfChar", detail::kCharCounts,
        "Assumed: VokCalNumOfChar counts characters of the system code page (a double-byte character is one), "
        "or bytes."),
    detail::integer<&CalcConventions::resultPointAt>("resultPointAt", 0, 2,
        "Assumed: byte offset of the point (16 bytes) in the 18-byte ResultPoint."),
    detail::integer<&CalcConventions::resultValueAt>("resultValueAt", 0, 16,
        "Assumed: byte offset of the 16-bit value in the 18-byte ResultPoint."),
    detail::choice<&CalcConventions::resultValue>("resultValue", detail::kResultValues,
        "Assumed: the 16-bit value of a ResultPoint is the success value when the point lies on the "
        "element(s) as drawn and the none value when only on an extension (onElement), the solution's number "
        "from 1 (ordinal), or 0."),
    detail::choice<&CalcConventions::matrixLayout>("matrixLayout", detail::kLayouts,
        "The model's own TransMatrix: six doubles for x' = a x + b y + tx, y' = c x + d y + ty, stored "
        "a b tx c d ty (rowMajor) or a c b d tx ty (columnMajor), then a 32-bit field at offset 48."),
    detail::integer<&CalcConventions::matrixTag>("matrixTag", -2147483648.0, 2147483647.0,
        "The model's own: the value written into the 32-bit field at offset 48 of a TransMatrix it builds; "
        "it is not read."),
    detail::integer<&CalcConventions::distToLineFree>("distToLineFree", 1, 3,
        "Assumed: which point of VokCalDistToLine (1, 2 or 3) is the free one; the other two, in order, "
        "give the line."),
    detail::integer<&CalcConventions::angle3PVertex>("angle3PVertex", 1, 3,
        "Assumed: which point of VokCalAngle3P (1, 2 or 3) is the vertex."),
    detail::choice<&CalcConventions::angle3P>("angle3P", detail::kMeasures,
        "Assumed: VokCalAngle3P gives the smaller angle between the two arms, 0 to pi (interior), or the "
        "angle from the first arm to the second in the positive sense, 0 to 2 pi (directed)."),
    detail::flag<&CalcConventions::angle2PFromFirst>("angle2PFromFirst",
        "Assumed: VokCalAngle2P gives the direction from point1 to point2 (true) or from point2 to point1."),
    detail::flag<&CalcConventions::vecOf2PFromFirst>("vecOf2PFromFirst",
        "Assumed: VokCalVecOf2P gives point2 - point1 (true) or point1 - point2."),
    detail::choice<&CalcConventions::insideRad>("insideRad", detail::kRanges,
        "Assumed: VokCalInsideRad reads its range from angle1 in the positive sense to angle2 (fromFirst), "
        "or as the shorter way between them (shorter); the ends count as inside."),
    detail::flag<&CalcConventions::insideArcRangeOnly>("insideArcRangeOnly",
        "Assumed: VokCalInsideArc and VokCalInsideEllArc test the distance to the curve and the angular "
        "range (false), or the angular range alone (true)."),
    detail::flag<&CalcConventions::footOnSegment>("footOnSegment",
        "Assumed: VokCalPerpend answers a foot on the element's extension (false) or only one on the "
        "element as drawn (true)."),
    detail::flag<&CalcConventions::intersectionOnElements>("intersectionOnElements",
        "Assumed: VokCalIntersection writes only points that lie on both elements as drawn (true), or also "
        "points on their extensions (false)."),
    detail::flag<&CalcConventions::tangentOnElement>("tangentOnElement",
        "Assumed: VokCalTangent writes only tangent points on the element as drawn (true), or also those on "
        "the rest of its circle or ellipse (false)."),
    detail::flag<&CalcConventions::intOfLineLineSegments>("intOfLineLineSegments",
        "Assumed: VokCalIntOfLineLine takes its lines as endless (false) or as segments (true)."),
    detail::choice<&CalcConventions::transCoord>("transCoord", detail::kCoordModes,
        "Assumed: VokCalTransCoord transforms like VokCalTransPoint (point), without the translation "
        "(vector), or by the inverse matrix (inverse)."),
    detail::choice<&CalcConventions::multiMatrix>("multiMatrix", detail::kMatrixOrders,
        "Assumed: the matrix from VokCalMultiMatrix applies matrix1 first, then matrix2 (firstThenSecond), "
        "or the other way round."),
    detail::number<&CalcConventions::epsLen>("epsLen", 0, 1e300,
        "Assumed: the length tolerance the host starts with and VokCalResetEps restores."),
    detail::number<&CalcConventions::epsAng>("epsAng", 0, 1e300,
        "Assumed: the angle tolerance (radians) the host starts with and VokCalResetEps restores."),
    detail::choice<&CalcConventions::angleSense>("angleSense", detail::kSenses,
        "Assumed: angles grow counterclockwise from the positive x axis, or clockwise."),
    detail::choice<&CalcConventions::arcEnd>("arcEnd", detail::kArcEnds,
        "Assumed: the second angle of an arc or elliptic arc is its end angle (endAngle) or its sweep "
        "(sweep); arcs run from the first angle in the positive sense."),
    detail::choice<&CalcConventions::normRange>("normRange", detail::kNormRanges,
        "Assumed: normalised angles lie in [0, 2 pi) or in (-pi, pi]."),
    detail::choice<&CalcConventions::ellipseAngle>("ellipseAngle", detail::kEllipseAngles,
        "Assumed: an angle on an ellipse is the parameter t of c + r1 cos t + r2 sin t along the axes "
        "(parameter), or the direction from the centre measured from the first axis (polar)."),
};

}  // namespace kavhost::model
