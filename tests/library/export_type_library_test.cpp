// kavlink.tlb, generated from the export table: its module declares every
// export of the table by name, with kavlink.dll as its DLL, and parameter
// and result types that follow the row; its helpstrings are the summaries of
// the reference descriptions.
#include "com_ref.h"
#include "decoder.h"
#include "reference_summaries.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace {

std::wstring besideTheProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\') + 1) + name;
}

std::string narrow(const wchar_t* w) {
    std::string s;
    for (; w && *w; ++w) s += static_cast<char>(*w);
    return s;
}

std::string hr(HRESULT h) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(h));
    return b;
}

// The type an argument of this kind must have, as "VT" or "PTR VT" (a
// pointer to it); "PTR" alone: a pointer to anything.
std::string expectedType(const kavhost::ExportLayout& e, size_t i) {
    using kavhost::ArgKind;
    switch (e.args[i].kind) {
    case ArgKind::I32: return "3";     // VT_I4
    case ArgKind::I16: return "2";     // VT_I2
    case ArgKind::U8: return "17";     // VT_UI1
    case ArgKind::F64: return "5";     // VT_R8
    case ArgKind::I64: return "6";     // VT_CY
    case ArgKind::Text: return "30";   // VT_LPSTR
    case ArgKind::Bstr: return "8";    // VT_BSTR
    case ArgKind::StrVar: return "PTR 8";
    case ArgKind::Array: case ArgKind::ArrayTimes: return "PTR 27";  // VT_SAFEARRAY
    case ArgKind::Names: return "PTR 3";
    default: break;
    }
    for (const kavhost::SegmentLayout& s : e.segments) {
        if (s.arg != static_cast<int>(i) || s.argText || s.countFrom != kavhost::CountFrom::None) continue;
        switch (s.kind) {
        case kavhost::SegmentKind::F64: return "PTR 5";
        case kavhost::SegmentKind::I32: return "PTR 3";
        case kavhost::SegmentKind::I16: return "PTR 2";
        case kavhost::SegmentKind::U8: return "PTR 17";
        case kavhost::SegmentKind::TextBuf: return "30";
        default: return "PTR";
        }
    }
    return "PTR";
}

std::string actualType(const TYPEDESC& t, bool pointeeWanted) {
    if (t.vt == VT_PTR) return pointeeWanted ? "PTR " + std::to_string(t.lptdesc->vt) : "PTR";
    return std::to_string(t.vt);
}

std::string resultType(kavhost::ResultForm result) {
    switch (result) {
    case kavhost::ResultForm::Void: return "24";  // VT_VOID
    case kavhost::ResultForm::I16: return "2";
    case kavhost::ResultForm::F64: return "5";
    case kavhost::ResultForm::I64: return "6";
    case kavhost::ResultForm::Bstr: return "8";
    default: return "3";
    }
}

// The module of kavlink.tlb (empty, with a failure reported, when it cannot be read).
kavcmd::ComRef<ITypeInfo> loadModule() {
    kavcmd::ComRef<ITypeLib> lib;
    kavcmd::ComRef<ITypeInfo> module;
    const HRESULT loaded = ::LoadTypeLibEx(besideTheProgram(L"kavlink.tlb").c_str(), REGKIND_NONE, lib.put());
    EXPECT_TRUE(SUCCEEDED(loaded)) << "LoadTypeLibEx(kavlink.tlb): " << hr(loaded);
    for (UINT i = 0; lib && i < lib->GetTypeInfoCount() && !module; ++i) {
        TYPEKIND kind;
        if (SUCCEEDED(lib->GetTypeInfoType(i, &kind)) && kind == TKIND_MODULE) lib->GetTypeInfo(i, module.put());
    }
    EXPECT_TRUE(module) << "no module in kavlink.tlb";
    return module;
}

// A string that the caller of a type library method frees.
struct OwnedBstr {
    BSTR p = nullptr;
    ~OwnedBstr() { ::SysFreeString(p); }
};

