#include "run/component_runner.h"

#include "run/diagnosis.h"
#include "run/dialog_driver.h"
#include "script/host_text.h"
#include "kav/com_ref.h"

#include <ole2.h>
#include <oleauto.h>


namespace kavhost {
namespace {

// The arguments of one Invoke, cleared however the call ends.
struct Variants {
    std::vector<VARIANTARG> v;
    explicit Variants(size_t n) : v(n) { for (VARIANTARG& a : v) VariantInit(&a); }
    ~Variants() { for (VARIANTARG& a : v) VariantClear(&a); }
    Variants(const Variants&) = delete;
    Variants& operator=(const Variants&) = delete;
};

struct ExcepInfo {
    EXCEPINFO e = {};
    ~ExcepInfo() {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
};

bool endsWithDll(const std::string& s) { return s.size() > 4 && _stricmp(s.c_str() + s.size() - 4, ".dll") == 0; }

std::string guidText(const GUID& g) {
    wchar_t buf[64] = {};
    StringFromGUID2(g, buf, 63);
    return narrow(buf);
}

std::string withDiagnosis(std::string what, const std::wstring& component) {
    for (const std::string& d : diagnoseComponent(component)) what += "; " + d;
    return what;
}

bool registerServer(Host& host, const std::string& dll) {
    host.note("registering " + dll);
    const std::wstring path = widen(dll);
    kav::UniqueLibrary m(LoadLibraryW(path.c_str()));
    if (!m) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        host.fail(withDiagnosis("cannot load " + dll + ": " + describeHresult(hr), path));
        return false;
    }
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m.get(), "DllRegisterServer")));
    if (!fn) {
        host.fail(dll + " has no DllRegisterServer");
        return false;
    }
    const HRESULT hr = fn();
    if (FAILED(hr)) host.fail("DllRegisterServer of " + dll + " failed: " + describeHresult(hr));
    return SUCCEEDED(hr);
}

// The class of the component DLL, from its embedded type library.
bool classOfDll(Host& host, const std::string& dll, CLSID& clsid) {
    kav::ComRef<ITypeLib> lib;
    const HRESULT hr = LoadTypeLibEx(widen(dll).c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) {
        host.fail("cannot read the type library of " + dll + ": " + describeHresult(hr));
        return false;
    }
    for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
        TYPEKIND kind;
        kav::ComRef<ITypeInfo> info;
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS || FAILED(lib->GetTypeInfo(i, info.put())))
            continue;
        kav::TypeAttrRef attr(info.get());
        if (FAILED(info->GetTypeAttr(attr.put()))) continue;
        clsid = attr->guid;
        return true;
    }
    host.fail(dll + " declares no creatable class");
    return false;
}

// Finds the class to create, registering what needs registering.
bool resolveClass(Host& host, const RunOptions& o, CLSID& clsid) {
    if (!o.registerDll.empty() && !registerServer(host, o.registerDll)) return false;
    if (endsWithDll(o.command)) {
        if (!classOfDll(host, o.command, clsid)) return false;
        // Registered from this very file, so that the class runs from here
        // (and finds its folders beside it), even when another copy was
        // registered before.
        if (_stricmp(o.registerDll.c_str(), o.command.c_str()) == 0) return true;
        return registerServer(host, o.command);
    }
    if (!o.command.empty() && o.command[0] == '{') {
        if (SUCCEEDED(CLSIDFromString(widen(o.command).c_str(), &clsid))) return true;
        host.fail("not a class identifier: " + o.command);
        return false;
    }
    const HRESULT hr = CLSIDFromProgID(widen(o.command).c_str(), &clsid);
    if (SUCCEEDED(hr)) return true;
    host.fail("unknown ProgID " + o.command + ": " + describeHresult(hr) +
              " (register the component, or pass its DLL with --register)");
    return false;
}

const char* variantTypeName(VARTYPE vt) {
    switch (vt) {
    case VT_I2: return "VT_I2";
    case VT_I4: return "VT_I4";
    case VT_R8: return "VT_R8";
    case VT_BSTR: return "VT_BSTR";
    case VT_I4 | VT_BYREF: return "VT_I4|VT_BYREF";
    default: return "VT_?";
    }
}

