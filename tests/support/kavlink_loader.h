// Binds kavlink.dll the way the commands do (LoadLibrary + GetProcAddress by
// name) and calls any export with raw 32-bit argument slots, as an OLE
// Automation client would push them.
#pragma once
#include "kav/handles.h"

#include <windows.h>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace kavtest {

// One argument slot list.  Helpers turn pointers, doubles and 64-bit values
// into slots.
struct Slots {
    std::vector<uint32_t> v;
    Slots() = default;
    Slots(std::initializer_list<uint32_t> s) : v(s) {}
    Slots& u32(uint32_t x) { v.push_back(x); return *this; }
    Slots& ptr(const void* p) { v.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))); return *this; }
    Slots& f64(double d) {
        uint32_t h[2];
        std::memcpy(h, &d, 8);
        v.push_back(h[0]);
        v.push_back(h[1]);
        return *this;
    }
    Slots& i64(int64_t x) {
        v.push_back(static_cast<uint32_t>(x));
        v.push_back(static_cast<uint32_t>(static_cast<uint64_t>(x) >> 32));
        return *this;
    }
};

struct CallResult {
    uint32_t eax = 0;
    uint32_t edx = 0;
    double st0 = 0.0;     // valid only for calls made with wantDouble
    uint32_t popped = 0;  // bytes the callee removed from the stack
    int16_t low16() const { return static_cast<int16_t>(eax & 0xFFFF); }
    int32_t i32() const { return static_cast<int32_t>(eax); }
    int64_t i64() const { return static_cast<int64_t>((uint64_t{edx} << 32) | eax); }
    // The string an export returned, now the caller's (none when `isString`
    // is false: the result was no string).
    kav::UniqueBstr ownedBstr(bool isString = true) const {
        return kav::UniqueBstr(isString ? reinterpret_cast<BSTR>(static_cast<uintptr_t>(eax)) : nullptr);
    }
};

class KavlinkLibrary {
public:
    // Loads kavlink.dll from the test program's folder.
    KavlinkLibrary();

    HMODULE module() const { return module_.get(); }
    FARPROC proc(const char* name) const;  // null when not exported
    CallResult call(const char* name, const Slots& slots, bool wantDouble = false) const;
    // The exported names as the PE export directory lists them.
    std::vector<std::string> exportedNames() const;

private:
    kav::UniqueLibrary module_;
};

// Raw caller; see stdcall_call.S.
CallResult callStdcall(FARPROC fn, const Slots& slots, bool wantDouble);

// The one library instance of a test program (loaded on first use).
KavlinkLibrary& lib();

}  // namespace kavtest
