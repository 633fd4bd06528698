#include "script/host_text.h"

#include "kav/handles.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <memory>
#include <string_view>

namespace kavhost {
namespace {

// Automation and COM codes an event call can end in; the system message
// table does not always carry them.
struct HresultName {
    HRESULT hr;
    const char* text;
};
const HresultName kKnown[] = {
    {DISP_E_UNKNOWNINTERFACE, "unknown interface"},
    {DISP_E_MEMBERNOTFOUND, "member not found"},
    {DISP_E_PARAMNOTFOUND, "parameter not found"},
    {DISP_E_TYPEMISMATCH, "type mismatch"},
    {DISP_E_UNKNOWNNAME, "unknown name"},
    {DISP_E_NONAMEDARGS, "no named arguments"},
    {DISP_E_BADVARTYPE, "bad variable type"},
    {DISP_E_EXCEPTION, "exception occurred"},
    {DISP_E_OVERFLOW, "out of present range"},
    {DISP_E_BADINDEX, "invalid index"},
    {DISP_E_BADPARAMCOUNT, "invalid number of parameters"},
    {DISP_E_PARAMNOTOPTIONAL, "parameter not optional"},
    {E_NOTIMPL, "not implemented"},
    {E_NOINTERFACE, "no such interface supported"},
    {E_POINTER, "invalid pointer"},
    {E_FAIL, "unspecified error"},
    {E_UNEXPECTED, "catastrophic failure"},
    {E_INVALIDARG, "the parameter is incorrect"},
    {E_OUTOFMEMORY, "not enough memory"},
    {REGDB_E_CLASSNOTREG, "class not registered"},
    {CLASS_E_CLASSNOTAVAILABLE, "class not available from this DLL"},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "the specified module could not be found"},
};

std::wstring toWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), size, w.data(), n);
    return w;
}

std::string fromWide(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, wide.data(), size, s.data(), n, nullptr, nullptr);
    return s;
}

std::string recode(std::string_view text, UINT from, UINT to) {
    std::string out = fromWide(toWide(text, from), to);
    return out.empty() ? std::string(text) : out;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

}  // namespace

std::wstring widen(const std::string& utf8) { return toWide(utf8, CP_UTF8); }
std::string narrow(const std::wstring& wide) { return fromWide(wide, CP_UTF8); }

std::string ansiToUtf8(const std::string& ansi) {
    return recode(std::string_view(ansi).substr(0, size_t{1} << 20), CP_ACP, CP_UTF8);
}
std::string utf8ToAnsi(const std::string& utf8) { return recode(utf8, CP_UTF8, CP_ACP); }

std::string hex32(uint32_t value) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08X", value);
    return b;
}

std::string describeHresult(long hr) {
    const std::string head = hex32(static_cast<uint32_t>(hr));
    kav::UniqueLocalMem message;
    std::string text;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(message.put()), 0, nullptr) &&
        message)
        text = trimmed(narrow(static_cast<const wchar_t*>(message.get())));
    if (text.empty())
        for (const HresultName& k : kKnown)
            if (k.hr == hr) text = k.text;
    return text.empty() ? head : head + " (" + text + ")";
}

void appendHex(std::string& out, const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    const size_t at = out.size();
    out.resize(at + (n ? 3 * n - 1 : 0));
    char* q = out.data() + at;
    for (size_t i = 0; i < n; ++i) {
        if (i) *q++ = ' ';
        *q++ = digits[p[i] >> 4];
        *q++ = digits[p[i] & 15];
    }
}

std::string hexText(const uint8_t* p, size_t n, size_t limit) {
    const size_t shown = limit && n > limit ? limit : n;
    std::string s;
    appendHex(s, p, shown);
    if (shown < n) s += " ...";
    return s;
}

bool fromHex(const std::string& text, std::vector<uint8_t>& out, bool spaced) {
    out.clear();
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    const size_t step = spaced ? 3 : 2;
    for (size_t i = 0; i < text.size(); i += step) {
        if (i + 1 >= text.size() || (spaced && i + 2 < text.size() && text[i + 2] != ' ')) return false;
        const int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

}  // namespace kavhost
