#include "transport.h"
#include "guarded.h"
#include "record/recorder.h"
#include "shared_block.h"

#include <windows.h>

namespace kav {
namespace {

// The send with its lines in the field recording: the request as it lies in
// the payload area before, the answer and the `back` bytes after.
[[gnu::noinline, gnu::cold]] uint32_t postRecorded(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                   uint32_t sent, uint32_t back) {
    const uint8_t* payload = block::payload();
    const record::Mark mark = record::request(message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam),
                                              payload, sent);
    const uint32_t answer = static_cast<uint32_t>(::SendMessageA(window, message, wParam, lParam));
    record::answer(mark, answer, payload, back);
    return answer;
}

// `sent`: payload bytes the request carries; `back`: payload bytes copied
// back after the answer.  Both matter only to the recording.
uint32_t post(UINT message, WPARAM wParam, LPARAM lParam, uint32_t sent, uint32_t back) {
    HWND window = block::hostWindow();
    // A stored handle of 0 or the broadcast handle never reaches anyone: the
    // send fails and the answer is 0, as with a window that no longer exists.
    if (window == nullptr || window == HWND_BROADCAST) return 0;
    if (record::wanted()) [[unlikely]] return postRecorded(window, message, wParam, lParam, sent, back);
    return static_cast<uint32_t>(::SendMessageA(window, message, wParam, lParam));
}

uint32_t postRequest(uint32_t code, uint32_t lParam, uint32_t sent, uint32_t back) {
    return post(kRequestMessage, code, static_cast<LPARAM>(static_cast<int32_t>(lParam)), sent, back);
}

// Total size of a segment list, or UINT32_MAX when it cannot be carried.
uint32_t measure(uint32_t count, const PayloadSegment* segments) {
    if (count != 0 && segments == nullptr) return UINT32_MAX;
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (segments[i].data == nullptr && segments[i].size != 0) return UINT32_MAX;
        total += segments[i].size;
        if (total > kPayloadSize) return UINT32_MAX;
    }
    return static_cast<uint32_t>(total);
}

// Copy-in; false when a segment cannot be read (the request is then refused).
bool gather(uint8_t* payload, uint32_t count, const PayloadSegment* segments) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!guardedCopy(payload, segments[i].data, segments[i].size)) return false;
        payload += segments[i].size;
    }
    return true;
}

// Copy-out; a segment that cannot be written is skipped, the others still
// receive their bytes.
void scatter(const uint8_t* payload, uint32_t count, const PayloadSegment* segments) {
    for (uint32_t i = 0; i < count; ++i) {
        guardedCopy(segments[i].data, payload, segments[i].size);
        payload += segments[i].size;
    }
}

}  // namespace

uint32_t SendRequest(uint32_t code, uint32_t lParam, const void* buffer, uint32_t size) {
    uint8_t* payload = block::payload();
    if (payload == nullptr) return 0;
    if (buffer != nullptr && (size > kPayloadSize || !guardedCopy(payload, buffer, size))) return 0;
    return postRequest(code, lParam, buffer != nullptr ? size : 0, 0);
}

uint32_t ExchangeRequest(uint32_t code, uint32_t lParam, void* buffer, uint32_t size) {
    uint8_t* payload = block::payload();
    if (payload == nullptr) return 0;
    if (buffer != nullptr && (size > kPayloadSize || !guardedCopy(payload, buffer, size))) return 0;
    const uint32_t copied = buffer != nullptr ? size : 0;
    const uint32_t answer = postRequest(code, lParam, copied, copied);
    if (buffer != nullptr) guardedCopy(buffer, payload, size);
    return answer;
}

uint32_t GatherRequest(uint32_t code, uint32_t lParam, uint32_t count, const PayloadSegment* segments) {
    uint8_t* payload = block::payload();
    const uint32_t total = measure(count, segments);
    if (payload == nullptr || total == UINT32_MAX) return 0;
    if (!gather(payload, count, segments)) return 0;
    return postRequest(code, lParam, total, 0);
}

uint32_t GatherScatterRequest(uint32_t code, uint32_t lParam, uint32_t count, const PayloadSegment* segments) {
    uint8_t* payload = block::payload();
    const uint32_t total = measure(count, segments);
    if (payload == nullptr || total == UINT32_MAX) return 0;
    if (!gather(payload, count, segments)) return 0;
    const uint32_t answer = postRequest(code, lParam, total, total);
    scatter(payload, count, segments);
    return answer;
}

uint32_t ReadAnswer(void* destination, uint32_t size) {
    const uint8_t* payload = block::payload();
    if (payload == nullptr || size > kPayloadSize || (destination == nullptr && size != 0)) return 0;
    if (!guardedCopy(destination, payload, size)) return 0;
    if (record::wanted()) [[unlikely]] record::readBack(payload, size);
    return 1;
}

uint32_t SendExitCommand() {
    if (!block::attached()) return 0;
    return post(kExitCommandMessage, 0, 0, 0, 0);
}

}  // namespace kav
