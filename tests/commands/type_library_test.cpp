// The type library, interface-identifier and version resources embedded in
// both built components, read back with the platform's own readers.
#include "component_support.h"
#include "kav/com_ref.h"
#include "reference_summaries.h"

#include "kav/handles.h"

#include <gtest/gtest.h>
#include <cstring>
#include <iterator>
#include <string>

using namespace kavtest;
using kav::ComRef;

namespace {

class Embedded : public ::testing::TestWithParam<ComponentInfo> {
protected:
    const ComponentInfo& component() const { return GetParam(); }
};

std::wstring nameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    kav::UniqueBstr name;
    EXPECT_HRESULT_SUCCEEDED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr));
    return name ? name.get() : L"";
}

struct Attr : kav::TypeAttrRef {
    explicit Attr(ITypeInfo* info) : kav::TypeAttrRef(info) { EXPECT_HRESULT_SUCCEEDED(info->GetTypeAttr(put())); }
};

std::string text(const std::wstring& w) { return ::testing::PrintToString(w); }

}  // namespace

TEST_P(Embedded, TypeLibraryMatches) {
    ComRef<ITypeLib> lib;
    ASSERT_HRESULT_SUCCEEDED(::LoadTypeLib(builtPath(component()).c_str(), lib.put()));
    kav::LibAttrRef libAttr(lib.get());
    ASSERT_HRESULT_SUCCEEDED(lib->GetLibAttr(libAttr.put()));
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, guidOf(component().libid)));
    EXPECT_EQ(libAttr->wMajorVerNum, component().major);
    EXPECT_EQ(libAttr->wMinorVerNum, component().minor);
    EXPECT_EQ(libAttr->syskind, SYS_WIN32);
    kav::UniqueBstr libName;
    ASSERT_HRESULT_SUCCEEDED(lib->GetDocumentation(-1, libName.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(std::wstring(libName.get()), component().name);
    EXPECT_EQ(lib->GetTypeInfoCount(), 2u) << "the interface and the class, nothing else";

    // _MorvikVbCommand: dual, so found as a dispatch interface whose
    // implemented type -1 is its function-table side.
    ComRef<ITypeInfo> dispatchSide;
    ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(guidOf(component().iid), dispatchSide.put()));
    EXPECT_EQ(nameOf(dispatchSide.get()), L"_MorvikVbCommand");
    {
        Attr a(dispatchSide.get());
        EXPECT_EQ(a->typekind, TKIND_DISPATCH);
        const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
        EXPECT_EQ(a->wTypeFlags & wanted, wanted) << std::hex << a->wTypeFlags;
        EXPECT_EQ(a->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    }
    HREFTYPE ref = 0;
    ComRef<ITypeInfo> tableSide, base;
    ASSERT_HRESULT_SUCCEEDED(dispatchSide->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
    ASSERT_HRESULT_SUCCEEDED(dispatchSide->GetRefTypeInfo(ref, tableSide.put()));
    ASSERT_HRESULT_SUCCEEDED(tableSide->GetRefTypeOfImplType(0, &ref));
    ASSERT_HRESULT_SUCCEEDED(tableSide->GetRefTypeInfo(ref, base.put()));
    EXPECT_EQ(nameOf(base.get()), L"IDispatch");
    {
        ComRef<ITypeLib> baseLib;
        UINT index = 0;
        ASSERT_HRESULT_SUCCEEDED(base->GetContainingTypeLib(baseLib.put(), &index));
        kav::LibAttrRef stdole(baseLib.get());
        ASSERT_HRESULT_SUCCEEDED(baseLib->GetLibAttr(stdole.put()));
        EXPECT_TRUE(IsEqualGUID(stdole->guid, guidOf(L"{00020430-0000-0000-C000-000000000046}")))
            << "IDispatch comes from the imported stdole2";
        EXPECT_EQ(stdole->wMajorVerNum, 2);
    }

    Attr table(tableSide.get());
    EXPECT_EQ(table->typekind, TKIND_INTERFACE);
    {
        // The function-table side carries the OLE Automation mark.
        const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                            TYPEFLAG_FDISPATCHABLE;
        EXPECT_EQ(table->wTypeFlags & wanted, wanted) << std::hex << table->wTypeFlags;
    }
    const auto& methods = eventMethods();
    ASSERT_EQ(table->cFuncs, methods.size());
    EXPECT_EQ(table->cVars, 0);
    for (size_t n = 0; n < methods.size(); ++n) {
        const MethodInfo& m = methods[n];
        SCOPED_TRACE(text(m.name));
        kav::FuncDescRef f(tableSide.get());
        ASSERT_HRESULT_SUCCEEDED(tableSide->GetFuncDesc(static_cast<UINT>(n), f.put()));
        EXPECT_EQ(f->memid, 0x60030000 + static_cast<MEMBERID>(n));
        EXPECT_EQ(f->invkind, INVOKE_FUNC) << "a plain method, no property accessor";
        EXPECT_EQ(f->callconv, CC_STDCALL);
        EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + n) * sizeof(void*))) << "after IDispatch's 7 slots";
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        EXPECT_EQ(f->cParamsOpt, 0);
        ASSERT_EQ(static_cast<size_t>(f->cParams), m.params.size());
        BSTR raw[16] = {};
        UINT got = 0;
        const HRESULT namesRead = tableSide->GetNames(f->memid, raw, 16, &got);
        std::vector<kav::UniqueBstr> names;
        for (UINT i = 0; i < got && i < 16; ++i) names.emplace_back(raw[i]);
        ASSERT_HRESULT_SUCCEEDED(namesRead);
        ASSERT_EQ(got, m.params.size() + 1);
        EXPECT_EQ(std::wstring(names[0].get()), m.name);
        for (size_t i = 0; i < m.params.size(); ++i) {
            const ParamInfo& p = m.params[i];
            const std::wstring expectedName = p.name ? p.name : component().hwndParam;
            EXPECT_TRUE(std::wstring(names[i + 1].get()) == expectedName) << "parameter " << i << " is "
                                                                           << text(names[i + 1].get());
            const ELEMDESC& e = f->lprgelemdescParam[i];
            if (p.byRef) {
                ASSERT_EQ(e.tdesc.vt, VT_PTR);
                EXPECT_EQ(e.tdesc.lptdesc->vt, p.vt);
                EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN | PARAMFLAG_FOUT);
            } else {
                EXPECT_EQ(e.tdesc.vt, p.vt) << "parameter " << i;
                EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL), 0);
            }
        }
    }

    // The class: creatable, _MorvikVbCommand its one and default interface.
    ComRef<ITypeInfo> coclass;
    ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfoOfGuid(guidOf(component().clsid), coclass.put()));
    EXPECT_EQ(nameOf(coclass.get()), L"MorvikVbCommand");
    Attr c(coclass.get());
    EXPECT_EQ(c->typekind, TKIND_COCLASS);
    EXPECT_NE(c->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    ASSERT_EQ(c->cImplTypes, 1);
    INT implFlags = 0;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetImplTypeFlags(0, &implFlags));
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT) << "default, and no event source";
    ComRef<ITypeInfo> implemented;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(0, &ref));
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(ref, implemented.put()));
    Attr ia(implemented.get());
    EXPECT_TRUE(IsEqualGUID(ia->guid, guidOf(component().iid)));
}

