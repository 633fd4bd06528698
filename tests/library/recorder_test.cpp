// The folder values the recorder accepts: absolute drive or UNC paths of a
// bounded length with no device anywhere in them.
#include "record/recorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RecorderFolder, OnlyAbsoluteFolderNamesWithoutDevices) {
    struct Case {
        std::wstring value;
        const wchar_t* problem;  // nullptr: accepted
    };
    const Case cases[] = {
        {L"C:\\Recordings", nullptr},
        {L"c:/recordings/field/", nullptr},
        {L"C:\\", nullptr},
        {L"\\\\server\\share\\rec", nullptr},
        {L"\\\\server\\share", nullptr},
        {L"Z:\\console\\x", nullptr},
        {L"Z:\\con.d\\x", L"names a device"},  // with any extension
        {L"Z:\\COM10", nullptr},
        {L"recordings", L"is relative"},
        {L"C:recordings", L"is relative"},
        {L"\\recordings", L"is relative"},
        {L"\\\\server", L"is relative"},
        {L"\\\\server\\", L"is relative"},
        {L"NUL", L"names a device"},
        {L"com1", L"names a device"},
        {L"C:\\rec\\LPT9.log", L"names a device"},
        {L"C:\\rec\\nul  .txt\\x", L"names a device"},
        {L"C:\\CONOUT$", L"names a device"},
        {L"\\\\.\\C:\\rec", L"names a device"},
        {L"\\\\?\\C:\\rec", L"names a device"},
        {L"C:\\rec:stream", L"is not a folder name"},
        {L"C:\\rec*", L"is not a folder name"},
        {L"C:\\rec\n", L"is not a folder name"},
        {L"C:\\rec ", L"has a name ending in a space or a dot"},  // Windows would drop the space
        {L"C:\\rec.\\x", L"has a name ending in a space or a dot"},
        {L"C:\\rec\\..\\x\\.", nullptr},
        {L"C:\\" + std::wstring(197, L'r'), nullptr},
        {L"C:\\" + std::wstring(198, L'r'), L"is too long"},
    };
    for (const Case& c : cases) {
        const wchar_t* got = kav::record::folderProblem(c.value.c_str());
        EXPECT_EQ(std::wstring(got ? got : L"accepted"), std::wstring(c.problem ? c.problem : L"accepted"))
            << std::string(c.value.begin(), c.value.end());
    }
}

}  // namespace
