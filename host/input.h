// Every file kavhost reads (scripts, kavhost recordings, field sessions, the
// host profile) comes in through here, with limits stated once: a file of at
// most kFileLimit bytes, read as a stream and given up as soon as it goes
// past; lines of at most kLineLimit bytes; JSON nested at most kDepthLimit
// deep.  Text is UTF-8: NUL bytes and UTF-16 (FF FE, FE FF) are refused with
// the line they stand on.
#pragma once
#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kavhost {

inline constexpr uint64_t kFileLimit = uint64_t{64} << 20;
inline constexpr size_t kLineLimit = size_t{1} << 20;
inline constexpr int kDepthLimit = 16;

// What a reader refuses: the line (from 1; 0 for the file as a whole) and
// the reason, which names the key when a key is at fault.  Scripts and
// recordings refuse through it alike.
struct InputError : std::runtime_error {
    InputError(int line, const std::string& reason)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + reason : reason), line(line),
          reason(reason) {}
    // The file could not be opened or read at all.
    static InputError unreadable() { return InputError(0, kUnreadable); }
    bool isUnreadable() const { return line == 0 && reason == kUnreadable; }
    int line;
    std::string reason;

private:
    static constexpr const char* kUnreadable = "cannot be read";
};

enum class ZeroTail {
    refused,  // a NUL byte anywhere is refused
    endsIt,   // zero bytes at the very end are dropped (a run file whose last blocks never reached the disk)
};

// The file named by its UTF-8 path (opened by its wide name).  Throws
// InputError: "cannot be read", past kFileLimit, a line past kLineLimit, a
// NUL byte, UTF-16 text, and (with `utf8`) any byte sequence that is no UTF-8.
std::string readInput(const std::string& path, ZeroTail zeros, bool utf8 = true);

// The same checks on text already in memory (what readInput does after
// reading, and the script parser on a script a recording holds).
void checkText(std::string_view text, bool utf8 = true);

// "" when the line is UTF-8; otherwise why not, at which byte.
std::string utf8Problem(std::string_view line);

// True when arrays and objects in `json` stand more than kDepthLimit inside each other.
bool nestsTooDeep(std::string_view json);

// One JSON value with the depth limit; false with the reason when the text is none.
template <class J>
bool parseJson(std::string_view text, J& out, std::string& why) {
    if (nestsTooDeep(text)) {
        why = "nested deeper than " + std::to_string(kDepthLimit) + " levels";
        return false;
    }
    try {
        out = J::parse(text);
        return true;
    } catch (const typename J::parse_error& e) {
        why = e.what();
        if (const size_t at = why.find("] "); at != std::string::npos) why.erase(0, at + 2);
        return false;
    }
}

}  // namespace kavhost
