// A folder of a test's own under %TEMP%, deleted with everything in it when
// the object goes, so also when an assertion ends the test early.
#pragma once
#include <string>

namespace kavtest {

// Deletes a file, or a folder with everything below it: read-only entries
// and paths longer than MAX_PATH included.  A path that does not exist is no
// error; false when something stayed behind.
bool removeTree(const std::wstring& path);

class TempFolder {
public:
    explicit TempFolder(const std::wstring& prefix = L"kavtest");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

}  // namespace kavtest
