// A host for tests: it opens its own view of the shared block, owns a window
// on the test thread, records every request (message, code, lParam and a
// snapshot of the payload area at arrival) and answers from a script.
#pragma once
#include "kav/handles.h"
#include "kav/protocol.h"
#include "kavlink_loader.h"

#include <windows.h>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace kavtest {

using kav::kPayloadSize;
inline constexpr uint8_t kSentinel = 0xA5;

// Little-endian byte strings for expected payloads and host writes.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes() = default;
    Bytes(std::initializer_list<uint8_t> x) : b(x) {}
    Bytes& u8(uint8_t x) { b.push_back(x); return *this; }
    Bytes& u16(uint16_t x) { return raw(&x, 2); }
    Bytes& u32(uint32_t x) { return raw(&x, 4); }
    Bytes& f64(double x) { return raw(&x, 8); }
    // Out of line: inlined into the test rows, GCC 12 mistakes the vector
    // growth for an overflow of the bytes already appended.
    Bytes& raw(const void* p, size_t n);
    Bytes& str(const std::string& s) { raw(s.data(), s.size()); return u8(0); }  // with terminator
    Bytes& fill(uint8_t v, size_t n);
    template <class T> Bytes& rec(const T& r) { return raw(&r, sizeof r); }
    size_t size() const { return b.size(); }
};

struct Recorded {
    UINT message = 0;
    uint32_t code = 0;    // wParam
    uint32_t lParam = 0;
    std::vector<uint8_t> payload;  // the whole payload area as it arrived
    // Bytes of the request: everything up to the last byte that differs from
    // the sentinel with which the payload area was filled before the call.
    size_t length() const;
    bool startsWith(const Bytes& expected) const;
    // True when the payload is exactly `expected` followed by untouched sentinel.
    bool equals(const Bytes& expected) const;
};

struct Reply {
    Reply() = default;
    explicit Reply(uint32_t a) : answer(a) {}
    uint32_t answer = 0;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;  // offset, bytes
    Reply& write(uint32_t offset, const Bytes& bytes) {
        writes.emplace_back(offset, bytes.b);
        return *this;
    }
};

class RecordingHost {
public:
    RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    HWND window() const { return window_.get(); }
    // Stores the window in the block through InitVBCmdLib, as a command does.
    void bind();
    // Clears the stored handle (the block then names no window).
    void unbind();

    // Answers for the next requests, in order; afterwards the answer is 0.
    void reply(Reply r) { replies_.push_back(std::move(r)); }
    void reply(uint32_t answer) { replies_.push_back(Reply{answer}); }

    void prefill(uint8_t value = kSentinel);
    void clear() { requests_.clear(); replies_.clear(); }
    const std::vector<Recorded>& requests() const { return requests_; }

    // Prefills, forgets earlier requests, calls the export; replies queued
    // before the call are kept.
    CallResult call(const char* name, const Slots& slots, bool wantDouble = false);
    // The single request of the last call (fails the test if there was not one).
    const Recorded& only() const;

    uint8_t* payload() const { return block() + kav::kHandleSize; }
    uint32_t storedHandle() const;

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    uint8_t* block() const { return static_cast<uint8_t*>(view_.get()); }

    kav::UniqueMappingHandle mapping_;
    kav::UniqueView view_;
    kav::UniqueWindow window_;
    std::vector<Recorded> requests_;
    std::deque<Reply> replies_;
};

}  // namespace kavtest
