// The stand-in host's layout table against the library: every export that
// kavlink.dll has is called with sound arguments built from its argument
// kinds, and kavhost's decoder must name the export that made the request and
// account for exactly the bytes it sent.  The argument kinds in the table must
// agree with the families' own export lists.
#include "decoder.h"
#include "export_table.h"
#include "kavlink.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

using namespace kavtest;

namespace {

constexpr uint32_t kCount = 3;  // every count argument

// Owns everything the arguments of one call point to.
class Arguments {
public:
    ~Arguments() {
        for (SAFEARRAY* a : arrays_) SafeArrayDestroy(a);
        for (BSTR b : strings_) SysFreeString(b);
    }

    // Builds the slots for the kinds; counts are kCount wherever another
    // argument's size refers to them.
    Slots build(const std::vector<std::string>& kinds) {
        std::vector<bool> isCount(kinds.size());
        for (const std::string& k : kinds) {
            const size_t at = k.find('@');
            if (at != std::string::npos) {
                const size_t i = std::strtoul(k.c_str() + at + 1, nullptr, 10);
                if (i < isCount.size()) isCount[i] = true;
            }
        }
        Slots s;
        for (size_t i = 0; i < kinds.size(); ++i) {
            const std::string& k = kinds[i];
            if (k == "i32") s.u32(isCount[i] ? kCount : 0x01020304);
            else if (k == "i16") s.u32(isCount[i] ? kCount : 0x0102);
            else if (k == "u8") s.u32(0x12);
            else if (k == "f64") s.f64(1.5);
            else if (k == "i64") s.i64(1700000000);
            else if (k == "text") s.ptr(text("ab"));
            else if (k == "bstr") s.ptr(bstr("ab"));
            else if (k == "strvar") s.ptr(stringVariable("ab"));
            else if (k == "sshape" || k == "sshape:256") {
                auto* shape = reinterpret_cast<StringShape*>(bytes(sizeof(StringShape)));
                shape->position = {1.5, 2.5};
                shape->text = k == "sshape" ? text("ab") : reinterpret_cast<char*>(bytes(256));
                s.ptr(shape);
            } else if (k.rfind("ref:", 0) == 0) s.ptr(bytes(size(k.substr(4))));
            else if (k.rfind("arr:", 0) == 0) s.ptr(array(size(k.substr(4))));
            else if (k.rfind("names@", 0) == 0) {
                auto* names = reinterpret_cast<const char**>(bytes(kCount * sizeof(char*)));
                for (uint32_t n = 0; n < kCount; ++n) names[n] = text("ab");
                s.ptr(names);
            } else {
                ADD_FAILURE() << "unknown argument kind " << k;
                s.u32(0);
            }
        }
        return s;
    }

private:
    static uint32_t size(const std::string& kindText) {  // "N", "N*@K", "+1@K"
        if (kindText.rfind("+1@", 0) == 0) return kCount + 1;
        const uint32_t n = static_cast<uint32_t>(std::strtoul(kindText.c_str(), nullptr, 10));
        return kindText.find('*') != std::string::npos ? n * kCount : n;
    }
    // Caller memory filled with 0x11, never the recording host's sentinel.
    uint8_t* bytes(size_t n) {
        blocks_.emplace_back(n + 16, 0x11);
        return blocks_.back().data();
    }
    char* text(const char* t) {
        blocks_.emplace_back(t, t + std::strlen(t) + 1);
        return reinterpret_cast<char*>(blocks_.back().data());
    }
    BSTR bstr(const char* t) {
        BSTR b = SysAllocStringByteLen(t, static_cast<UINT>(std::strlen(t)));
        strings_.push_back(b);
        return b;
    }
    BSTR* stringVariable(const char* t) {
        variables_.push_back(std::make_unique<BSTR>(SysAllocStringByteLen(t, static_cast<UINT>(std::strlen(t)))));
        strings_.push_back(*variables_.back());
        return variables_.back().get();
    }
    SAFEARRAY** array(uint32_t n) {
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, n);
        std::memset(a->pvData, 0x11, n);
        arrays_.push_back(a);
        arrayVariables_.push_back(std::make_unique<SAFEARRAY*>(a));
        return arrayVariables_.back().get();
    }

    std::deque<std::vector<uint8_t>> blocks_;
    std::vector<BSTR> strings_;
    std::vector<std::unique_ptr<BSTR>> variables_;
    std::vector<SAFEARRAY*> arrays_;
    std::vector<std::unique_ptr<SAFEARRAY*>> arrayVariables_;
};

// What an argument looks like to a caller: value integer, double, 64-bit,
// text, string variable, or an address of caller memory.
std::string slotClass(const std::string& k) {
    if (k == "i32" || k == "i16" || k == "u8" || k == "f64" || k == "i64" || k == "text" || k == "strvar") return k;
    if (k == "bstr") return "text";
    return "address";
}

TEST(DecoderVersusLibrary, EveryExportOfTheDllIsInTheTable) {
    for (const std::string& name : lib().exportedNames())
        EXPECT_NE(kavhost::findLayout(name), nullptr) << name << " is missing from kavhost's layout table";
}

TEST(DecoderVersusLibrary, ArgumentKindsAgreeWithTheFamilies) {
    for (const ExportSpec& e : allExports()) {
        const kavhost::ExportLayout* l = kavhost::findLayout(e.name);
        if (!l) continue;  // reported by the test above
        const std::vector<std::string> kinds = e.kinds();
        ASSERT_EQ(kinds.size(), l->argKinds.size()) << e.name;
        for (size_t i = 0; i < kinds.size(); ++i)
            EXPECT_EQ(slotClass(kinds[i]), slotClass(l->argKinds[i])) << e.name << " argument " << i;
        EXPECT_EQ(std::string(e.result), l->result) << e.name;
    }
}

TEST(DecoderVersusLibrary, EveryRequestIsRecognisedWithItsSize) {
    RecordingHost host;
    host.bind();
    size_t checked = 0;
    for (const ExportSpec& e : allExports()) {
        const kavhost::ExportLayout* l = kavhost::findLayout(e.name);
        if (!l || std::string(e.name) == "InitVBCmdLib") continue;
        SCOPED_TRACE(e.name);
        Arguments args;
        const Slots slots = args.build(e.kinds());
        host.clear();
        host.reply(1);
        host.call(e.name, slots, e.returnsDouble());
        if (l->lparam == kavhost::LParamForm::NoRequest) {
            EXPECT_TRUE(host.requests().empty());
            continue;
        }
        ASSERT_EQ(host.requests().size(), 1u) << "sound arguments must make exactly one request";
        const Recorded& r = host.requests()[0];
        if (l->lparam == kavhost::LParamForm::Exit) {
            EXPECT_EQ(r.message, kavhost::kExitCommandMessage);
            continue;
        }
        ASSERT_EQ(r.message, kavhost::kRequestMessage);
        const kavhost::Decoded d = kavhost::decode(r.code, r.lParam, r.payload.data(), r.payload.size());
        EXPECT_NE(std::find(d.names.begin(), d.names.end(), e.name), d.names.end())
            << "decoded as " << d.nameText() << " (code " << r.code << ")";
        EXPECT_TRUE(d.problem.empty()) << d.problem;
        EXPECT_EQ(d.total, r.length()) << "code " << r.code << " lParam " << r.lParam;
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

}  // namespace
