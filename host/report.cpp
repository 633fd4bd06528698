#include "report.h"

#include "input.h"

#include <cstdio>
#include <exception>

namespace kavhost {

Failure refused(const std::string& subject, const std::string& file, const InputError& e) {
    return Failure{kExitUsage, e.reason, subject, file, e.line, e.isUnreadable()};
}

std::string describe(const Failure& f) {
    if (f.file.empty()) return f.message;
    if (f.unreadable) return "cannot read the " + f.subject + " " + f.file;
    std::string s = f.subject.empty() ? f.file : f.subject + " " + f.file;
    if (f.line > 0) s += ": line " + std::to_string(f.line);
    return s + ": " + f.message;
}

void reportCaught(const char* where) noexcept {
    try {
        std::string what;
        try {
            throw;
        } catch (const std::exception& e) {
            what = std::string(": ") + e.what();
        } catch (...) {
        }
        report(kExitFailed, std::string("internal error ") + where + what);
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

int report(const Failure& f, std::FILE* to) {
    const std::string text = "kavhost: " + describe(f) + "\n";
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
    return f.status;
}

}  // namespace kavhost
