// MorvikVbCommand of both built components, created through COM: the event
// methods through the function table and through IDispatch, the string box
// hook's requests and the start skeleton against the recording host.
#include "registered_fixture.h"

#include "kav/handles.h"
#include "ui_driver.h"

#include <cstring>
#include <functional>

using namespace kavtest;

namespace {

constexpr LONG kDispBase = 0x60030000;

// Arguments for a method described by its parameter list, in IDispatch's
// reversed order.  By-reference I4 arguments point into `refs`.
struct DispArgs {
    std::vector<VARIANT> args;
    std::vector<LONG> refs;
    explicit DispArgs(const MethodInfo& m) : args(m.params.size()), refs(m.params.size(), 7) {
        for (size_t i = 0; i < m.params.size(); ++i) {
            VARIANT& v = args[m.params.size() - 1 - i];
            ::VariantInit(&v);
            const ParamInfo& p = m.params[i];
            if (p.byRef) {
                V_VT(&v) = VT_I4 | VT_BYREF;
                V_I4REF(&v) = &refs[i];
            } else if (p.vt == VT_I2) {
                V_VT(&v) = VT_I2;
                V_I2(&v) = static_cast<SHORT>(-2 - i);
            } else if (p.vt == VT_I4) {
                V_VT(&v) = VT_I4;
                V_I4(&v) = 0x12340000 + static_cast<LONG>(i);
            } else if (p.vt == VT_R8) {
                V_VT(&v) = VT_R8;
                V_R8(&v) = 1.25 * static_cast<double>(i);
            } else {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = ::SysAllocString(L"テキスト");
            }
        }
    }
    ~DispArgs() {
        for (VARIANT& v : args) ::VariantClear(&v);
    }
    DISPPARAMS params() { return {args.data(), nullptr, static_cast<UINT>(args.size()), 0}; }
};

HRESULT invoke(IDispatch* d, DISPID id, std::vector<VARIANT>& args) {
    DISPPARAMS p{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, &result, nullptr, nullptr);
    ::VariantClear(&result);
    return hr;
}

VARIANT i4(LONG x) { VARIANT v; ::VariantInit(&v); V_VT(&v) = VT_I4; V_I4(&v) = x; return v; }
VARIANT i2(SHORT x) { VARIANT v; ::VariantInit(&v); V_VT(&v) = VT_I2; V_I2(&v) = x; return v; }

// The start event shows the command's real dialog; the user cancels it.
HRESULT startAndCancel(const ComponentInfo& c, const std::function<HRESULT()>& start) {
    const std::wstring caption =
        std::wstring(c.name) == L"csbclean" ? L"コマンドサブボックス履歴の削除" : L"各種履歴･情報ファイル削除";
    const DialogRun run = RunDialog(start, [&](UiDriver& ui) {
        HWND dialog = ui.WaitForWindow(caption);
        ui.Click(ui.Child(dialog, L"Button", L"中止(&C)"));
        ui.WaitGone(dialog);
    });
    EXPECT_FALSE(run.forced);
    return run.hr;
}

}  // namespace

using EventInterface = RegisteredComponent;

TEST_P(EventInterface, CreatedByClsidAndProgId) {
    CLSID fromProgId{};
    ASSERT_HRESULT_SUCCEEDED(::CLSIDFromProgID(component().progId, &fromProgId));
    EXPECT_TRUE(IsEqualCLSID(fromProgId, guidOf(component().clsid)));
    ComRef<IUnknown> unknown;
    ASSERT_EQ(::CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.putVoid()), S_OK);
    ComRef<IDispatch> dispatch;
    ComRef<_MorvikVbCommand> command;
    EXPECT_EQ(unknown->QueryInterface(IID_IDispatch, dispatch.putVoid()), S_OK);
    EXPECT_EQ(unknown->QueryInterface(guidOf(component().iid), command.putVoid()), S_OK);
    ComRef<IUnknown> none;
    EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, none.putVoid()), E_NOINTERFACE);
    // The other component's interface is not this one's.
    for (const ComponentInfo& other : components()) {
        if (std::wstring(other.iid) != component().iid) {
            EXPECT_EQ(unknown->QueryInterface(guidOf(other.iid), none.putVoid()), E_NOINTERFACE);
        }
    }
}

