// The picture of a session: the SVG writer (one shape per figure in drawing
// units, arcs in the host's angle senses, the fitting transform, bad input)
// and the shapes read back from request bytes.
#include "decode/layout_table.h"
#include "picture/request_shapes.h"
#include "picture/svg.h"
#include "recording_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

using namespace kavhost::picture;
using kavtest::Bytes;

namespace {

constexpr double kPi = std::numbers::pi;

Figure figure(Kind k, std::array<double, 7> n, uint32_t marks, std::optional<int32_t> element = {}, std::string text = {}) {
    Figure f;
    f.shape.kind = k;
    f.shape.n = n;
    f.shape.text = std::move(text);
    f.marks = marks;
    f.element = element;
    f.request = element ? 0 : 9;
    return f;
}

std::string svgOf(std::vector<Figure> figures, const kavhost::model::CalcConventions& senses = {}) {
    Picture p;
    p.command = "twopoint.MorvikVbCommand";
    p.session = "completed.script";
    p.figures = std::move(figures);
    return writeSvg(p, senses);
}

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(PictureSvg, EachFigureIsOneShapeWithItsIndexClassAndNumbers) {
    struct Row {
        Figure f;
        const char* shape;
    } rows[] = {
        {figure(Kind::Line, {0, 0, 100, 50}, kAppended, 1),
         "<line data-kind=\"line\" data-element=\"1\" class=\"appended\" x1=\"0\" y1=\"0\" x2=\"100\" y2=\"50\"/>"},
        {figure(Kind::Circle, {50, 25, 55.9016994375 / 2}, kAppended | kHighlighted, 2),
         "<circle data-kind=\"circle\" data-element=\"2\" class=\"appended highlighted\" cx=\"50\" cy=\"25\" r=\"27.95084972\"/>"},
        {figure(Kind::Ellipse, {10, -20, 30, 10, kPi / 6}, kDeclared, 3),
         "<ellipse data-kind=\"ellipse\" data-element=\"3\" class=\"declared\" cx=\"10\" cy=\"-20\" rx=\"30\" ry=\"10\" "
         "transform=\"rotate(30 10 -20)\"/>"},
        {figure(Kind::Arc, {0, 0, 10, 0, kPi / 2}, kCreated | kChanged, 4),
         "<path data-kind=\"arc\" data-element=\"4\" class=\"created changed\" d=\"M10 0 A10 10 0 0 1 0 10\"/>"},
        {figure(Kind::EllArc, {0, 0, 20, 10, kPi / 2, 0, kPi}, kRead, 5),
         "<path data-kind=\"ellarc\" data-element=\"5\" class=\"read\" d=\"M0 20 A20 10 90 0 1 0 -20\"/>"},
        {figure(Kind::Point, {70, 70}, kDeleted, 6), "<circle data-kind=\"point\" data-element=\"6\" class=\"deleted\" cx=\"70\" cy=\"70\" r=\""},
        {figure(Kind::String, {-5, 60}, kAppended, 7, "Distance 111.8"),
         "<text data-kind=\"string\" data-element=\"7\" class=\"appended\" transform=\"translate(-5 60) scale(1 -1)\" font-size=\""},
        {figure(Kind::Line, {0, 0, 60, 20}, kRubber), "<line data-kind=\"line\" data-request=\"9\" class=\"rubber\" x1=\"0\" y1=\"0\" x2=\"60\" y2=\"20\"/>"},
        {figure(Kind::Circle, {1.5, 2.25, 0.125}, kDisplayed), "<circle data-kind=\"circle\" data-request=\"9\" class=\"displayed\" cx=\"1.5\" cy=\"2.25\" r=\"0.125\"/>"},
    };
    std::vector<Figure> all;
    for (const Row& r : rows) all.push_back(r.f);
    const std::string svg = svgOf(all);
    for (const Row& r : rows) EXPECT_EQ(count(svg, r.shape), 1u) << r.shape << "\n" << svg;
    EXPECT_EQ(count(svg, "data-kind="), std::size(rows)) << "one shape per figure";
    EXPECT_NE(svg.find(">Distance 111.8</text>"), std::string::npos);
    // The legend names each mark used, and no other.
    for (const char* m : {"appended", "highlighted", "declared", "created", "changed", "read", "deleted", "rubber", "displayed"})
        EXPECT_NE(svg.find(std::string(">") + m + "</text>"), std::string::npos) << m;
    EXPECT_EQ(svg.find(">expected</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>twopoint.MorvikVbCommand \xE2\x80\x94 completed.script</title>"), std::string::npos);
}

// A long line runs through its two points to the edge of the drawing.
TEST(PictureSvg, ALongLineCrossesTheDrawingThroughItsPoints) {
    const std::string svg = svgOf({figure(Kind::Circle, {0, 0, 100}, kDeclared, 1), figure(Kind::LongLine, {0, 0, 10, 10}, kCreated, 2)});
    const size_t at = svg.find("<line data-kind=\"longline\"");
    ASSERT_NE(at, std::string::npos) << svg;
    double x1, y1, x2, y2;
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("x1=", at), "x1=\"%lf\" y1=\"%lf\" x2=\"%lf\" y2=\"%lf\"", &x1, &y1, &x2, &y2), 4);
    EXPECT_DOUBLE_EQ(x1, y1);
    EXPECT_DOUBLE_EQ(x2, y2);
    EXPECT_LT(x1, -100);
    EXPECT_GT(x2, 100);
}

