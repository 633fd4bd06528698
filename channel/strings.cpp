#include "strings.h"

#include "guarded.h"

namespace kav {

bool putText(BSTR* variable, const char* text, size_t maxLength) {
    BSTR old = nullptr;
    if (!guardedLoad(variable, old)) return false;
    const uint32_t length = guardedTextLength(text, static_cast<uint32_t>(maxLength));
    if (length == kUnreadable) return false;
    BSTR fresh = newByteString(text, length);
    if (fresh == nullptr) return false;
    if (!guardedStore(variable, fresh)) {
        ::SysFreeString(fresh);
        return false;
    }
    ::SysFreeString(old);  // after the copy: the text may live inside it
    return true;
}

BSTR newByteString(const char* bytes, uint32_t length) {
    // SysAllocStringByteLen copies `length` bytes and adds the terminator.
    return ::SysAllocStringByteLen(bytes, length);
}

}  // namespace kav
