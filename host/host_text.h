// Text helpers shared by kavhost's parts: UTF-8 <-> UTF-16 for the wide
// API, and HRESULTs in words.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavhost {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// "0x80004005 (Unspecified error)": the system's text, or ours for the
// automation codes that the system leaves without one.
std::string describeHresult(long hr);

// Bytes as "01 AB FF" (every byte when limit is 0) and back; fromHex
// refuses anything but pairs of hex digits separated by single spaces.
std::string hexText(const uint8_t* bytes, size_t n, size_t limit = 0);
bool fromHex(const std::string& text, std::vector<uint8_t>& out);

}  // namespace kavhost
