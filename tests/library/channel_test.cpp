// The request channel: shared block, transport primitives, the two binding
// exports and the string helper.
#include "kavlink.h"
#include "recording_host.h"
#include "request.h"
#include "shared_block.h"
#include "transport.h"
#include "caller_memory.h"
#include "guarded_pages.h"
#include "kav/handles.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <array>
#include <cstring>

using namespace kavtest;

namespace {

// The primitives are driven through the library's code linked statically,
// with its own view of the same block.
class Channel : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(kav::block::attach()); }
    void SetUp() override {
        host.prefill();
        kav::block::setHostWindow(host.window());
    }
    RecordingHost host;
};

}  // namespace

TEST_F(Channel, NoHandleStoredAnswersZeroAndBuffersComeBackAsSent) {
    kav::block::setHostWindow(nullptr);
    std::array<uint8_t, 5> buffer{1, 2, 3, 4, 5};
    host.reply(Reply{77}.write(0, Bytes{9, 9, 9, 9, 9}));
    EXPECT_EQ(kav::ExchangeRequest(1100, 0, buffer.data(), 5), 0u);
    EXPECT_TRUE(host.requests().empty());
    EXPECT_EQ(buffer, (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));

    uint16_t a = 0x1111;
    double d = 2.5;
    kav::PayloadSegment segs[] = {{&a, 2}, {&d, 8}};
    EXPECT_EQ(kav::GatherScatterRequest(1104, 0, 2, segs), 0u);
    EXPECT_EQ(a, 0x1111);
    EXPECT_EQ(d, 2.5);
}

TEST_F(Channel, BroadcastHandleIsNeverSentTo) {
    kav::block::setHostWindow(HWND_BROADCAST);
    EXPECT_EQ(kav::SendRequest(1502, 0, nullptr, 0), 0u);
    EXPECT_EQ(kav::SendExitCommand(), 0u);
}

TEST_F(Channel, NullBufferCopiesNothingWhateverTheSize) {
    host.reply(Reply{5}.write(0, Bytes{1, 2, 3}));
    EXPECT_EQ(kav::SendRequest(1502, 42, nullptr, 100), 5u);
    ASSERT_EQ(host.requests().size(), 1u);
    EXPECT_EQ(host.requests()[0].code, 1502u);
    EXPECT_EQ(host.requests()[0].lParam, 42u);
    EXPECT_EQ(host.requests()[0].length(), 0u);

    host.clear();
    host.prefill();
    host.reply(6);
    EXPECT_EQ(kav::ExchangeRequest(1336, 0, nullptr, 9999), 6u);
    EXPECT_EQ(host.only().length(), 0u);
}

TEST_F(Channel, SendCopiesInOnlyAndExchangeCopiesBackWhateverTheAnswer) {
    uint8_t buffer[4] = {1, 2, 3, 4};
    host.reply(Reply{0}.write(1, Bytes{0xEE}));
    EXPECT_EQ(kav::SendRequest(1101, 0, buffer, 4), 0u);
    EXPECT_TRUE(host.only().equals(Bytes{1, 2, 3, 4}));
    EXPECT_EQ(buffer[1], 2);

    host.clear();
    host.reply(Reply{0}.write(1, Bytes{0xEE}));
    EXPECT_EQ(kav::ExchangeRequest(1100, 0, buffer, 4), 0u);
    EXPECT_EQ(buffer[1], 0xEE);
}

TEST_F(Channel, GatherPlacesSegmentsBackToBackWithoutPadding) {
    uint16_t two = 0x0201;
    double eight = 1.0;
    uint8_t none = 0x77;
    kav::PayloadSegment segs[] = {{&two, 2}, {&eight, 8}, {&none, 0}};
    host.reply(3);
    EXPECT_EQ(kav::GatherRequest(1234, 9, 3, segs), 3u);
    const Recorded& r = host.only();
    EXPECT_EQ(r.code, 1234u);
    EXPECT_EQ(r.lParam, 9u);
    EXPECT_TRUE(r.equals(Bytes{}.u16(0x0201).f64(1.0)));  // third segment at offset 10, no room
}