TEST(ExportTypeLibrary, TheModuleDeclaresEveryExportAsItsRowSays) {
    const kavcmd::ComRef<ITypeInfo> module = loadModule();
    ASSERT_TRUE(module);
    TYPEATTR* attr = nullptr;
    ASSERT_TRUE(SUCCEEDED(module->GetTypeAttr(&attr)));
    const UINT functions = attr->cFuncs;
    module->ReleaseTypeAttr(attr);
    EXPECT_EQ(functions, kavhost::exportLayouts().size());

    std::set<std::string> seen;
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* fd = nullptr;
        ASSERT_TRUE(SUCCEEDED(module->GetFuncDesc(f, &fd)));
        BSTR dll = nullptr, entry = nullptr;
        WORD ordinal = 0;
        const HRESULT h = module->GetDllEntry(fd->memid, INVOKE_FUNC, &dll, &entry, &ordinal);
        EXPECT_TRUE(SUCCEEDED(h)) << "function " << f << ": GetDllEntry " << hr(h);
        // The function's own name: this Wine hands back "#" as the entry
        // name of every function of a widl-built module, so the entry
        // itself cannot be read back here; the generator writes it from
        // the same name.
        BSTR own = nullptr;
        EXPECT_TRUE(SUCCEEDED(module->GetDocumentation(fd->memid, &own, nullptr, nullptr, nullptr)));
        const std::string name = narrow(own);
        ::SysFreeString(own);
        SCOPED_TRACE(name);
        EXPECT_EQ(narrow(dll), "kavlink.dll");
        EXPECT_TRUE(seen.insert(name).second) << "declared twice";
        const kavhost::ExportLayout* e = kavhost::findLayout(name);
        if (!e) {
            ADD_FAILURE() << "function " << name << " is not in api/kavlink.exports";
        } else {
            EXPECT_EQ(fd->callconv, CC_STDCALL);
            EXPECT_EQ(actualType(fd->elemdescFunc.tdesc, false), resultType(e->result))
                << "result, api/kavlink.exports:" << e->line;
            ASSERT_EQ(static_cast<size_t>(fd->cParams), e->args.size()) << "api/kavlink.exports:" << e->line;
            for (size_t i = 0; i < e->args.size(); ++i) {
                const std::string want = expectedType(*e, i);
                EXPECT_EQ(actualType(fd->lprgelemdescParam[i].tdesc, want.rfind("PTR ", 0) == 0), want)
                    << "parameter " << e->args[i].name << ", api/kavlink.exports:" << e->line;
            }
        }
        ::SysFreeString(dll);
        ::SysFreeString(entry);
        module->ReleaseFuncDesc(fd);
    }
}

// Each function's helpstring is the summary of its entry in api/descriptions.
TEST(ExportTypeLibrary, EveryFunctionCarriesItsSummary) {
    std::map<std::string, std::string> summaries;
    for (const kavref::Summary& s : kavref::kExportSummaries) summaries[s.name] = s.text;
    ASSERT_EQ(summaries.size(), kavhost::exportLayouts().size());
    const kavcmd::ComRef<ITypeInfo> module = loadModule();
    ASSERT_TRUE(module);
    TYPEATTR* attr = nullptr;
    ASSERT_TRUE(SUCCEEDED(module->GetTypeAttr(&attr)));
    const UINT functions = attr->cFuncs;
    module->ReleaseTypeAttr(attr);
    std::set<std::string> documented;
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* fd = nullptr;
        ASSERT_TRUE(SUCCEEDED(module->GetFuncDesc(f, &fd)));
        const MEMBERID id = fd->memid;
        module->ReleaseFuncDesc(fd);
        OwnedBstr name, doc;
        EXPECT_EQ(module->GetDocumentation(id, &name.p, &doc.p, nullptr, nullptr), S_OK);
        SCOPED_TRACE(narrow(name.p));
        const auto s = summaries.find(narrow(name.p));
        ASSERT_NE(s, summaries.end()) << "no description";
        EXPECT_FALSE(narrow(doc.p).empty());
        EXPECT_EQ(narrow(doc.p), s->second);
        documented.insert(s->first);
    }
    EXPECT_EQ(documented.size(), summaries.size()) << "functions without a helpstring";
}

}  // namespace
