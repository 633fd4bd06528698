// kavhost's text helpers, the only ones its parts use: conversions between
// UTF-8 (kavhost's own texts), UTF-16 (the wide API) and the system code
// page (texts in the payload area), bytes and numbers in hexadecimal, and
// HRESULTs in words.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavhost {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
// Between the system code page and UTF-8.  Text that does not convert comes
// back as it was; ansiToUtf8 looks at the first megabyte only.
std::string ansiToUtf8(const std::string& ansi);
std::string utf8ToAnsi(const std::string& utf8);

// "0x80004005 (Unspecified error)": the system's text, or ours for the
// automation codes that the system leaves without one.
std::string describeHresult(long hr);

// "0x0000ABCD"
std::string hex32(uint32_t value);

// Bytes as "01 AB FF" (every byte when limit is 0) and back; fromHex
// refuses anything but pairs of hex digits separated by single spaces (by
// nothing when not `spaced`: "01ABFF").
std::string hexText(const uint8_t* bytes, size_t n, size_t limit = 0);
// The same appended to `out`, all `n` bytes.
void appendHex(std::string& out, const uint8_t* bytes, size_t n);
bool fromHex(const std::string& text, std::vector<uint8_t>& out, bool spaced = true);

}  // namespace kavhost