TEST_F(Channel, ScatterWritesBackInputSegmentsToo) {
    uint16_t in = 7;
    uint32_t inOut = 8;
    kav::PayloadSegment segs[] = {{&in, 2}, {&inOut, 4}};
    host.reply(Reply{0}.write(0, Bytes{}.u16(70).u32(80)));
    EXPECT_EQ(kav::GatherScatterRequest(1104, 0, 2, segs), 0u);
    EXPECT_EQ(in, 70);
    EXPECT_EQ(inOut, 80u);
}

TEST_F(Channel, ReadAnswerCopiesFromThePayloadStart) {
    host.reply(Reply{1}.write(0, Bytes{}.f64(3.25)));
    kav::SendRequest(1304, 0, nullptr, 0);
    double d = 0;
    EXPECT_EQ(kav::ReadAnswer(&d, 8), 1u);
    EXPECT_EQ(d, 3.25);
    EXPECT_EQ(kav::ReadAnswer(&d, kav::kPayloadSize + 1), 0u);
}

TEST_F(Channel, RequestsThatWouldNotFitAreRefusedUntouched) {
    static uint8_t big[kav::kPayloadSize + 8];
    std::memset(big, 0x11, sizeof big);
    uint16_t head = 0x2222;
    kav::PayloadSegment fits[] = {{&head, 2}, {big, kav::kPayloadSize - 2}};
    EXPECT_EQ(kav::GatherScatterRequest(2075, 0, 2, fits), 0u);
    ASSERT_EQ(host.requests().size(), 1u);
    EXPECT_EQ(host.requests()[0].length(), kav::kPayloadSize);

    host.clear();
    host.prefill();
    kav::PayloadSegment tooBig[] = {{&head, 2}, {big, kav::kPayloadSize - 1}};
    EXPECT_EQ(kav::GatherScatterRequest(2075, 0, 2, tooBig), 0u);
    EXPECT_EQ(kav::GatherRequest(2075, 0, 2, tooBig), 0u);
    EXPECT_EQ(kav::SendRequest(1100, 0, big, kav::kPayloadSize + 1), 0u);
    EXPECT_EQ(kav::ExchangeRequest(1100, 0, big, kav::kPayloadSize + 1), 0u);
    EXPECT_TRUE(host.requests().empty());
    Recorded untouched;
    untouched.payload.assign(host.payload(), host.payload() + kPayloadSize);
    EXPECT_EQ(untouched.length(), 0u);
    EXPECT_EQ(head, 0x2222);
}

TEST_F(Channel, NullSegmentWithASizeIsRefused) {
    uint32_t v = 1;
    kav::PayloadSegment segs[] = {{&v, 4}, {nullptr, 8}};
    EXPECT_EQ(kav::GatherRequest(1605, 0, 2, segs), 0u);
    EXPECT_EQ(kav::GatherRequest(1605, 0, 1, nullptr), 0u);
    EXPECT_TRUE(host.requests().empty());
}

// ---- the typed layer ---------------------------------------------------------

TEST(TypedLayer, LParamForms) {
    using namespace kav::wire;
    EXPECT_EQ(lp16(-1), 65535u);
    EXPECT_EQ(lp16(0x10005), 5u);
    EXPECT_EQ(lpSigned16(-1), 0xFFFFFFFFu);
    EXPECT_EQ(lpSigned16(40000), static_cast<uint32_t>(-25536));
    EXPECT_EQ(lpPacked(1, 2), 0x00020001u);
    EXPECT_EQ(lpPacked(-1, 0), 0x0000FFFFu);
    EXPECT_EQ(lo16(0x10001), 1);
    EXPECT_EQ(lo16(0xFFFF), -1);
    EXPECT_EQ(negated16(1), -1);
    EXPECT_EQ(negated16(0x10001), -1);
    EXPECT_EQ(negated16(0xFFFF), -65535);
    EXPECT_EQ(negated16(0), 0);
}

