// The one way to ignore a failure on purpose: where carrying on is the right
// answer (a settings write after the files are gone, a best-effort clean-up),
// the failure is still said, on the debugger channel, never swallowed.
#pragma once
#include <windows.h>
#include <cstdio>
#include <exception>

namespace kav {

inline void ReportIgnored(const char* where, const char* what) noexcept {
    char line[256];
    std::snprintf(line, sizeof line, "kavlink: ignored failure in %s: %s\n", where, what ? what : "");
    ::OutputDebugStringA(line);
}

// Inside a catch block: says what was caught and that it is ignored.
inline void ReportIgnoredException(const char* where) noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        ReportIgnored(where, e.what());
    } catch (...) {
        ReportIgnored(where, "unknown exception");
    }
}

// Runs `body`, ignoring (and reporting) anything it throws.
template <class F>
void IgnoringFailure(const char* where, F&& body) noexcept {
    try {
        body();
    } catch (...) {
        ReportIgnoredException(where);
    }
}

}  // namespace kav
