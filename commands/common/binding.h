// Late binding by name, the way the commands reach kavlink.dll and the
// system libraries: the library is loaded and the entry point looked up at
// the first call; the address is kept for every later call.  A missing
// library or entry point fails that call only.  Where a library is looked
// for is the loader's business: system libraries come from the system
// folder only (never the current directory or the host's folder); the
// kavlink.dll loader is in kavlink_calls.cpp.
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

// Finds or loads a library; nullptr when it cannot.  A loaded library stays
// loaded for the process.
using LibraryLoader = HMODULE (*)(const char* library);

// A system library from the system folder alone.
inline HMODULE LoadSystemLibrary(const char* library) {
    return ::LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

template <class Fn>
class LateBound {
public:
    constexpr LateBound(const char* library, const char* entry, LibraryLoader load = LoadSystemLibrary)
        : library_(library), entry_(entry), load_(load) {}

    // The bound address, or nullptr when it cannot be bound (tried again on
    // the next call, so a library that appears later is found).
    Fn* tryGet() {
        HRESULT ignored;
        return bind(ignored);
    }

    // The bound address; throws BindingFailure when it cannot be bound.
    Fn* get() {
        HRESULT failure = S_OK;
        if (Fn* f = bind(failure)) return f;
        throw BindingFailure(failure);
    }

    template <class... A>
    auto operator()(A&&... args) {
        return get()(static_cast<A&&>(args)...);
    }

private:
    Fn* bind(HRESULT& failure) {
        if (Fn* f = address_.load(std::memory_order_acquire)) return f;
        HMODULE module = load_(library_);
        if (!module) {
            failure = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        Fn* f = reinterpret_cast<Fn*>(::GetProcAddress(module, entry_));
        if (!f) {
            failure = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        address_.store(f, std::memory_order_release);
        return f;
    }

    const char* library_;
    const char* entry_;
    LibraryLoader load_;
    std::atomic<Fn*> address_{nullptr};
};

}  // namespace kavcmd