TEST(TypedLayer, SegmentsMeasureAndRefuse) {
    using namespace kav::wire;
    EXPECT_EQ(text("").size, 1u);
    EXPECT_EQ(text("abc").size, 4u);
    EXPECT_FALSE(text(nullptr).ok);
    PointShape p{};
    EXPECT_EQ(items(&p, 0).size, 0u);
    EXPECT_TRUE(items<PointShape>(nullptr, 0).ok);
    EXPECT_FALSE(items<PointShape>(nullptr, 1).ok);
    EXPECT_FALSE(items(&p, -1).ok);
    EXPECT_FALSE(items(&p, 1024).ok);  // 16384 bytes
    EXPECT_EQ(rec(&p).size, 16u);
    EXPECT_FALSE(rec<ArcShape>(nullptr).ok);
    EXPECT_FALSE(arrayData(nullptr, 128).ok);
    SAFEARRAY* none = nullptr;
    EXPECT_FALSE(arrayData(&none, 128).ok);
}

// ---- exports through the DLL -------------------------------------------------

TEST(ChannelExports, InitVBCmdLibTwiceKeepsTheSecondHandle) {
    RecordingHost first, second;
    lib().call("InitVBCmdLib", Slots{}.ptr(first.window()).u32(1));
    lib().call("InitVBCmdLib", Slots{}.ptr(second.window()).u32(0xDEAD));
    EXPECT_EQ(second.storedHandle(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(second.window())));
    second.reply(31);
    EXPECT_EQ(second.call("VokExitCommand", {}).i32(), 31);
    EXPECT_TRUE(first.requests().empty());
    EXPECT_EQ(second.requests().size(), 1u);
}

TEST(ChannelExports, ExitCommandSendsOnlyTheMessage) {
    RecordingHost host;
    host.bind();
    host.reply(Reply{0x12345678});
    const CallResult r = host.call("VokExitCommand", {});
    EXPECT_EQ(r.eax, 0x12345678u);
    const Recorded& req = host.only();
    EXPECT_EQ(req.message, 1765u);
    EXPECT_EQ(req.code, 0u);
    EXPECT_EQ(req.lParam, 0u);
    EXPECT_EQ(req.length(), 0u);  // the payload area was not written
}

