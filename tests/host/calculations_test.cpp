// The model's calculations: real kavlink.dll calls answered by a Host whose
// replies come from AnswerCalculation, every geometry row answered from its
// own layout, and the conventions changing the answers they name.
#include "kavlink_loader.h"
#include "model/calculations.h"
#include "recording_host.h"
#include "run/host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

using namespace kavhost;
using namespace kavhost::model;
using kavtest::Bytes;
using kavtest::lib;
using kavtest::Slots;

namespace {

// A drawing of a few elements, as the model's drawing gives them.
struct Drawing : ShapeSource {
    std::map<int32_t, ElementShape> elements;
    ElementShape shapeOf(int32_t element) const override {
        const auto it = elements.find(element);
        return it == elements.end() ? ElementShape{} : it->second;
    }
};

ElementShape lineElement(LineShape l) {
    ElementShape s;
    s.kind = ElementShape::Kind::Line;
    s.line = l;
    return s;
}

ElementShape circleElement(CircleShape c) {
    ElementShape s;
    s.kind = ElementShape::Kind::Circle;
    s.circle = c;
    return s;
}

// Replies from the model's calculations, and 1 for whatever they leave.
struct CalcReplies : ReplySource {
    CalcConventions conv;
    CalcState state{conv};
    const ShapeSource* shapes = nullptr;
    Reply reply(const LoggedRequest& r) override {
        Reply out{1, {}, "default"};
        AnswerCalculation(calcRequestOf(r.decoded, r.request.data(), r.request.size(), shapes), state, conv, out);
        return out;
    }
};

struct ThroughTheLibrary : ::testing::Test {
    Host host{Script{}, HostOptions{}};
    CalcReplies replies;
    Drawing drawing;
    void SetUp() override {
        replies.shapes = &drawing;
        host.setReplySource(&replies);
        lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
    }
};

TEST_F(ThroughTheLibrary, PointsDistancesAndMeetingPoints) {
    PointShape a{0, 0}, b{10, 4}, out{-1, -1};
    EXPECT_EQ(lib().call("VokCalMidP", Slots{}.ptr(&a).ptr(&b).ptr(&out)).eax, 1u);
    EXPECT_EQ(out.x, 5);
    EXPECT_EQ(out.y, 2);
    PointShape p1{1, 2}, p2{4, 6};
    EXPECT_EQ(lib().call("VokCalDist2P", Slots{}.ptr(&p1).ptr(&p2), true).st0, 5.0);
    PointShape ca{0, 0}, cb{8, 0}, o1{}, o2{};
    EXPECT_EQ(lib().call("VokCalIntOfCircleCircle", Slots{}.ptr(&ca).f64(5).ptr(&cb).f64(5).ptr(&o1).ptr(&o2)).eax, 2u);
    // Counterclockwise along the first circle from its zero angle.
    EXPECT_NEAR(o1.x, 4, 1e-12);
    EXPECT_NEAR(o1.y, 3, 1e-12);
    EXPECT_NEAR(o2.y, -3, 1e-12);
    EXPECT_EQ(host.requests().back().reply.source, "model");
}

TEST_F(ThroughTheLibrary, TolerancesAreSetAndRestored) {
    PointShape a{0, 0}, b{0.3, 0};
    EXPECT_EQ(lib().call("VokCalEquP", Slots{}.ptr(&a).ptr(&b)).eax, 0u);
    EXPECT_EQ(lib().call("VokCalSetEpsLen", Slots{}.f64(0.5)).eax, 1u);
    EXPECT_EQ(lib().call("VokCalGetEpsLen", {}, true).st0, 0.5);
    EXPECT_EQ(lib().call("VokCalEquP", Slots{}.ptr(&a).ptr(&b)).eax, 1u);
    EXPECT_EQ(lib().call("VokCalResetEps", {}).eax, 1u);
    EXPECT_EQ(lib().call("VokCalGetEpsLen", {}, true).st0, 1e-10);
    EXPECT_EQ(lib().call("VokCalEquP", Slots{}.ptr(&a).ptr(&b)).eax, 0u);
}

TEST_F(ThroughTheLibrary, MatricesBuildCombineAndMoveShapes) {
    TransMatrix move{}, turn{}, both{};
    PointShape offset{0, 20};
    ASSERT_EQ(lib().call("VokCalMatrixMove", Slots{}.ptr(&offset).ptr(&move)).eax, 1u);
    LineShape line{{0, 0}, {100, 0}}, moved{};
    ASSERT_EQ(lib().call("VokCalTransLine", Slots{}.ptr(&line).ptr(&move).ptr(&moved)).eax, 1u);
    EXPECT_EQ(moved.start.y, 20);
    EXPECT_EQ(moved.end.x, 100);
    EXPECT_EQ(moved.end.y, 20);
    ASSERT_EQ(lib().call("VokCalMatrixRotate", Slots{}.f64(kPi / 2).ptr(&turn)).eax, 1u);
    ASSERT_EQ(lib().call("VokCalMultiMatrix", Slots{}.ptr(&move).ptr(&turn).ptr(&both)).eax, 1u);
    PointShape p{1, 0}, q{};
    ASSERT_EQ(lib().call("VokCalTransPoint", Slots{}.ptr(&p).ptr(&both).ptr(&q)).eax, 1u);
    EXPECT_NEAR(q.x, -20, 1e-12) << "moved first, then turned";
    EXPECT_NEAR(q.y, 1, 1e-12);
    EXPECT_EQ(lib().call("VokCalMatrixDeterminant", Slots{}.ptr(&both), true).st0, 1.0);
}

TEST_F(ThroughTheLibrary, FootAndMeetingPointsOnTheDrawing) {
    drawing.elements[7] = lineElement({{0, 0}, {10, 0}});
    drawing.elements[8] = circleElement({{5, 0}, 3});
    PointShape p{4, 5};
    ResultPoint r{};
    ASSERT_EQ(lib().call("VokCalPerpend", Slots{}.ptr(&p).u32(7).ptr(&r)).eax, 1u);
    PointShape foot;
    int16_t value;
    std::memcpy(&foot, r.bytes, 16);
    std::memcpy(&value, r.bytes + 16, 2);
    EXPECT_EQ(foot.x, 4);
    EXPECT_EQ(foot.y, 0);
    EXPECT_EQ(value, 1) << "on the element";
    ResultPoint untouched;
    std::memset(untouched.bytes, 0xAB, sizeof untouched.bytes);
    ResultPoint r2 = untouched;
    EXPECT_EQ(lib().call("VokCalPerpend", Slots{}.ptr(&p).u32(99).ptr(&r2)).eax, 0u) << "no such element";
    EXPECT_EQ(std::memcmp(&r2, &untouched, sizeof r2), 0);
    ResultPoint res[4]{};
    ASSERT_EQ(lib().call("VokCalIntersection", Slots{}.u32(7).u32(8).ptr(&res[0]).ptr(&res[1]).ptr(&res[2]).ptr(&res[3])).eax, 2u);
    std::memcpy(&foot, res[0].bytes, 16);
    EXPECT_NEAR(foot.x, 2, 1e-12) << "along the line from its start";
    std::memcpy(&foot, res[1].bytes, 16);
    EXPECT_NEAR(foot.x, 8, 1e-12);
}

// A zero-filled request of `layout`, decoded and answered.
bool answerZeros(const ExportLayout& layout, uint32_t lParam, const ShapeSource* shapes, Reply& out) {
    static std::vector<uint8_t> zeros(kav::kPayloadSize, 0);
    const Decoded d = decode(layout.code, lParam, zeros.data(), zeros.size());
    CalcConventions conv;
    CalcState state(conv);
    return AnswerCalculation(calcRequestOf(d, zeros.data(), d.total, shapes), state, conv, out);
}

TEST(Calculations, EveryGeometryRowIsAnsweredFromItsOwnLayout) {
    Drawing drawing;
    drawing.elements[0] = lineElement({{0, 0}, {10, 0}});
    int answered = 0;
    for (const ExportLayout& e : exportLayouts()) {
        if (e.code < 2000 || e.code > 2080) continue;
        SCOPED_TRACE(e.name);
        Reply out;
        const bool modelled = e.code <= 2062 && std::string_view(e.name) != "VokCalTransString";
        EXPECT_EQ(IsModelledCalculation(e), modelled);
        // A handler that names a segment its row lacks is not answered at all.
        EXPECT_EQ(answerZeros(e, 0, &drawing, out), modelled);
        if (!modelled) continue;
        ++answered;
        EXPECT_EQ(out.source, "model");
        for (const PayloadWrite& w : out.writes) {
            bool intoAnOutput = false;
            const Decoded d = decode(e.code, 0, std::vector<uint8_t>(kav::kPayloadSize).data(), kav::kPayloadSize);
            for (size_t i = 0; i < e.segments.size(); ++i)
                if (d.segments[i].offset == w.offset && e.segments[i].direction == Direction::Out) intoAnOutput = true;
            EXPECT_TRUE(intoAnOutput) << "a write at " << w.offset << " lands on no out segment";
        }
    }
    EXPECT_EQ(answered, 62);
    Reply out;
    EXPECT_FALSE(answerZeros(*findLayout("VokCalPerpend"), 0, nullptr, out)) << "no drawing: not modelled";
}

const ConventionField& field(std::string_view name) {
    for (const ConventionField& f : kConventionFields)
        if (f.name == name) return f;
    throw std::runtime_error("no convention " + std::string(name));
}

TEST(Calculations, ConventionsAreOneListOfNamedFields) {
    std::set<std::string_view> names;
    for (const ConventionField& f : kConventionFields) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        EXPECT_FALSE(f.description.empty()) << f.name;
        CalcConventions c;
        f.set(c, f.max);
        EXPECT_EQ(f.get(c), f.max) << f.name;
        if (f.kind == FieldKind::Choice) {
            EXPECT_EQ(f.choices.size(), static_cast<size_t>(f.max) + 1);
        }
    }
}