TEST(PictureSvg, ArcsFollowTheHostsAngleSenses) {
    using namespace kavhost::model;
    const CalcConventions ccw{};
    CalcConventions cw, sweep, polar;
    cw.angleSense = AngleSense::Clockwise;
    sweep.arcEnd = ArcEnd::Sweep;
    polar.ellipseAngle = EllipseAngle::Polar;
    struct Row {
        CalcConventions senses;
        double a1, a2;
        const char* d;
    } rows[] = {
        {ccw, 0, kPi / 2, "M10 0 A10 10 0 0 1 0 10"},
        {ccw, 0, 3 * kPi / 2, "M10 0 A10 10 0 1 1 0 -10"},       // the large way round
        {ccw, kPi / 2, 0, "M0 10 A10 10 0 1 1 10 0"},            // on past a whole turn's start
        {ccw, 1, 1, "M5.403023059 8.414709848 A10 10 0 0 1 -5.403023059 -8.414709848 A10 10 0 0 1 5.403023059 8.414709848"},
        {cw, 0, kPi / 2, "M10 0 A10 10 0 0 0 0 -10"},
        {sweep, kPi / 2, -kPi / 2, "M0 10 A10 10 0 0 0 10 0"},    // a negative sweep turns clockwise
        {sweep, 0, 2 * kPi, "M10 0 A10 10 0 0 1 -10 0 A10 10 0 0 1 10 0"},
    };
    for (const Row& r : rows) {
        const std::string svg = svgOf({figure(Kind::Arc, {0, 0, 10, r.a1, r.a2}, kCreated, 1)}, r.senses);
        EXPECT_NE(svg.find(std::string(" d=\"") + r.d + '"'), std::string::npos) << r.a1 << " " << r.a2 << "\n" << svg;
    }
    // Polar angles of an elliptic arc: the point at 45 degrees from the first
    // axis of a 20 x 10 ellipse lies on the diagonal.
    const std::string svg = svgOf({figure(Kind::EllArc, {0, 0, 20, 10, 0, kPi / 4, kPi}, kCreated, 1)}, polar);
    EXPECT_NE(svg.find("d=\"M8.94427191 8.94427191 A20 10 0 0 1 -20 0\""), std::string::npos) << svg;
}

// The group's matrix maps every drawing coordinate into the picture, y upwards.
TEST(PictureSvg, TheDrawingGroupFlipsYAndFitsTheDrawing) {
    const std::string svg = svgOf({figure(Kind::Line, {-300, 40, 900, 640}, kAppended, 1)});
    double w, h, a, b, c, d, e, f;
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("width="), "width=\"%lf\" height=\"%lf\"", &w, &h), 2);
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<g id=\"drawing\""), "<g id=\"drawing\" transform=\"matrix(%lf %lf %lf %lf %lf %lf)", &a, &b,
                          &c, &d, &e, &f),
              6)
        << svg;
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
    EXPECT_DOUBLE_EQ(d, -a);
    const double lowLeft[2] = {a * -300 + e, d * 40 + f}, upRight[2] = {a * 900 + e, d * 640 + f};
    EXPECT_GT(lowLeft[1], upRight[1]) << "y grows upwards";
    for (const double* p : {lowLeft, upRight}) {
        EXPECT_GE(p[0], 10);
        EXPECT_LE(p[0], w - 10);
        EXPECT_GE(p[1], 30);
        EXPECT_LE(p[1], h - 10);
    }
}