TEST(ChannelExports, UnloadLeavesTheBlockAndItsHandleForTheNextLoad) {
    RecordingHost host;
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(lib().module(), path, MAX_PATH);
    const TempFolder folder;
    const std::wstring copy = folder.file(L"unload-test.dll");
    ASSERT_TRUE(::CopyFileW(path, copy.c_str(), FALSE));
    kav::UniqueLibrary m(::LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(m);
    auto init = reinterpret_cast<void(__stdcall*)(HWND, int32_t)>(::GetProcAddress(m.get(), "InitVBCmdLib"));
    init(host.window(), 0);
    ASSERT_TRUE(::FreeLibrary(m.release()));
    EXPECT_EQ(host.storedHandle(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host.window())));

    m.reset(::LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(m);
    auto exitCommand = reinterpret_cast<int32_t(__stdcall*)()>(::GetProcAddress(m.get(), "VokExitCommand"));
    host.reply(4);
    EXPECT_EQ(exitCommand(), 4);
    EXPECT_EQ(host.requests().size(), 1u);
}

TEST(ChannelExports, CopyStringToBStr) {
    CallerMemory memory;
    BSTR& s = *memory.stringVariable("old text");
    EXPECT_EQ(lib().call("CopyStringToBStr", Slots{}.ptr(&s).ptr("")).i32(), 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(::SysStringByteLen(s), 0u);

    EXPECT_EQ(lib().call("CopyStringToBStr", Slots{}.ptr(&s).ptr("abc")).i32(), 1);
    EXPECT_EQ(::SysStringByteLen(s), 3u);
    EXPECT_EQ(std::memcmp(s, "abc", 4), 0);  // text and terminator

    // A text taken from the variable's own string survives the reallocation.
    EXPECT_EQ(lib().call("CopyStringToBStr", Slots{}.ptr(&s).ptr(reinterpret_cast<char*>(s) + 1)).i32(), 1);
    EXPECT_EQ(std::memcmp(s, "bc", 3), 0);

    BSTR before = s;
    EXPECT_EQ(lib().call("CopyStringToBStr", Slots{}.ptr(&s).ptr(nullptr)).i32(), 0);
    EXPECT_EQ(s, before);
    EXPECT_EQ(lib().call("CopyStringToBStr", Slots{}.ptr(nullptr).ptr("x")).i32(), 0);
}

// ---- bad addresses ------------------------------------------------------------

TEST_F(Channel, SegmentsRunningIntoUnmappedMemoryAreRefused) {
    GuardedPages page;
    uint32_t head = 1;
    kav::PayloadSegment pastTheEnd[] = {{&head, 4}, {page.end() - 8, 16}};
    EXPECT_EQ(kav::GatherRequest(1400, 0, 2, pastTheEnd), 0u);
    EXPECT_EQ(kav::GatherScatterRequest(1400, 0, 2, pastTheEnd), 0u);
    EXPECT_EQ(kav::SendRequest(1101, 0, page.end() - 4, 8), 0u);
    EXPECT_EQ(kav::ExchangeRequest(1100, 0, page.end(), 8), 0u);
    EXPECT_TRUE(host.requests().empty());
}

TEST_F(Channel, TextsWithoutTerminatorBeforeUnmappedMemoryAreRefused) {
    using namespace kav::wire;
    GuardedPages page;
    std::memset(page.begin(), 'x', 4096);
    EXPECT_FALSE(text(reinterpret_cast<char*>(page.end() - 10)).ok);
    EXPECT_FALSE(text(reinterpret_cast<char*>(page.end())).ok);
    page.end()[-1] = 0;
    const Seg last = text(reinterpret_cast<char*>(page.end() - 10));
    EXPECT_TRUE(last.ok);
    EXPECT_EQ(last.size, 10u);
    EXPECT_EQ(textLength(reinterpret_cast<char*>(page.end())), -1);
}

TEST_F(Channel, CopyBackIntoReadOnlyMemoryDoesNotCrash) {
    GuardedPages page;
    uint8_t* ro = page.begin();
    ro[0] = 7;
    DWORD old;
    ASSERT_TRUE(::VirtualProtect(ro, page.size(), PAGE_READONLY, &old));
    uint32_t other = 5;
    kav::PayloadSegment segs[] = {{ro, 4}, {&other, 4}};
    host.reply(Reply{9}.write(0, Bytes{}.u32(1).u32(2)));
    EXPECT_EQ(kav::GatherScatterRequest(1960, 0, 2, segs), 9u);
    EXPECT_EQ(ro[0], 7);
    EXPECT_EQ(other, 2u);  // the writable segment still gets its bytes
}

TEST(TypedLayerArrays, ArrayDataComesFromTheDescriptor) {
    using namespace kav::wire;
    const kav::UniqueSafeArray owned(::SafeArrayCreateVector(VT_UI1, 0, 128));
    ASSERT_TRUE(owned);
    SAFEARRAY* array = owned.get();
    const Seg s = arrayData(&array, 128);
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.data, array->pvData);

    SAFEARRAY noData{};  // a descriptor whose data address is null
    SAFEARRAY* empty = &noData;
    EXPECT_TRUE(arrayData(&empty, 0).ok);
    EXPECT_FALSE(arrayData(&empty, 2).ok);
}
