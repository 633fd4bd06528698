// Bounded wide texts and the recorder's one line on the debug output.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace kav::record {

// A bounded wide text; what does not fit is left out.
class WideText {
public:
    template <size_t N>
    explicit WideText(wchar_t (&into)[N]) : begin_(into), at_(into), end_(into + N - 1) { *at_ = 0; }
    [[gnu::noinline]] WideText& put(const wchar_t* s) {
        while (s && *s && at_ < end_) *at_++ = *s++;
        *at_ = 0;
        return *this;
    }
    [[gnu::noinline]] WideText& put(wchar_t c) {
        if (at_ < end_) *at_++ = c;
        *at_ = 0;
        return *this;
    }
    [[gnu::noinline]] WideText& number(uint32_t v, uint32_t width = 1) {
        wchar_t digits[12];
        uint32_t n = 0;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
            v /= 10;
        } while (v != 0 || n < width);
        while (n > 0) put(digits[--n]);
        return *this;
    }
    bool full() const { return at_ == end_; }
    const wchar_t* text() const { return begin_; }

private:
    wchar_t* begin_;
    wchar_t* at_;
    wchar_t* end_;
};

// One line on the debug output: "kavlink: recording <what><detail> (error N)".
void say(const wchar_t* what, const wchar_t* detail = nullptr, DWORD error = 0);

}  // namespace kav::record
