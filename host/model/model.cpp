#include "model/model.h"

#include "script/host_text.h"
#include "decode/layout_table.h"
#include "model/calculator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kavhost::model {

// One request as the model reads it: its export's row gives the segments by
// name, the decoded request their offsets.
struct Model::Req {
    const LoggedRequest& r;
    const ExportLayout& e;
    Reply& out;
    uint32_t lp;

    std::string_view name() const { return e.name; }
    int seg(const char* n) const {
        for (size_t i = 0; i < e.segments.size() && i < r.decoded.segments.size(); ++i)
            if (std::strcmp(e.segments[i].name, n) == 0) return static_cast<int>(i);
        return -1;
    }
    // The bytes of a segment as sent, or null when the request has none of that name.
    const uint8_t* at(const char* n, uint32_t need) const {
        const int i = seg(n);
        if (i < 0) return nullptr;
        const DecodedSegment& s = r.decoded.segments[static_cast<size_t>(i)];
        if (s.size < need || s.offset + s.size > r.request.size()) return nullptr;
        return r.request.data() + s.offset;
    }
    template <class T> bool get(const char* n, T& v) const {
        const uint8_t* p = at(n, sizeof v);
        if (p) std::memcpy(&v, p, sizeof v);
        return p != nullptr;
    }
    // A text segment without its terminator.
    bool text(const char* n, std::string& t) const {
        const int i = seg(n);
        if (i < 0) return false;
        const DecodedSegment& s = r.decoded.segments[static_cast<size_t>(i)];
        if (s.size == 0 || s.offset + s.size > r.request.size()) return false;
        const char* p = reinterpret_cast<const char*>(r.request.data() + s.offset);
        t.assign(p, strnlen(p, s.size));
        return true;
    }
    void writeAt(uint32_t offset, const void* p, size_t n) { out.write(offset, p, n); }
    // Writes into the segment of that name (false when the request has none).
    bool write(const char* n, const void* p, size_t size) {
        const int i = seg(n);
        if (i < 0 || r.decoded.segments[static_cast<size_t>(i)].size < size) return false;
        writeAt(r.decoded.segments[static_cast<size_t>(i)].offset, p, size);
        return true;
    }
    bool answer(int32_t a) {
        out.answer = static_cast<uint32_t>(a);
        return true;
    }
};

namespace {

// The kind of element a shape segment holds.
std::optional<Kind> kindOf(const ExportLayout& e, const SegmentLayout& s) {
    switch (s.kind) {
    case SegmentKind::Point: return Kind::Point;
    case SegmentKind::Line:
        return std::string_view(e.name).find("LongLine") != std::string_view::npos ? Kind::LongLine : Kind::Line;
    case SegmentKind::Circle: return Kind::Circle;
    case SegmentKind::Arc: return Kind::Arc;
    case SegmentKind::Ellipse: return Kind::Ellipse;
    case SegmentKind::EllArc: return Kind::EllArc;
    case SegmentKind::StrPos: case SegmentKind::StrShape: return Kind::String;
    case SegmentKind::BsHeader: return Kind::BSpline;
    default: return std::nullopt;
    }
}

// The element shape a request carries in its "shape" segment (or its four
// B-spline blocks from "header" on).
std::optional<Shape> shapeOf(const ExportLayout& e, const LoggedRequest& r) {
    const char* first = "shape";
    int at = -1;
    for (size_t i = 0; i < e.segments.size() && i < r.decoded.segments.size(); ++i)
        if (std::strcmp(e.segments[i].name, "shape") == 0 || std::strcmp(e.segments[i].name, "header") == 0) {
            at = static_cast<int>(i);
            first = e.segments[i].name;
            break;
        }
    if (at < 0) return std::nullopt;
    const std::optional<Kind> k = kindOf(e, e.segments[static_cast<size_t>(at)]);
    if (!k) return std::nullopt;
    const DecodedSegment& s = r.decoded.segments[static_cast<size_t>(at)];
    const uint32_t need = *k == Kind::String ? sizeof(PointShape) : shapeBytes(*k);
    if (s.offset + need > r.request.size()) return std::nullopt;
    Shape shape = Shape::fromRecord(*k, r.request.data() + s.offset);
    if (*k == Kind::String) {
        for (size_t i = 0; i < e.segments.size() && i < r.decoded.segments.size(); ++i)
            if (std::strcmp(e.segments[i].name, "shape.text") == 0) {
                const DecodedSegment& t = r.decoded.segments[i];
                if (t.offset + t.size > r.request.size()) break;
                const char* p = reinterpret_cast<const char*>(r.request.data() + t.offset);
                shape.text.assign(p, strnlen(p, t.size));
            }
    }
    (void)first;
    return shape;
}

std::string number(double d) {
    char b[40];
    std::snprintf(b, sizeof b, "%.15g", d);
    return b;
}

template <class T> std::vector<uint8_t> bytesOf(const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    return std::vector<uint8_t>(p, p + sizeof v);
}

}  // namespace

