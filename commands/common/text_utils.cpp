#include "text_utils.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kavcmd {

std::string ToAnsi(std::wstring_view text, bool* lossy) {
    if (lossy) *lossy = false;
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        if (lossy) *lossy = true;
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), bytes, nullptr, nullptr);
    // A character without an exact equivalent comes out as '?' or as a
    // look-alike: the way back then gives a different text.
    if (lossy) *lossy = FromAnsi(out) != text;
    return out;
}

std::wstring FromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
    if (chars <= 0) return {};
    std::wstring out(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), n, out.data(), chars);
    return out;
}

std::wstring CutAtNul(std::wstring_view text) {
    return std::wstring(text.substr(0, text.find(L'\0')));
}

std::string CutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

size_t CharacterCount(std::wstring_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i, ++count) {
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ++i;
    }
    return count;
}

std::wstring TrimSpaces(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    const size_t last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

std::wstring UpperCase(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

bool EndsWithUpper(std::wstring_view text, std::wstring_view suffix) {
    if (text.size() < suffix.size()) return false;
    return UpperCase(text.substr(text.size() - suffix.size())) == suffix;
}

std::wstring NumToText(double value) {
    if (value == 0.0) return L"0";
    // 15 significant digits, the shortest form that shows the value; an
    // exponent only for very large or very small magnitudes.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", std::fabs(value));
    std::wstring digits;
    for (const char* p = buffer; *p; ++p) digits.push_back(static_cast<wchar_t>(*p));
    if (!digits.empty() && digits.front() == L'.') digits.insert(digits.begin(), L'0');
    return value < 0 ? L"-" + digits : digits;
}

double LeadingNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) number.push_back(static_cast<char>(text[i++]));
    size_t digits = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') { number.push_back(static_cast<char>(text[i++])); ++digits; }
    if (i < text.size() && text[i] == L'.') {
        number.push_back('.');
        ++i;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') { number.push_back(static_cast<char>(text[i++])); ++digits; }
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) exponent.push_back(static_cast<char>(text[j++]));
        size_t expDigits = 0;
        while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') { exponent.push_back(static_cast<char>(text[j++])); ++expDigits; }
        if (expDigits > 0) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace kavcmd
