// Who this component is: names and identifiers of its type library, class
// and interface.  Each command defines ThisComponent() from its identity.h.
#pragma once
#include <windows.h>

namespace kavcmd {

struct ComponentIdentity {
    const wchar_t* libraryName;  // type library name, e.g. L"csbclean"
    const wchar_t* fileName;     // L"csbclean.dll"
    const wchar_t* progId;       // L"csbclean.MorvikVbCommand"
    GUID libid;
    WORD libMajor;
    WORD libMinor;
    GUID clsid;                  // MorvikVbCommand
    GUID iid;                    // _MorvikVbCommand
};

const ComponentIdentity& ThisComponent();

namespace detail {
constexpr unsigned HexDigit(char c) {
    return c >= '0' && c <= '9'   ? unsigned(c - '0')
           : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
           : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                                  : throw "not a hexadecimal digit";
}
constexpr unsigned long HexValue(const char* s, int digits) {
    unsigned long v = 0;
    for (int i = 0; i < digits; ++i) v = (v << 4) | HexDigit(s[i]);
    return v;
}
}  // namespace detail

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces) at compile time.
constexpr GUID ParseGuid(const char (&text)[37]) {
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') throw "malformed GUID text";
    GUID g{};
    g.Data1 = detail::HexValue(text, 8);
    g.Data2 = static_cast<unsigned short>(detail::HexValue(text + 9, 4));
    g.Data3 = static_cast<unsigned short>(detail::HexValue(text + 14, 4));
    g.Data4[0] = static_cast<unsigned char>(detail::HexValue(text + 19, 2));
    g.Data4[1] = static_cast<unsigned char>(detail::HexValue(text + 21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<unsigned char>(detail::HexValue(text + 24 + 2 * i, 2));
    return g;
}

}  // namespace kavcmd
