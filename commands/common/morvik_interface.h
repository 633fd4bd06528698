// _MorvikVbCommand, the default interface of MorvikVbCommand: IDispatch
// followed by the 17 event methods in type library order (dispatch ids
// 0x60030000 + n).  I2 = short, I4 = LONG, R8 = double.
#pragma once
#include <windows.h>
#include <oaidl.h>

namespace kavcmd {

struct _MorvikVbCommand : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE VokProcStartCmd(LONG hWnd, LONG nCmdLine, LONG* nCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcEndCmd(LONG* nCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcPreEvent() = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcDrawRubber(double x, double y) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcPositionEvent(short posType, double xPos, double yPos) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcPositionEventEx(short posType, double xPos, double yPos, double xReal,
                                                             double yReal, LONG e1, LONG e2, short ActiveIndex,
                                                             short Status) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcElementEvent(LONG ElemIndex, short elemType) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcElementEventEx(LONG ElemIndex, short elemType, double xPos, double yPos,
                                                            short Status) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcMultiElementEvent(short selType, LONG hSelect, LONG hAcross,
                                                               LONG hLink) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcMultiElementEventEx(short selType, LONG hSelect, LONG hAcross, LONG hLink,
                                                                 double xPos, double yPos, double Width,
                                                                 double Height) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcSystemEvent(short evType) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcOperationEvent(short opType, short turnID) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcStringBoxEventHook(short csbID, short itemID, LONG pString) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcIntBoxEvent(short csbID, short itemID, LONG Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcRealBoxEvent(short csbID, short itemID, double Value) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcButtonEvent(short csbID, short itemID, short State) = 0;
    virtual HRESULT STDMETHODCALLTYPE VokProcStringBoxEvent(short csbID, short itemID, BSTR pString) = 0;
};

// Creates a MorvikVbCommand and asks it for `iid`.
HRESULT CreateMorvikVbCommand(REFIID iid, void** object);

// MorvikVbCommand instances alive in this module.
LONG LiveObjectCount();

}  // namespace kavcmd