// A request of `name` with `payload`, answered under `conv`.
Reply ask(const char* name, const Bytes& payload, const CalcConventions& conv, uint32_t lParam = 0) {
    std::vector<uint8_t> area(kav::kPayloadSize, 0);
    std::memcpy(area.data(), payload.b.data(), payload.b.size());
    const Decoded d = decode(findLayout(name)->code, lParam, area.data(), area.size());
    CalcState state(conv);
    Reply out;
    EXPECT_TRUE(AnswerCalculation(calcRequestOf(d, area.data(), d.total, nullptr), state, conv, out)) << name;
    return out;
}

double f64At(const Reply& r, uint32_t offset) {
    for (const PayloadWrite& w : r.writes)
        if (w.offset <= offset && offset + 8 <= w.offset + w.bytes.size()) {
            double v;
            std::memcpy(&v, w.bytes.data() + (offset - w.offset), 8);
            return v;
        }
    ADD_FAILURE() << "nothing written at " << offset;
    return 0;
}

struct ConventionCase {
    const char* field;
    double value;
    const char* exportName;
    Bytes payload;
    uint32_t offset;       // of the double checked, or ~0u for the answer
    double usual, changed;  // under the defaults and under the changed field
};

TEST(Calculations, ConventionsChangeWhatTheyName) {
    const double s = std::sqrt(0.5);
    const ConventionCase cases[] = {
        {"angleSense", 1, "VokCalVecAng", Bytes{}.f64(0).f64(1), 16, kPi / 2, 3 * kPi / 2},
        {"normRange", 1, "VokCalNormRad", Bytes{}.f64(3 * kPi / 2), 8, 3 * kPi / 2, -kPi / 2},
        {"distToLineFree", 3, "VokCalDistToLine", Bytes{}.f64(0).f64(0).f64(10).f64(0).f64(5).f64(5), 48, 10 * s, 5},
        {"angle3PVertex", 1, "VokCalAngle3P", Bytes{}.f64(0).f64(0).f64(1).f64(0).f64(0).f64(1), 48, kPi / 4, kPi / 2},
        {"matrixLayout", 1, "VokCalMatrixMove", Bytes{}.f64(3).f64(4), 16 + 16, 3, 0},  // tx, or b
        {"arcEnd", 1, "VokCalInsideArc",
         Bytes{}.f64(0).f64(0).f64(1).f64(1).f64(4).u32(0).f64(std::cos(4.5)).f64(std::sin(4.5)), ~0u, 0, 1},
        {"intOfLineCircleAnswer", 0, "VokCalIntOfLineCircle",
         Bytes{}.f64(-9).f64(0).f64(9).f64(0).f64(0).f64(0).f64(5), ~0u, 2, 1},
        {"successValue", -1, "VokCalEquP", Bytes{}.f64(1).f64(2).f64(1).f64(2), ~0u, 1, -1},
        {"ellipseAngle", 1, "VokCalAngularPointOnEllipse", Bytes{}.f64(0).f64(0).f64(2).f64(1).f64(0).f64(kPi / 4), 56, s,
         1 / std::sqrt(1.25)},
        {"solutionOrder", 1, "VokCalIntOfLineCircle", Bytes{}.f64(9).f64(0).f64(-9).f64(0).f64(0).f64(0).f64(5), 56, 5, -5},
    };
    for (const ConventionCase& c : cases) {
        SCOPED_TRACE(c.field);
        CalcConventions conv;
        for (int changed = 0; changed < 2; ++changed) {
            if (changed) field(c.field).set(conv, c.value);
            const Reply r = ask(c.exportName, c.payload, conv);
            const double got = c.offset == ~0u ? static_cast<int32_t>(r.answer) : f64At(r, c.offset);
            EXPECT_NEAR(got, changed ? c.changed : c.usual, 1e-12);
        }
    }
}

