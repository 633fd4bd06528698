// Files, folders and settings for the command tests: the program's own
// folder is the commands' root folder.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace kavtest {

std::wstring ProgramFolder();          // without trailing separator
std::string ToCodePage932(const std::wstring& text);

// Paths of any length (long ones go through the "\\?\" form).
void MakeFolder(const std::wstring& path);      // with its parents
void RemoveTree(const std::wstring& path);      // also read-only files
void WriteFile(const std::wstring& path, const std::string& bytes = "x");
bool FileExists(const std::wstring& path);      // a file or a folder

// The value of a key read back with GetPrivateProfileStringA in code page
// 932; nullopt when the key is missing.
std::optional<std::wstring> ReadSetting(const std::wstring& file, const std::wstring& section, const std::wstring& key);
// Writes an INI file of `lines` (UTF-16 source, stored in code page 932).
void WriteSettingsFile(const std::wstring& file, const std::wstring& lines);

// Logical DPI of the display and twips -> pixels at it.
int DisplayDpiX();
int DisplayDpiY();
int PixelsX(int twips);
int PixelsY(int twips);

}  // namespace kavtest
