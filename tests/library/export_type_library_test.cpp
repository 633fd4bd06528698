// kavlink.tlb, generated from the export table: its module declares every
// export of the table by name, with kavlink.dll as its DLL, and parameter
// and result types that follow the row; its helpstrings are the summaries of
// the reference descriptions.
#include "decode/decoder.h"
#include "kav/com_ref.h"
#include "kav/handles.h"
#include "reference_summaries.h"

#include <gtest/gtest.h>
#include <ole2.h>

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
kav::ComRef<ITypeInfo> loadModule() {
    kav::ComRef<ITypeLib> lib;
    kav::ComRef<ITypeInfo> module;
    EXPECT_HRESULT_SUCCEEDED(::LoadTypeLibEx(besideTheProgram(L"kavlink.tlb").c_str(), REGKIND_NONE, lib.put()))
        << "LoadTypeLibEx(kavlink.tlb)";
    for (UINT i = 0; lib && i < lib->GetTypeInfoCount() && !module; ++i) {
        TYPEKIND kind;
        if (SUCCEEDED(lib->GetTypeInfoType(i, &kind)) && kind == TKIND_MODULE) lib->GetTypeInfo(i, module.put());
    }
    EXPECT_TRUE(module) << "no module in kavlink.tlb";
    return module;
}

TEST(ExportTypeLibrary, TheModuleDeclaresEveryExportAsItsRowSays) {
    const kav::ComRef<ITypeInfo> module = loadModule();
    ASSERT_TRUE(module);
    kav::TypeAttrRef attr(module.get());
    ASSERT_HRESULT_SUCCEEDED(module->GetTypeAttr(attr.put()));
    const UINT functions = attr->cFuncs;
    EXPECT_EQ(functions, kavhost::exportLayouts().size());

    std::set<std::string> seen;
    for (UINT f = 0; f < functions; ++f) {
        kav::FuncDescRef fd(module.get());
        ASSERT_HRESULT_SUCCEEDED(module->GetFuncDesc(f, fd.put()));
        kav::UniqueBstr dll, entry;
        WORD ordinal = 0;
        EXPECT_HRESULT_SUCCEEDED(module->GetDllEntry(fd->memid, INVOKE_FUNC, dll.put(), entry.put(), &ordinal))
            << "function " << f << ": GetDllEntry";
        // The function's own name: this Wine hands back "#" as the entry
        // name of every function of a widl-built module, so the entry
        // itself cannot be read back here; the generator writes it from
        // the same name.
        kav::UniqueBstr own;
        EXPECT_HRESULT_SUCCEEDED(module->GetDocumentation(fd->memid, own.put(), nullptr, nullptr, nullptr));
        const std::string name = narrow(own.get());
        SCOPED_TRACE(name);
        EXPECT_EQ(narrow(dll.get()), "kavlink.dll");
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
    }
}

// Each function's helpstring is the summary of its entry in api/descriptions.
TEST(ExportTypeLibrary, EveryFunctionCarriesItsSummary) {
    std::map<std::string, std::string> summaries;
    for (const kavref::Summary& s : kavref::kExportSummaries) summaries[s.name] = s.text;
    ASSERT_EQ(summaries.size(), kavhost::exportLayouts().size());
    const kav::ComRef<ITypeInfo> module = loadModule();
    ASSERT_TRUE(module);
    kav::TypeAttrRef attr(module.get());
    ASSERT_HRESULT_SUCCEEDED(module->GetTypeAttr(attr.put()));
    std::set<std::string> documented;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        kav::FuncDescRef fd(module.get());
        ASSERT_HRESULT_SUCCEEDED(module->GetFuncDesc(f, fd.put()));
        kav::UniqueBstr name, doc;
        EXPECT_EQ(module->GetDocumentation(fd->memid, name.put(), doc.put(), nullptr, nullptr), S_OK);
        SCOPED_TRACE(narrow(name.get()));
        const auto s = summaries.find(narrow(name.get()));
        ASSERT_NE(s, summaries.end()) << "no description";
        EXPECT_FALSE(narrow(doc.get()).empty());
        EXPECT_EQ(narrow(doc.get()), s->second);
        documented.insert(s->first);
    }
    EXPECT_EQ(documented.size(), summaries.size()) << "functions without a helpstring";
}

}  // namespace
