// The model's drawing as figures: an element's history comes from the
// requests of the session (by their seq), what the command showed from the
// drawing's list of display, highlight and rubber-band requests.
#include "picture/session_picture.h"

#include "decode/decoder.h"
#include "script/host_text.h"
#include "picture/request_shapes.h"

#include <map>
#include <string_view>

namespace kavhost::picture {
namespace {

Shape plain(const model::Shape& m) {
    Shape s;
    s.kind = m.kind;
    switch (m.kind) {
    case Kind::Point: case Kind::String: {
        const auto p = m.asPoint();
        s.n = {p.x, p.y};
        s.text = ansiToUtf8(m.text);
        break;
    }
    case Kind::Line: case Kind::LongLine: {
        const auto l = m.asLine();
        s.n = {l.start.x, l.start.y, l.end.x, l.end.y};
        break;
    }
    case Kind::Circle: {
        const auto c = m.asCircle();
        s.n = {c.center.x, c.center.y, c.radius};
        break;
    }
    case Kind::Arc: {
        const auto a = m.asArc();
        s.n = {a.center.x, a.center.y, a.radius, a.startAngle, a.endAngle};
        s.arcFlag = a.arcFlag;
        break;
    }
    case Kind::Ellipse: {
        const auto e = m.asEllipse();
        s.n = {e.center.x, e.center.y, e.radius1, e.radius2, e.axisAngle};
        break;
    }
    case Kind::EllArc: {
        const auto e = m.asEllArc();
        s.n = {e.center.x, e.center.y, e.radius1, e.radius2, e.axisAngle, e.startAngle, e.endAngle};
        s.arcFlag = e.arcFlag;
        break;
    }
    case Kind::BSpline: break;
    }
    return s;
}

std::string_view exportOf(const LoggedRequest& r) {
    return r.decoded.names.empty() ? std::string_view() : std::string_view(r.decoded.names.front());
}

// The element a change names in its lParam (a B-spline's, in its payload, is not followed).
int32_t target(const LoggedRequest& r) { return static_cast<int32_t>(r.decoded.lParam); }

}  // namespace

LoggedRequest loggedRequest(const RecordedRequest& r, uint32_t seq) {
    LoggedRequest l;
    l.seq = seq;
    l.message = r.message;
    if (r.message == kav::kRequestMessage) l.decoded = decode(r.code, r.lParam, r.request.data(), r.request.size());
    l.request = r.request;
    l.reply.answer = r.answer;
    l.reply.writes = r.writes;
    l.reply.source = "recording";
    return l;
}

void feed(model::Model& model, std::span<const LoggedRequest> requests) {
    for (const LoggedRequest& r : requests) model.learn(r);
}

Picture drawingPicture(const model::Drawing& drawing, std::span<const LoggedRequest> requests) {
    Picture p;
    std::map<uint32_t, const LoggedRequest*> bySeq;
    for (const LoggedRequest& r : requests) bySeq[r.seq] = &r;
    // Elements, in the order they were made (the model numbers a recorded
    // session's elements as the host answered); one the session never made
    // but read from the host has no request that made it.
    std::map<int32_t, size_t> figureOf;  // index -> figure
    for (const model::Element& e : drawing.elements()) {
        Figure f;
        f.shape = plain(e.shape);
        if (e.declared) f.marks |= kDeclared;
        else if (const auto it = bySeq.find(e.madeAt); it != bySeq.end())
            f.marks |= exportOf(*it->second).starts_with("VokCreate") ? kCreated : kAppended;
        else f.marks |= kRead;
        if (e.deleted) f.marks |= kDeleted;
        f.element = e.index;
        figureOf[e.index] = p.figures.size();
        p.figures.push_back(std::move(f));
    }
    // Changed: a change of its shape or its attributes after it was made.
    for (const LoggedRequest& r : requests) {
        const std::string_view n = exportOf(r);
        if (!n.starts_with("VokChange") || r.decoded.code < 1200 || r.decoded.code > 1269) continue;
        if (const auto it = figureOf.find(target(r)); it != figureOf.end()) p.figures[it->second].marks |= kChanged;
    }
    // What the command showed: shapes, elements and marks displayed or
    // highlighted (a clear takes both back), and the last rubber band.
    const model::ShownItem* rubber = nullptr;
    auto mark = [&](int32_t index, uint32_t set, uint32_t clear) {
        if (const auto it = figureOf.find(index); it != figureOf.end()) p.figures[it->second].marks = (p.figures[it->second].marks & ~clear) | set;
    };
    for (const model::ShownItem& s : drawing.shown()) {
        using W = model::ShownItem::What;
        const std::string_view n = s.exportName;
        const bool cleared = n.starts_with("VokClear");
        const uint32_t set = cleared ? 0u : n.find("Hilight") != std::string_view::npos ? uint32_t{kHighlighted} : uint32_t{kDisplayed};
        const uint32_t clear = cleared ? uint32_t{kDisplayed | kHighlighted} : 0u;
        if (s.what == W::Rubber && s.shape.kind != Kind::BSpline && n != "VokDrawRubberMarkElements") rubber = &s;
        else if (s.what == W::Shape) {
            Figure f;
            f.shape = plain(s.shape);
            f.request = s.seq;
            f.marks = kDisplayed;
            p.figures.push_back(std::move(f));
        } else if (s.what == W::Element) {
            mark(s.target, set, clear);
        } else if (s.what == W::Mark) {
            if (const auto it = drawing.marks().find(s.target); it != drawing.marks().end())
                for (int32_t index : it->second) mark(index, set, clear);
        }
    }
    if (rubber) {
        // Under the elements: it is what the pointer dragged, not what stays.
        Figure f;
        f.shape = plain(rubber->shape);
        f.request = rubber->seq;
        f.marks = kRubber;
        p.figures.insert(p.figures.begin(), std::move(f));
    }
    std::string said;
    if (!drawing.mode().empty()) said = "mode \"" + drawing.mode() + "\"";
    if (!drawing.guide().empty()) said += (said.empty() ? "" : ", ") + std::string("guide \"") + drawing.guide() + "\"";
    p.note = said.empty() ? "" : "last " + said;
    return p;
}

void addDifference(Picture& picture, const RecordedRequest* expected, const LoggedRequest& actual) {
    auto add = [&](const std::vector<Shape>& shapes, uint32_t mark, uint32_t seq) {
        for (const Shape& s : shapes) {
            Figure f;
            f.shape = s;
            f.request = seq;
            f.marks = mark;
            picture.figures.push_back(f);
        }
    };
    if (expected) add(requestShapes(expected->code, expected->lParam, expected->request), kExpected, actual.seq);
    add(requestShapes(actual.decoded.code, actual.decoded.lParam, actual.request), kActual, actual.seq);
    const std::string where = "the replay stopped at request #" + std::to_string(actual.seq) + " (" + actual.decoded.nameText() + ")";
    picture.note = picture.note.empty() ? where : where + "; " + picture.note;
}

}  // namespace kavhost::picture
