#include "recording_host.h"

#include <gtest/gtest.h>
#include <cstring>
#include <stdexcept>

namespace kavtest {

namespace {
constexpr wchar_t kClassName[] = L"KavRecordingHost";
}  // namespace

Bytes& Bytes::raw(const void* p, size_t n) {
    const size_t at = b.size();
    b.resize(at + n);
    if (n) std::memcpy(b.data() + at, p, n);
    return *this;
}

Bytes& Bytes::fill(uint8_t v, size_t n) {
    b.resize(b.size() + n, v);
    return *this;
}

size_t Recorded::length() const {
    size_t n = payload.size();
    while (n > 0 && payload[n - 1] == kSentinel) --n;
    return n;
}

bool Recorded::startsWith(const Bytes& expected) const {
    return expected.size() <= payload.size() && std::equal(expected.b.begin(), expected.b.end(), payload.begin());
}

bool Recorded::equals(const Bytes& expected) const {
    if (!startsWith(expected)) return false;
    for (size_t i = expected.size(); i < payload.size(); ++i)
        if (payload[i] != kSentinel) return false;
    return true;
}

RecordingHost::RecordingHost() {
    mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kav::kBlockSize, kav::kBlockName));
    if (!mapping_) throw std::runtime_error("recording host: no shared block");
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, kav::kBlockSize));
    if (!view_) throw std::runtime_error("recording host: cannot map the shared block");

    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingHost::windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    window_.reset(::CreateWindowW(kClassName, L"recording host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, this));
    if (!window_) throw std::runtime_error("recording host: no window");
}

void RecordingHost::bind() {
    lib().call("InitVBCmdLib", Slots{}.ptr(window_.get()).u32(0));
}

void RecordingHost::unbind() { std::memset(block(), 0, kav::kHandleSize); }

uint32_t RecordingHost::storedHandle() const {
    uint32_t h;
    std::memcpy(&h, block(), kav::kHandleSize);
    return h;
}

void RecordingHost::prefill(uint8_t value) { std::memset(payload(), value, kPayloadSize); }

CallResult RecordingHost::call(const char* name, const Slots& slots, bool wantDouble) {
    requests_.clear();
    prefill();
    return lib().call(name, slots, wantDouble);
}

const Recorded& RecordingHost::only() const {
    static const Recorded none;
    EXPECT_EQ(requests_.size(), 1u) << "expected exactly one request";
    return requests_.empty() ? none : requests_.back();
}

LRESULT CALLBACK RecordingHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<RecordingHost*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && (message == kav::kRequestMessage || message == kav::kExitCommandMessage))
            return self->onMessage(message, wParam, lParam);
    } catch (...) {
        ADD_FAILURE() << "recording host: exception while answering message " << message;
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT RecordingHost::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    Recorded r;
    r.message = message;
    r.code = static_cast<uint32_t>(wParam);
    r.lParam = static_cast<uint32_t>(lParam);
    r.payload.assign(payload(), payload() + kPayloadSize);
    requests_.push_back(std::move(r));
    if (replies_.empty()) return 0;
    Reply reply = std::move(replies_.front());
    replies_.pop_front();
    for (auto& [offset, bytes] : reply.writes)
        if (offset + bytes.size() <= kPayloadSize) std::memcpy(payload() + offset, bytes.data(), bytes.size());
    return static_cast<LRESULT>(reply.answer);
}

}  // namespace kavtest