TEST_P(EventInterface, FactoryAndUnloadCheck) {
    kav::UniqueLibrary module(::LoadLibraryW(builtPath(component()).c_str()));
    ASSERT_TRUE(module);
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        ::GetProcAddress(module.get(), "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(module.get(), "DllCanUnloadNow"));
    ASSERT_TRUE(getClassObject && canUnloadNow);
    ::CoFreeUnusedLibraries();
    EXPECT_EQ(canUnloadNow(), S_OK);

    ComRef<IClassFactory> factory;
    EXPECT_EQ(getClassObject(guidOf(L"{00000000-0000-0000-0000-000000000001}"), IID_IClassFactory, factory.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(guidOf(component().clsid), IID_IClassFactory, factory.putVoid()), S_OK);
    ComRef<IUnknown> object;
    ComRef<IUnknown> outer;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), IID_IUnknown, object.putVoid()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, guidOf(component().iid), object.putVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "an instance and a lock are alive";
    object.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the lock is held";
    ASSERT_EQ(getClassObject(guidOf(component().clsid), IID_IClassFactory, factory.putVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_P(EventInterface, EveryOtherEventDoesNothingThroughTheFunctionTable) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    fresh();
    LONG code = 42;
    const kav::UniqueBstr text(::SysAllocString(L"テキスト"));
    const HRESULT results[] = {
        c->VokProcEndCmd(&code),
        c->VokProcPreEvent(),
        c->VokProcDrawRubber(1.5, -2.5),
        c->VokProcPositionEvent(-1, 3.0, 4.0),
        c->VokProcPositionEventEx(2, 1.0, 2.0, 3.0, 4.0, -5, 6, 7, -8),
        c->VokProcElementEvent(100, 3),
        c->VokProcElementEventEx(100, 3, 1.0, 2.0, 1),
        c->VokProcMultiElementEvent(1, 10, 11, 12),
        c->VokProcMultiElementEventEx(1, 10, 11, 12, 1.0, 2.0, 30.0, 40.0),
        c->VokProcSystemEvent(32767),
        c->VokProcOperationEvent(-32768, 2),
        c->VokProcIntBoxEvent(1, 2, 123456),
        c->VokProcRealBoxEvent(1, 2, 0.5),
        c->VokProcButtonEvent(1, 2, 1),
        c->VokProcStringBoxEvent(1, 2, text.get()),
        c->VokProcStringBoxEvent(1, 2, nullptr),
        c->VokProcEndCmd(nullptr),
    };
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], S_OK) << "call " << i;
    EXPECT_EQ(code, 42) << "VokProcEndCmd changed nCode";
    EXPECT_TRUE(host.requests().empty()) << host.requests().size() << " requests sent";
    for (size_t i = 0; i < kPayloadSize; i += 97) ASSERT_EQ(host.payload()[i], kSentinel) << "payload touched";
}

TEST_P(EventInterface, EveryMethodThroughIDispatchByIdAndByName) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    const auto& methods = eventMethods();
    for (size_t n = 1; n < methods.size(); ++n) {  // the start event has its own test
        const MethodInfo& m = methods[n];
        SCOPED_TRACE(::testing::PrintToString(std::wstring(m.name)));
        // By name: the method and its parameter names.
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
        for (const ParamInfo& p : m.params) names.push_back(const_cast<LPOLESTR>(p.name));
        std::vector<DISPID> ids(names.size(), -1);
        ASSERT_EQ(c->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                   ids.data()),
                  S_OK);
        EXPECT_EQ(ids[0], kDispBase + static_cast<LONG>(n));
        for (size_t k = 1; k < ids.size(); ++k) EXPECT_EQ(ids[k], static_cast<DISPID>(k - 1));

        for (const DISPID id : {static_cast<DISPID>(kDispBase + n), ids[0]}) {
            fresh();
            host.reply(0);  // the hook's panel query: no such panel
            DispArgs a(m);
            DISPPARAMS p = a.params();
            UINT badArg = 99;
            EXPECT_EQ(c->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &p, nullptr, nullptr, &badArg),
                      S_OK);
            for (size_t i = 0; i < m.params.size(); ++i) {
                if (m.params[i].byRef) {
                    EXPECT_EQ(a.refs[i], 7) << "by-reference argument changed";
                }
            }
            if (std::wstring(m.name) == L"VokProcStringBoxEventHook") {
                ASSERT_EQ(host.requests().size(), 1u);
                EXPECT_EQ(host.requests()[0].code, 1807u);
                EXPECT_EQ(host.requests()[0].lParam, static_cast<uint16_t>(-2)) << "csbID as a 16-bit lParam";
            } else {
                EXPECT_TRUE(host.requests().empty());
            }
        }
    }
}

