// MorvikVbCommand: the event interface that the host drives.  The object
// holds nothing but its reference count; the command it runs, with its
// state, is the thread's running command (command.h).
#include "morvik_command.h"

#include "com_barrier.h"
#include "command_dispatch.h"
#include "component_identity.h"
#include "event_recording.h"
#include "kavlink_calls.h"
#include "morvik_event_calls.h"
#include "type_info.h"

#include "kav/com_ref.h"
#include "kav/handles.h"

#include <atomic>
#include <optional>

namespace kavcmd {

namespace {

std::atomic<LONG> liveObjects{0};

class MorvikVbCommand final : public _MorvikVbCommand {
public:
    MorvikVbCommand() { ++liveObjects; }
    ~MorvikVbCommand() { --liveObjects; }
    MorvikVbCommand(const MorvikVbCommand&) = delete;
    MorvikVbCommand& operator=(const MorvikVbCommand&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, ThisComponent().iid)) {
            *object = static_cast<_MorvikVbCommand*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch, on top of the embedded type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return ComBarrier([&]() -> HRESULT {
            if (info == nullptr) return E_POINTER;
            *info = nullptr;
            if (index != 0) return DISP_E_BADINDEX;
            InterfaceTypes types{};
            const HRESULT hr = CommandTypeInfo(types);
            if (FAILED(hr)) return hr;
            types.dispatchSide->AddRef();
            *info = types.dispatchSide;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return ComBarrier([&]() -> HRESULT {
            if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
            InterfaceTypes types{};
            const HRESULT hr = CommandTypeInfo(types);
            if (FAILED(hr)) return hr;
            return ::DispGetIDsOfNames(types.tableSide, names, count, ids);
        });
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override {
        return ComBarrier([&]() -> HRESULT {
            if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
            InterfaceTypes types{};
            const HRESULT hr = CommandTypeInfo(types);
            if (FAILED(hr)) return hr;
            return types.tableSide->Invoke(static_cast<_MorvikVbCommand*>(this), id, flags, params, result,
                                           exception, argumentError);
        });
    }

    // _MorvikVbCommand: each event goes to the running command's handler
    // (command.h), inside the barrier.  While kavlink.dll records the
    // process, each event the host calls also leaves its line in the run file
    // (event_recording.h).  The events whose values go to the handler as
    // they came are written out from the event list (morvik_event_calls.h,
    // from the IDL template): signature, recorded arguments and the call of
    // the handler all come from the one parameter list there.  The frame
    // answers the others itself, below.
#define KAVCMD_ARGUMENTS(...) __VA_ARGS__
#define KAVCMD_PLAIN_EVENT(method, handler, parameters, arguments)                                       \
    HRESULT STDMETHODCALLTYPE method parameters override {                                             \
        return Recorded(#method, {KAVCMD_ARGUMENTS arguments}, [&](Command& c) { c.handler arguments; }); \
    }
#define KAVCMD_OWN_EVENT(method, handler, parameters, arguments)
    KAVCMD_EVENTS(KAVCMD_PLAIN_EVENT, KAVCMD_OWN_EVENT)
#undef KAVCMD_OWN_EVENT
#undef KAVCMD_PLAIN_EVENT
#undef KAVCMD_ARGUMENTS

    HRESULT STDMETHODCALLTYPE VokProcStartCmd(LONG hWnd, LONG nCmdLine, LONG* nCode) override {
        const LONG codeIn = nCode != nullptr ? *nCode : 0;
        std::optional<EventRecording> recording;
        const HRESULT hr = ComBarrier([&]() -> HRESULT {
            const HWND host = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hWnd));
            // Refused before InitVBCmdLib, which would rebind the running command's window.
            RefuseStartInsideEvent();
            kavlink::InitVBCmdLib(host, nCmdLine);
            // The event belongs to the run file that InitVBCmdLib has begun.
            // The host's window is left out, as kavhost records it.
            recording.emplace("VokProcStartCmd", std::initializer_list<RecordedArgument>{nullptr, nCmdLine}, &codeIn);
            if (nCode == nullptr) return E_POINTER;
            *nCode = 1;
            // nCode goes back as the handler left it, also when it fails.
            int32_t code = 1;
            try {
                StartCommand(host, nCmdLine, code);
            } catch (...) {
                *nCode = code;
                throw;
            }
            *nCode = code;
            return S_OK;
        });
        if (recording) recording->Finish(hr, nCode);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE VokProcEndCmd(LONG* nCode) override {
        const LONG codeIn = nCode != nullptr ? *nCode : 0;
        EventRecording recording("VokProcEndCmd", {}, &codeIn);
        const HRESULT hr = Event("VokProcEndCmd", [&](Command& c) {
            if (nCode == nullptr) throw HresultFailure(E_POINTER);
            int32_t code = *nCode;
            EndCommandByHost(c, code);
            *nCode = code;
        });
        recording.Finish(hr, nCode);
        return hr;
    }
    // Reads the text box's text from the host and hands it to the string box
    // event, whether or not a command is running.  `pString` is never read.
    // The string box event called from here is not one the host called: the
    // recording has the hook only.
    HRESULT STDMETHODCALLTYPE VokProcStringBoxEventHook(short csbID, short itemID, LONG pString) override {
        EventRecording recording("VokProcStringBoxEventHook", {csbID, itemID, pString});
        const HRESULT hr = ComBarrier([&]() -> HRESULT {
            const int32_t panel = kavlink::VokGetCSBHandle(csbID);
            if (panel == 0) return S_OK;
            BoxStatus status{};
            kavlink::VokGetTextBoxStatus(panel, itemID, &status);
            const std::wstring field = BoxText(status.text);
            const kav::UniqueBstr text(::SysAllocStringLen(field.data(), static_cast<UINT>(field.size())));
            if (!text) return E_OUTOFMEMORY;
            const HRESULT hr = StringBoxEvent(csbID, itemID, text.get());
            return FAILED(hr) ? hr : S_OK;
        });
        recording.Finish(hr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE VokProcStringBoxEvent(short csbID, short itemID, BSTR pString) override {
        const std::wstring_view text(pString ? pString : L"", pString ? ::SysStringLen(pString) : 0);
        EventRecording recording("VokProcStringBoxEvent", {csbID, itemID, text});
        const HRESULT hr = StringBoxEvent(csbID, itemID, pString);
        recording.Finish(hr);
        return hr;
    }

private:
    template <class F>
    static HRESULT Event(const char* name, F&& handler) {
        return ComBarrier([&]() -> HRESULT {
            DispatchEvent(name, handler);
            return S_OK;
        });
    }

    // An event with its line in the field recording.
    template <class F>
    static HRESULT Recorded(const char* method, std::initializer_list<RecordedArgument> args, F&& handler) {
        EventRecording recording(method, args);
        const HRESULT hr = Event(method, std::forward<F>(handler));
        recording.Finish(hr);
        return hr;
    }

    // The text is the caller's: the handler sees it for the length of the
    // call, up to its first NUL.
    static HRESULT StringBoxEvent(short csbID, short itemID, BSTR pString) {
        return Event("VokProcStringBoxEvent", [&](Command& c) {
            const size_t length = pString ? ::wcsnlen(pString, ::SysStringLen(pString)) : 0;
            c.OnStringBoxEvent(csbID, itemID, std::wstring_view(pString ? pString : L"", length));
        });
    }

    std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT CreateMorvikVbCommand(REFIID iid, void** object) {
    return ComBarrier([&]() -> HRESULT {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        const kav::ComRef<MorvikVbCommand> command(new MorvikVbCommand);  // its first reference
        return command->QueryInterface(iid, object);
    });
}

LONG LiveObjectCount() { return liveObjects.load(); }

std::wstring BoxText(const char (&field)[256]) {
    // The whole field from the system code page; what the conversion leaves
    // short of 256 characters stays NUL.
    constexpr int kChars = sizeof field;
    std::wstring text(kChars, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, field, kChars, text.data(), kChars);
    return text;
}

}  // namespace kavcmd
