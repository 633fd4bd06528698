// The catch-all barrier of every COM method and server entry point: nothing
// thrown inside leaves through the COM boundary.
#pragma once
#include "binding.h"

#include <windows.h>
#include <new>

namespace kavcmd {

template <class F>
HRESULT ComBarrier(F&& body) noexcept {
    try {
        return body();
    } catch (const HresultFailure& failure) {  // a binding or a step of the command
        return FAILED(failure.hr) ? failure.hr : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace kavcmd