// Calls event methods through IDispatch by name.
class EventCaller {
public:
    EventCaller(Host& host, IDispatch* component) : host_(host), component_(component) {}

    // `types` and `args` in call order; kByRefCode is passed by reference to *byRef.
    HRESULT call(const std::string& method, const std::vector<VARTYPE>& types,
                 const std::vector<std::string>& args, int32_t* byRef) {
        std::wstring wname = widen(method);
        LPOLESTR names[] = {wname.data()};
        DISPID id = 0;
        detail_.clear();
        HRESULT hr = component_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            host_.note(method + ": the component does not know this method: " + describeHresult(hr));
            return hr;
        }
        Variants v(types.size());
        fill(v, types, args, byRef);
        DISPPARAMS dp = {v.v.data(), nullptr, static_cast<UINT>(v.v.size()), 0};
        ExcepInfo ex;
        UINT argErr = UINT(-1);
        hr = component_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, &ex.e, &argErr);
        if (hr == DISP_E_EXCEPTION) {
            if (ex.e.pfnDeferredFillIn) ex.e.pfnDeferredFillIn(&ex.e);
            const HRESULT inner = ex.e.scode ? ex.e.scode : E_FAIL;
            host_.note(method + " failed: " + describeHresult(inner) +
                       (ex.e.bstrDescription ? std::string(" ") + narrow(ex.e.bstrDescription) : std::string()));
            return inner;
        }
        if (FAILED(hr)) {
            detail_ = argumentHint(hr, argErr, types);
            host_.note(method + " failed in Invoke: " + describeHresult(hr) + detail_);
        }
        return hr;
    }

    // What Invoke said beyond its HRESULT about the last call that failed there.
    const std::string& detail() const { return detail_; }

private:
    static void fill(Variants& v, const std::vector<VARTYPE>& types, const std::vector<std::string>& args,
                     int32_t* byRef) {
        for (size_t i = 0; i < types.size(); ++i) {
            VARIANTARG& a = v.v[types.size() - 1 - i];  // arguments go in reverse order
            const VARTYPE t = types[i];
            const std::string arg = i < args.size() ? args[i] : std::string();
            int64_t n = 0;
            a.vt = t;
            if (t == kByRefCode) {
                a.plVal = reinterpret_cast<LONG*>(byRef);
            } else if (t == VT_R8) {
                a.dblVal = std::strtod(arg.c_str(), nullptr);
            } else if (t == VT_BSTR) {
                a.bstrVal = SysAllocString(widen(arg).c_str());
            } else {
                parseInteger(arg, n);
                if (t == VT_I2) a.iVal = static_cast<SHORT>(n);
                else { a.vt = VT_I4; a.lVal = static_cast<LONG>(n); }
            }
        }
    }

    // puArgErr counts from the last argument; told in call order here.
    static std::string argumentHint(HRESULT hr, UINT argErr, const std::vector<VARTYPE>& types) {
        std::string passed;
        for (const VARTYPE vt : types) passed += (passed.empty() ? "" : ", ") + std::string(variantTypeName(vt));
        std::string s;
        if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && argErr < types.size())
            s = "; argument " + std::to_string(types.size() - argErr) + " of " + std::to_string(types.size()) +
                " (puArgErr " + std::to_string(argErr) + ")";
        return s + "; kavhost passed (" + (passed.empty() ? "no arguments" : passed) + ")";
    }

    Host& host_;
    IDispatch* component_;
    std::string detail_;
};

// Creates the component; a failure says why the DLL could not serve.
kav::ComRef<IDispatch> create(Host& host, const std::string& command, const CLSID& clsid, std::wstring& server) {
    server = endsWithDll(command) ? widen(command) : registeredServer(widen(guidText(clsid)));
    host.note("creating " + command + " " + guidText(clsid));
    kav::ComRef<IDispatch> component;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, component.putVoid());
    if (FAILED(hr)) host.fail(withDiagnosis("cannot create " + command + ": " + describeHresult(hr), server));
    return component;
}

// Delivers events to the component: numbered, logged and recorded by the
// host, their failures told with the event's place in the script.
class Delivery {
public:
    Delivery(Host& host, EventCaller& caller, const std::wstring& server)
        : host_(host), caller_(caller), server_(server) {}

