// What kavhost's tests share: a sandbox root folder for a command
// component, small file helpers, kavhost.exe itself and its JSON lines read
// back.
#pragma once
#include "process_runner.h"
#include "recording/session.h"
#include "temp_folder.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest {

using kavtest::ProcessRun;

inline std::string exeDir() { return kavtest::programFolder(); }

inline bool exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void touch(const std::string& p) { std::ofstream(p) << "sample\n"; }

inline std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline ProcessRun kavhost(const std::string& args, const std::string& dir) { return kavtest::runKavhost(args, dir); }

// A sandbox root: the component and kavlink.dll, sysinfo\CSB with sample
// files (and a subfolder that must survive), sysdata with the open history.
class Sandbox {
public:
    explicit Sandbox(const char* component) {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        root = std::string(tmp) + "kavhost_sandbox_" + component;
        wipe(root);
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo\\CSB").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo\\CSB\\keep").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysdata").c_str(), nullptr);
        for (const char* f : {"a.csb", "b.csb", "c.txt"}) touch(root + "\\sysinfo\\CSB\\" + f);
        touch(root + "\\sysinfo\\CSB\\keep\\inner.csb");
        touch(root + "\\sysdata\\FileOpenDlg.ini");
        touch(root + "\\sysinfo\\BndAttrData.ini");
        touch(root + "\\sysinfo\\DrwAttrData.ini");
        touch(root + "\\sysinfo\\other.ini");
        dll = root + "\\" + component + ".dll";
        CopyFileA((exeDir() + component + ".dll").c_str(), dll.c_str(), FALSE);
        CopyFileA((exeDir() + "kavlink.dll").c_str(), (root + "\\kavlink.dll").c_str(), FALSE);
    }
    ~Sandbox() { wipe(root); }

    std::string script(const std::string& text) {
        const std::string p = root + "\\script.txt";
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    static void wipe(const std::string& dir) {
        wchar_t wide[MAX_PATH * 2];
        if (MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, wide, MAX_PATH * 2) > 0) kavtest::removeTree(wide);
    }

    std::string root, dll;
};

inline bool componentBuilt(const char* name) { return exists(exeDir() + name + ".dll"); }

inline std::string writeScript(const std::string& name, const std::string& text) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string p = std::string(tmp) + name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

// kavhost's JSON lines (a recording, a --json log), one object per line.
inline std::vector<kavhost::Json> jsonLines(const std::string& text) {
    std::vector<kavhost::Json> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(kavhost::Json::parse(l));
    return out;
}

inline std::string tempDir() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string s = tmp;
    if (!s.empty() && (s.back() == '\\' || s.back() == '/')) s.pop_back();
    return s;
}

}  // namespace hosttest
