// OLE Automation strings that carry ANSI bytes, as the library's callers use
// them: "string variables" that the library fills, and new strings that it
// hands back.
#pragma once
#include <ole2.h>
#include <cstddef>
#include <cstdint>

namespace kav {

// The length of the longest beginning of `text` (whose first `length` bytes
// are readable) that ends on a whole character of the system code page: a
// lead byte whose second byte lies past `length` is left out.  Every cut of
// a text at a byte limit goes through this, so that no half of a double-byte
// character is ever sent or handed back.
uint32_t wholeCharacterLength(const char* text, uint32_t length);

// Text into string variable: the variable receives a new string whose byte
// length is the text's length (bytes before the first zero, at most
// `maxLength`, cut back to a whole character when the limit cuts it),
// holding the text and a terminator; the old string is freed,
// so the variable holds the only valid handle.  Returns false, leaving the
// variable untouched, for a null variable or text or when no memory is left.
bool putText(BSTR* variable, const char* text, size_t maxLength);

// A new string of exactly `length` bytes copied from `bytes`.
BSTR newByteString(const char* bytes, uint32_t length);

}  // namespace kav