TEST_P(EventInterface, IDispatchArgumentCoercionAndErrors) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    const DISPID systemEvent = kDispBase + 10, drawRubber = kDispBase + 3, endCmd = kDispBase + 1;
    std::vector<VARIANT> fits{i4(-32768)}, overflows{i4(40000)};
    EXPECT_EQ(invoke(c.get(), systemEvent, fits), S_OK);
    EXPECT_EQ(invoke(c.get(), systemEvent, overflows), DISP_E_OVERFLOW);
    std::vector<VARIANT> integers{i2(2), i4(1)};
    EXPECT_EQ(invoke(c.get(), drawRubber, integers), S_OK) << "integers coerced to R8";
    std::vector<VARIANT> missing{i2(1)};
    EXPECT_EQ(invoke(c.get(), drawRubber, missing), DISP_E_BADPARAMCOUNT);
    std::vector<VARIANT> none;
    EXPECT_EQ(invoke(c.get(), kDispBase + 17, none), DISP_E_MEMBERNOTFOUND);

    LONG code = -5;
    VARIANT ref;
    ::VariantInit(&ref);
    V_VT(&ref) = VT_I4 | VT_BYREF;
    V_I4REF(&ref) = &code;
    std::vector<VARIANT> byRef{ref};
    EXPECT_EQ(invoke(c.get(), endCmd, byRef), S_OK);
    EXPECT_EQ(code, -5);

    LPOLESTR unknown = const_cast<LPOLESTR>(L"VokProcNoSuchEvent");
    DISPID id = 0;
    EXPECT_EQ(c->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    LPOLESTR lower = const_cast<LPOLESTR>(L"vokprocpreevent");
    EXPECT_EQ(c->GetIDsOfNames(IID_NULL, &lower, 1, LOCALE_USER_DEFAULT, &id), S_OK) << "names are case-blind";
    EXPECT_EQ(id, kDispBase + 2);
    DISPPARAMS empty{};
    EXPECT_EQ(c->Invoke(kDispBase + 2, IID_IUnknown, 0, DISPATCH_METHOD, &empty, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);

    UINT count = 0;
    EXPECT_EQ(c->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComRef<ITypeInfo> info;
    ASSERT_EQ(c->GetTypeInfo(0, 0, info.put()), S_OK);
    {
        kav::TypeAttrRef attr(info.get());
        ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(attr.put()));
        EXPECT_TRUE(IsEqualGUID(attr->guid, guidOf(component().iid)));
    }
    EXPECT_EQ(c->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
}

TEST_P(EventInterface, StringBoxHookWithoutPanelMakesOneRequest) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    fresh();
    host.reply(0);
    EXPECT_EQ(c->VokProcStringBoxEventHook(-1, 4, 0x0BADF00D), S_OK);
    ASSERT_EQ(host.requests().size(), 1u);
    const Recorded& r = host.requests()[0];
    EXPECT_EQ(r.message, 1534u);
    EXPECT_EQ(r.code, 1807u);
    EXPECT_EQ(r.lParam, 65535u);
    EXPECT_TRUE(r.equals(Bytes{})) << "the panel query carries no payload";
}

// The text that the hook hands on is BoxText's (start_skeleton_test.cpp).
TEST_P(EventInterface, StringBoxHookReadsTheBox) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    fresh();
    host.reply(0x00C0FFEE);
    host.reply(Reply(1).write(2 + 16, Bytes{'a', 'b', 0}).write(2 + 272, Bytes{'T', 'A', 'I', 'L'}));
    EXPECT_EQ(c->VokProcStringBoxEventHook(7, -3, 0), S_OK);

    ASSERT_EQ(host.requests().size(), 2u) << "1807 and 1824, nothing more";
    EXPECT_EQ(host.requests()[0].code, 1807u);
    EXPECT_EQ(host.requests()[0].lParam, 7u);
    const Recorded& box = host.requests()[1];
    EXPECT_EQ(box.message, 1534u);
    EXPECT_EQ(box.code, 1824u);
    EXPECT_EQ(box.lParam, 0x00C0FFEEu);
    EXPECT_TRUE(box.equals(Bytes{}.u16(static_cast<uint16_t>(-3)).fill(0, 276)))
        << "itemID at offset 0, then a zero-filled 276-byte record";
}