Model::Model(const Profile& profile)
    : profile_(profile), v_(profile.values()), calc_(std::make_unique<Calculator>(profile)) {
    drawing_.setFirstIndex(v_.firstIndex);
    systemAttr_ = v_.elementAttr;
    systemStringAttr_ = v_.stringAttr;
    exValue1_ = v_.exValue1;
    exValue2_ = v_.exValue2;
    mask_ = v_.initialMask;
    inputLayer_ = v_.layer;
    dispDigit_ = v_.dispDigit;
    epsLength_ = v_.epsLength;
    epsAngle_ = v_.epsAngle;
    nextHandle_ = v_.firstHandle;
    nextLink_ = v_.firstLink;
    nextMark_ = v_.firstMark;
    nextGroup_ = v_.firstGroup;
}

Model::~Model() = default;

Element Model::makeElement(Shape shape, uint32_t seq) const {
    Element e;
    e.shape = std::move(shape);
    e.attr = systemAttr_;
    e.stringAttr = systemStringAttr_;
    e.exValue1 = exValue1_;
    e.exValue2 = exValue2_;
    e.layer = inputLayer_;
    e.madeAt = seq;
    return e;
}

void Model::declare(const std::vector<ElementStatement>& elements) {
    for (const ElementStatement& d : elements) {
        const std::optional<Kind> k = kindNamed(d.kind);
        if (!k) continue;  // the script checked the kinds
        const std::vector<double>& n = d.numbers;
        auto at = [&](size_t i) { return i < n.size() ? n[i] : 0.0; };
        Shape shape;
        switch (*k) {
        case Kind::Point: shape = Shape::point({at(0), at(1)}); break;
        case Kind::Line: case Kind::LongLine: shape = Shape::line({{at(0), at(1)}, {at(2), at(3)}}, *k == Kind::LongLine); break;
        case Kind::Circle: shape = Shape::circle({{at(0), at(1)}, at(2)}); break;
        case Kind::Arc: shape = Shape::arc({{at(0), at(1)}, at(2), at(3), at(4), static_cast<int32_t>(at(5))}); break;
        case Kind::Ellipse: shape = Shape::ellipse({{at(0), at(1)}, at(2), at(3), at(4)}); break;
        case Kind::EllArc:
            shape = Shape::ellArc({{at(0), at(1)}, at(2), at(3), at(4), at(5), at(6), static_cast<int32_t>(at(7))});
            break;
        case Kind::String: shape = Shape::string({at(0), at(1)}, utf8ToAnsi(d.text)); break;
        case Kind::BSpline: continue;
        }
        Element e = makeElement(std::move(shape), 0);
        e.declared = true;
        drawing_.add(std::move(e));
    }
}

ElementNaming Model::naming() const {
    ElementNaming n;
    n.first = drawing_.nextIndex();
    for (size_t k = 0; k < kKindNames.size(); ++k) n.typeCodes[std::string(kKindNames[k])] = v_.elementTypes[k];
    return n;
}

int32_t Model::created(Element e) {
    const int32_t index = drawing_.add(std::move(e)).index;
    lastKey_ = "elements/createAnswers";
    return v_.createAnswers == CreateAnswer::Index ? index : v_.success;
}

bool Model::answer(const LoggedRequest& r, Reply& reply) {
    if (r.message != kav::kRequestMessage || r.decoded.names.empty()) return false;
    const ExportLayout* e = rowOf(r.decoded);
    if (!e) return false;
    // The reply is made in place, in the storage of the caller's last one.
    Reply& out = reply;
    out.reuse();
    out.source = "model";
    Req q{r, *e, out, r.decoded.lParam};
    lastKey_.clear();
    const uint32_t c = e->code;
    bool done = false;
    if (c >= 2000 && c <= 2062) done = calc_->answer(r, *e, drawing_, out, lastKey_);
    else if ((c >= 1200 && c <= 1204) || (c >= 1250 && c <= 1269)) done = attributes(q) || elements(q);
    else if (c >= 1210 && c <= 1248) done = shapes(q);
    else if ((c >= 1100 && c <= 1105)) done = attributes(q);
    else if ((c >= 1516 && c <= 1524) || (c >= 1526 && c <= 1530) || (c >= 1534 && c <= 1537)) done = properties(q);
    else if (c >= 1800 && c <= 1842) done = panelsFamily(q);
    else if (c >= 1900 && c <= 1981) done = optionsFamily(q);
    else if ((c >= 1500 && c <= 1507) || c == 1514 || c == 1525 || c == 1538) done = feedback(q);
    else if ((c >= 1400 && c <= 1417) || (c >= 1701 && c <= 1710)) done = display(q);
    else if (c >= 1300 && c <= 1336) done = database(q);
    else if ((c >= 1600 && c <= 1609) || (c >= 1508 && c <= 1513) || c == 1533) done = marksAndGroups(q);
    if (!done) out.reuse();
    return done;
}

