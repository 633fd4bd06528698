// Late binding by name, the way the commands reach kavlink.dll and the
// system libraries: the library is loaded by file name (normal search) and
// the entry point looked up at the first call; the address is kept for every
// later call.  A missing library or entry point fails that call only.
#pragma once
#include <windows.h>
#include <atomic>
#include <exception>

namespace kavcmd {

// A failure that ends an event method with its own HRESULT.
struct HresultFailure : std::exception {
    explicit HresultFailure(HRESULT code) : hr(code) {}
    HRESULT hr;
};

// Thrown when a library or entry point cannot be bound; the COM method
// barrier turns it into the failure HRESULT `hr`.
struct BindingFailure : HresultFailure {
    using HresultFailure::HresultFailure;
    const char* what() const noexcept override { return "late binding failed"; }
};

template <class Fn>
class LateBound {
public:
    constexpr LateBound(const char* library, const char* entry) : library_(library), entry_(entry) {}

    // The bound address, or nullptr when it cannot be bound (tried again on
    // the next call, so a library that appears later is found).
    Fn* tryGet() {
        if (Fn* f = address_.load(std::memory_order_acquire)) return f;
        HMODULE module = ::GetModuleHandleA(library_);
        if (!module) module = ::LoadLibraryA(library_);  // kept loaded for the process
        if (!module) return nullptr;
        Fn* f = reinterpret_cast<Fn*>(::GetProcAddress(module, entry_));
        if (f) address_.store(f, std::memory_order_release);
        return f;
    }

    // The bound address; throws BindingFailure when it cannot be bound.
    Fn* get() {
        if (Fn* f = tryGet()) return f;
        throw BindingFailure(::GetModuleHandleA(library_) ? HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)
                                                          : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    }

    template <class... A>
    auto operator()(A&&... args) {
        return get()(static_cast<A&&>(args)...);
    }

private:
    const char* library_;
    const char* entry_;
    std::atomic<Fn*> address_{nullptr};
};

}  // namespace kavcmd
