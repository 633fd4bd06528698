// The four transport primitives and the read-back.  Each copies in, sends one
// RequestMessage to the stored host window, and copies out whatever the answer
// was.  None of them interprets the answer.
//
// Bounds: a request never touches memory outside the payload area.  One whose
// bytes would not fit (or whose segment has a null address but a size) is
// refused: 0 is returned, nothing is copied and nothing is sent.
#pragma once
#include <cstdint>

namespace kav {

// One entry of a gathered request: an address in the caller's memory and a
// byte count.  Segments lie back to back in the payload area, unpadded.
struct PayloadSegment {
    void* data;
    uint32_t size;
};
static_assert(sizeof(PayloadSegment) == 8);

// A null buffer copies nothing in either direction, whatever the size says;
// the request is still sent.
uint32_t SendRequest(uint32_t code, uint32_t lParam, const void* buffer, uint32_t size);
uint32_t ExchangeRequest(uint32_t code, uint32_t lParam, void* buffer, uint32_t size);
uint32_t GatherRequest(uint32_t code, uint32_t lParam, uint32_t count, const PayloadSegment* segments);
// As GatherRequest; afterwards every segment, inputs too, is copied back from
// its own place in the payload area.
uint32_t GatherScatterRequest(uint32_t code, uint32_t lParam, uint32_t count, const PayloadSegment* segments);
// Copies the first size bytes of the payload area into destination; 1 on
// success, 0 when it would read beyond the payload area.
uint32_t ReadAnswer(void* destination, uint32_t size);

// Sends ExitCommandMessage (wParam 0, lParam 0) and returns the answer.
uint32_t SendExitCommand();

}  // namespace kav