// ------------------------------------------------------------ elements

bool Model::elements(Req& q) {
    const uint32_t element = q.lp;
    const std::string_view n = q.name();
    if (n == "VokGetElementType" || n == "VokGetElementLayer" || n == "VokGetSubcode" || n == "VokGetElementCmdID" ||
        n == "VokDeleteElement" || n == "VokChangeElementLayer" || n == "VokChangeSubcode" || n == "VokChangeElementCmdID") {
        Element* el = drawing_.live(static_cast<int32_t>(element));
        lastKey_ = "answers/none";
        if (!el) return q.answer(v_.none);
        int16_t v16 = 0;
        lastKey_ = "answers/success";
        if (n == "VokGetElementType") {
            lastKey_ = "elementTypes/" + std::string(kindName(el->shape.kind));
            return q.answer(v_.elementTypes[static_cast<size_t>(el->shape.kind)]);
        }
        if (n == "VokGetElementLayer") return q.answer(el->layer);
        if (n == "VokGetSubcode") return q.answer(el->subcode);
        if (n == "VokGetElementCmdID") return q.answer(el->cmdId);
        if (n == "VokDeleteElement") {
            drawing_.erase(el->index, q.r.seq);
            return q.answer(v_.success);
        }
        if (n == "VokChangeElementLayer" && q.get("layer", v16)) el->layer = v16;
        else if (n == "VokChangeSubcode" && q.get("subcode", v16)) el->subcode = v16;
        else if (n == "VokChangeElementCmdID" && q.get("cmdId", v16)) el->cmdId = v16;
        else return false;
        return q.answer(v_.success);
    }
    if (n == "VokAssignLink") {
        const int32_t link = nextLink_++;
        drawing_.links_[link];
        lastKey_ = "elements/firstLink";
        return q.answer(link);
    }
    if (n == "VokFreeLink" || n == "VokLinkElement" || n == "VokSeekLinkedElement") {
        const auto it = drawing_.links_.find(static_cast<int32_t>(q.lp));
        lastKey_ = "answers/none";
        if (it == drawing_.links_.end()) return q.answer(v_.none);
        lastKey_ = "answers/success";
        if (n == "VokFreeLink") {
            drawing_.links_.erase(it);
            return q.answer(v_.success);
        }
        int32_t el = 0;
        if (!q.get("element", el)) return false;
        std::vector<int32_t>& list = it->second;
        if (n == "VokLinkElement") {
            if (!drawing_.live(el)) return q.answer(v_.none);
            if (std::find(list.begin(), list.end(), el) == list.end()) list.push_back(el);
            return q.answer(v_.success);
        }
        // The linked element after `el` (the first for 0); none at the end.
        auto at = el == 0 ? list.begin() : std::find(list.begin(), list.end(), el);
        if (el != 0 && at != list.end()) ++at;
        lastKey_ = "answers/none";
        return q.answer(at == list.end() ? v_.none : *at);
    }
    return false;
}

bool Model::shapes(Req& q) {
    const std::string_view n = q.name();
    const bool get = n.starts_with("VokGet"), create = n.starts_with("VokCreate"), append = n.starts_with("VokAppend"),
               change = n.starts_with("VokChange");
    if (create || append) {
        std::optional<Shape> s = shapeOf(q.e, q.r);
        if (!s) return false;
        Element e = makeElement(std::move(*s), q.r.seq);
        if (append) {
            if (e.shape.kind == Kind::String) q.get("stringAttr", e.stringAttr);
            else q.get("attr", e.attr);
            if (n == "VokAppendStringEx") {
                q.get("exValue1", e.exValue1);
                q.get("exValue2", e.exValue2);
                if (const uint8_t* f = q.at("fontName", sizeof e.font)) std::memcpy(e.font.data(), f, sizeof e.font);
            }
        }
        return q.answer(created(std::move(e)));
    }
    // Get and change name their element in the lParam; the B-spline ones in the payload.
    int32_t index = static_cast<int32_t>(q.lp);
    if (q.e.lparam == LParamForm::Zero && !q.get("element", index)) return false;
    Element* el = drawing_.live(index);
    lastKey_ = "answers/none";
    if (!el) return q.answer(v_.none);
    int first = q.seg("shape");
    if (first < 0) first = q.seg("header");
    if (first < 0) return false;
    const std::optional<Kind> k = kindOf(q.e, q.e.segments[static_cast<size_t>(first)]);
    if (!k) return false;
    // A line reads as a line whether it is long or not; other kinds only as themselves.
    const bool fits = *k == el->shape.kind || (*k == Kind::Line && el->shape.kind == Kind::LongLine);
    if (!fits) return q.answer(v_.none);
    lastKey_ = "answers/success";
    if (get) {
        if (*k == Kind::BSpline) {
            q.writeAt(q.r.decoded.segments[static_cast<size_t>(first)].offset, el->shape.bspline.data(), el->shape.bspline.size());
        } else if (*k == Kind::String) {
            q.write("shape", el->shape.record.data(), sizeof(PointShape));  // bytes 16-19, the caller's pointer, stay
            char buf[256] = {};
            std::memcpy(buf, el->shape.text.data(), std::min<size_t>(el->shape.text.size(), 255));
            q.write("shape.text", buf, sizeof buf);
        } else {
            q.write("shape", el->shape.record.data(), shapeBytes(*k));
        }
        return q.answer(v_.success);
    }
    if (!change) return false;
    std::optional<Shape> s = shapeOf(q.e, q.r);
    if (!s) return false;
    if (*k == Kind::Line) s->kind = el->shape.kind;  // VokChangeLine keeps a long line long
    el->shape = std::move(*s);
    return q.answer(v_.success);
}