    // False when the event was not delivered (the session has stopped) or
    // returned a failure.
    bool deliver(const EventCall& call, const std::string& label, bool inDialog, uint32_t inside = 0) {
        const EventMethod* m = findEventMethod(call.method);
        if (!m) {  // scripts and recordings are checked before, so only a broken table gets here
            host_.fail(label + ": unknown event method");
            return false;
        }
        DeliveredEvent e;
        e.method = call.method;
        e.types = m->params;
        e.args = call.args;
        e.label = label;
        e.inDialog = inDialog;
        e.inside = inside;
        if (!host_.beginEvent(e)) return false;
        int32_t code = e.nCodeIn();
        try {
            e.hr = caller_.call(e.method, e.types, e.args, &code);
        } catch (...) {
            e.hr = E_UNEXPECTED;
            host_.endEvent(e);
            throw;
        }
        e.nCodeOut = code;
        host_.endEvent(e);
        if (SUCCEEDED(e.hr)) return true;
        std::string why = label + " returned " + describeHresult(e.hr) + caller_.detail();
        if (e.method == "VokProcStartCmd" && !server_.empty())
            if (const std::string k = kavlinkProblem(server_); !k.empty()) why += "; " + k;
        host_.fail(why);
        return false;
    }

private:
    Host& host_;
    EventCaller& caller_;
    std::wstring server_;
};

}  // namespace

bool runCommand(Host& host, DialogDriver& driver, const RunOptions& o) {
    CLSID clsid = {};
    if (!resolveClass(host, o, clsid)) return false;
    std::wstring server;
    kav::ComRef<IDispatch> component = create(host, o.command, clsid, server);
    if (!component) return false;
    EventCaller caller(host, component.get());
    Delivery delivery(host, caller, server);
    const auto healthy = [&] { return host.failures().empty() && !host.stopped(); };

    // "ui event" steps: delivered from the driver's timer, inside the
    // command's modal loop.
    driver.setEventSink([&](const UiStep& s) {
        EventCall call{s.args[0], std::vector<std::string>(s.args.begin() + 1, s.args.end()), s.line};
        return delivery.deliver(call, call.label(), true);
    });
    // Events inside a request: delivered from the request window, inside
    // the command's call of the library.
    host.setInsideSink([&](const EventCall& call, uint32_t inside) {
        return delivery.deliver(call, call.label(), false, inside);
    });
    struct SinkReset {
        Host& h;
        DialogDriver& d;
        ~SinkReset() {
            d.setEventSink(nullptr);
            h.setInsideSink(nullptr);
        }
    } sinkReset{host, driver};

    // The start event, then the other events as long as the command has not
    // ended; the driver works the command's windows meanwhile.
    driver.start();
    const std::string hwnd = std::to_string(static_cast<int32_t>(reinterpret_cast<intptr_t>(host.window())));
    const EventCall start{"VokProcStartCmd", {hwnd, std::to_string(o.cmdLine), std::to_string(o.startCode)}, o.startLine,
                          o.startOrigin};
    std::string last = o.startLine ? start.label() : start.method;
    delivery.deliver(start, last, false);
    size_t next = 0;
    while (healthy() && !driver.failed() && !host.exitSeen() && next < o.events.size()) {
        const EventCall& e = o.events[next++];
        last = e.label();
        delivery.deliver(e, last, false);
    }
    driver.stop();
    host.endSession();

    if (driver.failed()) {
        host.fail(driver.error());
    } else if (healthy() && !driver.done()) {
        host.fail("the session ended before the ui steps were done (next: script line " + std::to_string(driver.nextLine()) +
                  ")");
    }
    if (healthy() && !host.exitSeen()) {
        host.fail("the events ran out before the command ended: the last was " + last);
    } else if (host.exitSeen() && next < o.events.size()) {
        const size_t more = o.events.size() - next - 1;
        host.fail("the command ended in " + host.endedIn() + "; " + o.events[next].label() + " was not delivered" +
                  (more ? " (nor " + std::to_string(more) + " more)" : ""));
    }
    return healthy();
}

}  // namespace kavhost
