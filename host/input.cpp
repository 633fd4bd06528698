#include "input.h"

#include "script/host_text.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace kavhost {
namespace {

struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
};

std::string megabytes(uint64_t n) { return std::to_string(n >> 20) + " MiB"; }

// The line on which byte `at` of `text` stands.
int lineAt(std::string_view text, size_t at) {
    int line = 1;
    for (size_t i = 0; i < at && i < text.size(); ++i) line += text[i] == '\n';
    return line;
}

}  // namespace

std::string utf8Problem(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::string where = " at byte " + std::to_string(i + 1) + " of the line";
        if (i + 1 < s.size() && ((c == 0xFF && static_cast<unsigned char>(s[i + 1]) == 0xFE) ||
                                 (c == 0xFE && static_cast<unsigned char>(s[i + 1]) == 0xFF)))
            return std::string("bytes ") + (c == 0xFF ? "FF FE" : "FE FF") + where +
                   ": UTF-16 text, and kavhost reads UTF-8";
        // The length the lead byte announces and the least value it may stand for.
        const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        bool ok = n != 0 && i + n <= s.size();
        uint32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; ok && k < n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            ok = (d & 0xC0) == 0x80;
            cp = cp << 6 | (d & 0x3F);
        }
        ok = ok && !(n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) && !(n == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        if (!ok) return "not UTF-8" + where;
        i += n;
    }
    return {};
}

void checkText(std::string_view text, bool utf8) {
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        throw InputError(1, std::string("the file is UTF-16 (it begins with ") + (text[0] == '\xFF' ? "FF FE" : "FE FF") +
                                "); kavhost reads UTF-8");
    int line = 0;
    for (size_t at = 0; at < text.size();) {
        ++line;
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view l(text.data() + at, end - at);
        if (l.size() > kLineLimit)
            throw InputError(line, "the line is longer than " + megabytes(kLineLimit) + ", the limit of a line");
        if (const size_t nul = l.find('\0'); nul != std::string_view::npos)
            throw InputError(line, "a NUL byte at byte " + std::to_string(nul + 1) + " of the line");
        if (utf8)
            if (const std::string why = utf8Problem(l); !why.empty()) throw InputError(line, why);
        at = end + 1;
    }
}

std::string readInput(const std::string& path, ZeroTail zeros, bool utf8) {
    const std::unique_ptr<FILE, Closer> f(_wfopen(widen(path).c_str(), L"rb"));
    if (!f) throw InputError::unreadable();
    std::string text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        if (text.size() + n > kFileLimit)
            throw InputError(lineAt(text, text.size()), "the file goes on past " + megabytes(kFileLimit) +
                                                            ", the limit of a file kavhost reads");
        text.append(chunk, n);
    }
    if (std::ferror(f.get())) throw InputError::unreadable();
    if (zeros == ZeroTail::endsIt) text.erase(text.find_last_not_of('\0') + 1);
    checkText(text, utf8);
    return text;
}

bool nestsTooDeep(std::string_view s) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kDepthLimit) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

}  // namespace kavhost