bool Model::attributes(Req& q) {
    const std::string_view n = q.name();
    lastKey_ = "answers/success";
    if (n == "VokGetSystemElementAttr") return q.write("attr", &systemAttr_, sizeof systemAttr_) && q.answer(v_.success);
    if (n == "VokSetSystemElementAttr") return q.get("attr", systemAttr_) && q.answer(v_.success);
    if (n == "VokGetSystemStringAttr")
        return q.write("stringAttr", &systemStringAttr_, sizeof systemStringAttr_) && q.answer(v_.success);
    if (n == "VokSetSystemStringAttr") return q.get("stringAttr", systemStringAttr_) && q.answer(v_.success);
    if (n == "VokGetSystemStringAttrEx")
        return q.write("exValue1", &exValue1_, 2) && q.write("exValue2", &exValue2_, 2) && q.answer(v_.success);
    if (n == "VokSetSystemStringAttrEx") {
        exValue1_ = static_cast<int16_t>(q.lp & 0xFFFF);
        return q.get("exValue2", exValue2_) && q.answer(v_.success);
    }
    const bool isElementAttr = n == "VokGetElementAttr" || n == "VokChangeElementAttr" || n == "VokGetStringAttr" ||
                               n == "VokChangeStringAttr" || n == "VokGetStringAttrEx" || n == "VokChangeStringAttrEx" ||
                               n == "VokGetPolylineInfo" || n == "VokAppendPolylineInfo" || n == "VokDeletePolylineInfo" ||
                               n == "VokGetStringFont" || n == "VokChangeStringFont";
    if (!isElementAttr) return false;
    Element* el = drawing_.live(static_cast<int32_t>(q.lp));
    lastKey_ = "answers/none";
    if (!el) return q.answer(v_.none);
    const bool text = el->shape.kind == Kind::String;
    const bool textOnly = n.find("String") != std::string_view::npos;
    if (textOnly && !text) return q.answer(v_.none);
    lastKey_ = "answers/success";
    if (n == "VokGetElementAttr") q.write("attr", &el->attr, sizeof el->attr);
    else if (n == "VokChangeElementAttr") q.get("attr", el->attr);
    else if (n == "VokGetStringAttr") q.write("stringAttr", &el->stringAttr, sizeof el->stringAttr);
    else if (n == "VokChangeStringAttr") q.get("stringAttr", el->stringAttr);
    else if (n == "VokGetStringAttrEx") {
        q.write("exValue1", &el->exValue1, 2);
        q.write("exValue2", &el->exValue2, 2);
    } else if (n == "VokChangeStringAttrEx") {
        q.get("exValue1", el->exValue1);
        q.get("exValue2", el->exValue2);
    } else if (n == "VokGetStringFont") {
        if (!q.write("fontName", el->font.data(), el->font.size())) return false;
        if (el->font[0] == 0) {
            lastKey_ = "answers/none";
            return q.answer(v_.none);
        }
    } else if (n == "VokChangeStringFont") {
        if (const uint8_t* f = q.at("fontName", sizeof el->font)) std::memcpy(el->font.data(), f, sizeof el->font);
    } else if (n == "VokAppendPolylineInfo") {
        PolylineInfo info{};
        if (!q.get("info", info)) return false;
        el->polyline = info;
    } else if (n == "VokGetPolylineInfo") {
        if (!el->polyline) {
            lastKey_ = "answers/none";
            return q.answer(v_.none);
        }
        q.write("info", &*el->polyline, sizeof(PolylineInfo));
    } else if (n == "VokDeletePolylineInfo") {
        const bool had = el->polyline.has_value();
        el->polyline.reset();
        if (!had) return q.answer(v_.none);
    }
    return q.answer(v_.success);
}

// ------------------------------------------------------------ properties

