// Runs a test's child program (kavhost.exe, regsvr32, cscript, probes) to
// its end: standard output and error captured separately, a working folder,
// and a time limit after which the child is ended, so that a hung child
// fails the test instead of hanging the run.  While it waits, the runner
// dispatches the messages of the calling thread, so that a child can reach a
// window of the test.
#pragma once
#include <windows.h>

#include <string>

namespace kavtest {

struct ProcessRun {
    bool started = false;
    bool finished = false;   // false: ended at the time limit
    DWORD exit = 0xDEAD;     // exit status (0xDEAD when it never started)
    std::string out, err;   // err also says why a child did not start
    std::string output() const { return out + err; }  // for messages
};

// The folder of the running test program, with a trailing backslash.
std::string programFolder();

// A whole command line; `folder` is the working folder ("" = the test's own).
ProcessRun runCommandLine(const std::wstring& commandLine, const std::wstring& folder = L"", DWORD timeoutMs = 120000);
// The same in the system code page: `program` is a path, `args` the rest of
// the command line as typed.
ProcessRun runProcess(const std::string& program, const std::string& args, const std::string& folder = "",
                      DWORD timeoutMs = 120000);

// kavhost.exe from beside the test program.
ProcessRun runKavhost(const std::string& args, const std::string& folder = "", DWORD timeoutMs = 120000);

}  // namespace kavtest
