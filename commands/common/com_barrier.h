// The catch-all barrier of every COM method and server entry point: nothing
// thrown inside leaves through the COM boundary.
#pragma once
#include "binding.h"

#include <windows.h>
#include <new>

namespace kavcmd {

// The HRESULT for the exception being handled; called only inside a catch
// block.  The one mapping for every barrier: COM methods, server entry points
// and the dialog procedure.
inline HRESULT HresultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const HresultFailure& failure) {  // a binding or a step of the command
        return FAILED(failure.hr) ? failure.hr : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

template <class F>
HRESULT ComBarrier(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return HresultFromCaughtException();
    }
}

}  // namespace kavcmd
