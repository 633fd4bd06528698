#include "model/profile.h"

#include "input.h"
#include "script/host_text.h"
#include "model/conventions.h"
#include "model/drawing.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace kavhost::model {
namespace {

using Json = nlohmann::json;

Json parse(const std::string& text, const std::string& name) {
    Json j;
    if (std::string why; !parseJson(text, j, why)) throw ProfileError(name + ": not JSON (" + why + ")");
    if (!j.is_object()) throw ProfileError(name + ": not a JSON object");
    return j;
}

std::string readProfile(const std::string& path) {
    try {
        return readInput(path, ZeroTail::refused);
    } catch (const InputError& e) {
        if (e.isUnreadable()) throw ProfileError("cannot read the profile " + path);
        throw ProfileError(path + ": " + e.what());
    }
}

// The value of an entry: {"value": v, ...} or v itself.
const Json& valueOf(const Json& entry) {
    if (entry.is_object()) {
        const auto it = entry.find("value");
        if (it != entry.end()) return *it;
    }
    return entry;
}

// Overlays `patch` on `base`: an entry the patch names replaces the base's,
// a plain value keeps the base entry's other fields but is an assumption of
// the overlay.
void overlay(Json& base, const Json& patch, const std::string& from) {
    for (auto it = patch.begin(); it != patch.end(); ++it) {
        Json& target = base[it.key()];
        const Json& v = it.value();
        const bool isEntry = v.is_object() && v.contains("value");
        if (v.is_object() && !isEntry) {
            if (!target.is_object()) target = Json::object();
            overlay(target, v, from);
        } else if (isEntry) {
            target = v;
        } else {
            target = Json{{"value", v}, {"status", "assumption"}, {"from", from}};
        }
    }
}

class Reader {
public:
    Reader(const Json& j, const std::string& name) : j_(j), name_(name) {}
    const Json& at(const char* section, const char* key) const {
        const auto s = j_.find(section);
        if (s == j_.end() || !s->is_object()) fail(std::string("no section \"") + section + "\"");
        const auto k = s->find(key);
        if (k == s->end()) fail(std::string("no \"") + section + "/" + key + "\"");
        return valueOf(*k);
    }
    int32_t integer(const char* section, const char* key) const {
        const Json& v = at(section, key);
        if (!v.is_number_integer() || v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > static_cast<int64_t>(UINT32_MAX))
            fail(std::string("\"") + section + "/" + key + "\" is not a 32-bit integer");
        return static_cast<int32_t>(v.get<int64_t>());
    }
    double real(const char* section, const char* key) const {
        const Json& v = at(section, key);
        if (!v.is_number()) fail(std::string("\"") + section + "/" + key + "\" is not a number");
        return v.get<double>();
    }
    std::string text(const char* section, const char* key) const {
        const Json& v = at(section, key);
        if (!v.is_string()) fail(std::string("\"") + section + "/" + key + "\" is not a string");
        return v.get<std::string>();
    }
    template <size_t N> void bytes(const char* section, const char* key, unsigned char (&out)[N]) const {
        std::vector<uint8_t> b;
        if (!fromHex(text(section, key), b) || b.size() > N)
            fail(std::string("\"") + section + "/" + key + "\" is not at most " + std::to_string(N) + " hex bytes");
        std::memset(out, 0, N);
        std::memcpy(out, b.data(), b.size());
    }
    template <class E> E choice(const char* section, const char* key, std::initializer_list<std::pair<const char*, E>> list) const {
        const std::string v = text(section, key);
        std::string names;
        for (const auto& [n, e] : list) {
            if (v == n) return e;
            names += names.empty() ? n : std::string(", ") + n;
        }
        fail(std::string("\"") + section + "/" + key + "\" is \"" + v + "\", not one of " + names);
    }
    [[noreturn]] void fail(const std::string& why) const { throw ProfileError(name_ + ": " + why); }

private:
    const Json& j_;
    const std::string& name_;
};

}  // namespace

Profile Profile::fromText(const std::string& text, const std::string& name) {
    Profile p;
    p.json_ = parse(text, name);
    p.name_ = name;
    p.read();
    return p;
}

// A file's name without its folder: what a recording names.
static std::string leaf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

Profile Profile::fromFile(const std::string& path) {
    const std::string text = readProfile(path);
    Profile p;
    p.json_ = parse(text, path);
    p.name_ = path;
    p.read();
    p.name_ = leaf(path);
    return p;
}

void Profile::overlayText(const std::string& text, const std::string& name) {
    const Json patch = parse(text, name);
    if (const auto v = patch.find("version"); v != patch.end() && *v != kProfileVersion)
        throw ProfileError(name + ": unknown profile version " + v->dump() + " (kavhost reads version " +
                           std::to_string(kProfileVersion) + ")");
    overlay(json_, patch, name);
    name_ += " + " + name;
    read();
}

void Profile::overlayFile(const std::string& path) {
    const std::string text = readProfile(path);
    const Json patch = parse(text, path);
    if (const auto v = patch.find("version"); v != patch.end() && *v != kProfileVersion)
        throw ProfileError(path + ": unknown profile version " + v->dump() + " (kavhost reads version " +
                           std::to_string(kProfileVersion) + ")");
    overlay(json_, patch, leaf(path));
    const std::string kept = name_;
    name_ = path;
    read();
    name_ = kept + " + " + leaf(path);
}