bool Model::properties(Req& q) {
    const std::string_view n = q.name();
    // The listing and the raw reads hand out addresses in the caller's memory: left to scripts.
    if (n == "VokReadPropertyIndex" || n == "VokGetPropertyOfAny" || n == "VokGetAnyPropertyOfString") return false;
    const bool db = n.find("DBProperty") != std::string_view::npos;
    std::vector<Property>* list = nullptr;
    if (db) {
        lastKey_ = "database/currentDB";
        if (static_cast<int32_t>(q.lp) != v_.currentDB) return q.answer(v_.none);
        list = &drawing_.dbProperties_;
    } else {
        Element* el = drawing_.live(static_cast<int32_t>(q.lp));
        lastKey_ = "answers/none";
        if (!el) return q.answer(v_.none);
        list = &el->properties;
    }
    Property p;
    q.get("tag", p.tag);
    if (!q.text("name", p.name)) return false;
    using T = Property::Type;
    T type = T::Long;
    if (n.ends_with("Double")) type = T::Double;
    else if (n.ends_with("String")) type = T::String;
    else if (n == "VokAppendProperty" || n == "VokMarkProperty" || n == "VokDeleteProperty") type = T::Bytes;
    const auto found = std::find_if(list->begin(), list->end(), [&](const Property& x) {
        return x.name == p.name && x.tag == p.tag && (type == T::Bytes || x.type == type);
    });
    lastKey_ = "answers/success";
    if (n.starts_with("VokAppend")) {
        p.type = type;
        if (type == T::Long) q.get("value", p.number);
        else if (type == T::Double) q.get("value", p.real);
        else if (type == T::String && !q.text("value", p.text)) return false;
        else if (type == T::Bytes) {
            int32_t size = 0;
            q.get("size", size);
            if (const uint8_t* d = q.at("data", static_cast<uint32_t>(std::max(size, 0)))) p.bytes.assign(d, d + std::max(size, 0));
        }
        if (found != list->end()) *found = std::move(p);
        else list->push_back(std::move(p));
        return q.answer(v_.success);
    }
    if (found == list->end()) {
        lastKey_ = "answers/none";
        return q.answer(v_.none);
    }
    if (n.starts_with("VokDelete")) {
        list->erase(found);
        return q.answer(v_.success);
    }
    if (n == "VokMarkProperty") {
        q.get("value", found->marked);
        return q.answer(v_.success);
    }
    // The getters: a typed element property is read back from offset 0; a
    // database property into its segment.
    if (n == "VokGetPropertyOfLong") q.writeAt(0, &found->number, 4);
    else if (n == "VokGetPropertyOfDouble") q.writeAt(0, &found->real, 8);
    else if (n == "VokGetPropertyOfString" || n == "VokGetDBPropertyOfString") {
        char buf[256] = {};
        std::memcpy(buf, found->text.data(), std::min<size_t>(found->text.size(), 255));
        if (n == "VokGetPropertyOfString") q.writeAt(0, buf, sizeof buf);
        else q.write("value", buf, sizeof buf);
        if (n == "VokGetDBPropertyOfString") return q.answer(-1);  // its outputs are copied on a 16-bit -1 only
    } else if (n == "VokGetDBPropertyOfLong") q.write("value", &found->number, 4);
    else return false;
    return q.answer(v_.success);
}

// ------------------------------------------------------------ panels

Panel* Model::panelByHandle(Req& q, uint32_t handle) {
    const auto it = handles_.find(handle);
    if (it != handles_.end()) {
        Panel& p = panels_[it->second];
        if (!p.destroyed) return &p;
    }
    wrongHandles_.push_back({q.r.seq, std::string(q.name()), handle});
    return nullptr;
}

bool Model::panelsFamily(Req& q) {
    const std::string_view n = q.name();
    if (n == "VokCreateCSB") {
        const int16_t id = static_cast<int16_t>(q.lp & 0xFFFF);
        Panel p;
        p.csbID = id;
        p.handle = nextHandle_++;
        q.text("text1", p.title);
        handles_[p.handle] = id;
        panels_[id] = std::move(p);
        lastKey_ = "panels/createAnswers";
        return q.answer(v_.panelCreateAnswers == CreateAnswer::Handle ? static_cast<int32_t>(panels_[id].handle) : v_.success);
    }
    if (n == "VokGetCSBHandle") {
        const auto it = panels_.find(static_cast<int16_t>(q.lp & 0xFFFF));
        lastKey_ = "panels/firstHandle";
        if (it == panels_.end() || it->second.destroyed) return q.answer(v_.none);
        return q.answer(static_cast<int32_t>(it->second.handle));
    }
    Panel* p = panelByHandle(q, q.lp);
    lastKey_ = "answers/none";
    if (!p) return q.answer(v_.none);
    lastKey_ = "answers/success";
    if (n == "VokComposeCSB") {
        p->composed = true;
        return q.answer(v_.success);
    }
    if (n == "VokDestroyCSB") {
        p->destroyed = true;
        handles_.erase(p->handle);
        return q.answer(v_.success);
    }
    int16_t item = 0;
    if (!q.get("itemID", item)) return false;
    if (n.starts_with("VokCreate")) {
        Control c;
        c.exportName = std::string(n);
        q.text("text", c.text);
        p->controls[item] = std::move(c);
        return q.answer(v_.success);
    }
    const auto it = p->controls.find(item);
    lastKey_ = "answers/none";
    if (it == p->controls.end()) return q.answer(v_.none);
    lastKey_ = "answers/success";
    Control& c = it->second;
    if (n == "VokGetButtonStatus") q.write("status", &c.button, sizeof c.button);
    else if (n == "VokSetButtonStatus") q.get("status", c.button);
    else if (n == "VokGetPullBoxStatus") q.write("value", &c.pull, 2);
    else if (n == "VokSetPullBoxStatus") q.get("value", c.pull);
    else if (n.starts_with("VokGet") && n.ends_with("BoxStatus")) q.write("status", &c.box, sizeof c.box);
    else if (n.starts_with("VokSet") && n.ends_with("BoxStatus")) q.get("status", c.box);
    else if (n == "VokEnableCSBPart") c.enabled = true;
    else if (n == "VokDisableCSBPart") c.enabled = false;
    else if (n != "VokCSBSetFocus") return false;
    return q.answer(v_.success);
}

