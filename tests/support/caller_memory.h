// The caller's side of one call of an export, as the tests build it: buffers
// that each end in guard bytes, array variables over them, strings passed by
// value and string variables.  Every address stays valid while the object
// lives; the strings, and whatever each string variable holds at the end
// (the call may have replaced it), are freed with it.
#pragma once
#include "kav/handles.h"

#include <ole2.h>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kavtest {

inline constexpr size_t kGuardSize = 16;
inline constexpr uint8_t kGuardByte = 0x0E;  // no terminator, no sentinel, below the table test's bytes

class CallerMemory {
public:
    CallerMemory() = default;
    ~CallerMemory() {
        for (BSTR* v : variables_) {
            const kav::UniqueBstr held(*v);
        }
    }
    CallerMemory(const CallerMemory&) = delete;
    CallerMemory& operator=(const CallerMemory&) = delete;

    // A buffer holding `content`, followed by kGuardSize guard bytes.
    uint8_t* place(const std::vector<uint8_t>& content) {
        return buffers_.emplace_back(guarded(content)).data();
    }
    // `content` followed by the guard bytes: how a buffer holding it reads.
    static std::vector<uint8_t> guarded(std::vector<uint8_t> content) {
        content.insert(content.end(), kGuardSize, kGuardByte);
        return content;
    }
    // A placed buffer as it is now, guard bytes included.
    const std::vector<uint8_t>& now(const uint8_t* data) const {
        for (const std::vector<uint8_t>& b : buffers_)
            if (b.data() == data) return b;
        static const std::vector<uint8_t> none;
        return none;
    }

    // An array variable: the address of a variable that refers to a
    // one-dimensional descriptor of `size` bytes at `data` (null: no data).
    SAFEARRAY** arrayVariable(void* data, size_t size) {
        SAFEARRAY& d = descriptors_.emplace_back();
        d.cDims = 1;
        d.cbElements = 1;
        d.pvData = data;
        d.rgsabound[0].cElements = static_cast<ULONG>(size);
        return &arrayVariables_.emplace_back(&d);
    }

    // A string passed by value (freed with this memory), from its bytes or
    // taken over (null allowed).
    BSTR string(const std::string& bytes) { return adopt(allocate(bytes)); }
    BSTR adopt(BSTR s) { return strings_.emplace_back(s).get(); }
    // A string variable holding a string of these bytes; or a variable the
    // test keeps elsewhere, whose content is freed with this memory.
    BSTR* stringVariable(const std::string& bytes) { return adoptVariable(&ownVariables_.emplace_back(allocate(bytes))); }
    BSTR* adoptVariable(BSTR* variable) { return variables_.emplace_back(variable); }

private:
    static BSTR allocate(const std::string& bytes) {
        return ::SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    }

    std::deque<std::vector<uint8_t>> buffers_;
    std::deque<SAFEARRAY> descriptors_;
    std::deque<SAFEARRAY*> arrayVariables_;
    std::deque<kav::UniqueBstr> strings_;
    std::deque<BSTR> ownVariables_;
    std::vector<BSTR*> variables_;
};

// The bytes of a byte string (none for a null one).
inline std::string bytesOf(BSTR s) { return s ? std::string(reinterpret_cast<const char*>(s), ::SysStringByteLen(s)) : ""; }

}  // namespace kavtest