TEST(Calculations, ResultPointFollowsItsLayout) {
    Drawing drawing;
    drawing.elements[3] = circleElement({{0, 0}, 2});
    CalcConventions conv;
    field("resultPointAt").set(conv, 2);
    field("resultValueAt").set(conv, 0);
    std::vector<uint8_t> area(kav::kPayloadSize, 0);
    const double px = 0, py = 6;
    std::memcpy(area.data(), &px, 8);
    std::memcpy(area.data() + 8, &py, 8);
    const Decoded d = decode(2016, 3, area.data(), area.size());
    CalcState state(conv);
    Reply out;
    ASSERT_TRUE(AnswerCalculation(calcRequestOf(d, area.data(), d.total, &drawing), state, conv, out));
    ASSERT_EQ(out.writes.size(), 1u);
    EXPECT_EQ(out.writes[0].offset, 16u) << "the ResultPoint behind the point";
    double y;
    int16_t value;
    std::memcpy(&y, out.writes[0].bytes.data() + 2 + 8, 8);
    std::memcpy(&value, out.writes[0].bytes.data(), 2);
    EXPECT_EQ(y, 2) << "the nearest point of the circle";
    EXPECT_EQ(value, 1);
}

TEST(Calculations, ArcsReadAndWriteInTheHostsSenseAndForm) {
    for (int clockwise = 0; clockwise < 2; ++clockwise)
        for (int sweep = 0; sweep < 2; ++sweep) {
            SCOPED_TRACE(std::string(clockwise ? "clockwise" : "counterclockwise") + (sweep ? ", sweep" : ", end angle"));
            CalcConventions conv;
            field("angleSense").set(conv, clockwise);
            field("arcEnd").set(conv, sweep);
            // From host angle 1 to host angle 2.5 (a sweep of 1.5).
            const ArcShape host{{1, 1}, 2, 1, sweep ? 1.5 : 2.5, 7};
            const model::Arc arc = arcOf(host, conv);
            const Tolerance tol;
            const double sign = clockwise ? -1 : 1;
            auto at = [&](double hostAngle) { return pointOnCircle(arc.circle, sign * hostAngle); };
            EXPECT_TRUE(onCurve(at(1.7), Curve::arc(arc), tol));
            EXPECT_FALSE(onCurve(at(0.5), Curve::arc(arc), tol));
            EXPECT_FALSE(onCurve(at(3.0), Curve::arc(arc), tol));
            const ArcShape back = arcRecord(arc, host.arcFlag, conv);
            EXPECT_NEAR(back.startAngle, host.startAngle, 1e-12);
            EXPECT_NEAR(back.endAngle, host.endAngle, 1e-12);
            EXPECT_EQ(back.arcFlag, 7);
        }
}

}  // namespace