void Model::delivered(const DeliveredEvent& e) {
    const std::string& m = e.method;
    const bool box = m == "VokProcIntBoxEvent" || m == "VokProcRealBoxEvent" || m == "VokProcStringBoxEvent";
    if (!box && m != "VokProcButtonEvent") return;
    if (e.args.size() < 3) return;
    int64_t id = 0, item = 0;
    if (!parseInteger(e.args[0], id) || !parseInteger(e.args[1], item)) return;
    const auto p = panels_.find(static_cast<int16_t>(id));
    if (p == panels_.end()) return;
    Control& c = p->second.controls[static_cast<int16_t>(item)];
    if (m == "VokProcButtonEvent") {
        int64_t state = 0;
        if (!parseInteger(e.args[2], state)) return;
        const auto s = static_cast<int16_t>(state);
        std::memcpy(c.button.bytes + v_.buttonStateOffset, &s, 2);
        return;
    }
    if (v_.boxText == BoxText::Kept) return;
    std::string text = e.args[2];
    if (m == "VokProcRealBoxEvent") {
        double d = 0;
        if (parseDouble(text, d)) text = number(d);
    } else if (m == "VokProcStringBoxEvent") {
        text = utf8ToAnsi(text);
    }
    std::memset(c.box.text, 0, sizeof c.box.text);
    std::memcpy(c.box.text, text.data(), std::min<size_t>(text.size(), sizeof c.box.text - 1));
}

// ------------------------------------------------------------ mask and options

bool Model::optionsFamily(Req& q) {
    const std::string_view n = q.name();
    if (n == "VokGetEventMask") {
        lastKey_ = "eventMask/initial";
        return q.answer(mask_);
    }
    lastKey_ = "answers/success";
    if (n == "VokSetEventMask") {
        mask_ = static_cast<int32_t>(q.lp);
        return q.answer(v_.success);
    }
    const bool option = n.starts_with("VokSetOption") || n.starts_with("VokSetSelect");
    if (!option) return false;
    std::string key(n);
    if (q.e.lparam != LParamForm::Zero && q.e.lparam != LParamForm::Arg32) key += " " + std::to_string(q.lp & 0xFFFF);
    else if (q.e.lparam == LParamForm::Arg32 && !q.e.args.empty() && std::strcmp(q.e.args[0].name, "mode") == 0)
        key += " " + std::to_string(q.lp);
    // The value: the lParam when it is the value, otherwise the payload.
    std::vector<uint8_t> value = q.e.segments.empty() || q.r.request.empty() ? bytesOf(q.lp) : q.r.request;
    options_[key] = std::move(value);
    return q.answer(v_.success);
}

// ------------------------------------------------------------ feedback and display

bool Model::feedback(Req& q) {
    const std::string_view n = q.name();
    FeedbackItem f;
    f.seq = q.r.seq;
    f.exportName = std::string(n);
    std::string text;
    if (q.text("message", text)) f.text = ansiToUtf8(text);
    lastKey_ = "answers/success";
    int32_t a = v_.success;
    if (n == "VokConfirmYesNo") {
        lastKey_ = "answers/confirm";
        a = v_.confirm;
    } else if (n == "VokGetCommandID") {
        lastKey_ = "answers/commandId";
        a = v_.commandId;
    }
    if (n == "VokCommandGuide") drawing_.guide_ = f.text;
    if (n == "VokCommandMode") drawing_.mode_ = f.text;
    if (n != "VokGetCommandID" && n != "VokCommitDBAccess" && n != "VokShowHelp") {
        f.answer = a;
        drawing_.feedback_.push_back(std::move(f));
    }
    return q.answer(a);
}

