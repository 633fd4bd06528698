// Where a command finds the host's folders and its settings file, and how
// one setting is read and written.  The folders are module state of the
// calling thread, recomputed by every start.
#pragma once
#include "binding.h"

#include <windows.h>
#include <cstdint>
#include <exception>
#include <string>

namespace kavcmd {

// A step of the start event that fails for a reason of its own (not a
// binding): the start ends with `hr`.
struct StepFailure : HresultFailure {
    using HresultFailure::HresultFailure;
    const char* what() const noexcept override { return "command step failed"; }
};

struct CommonFolders {
    std::wstring rootFolder;    // folder of the component's own file, no trailing separator
    std::wstring sysinfoFolder; // rootFolder + "\sysinfo"
    std::wstring settingsFile;  // sysinfoFolder + "\qxSystem.ini"
};

// Recomputes the folders of this thread from the component's own module.
void ComputeCommonFolders();
// The folders of this thread, as the last ComputeCommonFolders left them.
const CommonFolders& Folders();

// The value of key in section of file, trimmed of spaces; defaultText
// (unchanged) when the value is missing or empty.
std::wstring GetIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultText);
// Writes one value; a refused write is not reported.
void PutIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                  const std::wstring& text);

// A stored check box state as a 16-bit flag: the leading number of the text,
// rounded half to even.  Throws StepFailure(DISP_E_OVERFLOW) outside the
// 16-bit range.
int16_t TextToFlag(const std::wstring& text);
// Reads the flag stored under key in section of this thread's settings file
// (default "1").
int16_t ReadFlag(const std::wstring& section, const std::wstring& key);

}  // namespace kavcmd
