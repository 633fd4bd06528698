// The one way kavhost says what went wrong: one line on standard error,
// "kavhost: <what> <file>: line <n>: <reason>", and the exit status that goes
// with it.  main() and every mode return through report(); nothing else
// prints a failure of its own.
#pragma once
#include <cstdio>
#include <string>
#include <utility>

namespace kavhost {

struct InputError;

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // bad command line, script, recording, profile
inline constexpr int kExitReplayDiffers = 3;

struct Failure {
    Failure(int status, std::string message, std::string subject = {}, std::string file = {}, int line = 0,
            bool unreadable = false)
        : status(status), message(std::move(message)), subject(std::move(subject)), file(std::move(file)), line(line),
          unreadable(unreadable) {}
    int status = kExitFailed;
    std::string message;  // the reason, or all of it when no file is named
    std::string subject;  // "script", "recorded session", "profile": what the file is to kavhost
    std::string file;     // "" when no file is at fault
    int line = 0;         // 0: the file as a whole
    bool unreadable = false;  // the file cannot be read at all
};

// A file refused by its reader (exit 2).
Failure refused(const std::string& subject, const std::string& file, const InputError& e);

// "script C:\a.txt: line 3: unknown statement 'foo'".
std::string describe(const Failure& f);

// Inside the catch block of a barrier (a window or timer procedure, which
// must not let an exception out): tells the exception in flight as an
// internal error `where` ("while answering").  Never throws.
void reportCaught(const char* where) noexcept;

// Prints the failure, once, and returns its exit status.  `to` is standard
// error unless a caller writes its errors elsewhere (--parity's tests).
int report(const Failure& f, std::FILE* to = stderr);
inline int report(int status, const std::string& message) { return report(Failure{status, message}); }

}  // namespace kavhost