const Json* Profile::find(const std::string& path) const {
    const Json* at = &json_;
    size_t from = 0;
    while (from <= path.size()) {
        const size_t slash = std::min(path.find('/', from), path.size());
        const std::string key = path.substr(from, slash - from);
        if (!at->is_object()) return nullptr;
        const auto it = at->find(key);
        if (it == at->end()) return nullptr;
        at = &*it;
        from = slash + 1;
    }
    return at;
}

std::string Profile::status(const std::string& path) const {
    const Json* e = find(path);
    if (!e || !e->is_object()) return "assumption";
    const std::string s = e->value("status", std::string("assumption"));
    const std::string by = e->value("by", std::string());
    return by.empty() ? s : s + " by " + by;
}

void Profile::read() {
    const Reader r(json_, name_);
    const auto v = json_.find("version");
    if (v == json_.end() || !v->is_number_integer()) r.fail("no \"version\"");
    version_ = v->get<int>();
    if (version_ != kProfileVersion)
        r.fail("unknown profile version " + std::to_string(version_) + " (kavhost reads version " +
               std::to_string(kProfileVersion) + ")");
    ProfileValues& p = values_;
    p.success = r.integer("answers", "success");
    p.none = r.integer("answers", "none");
    p.confirm = r.integer("answers", "confirm");
    p.commandId = r.integer("answers", "commandId");
    for (size_t k = 0; k < kKindNames.size(); ++k)
        p.elementTypes[k] = r.integer("elementTypes", std::string(kKindNames[k]).c_str());
    p.firstIndex = r.integer("elements", "firstIndex");
    p.createAnswers = r.choice("elements", "createAnswers", {std::pair{"index", CreateAnswer::Index}, {"success", CreateAnswer::Success}});
    p.firstLink = r.integer("elements", "firstLink");
    p.firstMark = r.integer("elements", "firstMark");
    p.firstGroup = r.integer("elements", "firstGroup");
    p.layer = r.integer("elements", "layer");
    r.bytes("systemAttributes", "elementAttr", p.elementAttr.bytes);
    r.bytes("systemAttributes", "stringAttr", p.stringAttr.bytes);
    p.exValue1 = static_cast<int16_t>(r.integer("systemAttributes", "exValue1"));
    p.exValue2 = static_cast<int16_t>(r.integer("systemAttributes", "exValue2"));
    p.initialMask = r.integer("eventMask", "initial");
    p.selectCSB = r.integer("selection", "selectCSB");
    p.panelCreateAnswers = r.choice("panels", "createAnswers", {std::pair{"success", CreateAnswer::Success}, {"handle", CreateAnswer::Handle}});
    p.firstHandle = static_cast<uint32_t>(r.integer("panels", "firstHandle"));
    if (p.firstHandle <= 0xFFFF) r.fail("\"panels/firstHandle\" must be above 0xFFFF, so that no panel number reads as a handle");
    p.boxText = r.choice("panels", "boxText", {std::pair{"value", BoxText::Value}, {"kept", BoxText::Kept}});
    p.buttonStateOffset = static_cast<uint32_t>(r.integer("panels", "buttonStateOffset"));
    if (p.buttonStateOffset > sizeof(ButtonStatus) - 2) r.fail("\"panels/buttonStateOffset\" must be 0..4");
    p.epsLength = r.real("database", "epsLength");
    p.epsAngle = r.real("database", "epsAngle");
    p.dispDigit = r.integer("database", "dispDigit");
    p.currentDB = r.integer("database", "currentDB");
}

CalcConventions conventionsOf(const Profile& profile) {
    CalcConventions c;
    c.successValue = profile.values().success;
    c.noneValue = profile.values().none;
    for (const ConventionField& f : kConventionFields) {
        if (f.name == "successValue" || f.name == "noneValue") continue;
        const std::string key = std::string(f.name);
        const Json* entry = profile.find("calculations/" + key);
        const std::string where = profile.name() + ": \"calculations/" + key + "\"";
        if (!entry) throw ProfileError(where + " is missing");
        const Json& v = valueOf(*entry);
        double d = 0;
        switch (f.kind) {
        case FieldKind::Flag:
            if (!v.is_boolean()) throw ProfileError(where + " is not true or false");
            d = v.get<bool>() ? 1 : 0;
            break;
        case FieldKind::Choice: {
            if (!v.is_string()) throw ProfileError(where + " is not a string");
            const std::string name = v.get<std::string>();
            std::string names;
            d = -1;
            for (size_t i = 0; i < f.choices.size(); ++i) {
                if (f.choices[i] == name) d = static_cast<double>(i);
                names += (i ? ", " : "") + std::string(f.choices[i]);
            }
            if (d < 0) throw ProfileError(where + " is \"" + name + "\", not one of " + names);
            break;
        }
        case FieldKind::Integer: case FieldKind::Number:
            if (!v.is_number() || (f.kind == FieldKind::Integer && !v.is_number_integer()))
                throw ProfileError(where + " is not " + (f.kind == FieldKind::Integer ? "an integer" : "a number"));
            d = v.get<double>();
            if (d < f.min || d > f.max) throw ProfileError(where + " is out of range");
            break;
        }
        f.set(c, d);
    }
    return c;
}

std::string defaultProfilePath() {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    std::wstring folder(exe, n);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    for (const wchar_t* rel : {L"share\\kavlink\\host-profile.json", L"..\\share\\kavlink\\host-profile.json"}) {
        const std::wstring p = folder + rel;
        if (GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES) return narrow(p);
    }
    return "";
}

}  // namespace kavhost::model
