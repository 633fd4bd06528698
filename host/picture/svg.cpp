// Writes the picture: measures the figures, fits them into the picture,
// and writes each as one SVG shape in drawing units.
#include "picture/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace kavhost::picture {
namespace {

constexpr double kPi = std::numbers::pi;

// Pixel sizes of the picture.
constexpr double kMaxDrawingWidth = 560, kMaxDrawingHeight = 400, kMinWidth = 360;
constexpr double kMargin = 16, kTitleHeight = 28, kNoteHeight = 16;
constexpr double kStroke = 1.5, kPointRadius = 3, kDash = 4, kTextSize = 13;
constexpr double kLegendEntryWidth = 112, kLegendRowHeight = 18;

// How each mark looks, in the order of the style sheet: when a figure has
// several marks, the later one shows.
struct MarkStyle {
    uint32_t mark;
    const char* name;
    const char* colour;
    double width;    // times the plain stroke
    bool dashed;
    double opacity;
};
constexpr MarkStyle kStyles[] = {
    {kDeclared, "declared", "#555555", 1, false, 1},
    {kRead, "read", "#8a8a8a", 1, false, 1},
    {kCreated, "created", "#1f5fbf", 1, false, 1},
    {kAppended, "appended", "#0b7a75", 1, false, 1},
    {kChanged, "changed", "#c77700", 1, false, 1},
    {kDisplayed, "displayed", "#2e8b3e", 1, false, 1},
    {kHighlighted, "highlighted", "#d4148c", 2, false, 1},
    {kRubber, "rubber", "#7b52ab", 1, true, 1},
    {kDeleted, "deleted", "#9a9a9a", 1, true, 0.5},
    {kExpected, "expected", "#2ca02c", 2.5, false, 0.7},
    {kActual, "actual", "#d62728", 1, false, 1},
};
static_assert(std::size(kStyles) == kMarkCount);

// The number of record values each kind uses.
int valueCount(Kind k) {
    switch (k) {
    case Kind::Point: case Kind::String: return 2;
    case Kind::Circle: return 3;
    case Kind::Line: case Kind::LongLine: return 4;
    case Kind::Arc: case Kind::Ellipse: return 5;
    case Kind::EllArc: return 7;
    case Kind::BSpline: return 0;
    }
    return 0;
}

bool finite(const Shape& s) {
    return std::all_of(s.n.begin(), s.n.begin() + valueCount(s.kind), [](double v) { return std::isfinite(v); });
}

// Text as XML character data or attribute value: escaped, and every byte
// that is not well-formed UTF-8 (or a character XML does not allow) turned
// into U+FFFD.
void appendXml(std::string& out, const std::string& utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            if (c == '&') out += "&amp;";
            else if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c == '"') out += "&quot;";
            else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') out += "\xEF\xBF\xBD";
            else out += static_cast<char>(c);
            continue;
        }
        const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        uint32_t cp = len == 4 ? c & 0x07u : len == 3 ? c & 0x0Fu : c & 0x1Fu;
        bool ok = len != 0 && c <= 0xF4 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        const uint32_t least = len == 4 ? 0x10000 : len == 3 ? 0x800 : 0x80;
        ok = ok && cp >= least && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF;
        if (ok) {
            out.append(utf8, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
}

std::string xml(const std::string& utf8) {
    std::string out;
    appendXml(out, utf8);
    return out;
}

// Characters of a UTF-8 text (lead bytes), for its width.
size_t characters(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

struct Pt {
    double x = 0, y = 0;
};

struct Box {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    bool empty() const { return x0 > x1; }
    void add(Pt p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
};

// cos(pi / 2) is 6e-17, not 0: a quarter turn should end on the axis.
double snap(double v) { return std::fabs(v) < 1e-14 ? 0 : v; }

// An arc as the picture draws it: counterclockwise angles from the x axis
// (parametric ones for an ellipse), and a signed sweep.
struct ArcPath {
    Pt c;
    double r1 = 0, r2 = 0, axis = 0;  // axis in radians
    double start = 0, sweep = 0;
    Pt at(double t) const {
        const double ca = snap(std::cos(axis)), sa = snap(std::sin(axis));
        const double u = r1 * snap(std::cos(t)), v = r2 * snap(std::sin(t));
        return {c.x + u * ca - v * sa, c.y + u * sa + v * ca};
    }
    bool full() const { return std::fabs(sweep) >= 2 * kPi - 1e-12; }
};

// Parametric angle of the point at polar angle `a` from the first axis.
double parametric(double a, double r1, double r2) { return std::atan2(r1 * std::sin(a), r2 * std::cos(a)); }

ArcPath arcPath(const Shape& s, const model::CalcConventions& senses) {
    ArcPath a;
    a.c = {s.n[0], s.n[1]};
    const bool ell = s.kind == Kind::EllArc;
    a.r1 = std::fabs(s.n[2]);
    a.r2 = std::fabs(ell ? s.n[3] : s.n[2]);
    a.axis = ell ? s.n[4] : 0;
    const double sense = senses.angleSense == model::AngleSense::Clockwise ? -1 : 1;
    const bool endIsSweep = senses.arcEnd == model::ArcEnd::Sweep;
    const double first = s.n[ell ? 5 : 3], second = s.n[ell ? 6 : 4];
    // The sweep in the host's sense: as given, or from the first angle
    // onwards to the second (a whole turn when they meet).
    double sweep = endIsSweep ? second : std::fmod(second - first, 2 * kPi);
    if (!endIsSweep && sweep <= 1e-12) sweep += 2 * kPi;
    sweep = std::clamp(sweep, -2 * kPi, 2 * kPi);
    a.start = sense * first;
    a.sweep = sense * sweep;
    if (ell && senses.ellipseAngle == model::EllipseAngle::Polar && !a.full()) {
        const double t0 = parametric(a.start, a.r1, a.r2), t1 = parametric(a.start + a.sweep, a.r1, a.r2);
        double d = std::fmod(t1 - t0, 2 * kPi);
        if (a.sweep > 0 && d <= 0) d += 2 * kPi;
        if (a.sweep < 0 && d >= 0) d -= 2 * kPi;
        a.start = t0;
        a.sweep = d;
    }
    return a;
}

// The points that bound a shape (texts apart: they are measured with the scale).
void bound(const Shape& s, const model::CalcConventions& senses, Box& box) {
    const auto& n = s.n;
    switch (s.kind) {
    case Kind::Point: case Kind::String: box.add({n[0], n[1]}); break;
    case Kind::Line: case Kind::LongLine: box.add({n[0], n[1]}); box.add({n[2], n[3]}); break;
    case Kind::Circle: {
        const double r = std::fabs(n[2]);
        box.add({n[0] - r, n[1] - r});
        box.add({n[0] + r, n[1] + r});
        break;
    }
    case Kind::Ellipse: {
        const double a = std::fabs(n[2]), b = std::fabs(n[3]), c = std::cos(n[4]), d = std::sin(n[4]);
        const double hw = std::hypot(a * c, b * d), hh = std::hypot(a * d, b * c);
        box.add({n[0] - hw, n[1] - hh});
        box.add({n[0] + hw, n[1] + hh});
        break;
    }
    case Kind::Arc: case Kind::EllArc: {
        const ArcPath a = arcPath(s, senses);
        constexpr int kSteps = 64;
        for (int i = 0; i <= kSteps; ++i) box.add(a.at(a.start + a.sweep * i / kSteps));
        break;
    }
    case Kind::BSpline: break;
    }
}

// The part of the line through p and q that lies inside `box`
// (Liang-Barsky); false when none does.
bool clip(Pt p, Pt q, const Box& box, Pt& from, Pt& to) {
    const double dx = q.x - p.x, dy = q.y - p.y;
    if (dx == 0 && dy == 0) return false;
    double lo = -INFINITY, hi = INFINITY;
    const double d[4] = {-dx, dx, -dy, dy};
    const double e[4] = {p.x - box.x0, box.x1 - p.x, p.y - box.y0, box.y1 - p.y};
    for (int i = 0; i < 4; ++i) {
        if (d[i] == 0) {
            if (e[i] < 0) return false;
            continue;
        }
        const double t = e[i] / d[i];
        if (d[i] < 0) lo = std::max(lo, t);
        else hi = std::min(hi, t);
    }
    if (lo > hi) return false;
    from = {p.x + lo * dx, p.y + lo * dy};
    to = {p.x + hi * dx, p.y + hi * dy};
    return true;
}

std::string classes(uint32_t marks) {
    std::string s;
    for (uint32_t bit = 1; bit < (1u << kMarkCount); bit <<= 1)
        if (marks & bit) s += (s.empty() ? "" : " ") + std::string(markName(bit));
    return s;
}

std::string degrees(double radians) { return number(radians * 180 / kPi); }

std::string format(double v, int digits) {
    if (v == 0) return "0";  // also -0
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    std::string s(buf, r.ptr);
    // "1e+20" is "1e20" in SVG as well.
    if (const size_t e = s.find("e+"); e != std::string::npos) s.erase(e + 1, 1);
    return s;
}

// Pixels to the hundredth; sizes in drawing units (stroke, dashes) to four digits.
std::string pixels(double v) { return format(std::round(v * 100) / 100, 10); }
std::string size(double v) { return format(v, 4); }

class Writer {
public:
    Writer(const Picture& p, const model::CalcConventions& senses) : picture_(p), senses_(senses) {}
    std::string svg();

private:
    void layout();
    void style();
    void figure(const Figure& f);
    void arc(const ArcPath& a);
    void legend();
    void indices();
    double px(double x) const { return left_ + scale_ * (x - box_.x0); }
    double py(double y) const { return top_ + scale_ * (box_.y1 - y); }
    void attr(const char* name, double v) { attr(name, number(v)); }
    void attr(const char* name, const std::string& v) { out_ += ' ', out_ += name, out_ += "=\"", out_ += v, out_ += '"'; }

    const Picture& picture_;
    const model::CalcConventions& senses_;
    std::vector<const Figure*> shown_;
    size_t left_out_ = 0, bsplines_ = 0;
    Box box_;
    double scale_ = 1, left_ = 0, top_ = 0, width_ = 0, height_ = 0, legendTop_ = 0, textSize_ = 1;
    uint32_t marks_ = 0;
    std::string out_;
};

void Writer::layout() {
    for (const Figure& f : picture_.figures) {
        if (f.shape.kind == Kind::BSpline) ++bsplines_;
        else if (finite(f.shape)) shown_.push_back(&f), marks_ |= f.marks;
        else ++left_out_;
    }
    for (const Figure* f : shown_) bound(f->shape, senses_, box_);
    auto fit = [&] {
        if (box_.empty()) box_ = {0, 0, 100, 25};
        // A drawing of one point, or of a horizontal or vertical line, still
        // gets some room around it.
        const double span = std::max(box_.x1 - box_.x0, box_.y1 - box_.y0);
        const double least = span > 0 ? span / 8 : std::max(1.0, std::max(std::fabs(box_.x0), std::fabs(box_.y0)) / 8);
        for (double* lo : {&box_.x0, &box_.y0}) {
            double* hi = lo == &box_.x0 ? &box_.x1 : &box_.y1;
            if (*hi - *lo < least) {
                const double mid = (*hi + *lo) / 2;
                *lo = mid - least / 2;
                *hi = mid + least / 2;
            }
        }
        scale_ = std::min(kMaxDrawingWidth / (box_.x1 - box_.x0), kMaxDrawingHeight / (box_.y1 - box_.y0));
    };
    fit();
    // Texts grow to the right of and above their placement point by their
    // size in drawing units, which the scale gives.
    textSize_ = kTextSize / scale_;
    bool texts = false;
    for (const Figure* f : shown_)
        if (f->shape.kind == Kind::String) {
            const double w = 0.6 * textSize_ * static_cast<double>(characters(f->shape.text));
            box_.add({f->shape.n[0] + w, f->shape.n[1] + textSize_});
            texts = true;
        }
    if (texts) {
        fit();
        textSize_ = kTextSize / scale_;
    }
    const double w = scale_ * (box_.x1 - box_.x0), h = scale_ * (box_.y1 - box_.y0);
    width_ = std::max(w + 2 * kMargin, kMinWidth);
    left_ = (width_ - w) / 2;
    top_ = kTitleHeight + (picture_.note.empty() && left_out_ == 0 && bsplines_ == 0 ? 0 : kNoteHeight) + kMargin;
    const double perRow = std::max(1.0, std::floor((width_ - 2 * kMargin) / kLegendEntryWidth));
    int entries = 0;
    for (const MarkStyle& m : kStyles) entries += (marks_ & m.mark) ? 1 : 0;
    const double rows = std::ceil(entries / perRow);
    legendTop_ = top_ + h + kMargin;
    height_ = legendTop_ + rows * kLegendRowHeight + (rows > 0 ? 6 : 0);
}

void Writer::style() {
    const double unit = 1 / scale_;
    out_ += "<style>\n";
    for (const MarkStyle& m : kStyles) {
        if (!(marks_ & m.mark)) continue;
        out_ += "#drawing ." + std::string(m.name) + "{stroke:" + m.colour;
        if (m.width != 1) out_ += ";stroke-width:" + size(kStroke * m.width * unit);
        if (m.dashed) out_ += ";stroke-dasharray:" + size(kDash * unit) + ' ' + size(0.75 * kDash * unit);
        if (m.opacity != 1) out_ += ";opacity:" + size(m.opacity);
        out_ += "}\n#drawing text." + std::string(m.name) + "{fill:" + m.colour + ";stroke:none}\n";
    }
    out_ += "</style>\n";
}

void Writer::arc(const ArcPath& a) {
    auto to = [&](double t, bool large) {
        const Pt p = a.at(t);
        out_ += " A" + number(a.r1) + ' ' + number(a.r2) + ' ' + degrees(a.axis) + (large ? " 1 " : " 0 ") +
                (a.sweep > 0 ? "1 " : "0 ") + number(p.x) + ' ' + number(p.y);
    };
    const Pt p = a.at(a.start);
    out_ += " d=\"M" + number(p.x) + ' ' + number(p.y);
    if (a.full()) {
        // A whole turn is two halves: one arc command cannot end where it starts.
        to(a.start + a.sweep / 2, false);
        to(a.start + a.sweep, false);
    } else {
        to(a.start + a.sweep, std::fabs(a.sweep) > kPi);
    }
    out_ += '"';
}

void Writer::figure(const Figure& f) {
    const Shape& s = f.shape;
    const auto& n = s.n;
    const char* tag = "circle";
    switch (s.kind) {
    case Kind::Line: case Kind::LongLine: tag = "line"; break;
    case Kind::Ellipse: tag = "ellipse"; break;
    case Kind::Arc: case Kind::EllArc: tag = "path"; break;
    case Kind::String: tag = "text"; break;
    default: break;
    }
    Pt from{n[0], n[1]}, to{n[2], n[3]};
    if (s.kind == Kind::LongLine) {
        // Through its two points across the whole drawing.
        const double m = kMargin / scale_;
        const Box edge{box_.x0 - m / 2, box_.y0 - m / 2, box_.x1 + m / 2, box_.y1 + m / 2};
        if (!clip(from, to, edge, from, to)) tag = "line";
    }
    out_ += "<" + std::string(tag) + " data-kind=\"" + std::string(model::kindName(s.kind)) + '"';
    if (f.element) out_ += " data-element=\"" + std::to_string(*f.element) + '"';
    else if (f.request) out_ += " data-request=\"" + std::to_string(f.request) + '"';
    if (f.marks) out_ += " class=\"" + classes(f.marks) + '"';
    switch (s.kind) {
    case Kind::Point: attr("cx", n[0]), attr("cy", n[1]), attr("r", size(kPointRadius / scale_)); break;
    case Kind::Line: case Kind::LongLine: attr("x1", from.x), attr("y1", from.y), attr("x2", to.x), attr("y2", to.y); break;
    case Kind::Circle: attr("cx", n[0]), attr("cy", n[1]), attr("r", std::fabs(n[2])); break;
    case Kind::Ellipse:
        attr("cx", n[0]), attr("cy", n[1]), attr("rx", std::fabs(n[2])), attr("ry", std::fabs(n[3]));
        if (n[4] != 0) out_ += " transform=\"rotate(" + degrees(n[4]) + ' ' + number(n[0]) + ' ' + number(n[1]) + ")\"";
        break;
    case Kind::Arc: case Kind::EllArc: arc(arcPath(s, senses_)); break;
    case Kind::String:
        out_ += " transform=\"translate(" + number(n[0]) + ' ' + number(n[1]) + ") scale(1 -1)\"";
        attr("font-size", size(textSize_));
        out_ += '>' + xml(s.text) + "</text>\n";
        return;
    case Kind::BSpline: break;
    }
    out_ += "/>\n";
}

// Element indices beside their shapes, in pixels, so that they stay upright
// and small at any scale.
void Writer::indices() {
    std::string items;
    for (const Figure* f : shown_) {
        if (!f->element) continue;
        const auto& n = f->shape.n;
        Pt at{n[0], n[1]};
        switch (f->shape.kind) {
        case Kind::Line: case Kind::LongLine: at = {(n[0] + n[2]) / 2, (n[1] + n[3]) / 2}; break;
        case Kind::Circle: at = {n[0] + n[2] * std::cos(kPi / 4), n[1] + n[2] * std::sin(kPi / 4)}; break;
        case Kind::Arc: case Kind::EllArc: {
            const ArcPath a = arcPath(f->shape, senses_);
            at = a.at(a.start + a.sweep / 2);
            break;
        }
        default: break;
        }
        items += "<text x=\"" + pixels(px(at.x) + 3) + "\" y=\"" + pixels(py(at.y) - 3) + "\">" +
                 std::to_string(*f->element) + "</text>\n";
    }
    if (!items.empty()) out_ += "<g id=\"indices\" font-size=\"10\" fill=\"#666666\">\n" + items + "</g>\n";
}

void Writer::legend() {
    if (!marks_) return;
    out_ += "<g id=\"legend\" font-size=\"11\" fill=\"#333333\">\n";
    const double perRow = std::max(1.0, std::floor((width_ - 2 * kMargin) / kLegendEntryWidth));
    int i = 0;
    for (const MarkStyle& m : kStyles) {
        if (!(marks_ & m.mark)) continue;
        const double x = kMargin + std::fmod(i, perRow) * kLegendEntryWidth;
        const double y = legendTop_ + std::floor(i / perRow) * kLegendRowHeight + 12;
        out_ += "<line x1=\"" + pixels(x) + "\" y1=\"" + pixels(y - 4) + "\" x2=\"" + pixels(x + 22) + "\" y2=\"" +
                pixels(y - 4) + "\" stroke=\"" + m.colour + "\" stroke-width=\"" + pixels(kStroke * m.width) + '"';
        if (m.dashed) out_ += " stroke-dasharray=\"4 3\"";
        if (m.opacity != 1) out_ += " opacity=\"" + pixels(m.opacity) + '"';
        out_ += "/><text x=\"" + pixels(x + 28) + "\" y=\"" + pixels(y) + "\">" + m.name + "</text>\n";
        ++i;
    }
    out_ += "</g>\n";
}

std::string Writer::svg() {
    layout();
    const std::string title = picture_.command.empty() ? picture_.session : picture_.command + " \xE2\x80\x94 " + picture_.session;
    out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
    attr("width", pixels(width_)), attr("height", pixels(height_));
    out_ += " viewBox=\"0 0 " + pixels(width_) + ' ' + pixels(height_) + "\" font-family=\"sans-serif\">\n";
    out_ += "<title>" + xml(title) + "</title>\n";
    style();
    out_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    out_ += "<text id=\"title\" x=\"" + pixels(kMargin) + "\" y=\"19\" font-size=\"14\" fill=\"#222222\">" + xml(title) + "</text>\n";
    std::string note = picture_.note;
    auto add = [&](size_t n, const char* one, const char* many, const char* what) {
        if (!n) return;
        if (!note.empty()) note += "; ";
        note += std::to_string(n) + (n == 1 ? one : many) + what;
    };
    add(left_out_, " figure", " figures", " with numbers that are not finite left out");
    add(bsplines_, " B-spline", " B-splines", " not drawn");
    if (!note.empty())
        out_ += "<text id=\"note\" x=\"" + pixels(kMargin) + "\" y=\"" + pixels(kTitleHeight + 8) +
                "\" font-size=\"11\" fill=\"#666666\">" + xml(note) + "</text>\n";
    // y upwards: x' = s x + (left - s x0), y' = -s y + (top + s y1).
    out_ += "<g id=\"drawing\" transform=\"matrix(" + number(scale_) + " 0 0 " + number(-scale_) + ' ' +
            number(left_ - scale_ * box_.x0) + ' ' + number(top_ + scale_ * box_.y1) + ")\" fill=\"none\" stroke=\"#333333\"";
    attr("stroke-width", size(kStroke / scale_));
    out_ += ">\n";
    for (const Figure* f : shown_) figure(*f);
    out_ += "</g>\n";
    if (shown_.empty())
        out_ += "<text x=\"" + pixels(width_ / 2) + "\" y=\"" + pixels((top_ + legendTop_) / 2) +
                "\" text-anchor=\"middle\" font-size=\"12\" fill=\"#999999\">nothing drawn</text>\n";
    indices();
    legend();
    out_ += "</svg>\n";
    return out_;
}

}  // namespace

const char* markName(uint32_t singleMark) {
    for (const MarkStyle& m : kStyles)
        if (m.mark == singleMark) return m.name;
    return "";
}

std::string number(double v) { return format(v, 10); }

std::string writeSvg(const Picture& picture, const model::CalcConventions& conventions) {
    return Writer(picture, conventions).svg();
}

}  // namespace kavhost::picture
