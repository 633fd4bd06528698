// What the command component tests share: the expected identity of both
// components (written out here, independently of the build's identity.h),
// the event interface, and helpers for files, the registry and regsvr32.
#pragma once
#include "morvik_command.h"
#include "process_runner.h"
#include "temp_folder.h"

#include <windows.h>
#include <oaidl.h>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kavtest {

struct ComponentInfo {
    const char* label;        // for test names
    const wchar_t* name;      // type library name
    const wchar_t* file;
    const wchar_t* progId;
    const wchar_t* libid;
    WORD major, minor;
    const wchar_t* clsid;
    const wchar_t* iid;
    const wchar_t* hwndParam;  // first parameter of VokProcStartCmd
};

const std::vector<ComponentInfo>& components();
inline void PrintTo(const ComponentInfo& c, std::ostream* os) { *os << c.label; }
GUID guidOf(const wchar_t* text);

struct ParamInfo {
    const wchar_t* name;  // nullptr: the component's hwndParam
    VARTYPE vt;           // VT_I2, VT_I4, VT_R8, VT_BSTR
    bool byRef = false;
};
struct MethodInfo {
    const wchar_t* name;
    std::vector<ParamInfo> params;
};
// The 17 event methods in interface order (dispatch id 0x60030000 + index),
// from the table generated from the interface's IDL.
const std::vector<MethodInfo>& eventMethods();

std::wstring exeFolder();
std::wstring builtPath(const ComponentInfo& c);  // next to the test program


// The default (name == nullptr) or named REG_SZ value of HKCR\subkey.
std::optional<std::wstring> classesText(const std::wstring& subkey, const wchar_t* name = nullptr);
bool classesKeyExists(const std::wstring& subkey);

ProcessRun regsvr32(const std::wstring& dll, bool unregister, const std::wstring& folder);

bool equalPaths(const std::wstring& a, const std::wstring& b);

}  // namespace kavtest
