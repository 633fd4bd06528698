#include "strings.h"

#include "guarded.h"

namespace kav {

uint32_t wholeCharacterLength(const char* text, uint32_t length) {
    uint32_t i = 0;
    while (i < length) {
        if (!::IsDBCSLeadByte(static_cast<BYTE>(text[i]))) {
            ++i;
        } else if (i + 1 < length) {
            i += 2;
        } else {
            break;  // its second byte is cut off
        }
    }
    return i;
}

bool putText(BSTR* variable, const char* text, size_t maxLength) {
    BSTR old = nullptr;
    if (!guardedLoad(variable, old)) return false;
    uint32_t length = guardedTextLength(text, static_cast<uint32_t>(maxLength));
    if (length == kUnreadable) return false;
    // Readable up to `length`: the measure above has read every byte.
    if (length == maxLength) length = wholeCharacterLength(text, length);
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