// Every event carries the summary of its entry in api/descriptions/events.md
// as its helpstring, on both sides of the dual interface.
TEST_P(Embedded, EveryEventCarriesItsSummary) {
    ComRef<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLib(builtPath(component()).c_str(), lib.put()), S_OK);
    ComRef<ITypeInfo> dispatchSide, tableSide;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(guidOf(component().iid), dispatchSide.put()), S_OK);
    HREFTYPE ref = 0;
    ASSERT_EQ(dispatchSide->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(dispatchSide->GetRefTypeInfo(ref, tableSide.put()), S_OK);
    ASSERT_EQ(std::size(kavref::kEventSummaries), eventMethods().size());
    for (const kavref::Summary& s : kavref::kEventSummaries) {
        SCOPED_TRACE(s.name);
        std::wstring expected;
        for (const char* c = s.text; *c; ++c) expected += static_cast<wchar_t>(*c);
        ASSERT_FALSE(expected.empty());
        for (ITypeInfo* side : {tableSide.get(), dispatchSide.get()}) {
            std::wstring name(s.name, s.name + std::strlen(s.name));
            LPOLESTR names[] = {name.data()};
            MEMBERID id = MEMBERID_NIL;
            ASSERT_EQ(side->GetIDsOfNames(names, 1, &id), S_OK) << "no method of this name";
            kav::UniqueBstr doc;
            EXPECT_EQ(side->GetDocumentation(id, nullptr, doc.put(), nullptr, nullptr), S_OK);
            const std::wstring got = doc ? doc.get() : L"";
            EXPECT_TRUE(got == expected) << text(got);
        }
    }
}

TEST_P(Embedded, InterfaceIdentifierResource) {
    kav::UniqueLibrary module(
        ::LoadLibraryExW(builtPath(component()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module);
    HRSRC neutral = ::FindResourceExW(module.get(), L"_IID_MORVIKVBCOMMAND", MAKEINTRESOURCEW(1),
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_NE(neutral, nullptr) << "resource _IID_MORVIKVBCOMMAND 1, neutral language";
    ASSERT_EQ(::SizeofResource(module.get(), neutral), 20u);
    const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(module.get(), neutral)));
    ASSERT_NE(data, nullptr);
    uint32_t length = 0;
    std::memcpy(&length, data, 4);
    EXPECT_EQ(length, 16u);
    const GUID iid = guidOf(component().iid);
    EXPECT_EQ(std::memcmp(data + 4, &iid, 16), 0) << "the IID in its 16-byte layout";
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
}

TEST_P(Embedded, VersionResource) {
    const std::wstring path = builtPath(component());
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    const std::wstring file = component().file;
    const struct {
        const wchar_t* key;
        std::wstring value;
    } strings[] = {
        {L"ProductName", component().name}, {L"InternalName", component().name}, {L"OriginalFilename", file},
        {L"FileVersion", L"1.00"},          {L"ProductVersion", L"1.00"},        {L"OLESelfRegister", L""},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(text(s.key));
        wchar_t* value = nullptr;
        len = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + s.key;
        ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &len))
            << "missing from the 041104B0 table";
        EXPECT_TRUE(std::wstring(value ? value : L"") == s.value) << text(value ? value : L"");
    }
}

INSTANTIATE_TEST_SUITE_P(Components, Embedded, ::testing::ValuesIn(components()),
                         [](const auto& info) { return std::string(info.param.label); });
