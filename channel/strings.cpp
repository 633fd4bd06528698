#include "strings.h"

#include <cstring>

namespace kav {

bool putText(BSTR* variable, const char* text, size_t maxLength) {
    if (variable == nullptr || text == nullptr) return false;
    const size_t length = ::strnlen(text, maxLength);
    BSTR fresh = newByteString(text, static_cast<uint32_t>(length));
    if (fresh == nullptr) return false;
    ::SysFreeString(*variable);  // after the copy: the text may live inside it
    *variable = fresh;
    return true;
}

BSTR newByteString(const char* bytes, uint32_t length) {
    // SysAllocStringByteLen copies `length` bytes and adds the terminator.
    return ::SysAllocStringByteLen(bytes, length);
}

}  // namespace kav