TEST_P(EventInterface, StartRunsTheSkeletonThroughTheFunctionTable) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    host.unbind();
    fresh();
    LONG code = 0;
    EXPECT_EQ(startAndCancel(component(), [&] {
                  return c->VokProcStartCmd(static_cast<LONG>(reinterpret_cast<LONG_PTR>(host.window())), 12, &code);
              }),
              S_OK);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(host.storedHandle(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host.window())))
        << "InitVBCmdLib stores the window received";
    ASSERT_EQ(host.requests().size(), 1u);
    EXPECT_EQ(host.requests()[0].message, 1765u) << "the exit message, and nothing else";
    EXPECT_EQ(host.requests()[0].code, 0u);
    EXPECT_EQ(host.requests()[0].lParam, 0u);
}

TEST_P(EventInterface, StartThroughIDispatchByNameSetsTheByReferenceCode) {
    ComRef<_MorvikVbCommand> c = create();
    ASSERT_TRUE(c);
    host.unbind();
    fresh();
    LPOLESTR name = const_cast<LPOLESTR>(L"VokProcStartCmd");
    DISPID id = 0;
    ASSERT_EQ(c->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, kDispBase);
    LONG code = -9;
    VARIANT ref;
    ::VariantInit(&ref);
    V_VT(&ref) = VT_I4 | VT_BYREF;
    V_I4REF(&ref) = &code;
    std::vector<VARIANT> args{ref, i4(3), i4(static_cast<LONG>(reinterpret_cast<LONG_PTR>(host.window())))};
    EXPECT_EQ(startAndCancel(component(), [&] { return invoke(c.get(), id, args); }), S_OK);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(host.requests().size(), 1u);
    EXPECT_EQ(host.requests()[0].message, 1765u);
}

INSTANTIATE_TEST_SUITE_P(Components, EventInterface, ::testing::ValuesIn(components()), componentLabel);

// A real OLE Automation client: VBScript under cscript creates the object by
// ProgID and calls the events by name.  Its string box hook reaches this
// thread's host window from the script's process.
TEST_P(EventInterface, VBScriptClientCallsTheEventsByName) {
    fresh();
    host.reply(0);  // no such panel
    const std::wstring script = exeFolder() + L"\\morvik_command.vbs";
    ASSERT_NE(::GetFileAttributesW(script.c_str()), INVALID_FILE_ATTRIBUTES);
    const ProcessRun r =
        runCommandLine(L"cscript.exe //nologo \"" + script + L"\" " + component().progId + L" 9", exeFolder());
    ASSERT_TRUE(r.finished) << "cscript hung or did not start: " << r.err;
    EXPECT_EQ(r.exit, 0u) << r.output();
    EXPECT_NE(r.output().find("0 failed"), std::string::npos) << r.output();
    ASSERT_EQ(host.requests().size(), 1u) << "only the hook's panel query";
    EXPECT_EQ(host.requests()[0].code, 1807u);
    EXPECT_EQ(host.requests()[0].lParam, 9u);
}
