// MorvikVbCommand: the event interface that the host drives.  The object
// holds nothing but its reference count; what a command remembers is module
// state of the command itself.
#include "morvik_command.h"

#include "com_barrier.h"
#include "command_steps.h"
#include "component_identity.h"
#include "kavlink_calls.h"
#include "type_info.h"

#include "kav/handles.h"

#include <atomic>

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

    // _MorvikVbCommand
    HRESULT STDMETHODCALLTYPE VokProcStartCmd(LONG hWnd, LONG nCmdLine, LONG* nCode) override {
        return ComBarrier([&]() -> HRESULT {
            const HWND host = reinterpret_cast<HWND>(static_cast<LONG_PTR>(hWnd));
            kavlink::InitVBCmdLib(host, nCmdLine);
            if (nCode == nullptr) return E_POINTER;
            *nCode = 1;
            HRESULT hr = PrepareCommandState();
            if (FAILED(hr)) return hr;
            hr = RunCommandDialog(host);
            if (FAILED(hr)) return hr;
            kavlink::VokExitCommand();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE VokProcEndCmd(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcPreEvent() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcDrawRubber(double, double) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcPositionEvent(short, double, double) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcPositionEventEx(short, double, double, double, double, LONG, LONG, short,
                                                     short) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VokProcElementEvent(LONG, short) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcElementEventEx(LONG, short, double, double, short) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcMultiElementEvent(short, LONG, LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcMultiElementEventEx(short, LONG, LONG, LONG, double, double, double,
                                                         double) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VokProcSystemEvent(short) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcOperationEvent(short, short) override { return S_OK; }

    // Reads the text box's text from the host and hands it to the string box
    // event.  `pString` is never read.
    HRESULT STDMETHODCALLTYPE VokProcStringBoxEventHook(short csbID, short itemID, LONG) override {
        return ComBarrier([&]() -> HRESULT {
            const int32_t panel = kavlink::VokGetCSBHandle(csbID);
            if (panel == 0) return S_OK;
            BoxStatus status{};
            kavlink::VokGetTextBoxStatus(panel, itemID, &status);
            const std::wstring field = BoxText(status.text);
            const kav::UniqueBstr text(::SysAllocStringLen(field.data(), static_cast<UINT>(field.size())));
            if (!text) return E_OUTOFMEMORY;
            const HRESULT hr = VokProcStringBoxEvent(csbID, itemID, text.get());
            return FAILED(hr) ? hr : S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE VokProcIntBoxEvent(short, short, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcRealBoxEvent(short, short, double) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VokProcButtonEvent(short, short, short) override { return S_OK; }
    // The text is the caller's; nothing here keeps it.
    HRESULT STDMETHODCALLTYPE VokProcStringBoxEvent(short, short, BSTR) override { return S_OK; }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT CreateMorvikVbCommand(REFIID iid, void** object) {
    return ComBarrier([&]() -> HRESULT {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        auto* command = new MorvikVbCommand;  // one reference, released below
        const HRESULT hr = command->QueryInterface(iid, object);
        command->Release();
        return hr;
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