bool Model::display(Req& q) {
    const std::string_view n = q.name();
    using W = ShownItem::What;
    ShownItem s;
    s.seq = q.r.seq;
    s.exportName = std::string(n);
    if (n == "VokDrawRubberMarkElements" || n == "VokDisplayBSplineShapeIF") {
        s.what = n == "VokDisplayBSplineShapeIF" ? W::Shape : W::Rubber;
    } else if (n == "VokStartRubber" || n == "VokEndRubber") {
        s.what = n == "VokStartRubber" ? W::RubberStart : W::RubberEnd;
        drawing_.rubberOn_ = n == "VokStartRubber";
    } else if (n == "VokDisplayAll" || n == "VokDisplayZoomAll") {
        s.what = W::All;
    } else if (n.find("Element") != std::string_view::npos || n.find("Mark") != std::string_view::npos) {
        s.what = n.find("Mark") != std::string_view::npos ? W::Mark : W::Element;
        s.target = static_cast<int32_t>(q.lp);
        q.get("hilightMode", s.mode);
    } else {
        std::optional<Shape> shape = shapeOf(q.e, q.r);
        if (!shape) return false;
        s.shape = std::move(*shape);
        s.what = n.starts_with("VokDrawRubber") ? W::Rubber : W::Shape;
        q.get("attr", s.attr);
        q.get("stringAttr", s.stringAttr);
    }
    drawing_.shown_.push_back(std::move(s));
    lastKey_ = "answers/success";
    return q.answer(v_.success);
}

// ------------------------------------------------------------ database

bool Model::database(Req& q) {
    const std::string_view n = q.name();
    lastKey_ = "answers/success";
    if (n == "VokGetNumberElement") return q.answer(static_cast<int32_t>(drawing_.liveCount()));
    if (n == "VokGetEpsLength") return q.write("result", &epsLength_, 8) && q.answer(v_.success);
    if (n == "VokGetEpsAngle") return q.write("result", &epsAngle_, 8) && q.answer(v_.success);
    if (n == "VokSetEpsLength") return q.get("epsLength", epsLength_) && q.answer(v_.success);
    if (n == "VokSetEpsAngle") return q.get("epsAngle", epsAngle_) && q.answer(v_.success);
    if (n == "VokGetDispDigit") return q.answer(dispDigit_);
    if (n == "VokSetDispDigit") {
        dispDigit_ = static_cast<int32_t>(q.lp & 0xFFFF);
        return q.answer(v_.success);
    }
    if (n == "VokGetInputLayer") return q.answer(inputLayer_);
    if (n == "VokChangeInputLayer") {
        inputLayer_ = static_cast<int32_t>(q.lp & 0xFFFF);
        return q.answer(v_.success);
    }
    if (n == "VokGetCurrentDBHandle") {
        lastKey_ = "database/currentDB";
        return q.answer(v_.currentDB);
    }
    return false;
}

// ------------------------------------------------------------ marks and groups

bool Model::marksAndGroups(Req& q) {
    const std::string_view n = q.name();
    const bool mark = n.find("Mark") != std::string_view::npos;
    Drawing::Members& sets = mark ? drawing_.marks_ : drawing_.groups_;
    if (n == "VokAssignMark" || n == "VokCreateGroup") {
        const int32_t id = mark ? nextMark_++ : nextGroup_++;
        sets[id];
        lastKey_ = mark ? "elements/firstMark" : "elements/firstGroup";
        return q.answer(id);
    }
    if (n == "VokGetGroupByMember") {
        lastKey_ = "answers/none";
        for (const auto& [id, list] : sets)
            if (std::find(list.begin(), list.end(), static_cast<int32_t>(q.lp)) != list.end()) return q.answer(id);
        return q.answer(v_.none);
    }
    if (n == "VokGetGroupNextMember") {
        // The member after the one named (the argument names the member before).
        lastKey_ = "answers/none";
        for (const auto& [id, list] : sets) {
            const auto at = std::find(list.begin(), list.end(), static_cast<int32_t>(q.lp));
            if (at != list.end()) return q.answer(at + 1 == list.end() ? v_.none : *(at + 1));
        }
        return q.answer(v_.none);
    }
    int32_t id = static_cast<int32_t>(q.lp);
    if (q.e.lparam == LParamForm::Zero && !q.get("mark", id)) return false;
    const auto it = sets.find(id);
    lastKey_ = "answers/none";
    if (it == sets.end()) return q.answer(v_.none);
    std::vector<int32_t>& list = it->second;
    lastKey_ = "answers/success";
    int32_t el = 0;
    if (n == "VokFreeMark" || n == "VokResolveGroup") {
        sets.erase(it);
        return q.answer(v_.success);
    }
    if (n == "VokOpenMark" || n == "VokCloseMark" || n == "VokReadMark") return q.answer(v_.success);
    if (n == "VokMarkElement" || n == "VokAppendGroupMember") {
        if (!q.get("element", el)) return false;
        if (!drawing_.live(el)) return q.answer(v_.none);
        if (std::find(list.begin(), list.end(), el) == list.end()) list.push_back(el);
        return q.answer(v_.success);
    }
    if (n == "VokMarkAllElements") {
        list.clear();
        for (const Element& e : drawing_.elements())
            if (!e.deleted) list.push_back(e.index);
        return q.answer(v_.success);
    }
    if (n == "VokDeleteMarkElements") {
        const std::vector<int32_t> doomed = list;
        for (int32_t x : doomed) drawing_.erase(x, q.r.seq);
        return q.answer(v_.success);
    }
    if (n == "VokCountMarkElements") return q.answer(static_cast<int32_t>(list.size()));
    if (n == "VokCheckMarkElement") {
        if (!q.get("element", el)) return false;
        const bool in = std::find(list.begin(), list.end(), el) != list.end();
        return q.answer(in ? v_.success : v_.none);
    }
    if (n == "VokFreeGroupMember") {
        if (!q.get("element", el)) return false;
        const auto at = std::find(list.begin(), list.end(), el);
        if (at == list.end()) return q.answer(v_.none);
        list.erase(at);
        return q.answer(v_.success);
    }
    if (n == "VokGetGroupFirstMember") return q.answer(list.empty() ? v_.none : list.front());
    return false;
}

