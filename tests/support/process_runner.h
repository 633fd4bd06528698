// Runs a test's child program (kavhost.exe and the like) to its end:
// standard output and error captured separately, a working folder, and a
// time limit after which the child is ended, so that a hung child fails
// the test instead of hanging the run.
#pragma once
#include <windows.h>

#include <string>

namespace kavtest {

struct ProcessRun {
    bool started = false;
    bool finished = false;   // false: ended at the time limit
    DWORD exit = 0xDEAD;     // exit status (0xDEAD when it never started)
    std::string out, err;
};

// The folder of the running test program, with a trailing backslash.
std::string programFolder();

// `program` is a path; `args` is the rest of the command line as typed.
// `folder` is the working folder ("" = the test's own).
ProcessRun runProcess(const std::string& program, const std::string& args, const std::string& folder = "",
                      DWORD timeoutMs = 120000);

// kavhost.exe from beside the test program.
ProcessRun runKavhost(const std::string& args, const std::string& folder = "", DWORD timeoutMs = 120000);

}  // namespace kavtest
