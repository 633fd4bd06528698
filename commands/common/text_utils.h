// Text helpers shared by both commands: conversion between the commands'
// Unicode strings and the system ANSI code page, trimming, cutting at the
// terminator, the upper-case suffix test and the number text of a setting.
#pragma once
#include <string>
#include <string_view>

namespace kavcmd {

// Unicode -> system code page.  `lossy` (optional) tells whether a character
// had no equivalent and was replaced by the default character ('?').
std::string ToAnsi(std::wstring_view text, bool* lossy = nullptr);
// System code page -> Unicode.
std::wstring FromAnsi(std::string_view text);

// Everything before the first NUL; the text unchanged when it holds none.
std::wstring CutAtNul(std::wstring_view text);
std::string CutAtNul(std::string_view text);

// The number of characters: a surrogate pair counts once.
size_t CharacterCount(std::wstring_view text);

// Without leading and trailing spaces (U+0020 only).
std::wstring TrimSpaces(std::wstring_view text);

// The text in upper case (the platform's case mapping).
std::wstring UpperCase(std::wstring_view text);

// True when the last suffix.size() characters of text, turned to upper case,
// equal suffix (which is given in upper case and holds no surrogate pair).
bool EndsWithUpper(std::wstring_view text, std::wstring_view suffix);

// The setting text of a number: "0" for 0; otherwise the decimal text with a
// "0" before the point of magnitudes below 1 ("0.5", "-0.25"), no leading
// blank ("1", "-3", "2.5").
std::wstring NumToText(double value);

// Reads the longest numeric beginning of a text (leading blanks skipped:
// sign, digits, decimal point, exponent); 0 when it does not begin with a
// number.
double LeadingNumber(std::wstring_view text);

}  // namespace kavcmd