// ------------------------------------------------------------ learning

void Model::learn(const LoggedRequest& r) {
    if (r.message != kav::kRequestMessage || r.decoded.names.empty()) return;
    const ExportLayout* e = rowOf(r.decoded);
    if (!e) return;
    // The request's effect on the model's state, as if the model had answered ...
    const size_t made = drawing_.elements().size();
    const int32_t element = static_cast<int32_t>(r.decoded.lParam);
    const bool known = drawing_.live(element) != nullptr;
    Reply mine;
    const bool modelled = answer(r, mine);
    // ... then what the host chose: indices, handles, links, marks, groups, the mask.
    const std::string_view n = e->name;
    const auto host = static_cast<int32_t>(r.reply.answer);
    const bool makes = (e->code >= 1220 && e->code <= 1239);
    if (makes && modelled && drawing_.elements().size() > made) {
        const int32_t mineIndex = drawing_.elements().back().index;
        if (host == v_.none) drawing_.erase(mineIndex, r.seq);
        else if (v_.createAnswers == CreateAnswer::Index && host != mineIndex) drawing_.reindex(mineIndex, host);
        return;
    }
    auto renumber = [&](Drawing::Members& sets, int32_t mineId) {
        if (host == mineId || host == v_.none) return;
        auto node = sets.extract(mineId);
        if (node.empty()) return;
        node.key() = host;
        sets.insert(std::move(node));
    };
    if (n == "VokAssignLink" && modelled) renumber(drawing_.links_, static_cast<int32_t>(mine.answer));
    else if (n == "VokAssignMark" && modelled) renumber(drawing_.marks_, static_cast<int32_t>(mine.answer));
    else if (n == "VokCreateGroup" && modelled) renumber(drawing_.groups_, static_cast<int32_t>(mine.answer));
    else if (n == "VokGetEventMask") mask_ = host;
    else if ((n == "VokGetCSBHandle" && host != v_.none) ||
             (n == "VokCreateCSB" && v_.panelCreateAnswers == CreateAnswer::Handle)) {
        const int16_t id = static_cast<int16_t>(r.decoded.lParam & 0xFFFF);
        Panel& p = panels_[id];
        p.csbID = id;
        handles_.erase(p.handle);
        p.handle = static_cast<uint32_t>(host);
        p.destroyed = false;
        handles_[p.handle] = id;
    } else if (!known && e->code >= 1210 && e->code <= 1217 && host != v_.none) {
        // An element the session never made: its shape as the host wrote it.
        std::vector<uint8_t> after = r.request;
        for (const PayloadWrite& w : r.reply.writes) {
            if (after.size() < w.offset + w.bytes.size()) after.resize(w.offset + w.bytes.size());
            std::copy(w.bytes.begin(), w.bytes.end(), after.begin() + w.offset);
        }
        LoggedRequest written = r;
        written.request = std::move(after);
        if (std::optional<Shape> shape = shapeOf(*e, written)) {
            if (e->code == 1216) {
                for (size_t i = 0; i < e->segments.size() && i < r.decoded.segments.size(); ++i)
                    if (std::strcmp(e->segments[i].name, "shape.text") == 0 &&
                        r.decoded.segments[i].offset < written.request.size()) {
                        const char* t = reinterpret_cast<const char*>(written.request.data() + r.decoded.segments[i].offset);
                        shape->text.assign(t, strnlen(t, written.request.size() - r.decoded.segments[i].offset));
                    }
            }
            drawing_.add(makeElement(std::move(*shape), 0), element);
        }
    }
}

}  // namespace kavhost::model