TEST(PictureSvg, BadInputStillGivesAPlainDocument) {
    Picture p;
    p.command = "a<b>&\"c\"";
    p.session = "s\xFF\x01.jsonl";
    p.figures = {figure(Kind::String, {0, 0}, kAppended, 1, "x < y & \xE6\x97\xA5\xFF"),
                 figure(Kind::Circle, {NAN, 0, 1}, kAppended, 2), figure(Kind::Line, {0, 0, INFINITY, 1}, kAppended, 3)};
    const std::string svg = writeSvg(p, {});
    EXPECT_NE(svg.find("<title>a&lt;b&gt;&amp;&quot;c&quot; \xE2\x80\x94 s\xEF\xBF\xBD\xEF\xBF\xBD.jsonl</title>"), std::string::npos) << svg;
    EXPECT_NE(svg.find(">x &lt; y &amp; \xE6\x97\xA5\xEF\xBF\xBD</text>"), std::string::npos) << svg;
    EXPECT_EQ(count(svg, "data-kind="), 1u);
    EXPECT_NE(svg.find("2 figures with numbers that are not finite left out"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    for (const char* banned : {"<script", "href", "url(", "@import"}) EXPECT_EQ(svg.find(banned), std::string::npos) << banned;

    const std::string empty = svgOf({});
    EXPECT_NE(empty.find("<g id=\"drawing\""), std::string::npos);
    EXPECT_NE(empty.find(">nothing drawn</text>"), std::string::npos);
    EXPECT_EQ(empty.rfind("</svg>\n"), empty.size() - 7);
}

TEST(PictureSvg, NumbersAreShortAndExact) {
    struct Row {
        double v;
        const char* text;
    } rows[] = {{0, "0"}, {-0.0, "0"}, {0.1 + 0.2, "0.3"}, {-2.5, "-2.5"}, {1.0 / 3, "0.3333333333"}, {1e20, "1e20"},
                {123456789012.0, "1.23456789e11"}, {2.5e-7, "2.5e-07"}, {111.80339887498948, "111.8033989"}};
    for (const Row& r : rows) EXPECT_EQ(number(r.v), r.text) << r.v;
}

// Requests as the library sends them: each shape read back where the layout
// puts it, a long line as a long line, a string's text behind its position.
TEST(RequestShapes, ReadEachShapeTheRequestSends) {
    struct Row {
        const char* exportName;
        uint32_t lParam;
        Bytes payload;
        Kind kind;
        std::array<double, 7> n;
        std::string text;
    } rows[] = {
        {"VokAppendLine", 0, Bytes{}.f64(0).f64(20).f64(100).f64(20).fill(0, 8), Kind::Line, {0, 20, 100, 20}, ""},
        {"VokAppendLongLine", 0, Bytes{}.f64(1).f64(2).f64(3).f64(4).fill(0, 8), Kind::LongLine, {1, 2, 3, 4}, ""},
        {"VokChangeCircle", 7, Bytes{}.f64(5).f64(6).f64(2.5), Kind::Circle, {5, 6, 2.5}, ""},
        {"VokCreateArc", 0, Bytes{}.f64(0).f64(0).f64(3).f64(0.5).f64(1.5).u32(1), Kind::Arc, {0, 0, 3, 0.5, 1.5}, ""},
        {"VokDrawRubberEllArc", 0, Bytes{}.f64(1).f64(1).f64(4).f64(2).f64(0.25).f64(0).f64(3).u32(0), Kind::EllArc,
         {1, 1, 4, 2, 0.25, 0, 3}, ""},
        {"VokDrawRubberString", 0, Bytes{}.fill(0, 56).u16(0).u16(0).f64(8).f64(9).str("pick"), Kind::String, {8, 9}, "pick"},
        {"VokDisplayStringShape", 0, Bytes{}.f64(-1).f64(-2).u32(0x1234).fill(0, 56).str("ab"), Kind::String, {-1, -2}, "ab"},
    };
    for (const Row& r : rows) {
        const auto* layout = kavhost::findLayout(r.exportName);
        ASSERT_NE(layout, nullptr) << r.exportName;
        const std::vector<Shape> shapes = requestShapes(layout->code, r.lParam, r.payload.b);
        ASSERT_EQ(shapes.size(), 1u) << r.exportName;
        EXPECT_EQ(shapes[0].kind, r.kind) << r.exportName;
        EXPECT_EQ(shapes[0].n, r.n) << r.exportName;
        EXPECT_EQ(shapes[0].text, r.text) << r.exportName;
    }
    // Two points in, one out: only what the command sent.
    const auto* midpoint = kavhost::findLayout("VokCalMidP");
    ASSERT_NE(midpoint, nullptr);
    EXPECT_EQ(requestShapes(midpoint->code, 0, Bytes{}.f64(0).f64(0).f64(100).f64(50).fill(0, 16).b).size(), 2u);
    // A payload cut short gives what fits; an unknown code nothing.
    EXPECT_TRUE(requestShapes(kavhost::findLayout("VokAppendCircle")->code, 0, Bytes{}.f64(1).b).empty());
    EXPECT_TRUE(requestShapes(9999, 0, Bytes{}.fill(0, 64).b).empty());
}

}  // namespace
