// kavlink.dll recording this process: a run file per InitVBCmdLib (and one
// for what came before), each holding what kavhost's own host received and
// answered, read back through kavhost's reader; no allocation on the way;
// a run file that stops at its size limit without the requests noticing.
#include "recording/field_session.h"
#include "run/host.h"
#include "import_patch.h"
#include "kav/field_record.h"
#include "kavlink.h"
#include "kavlink_loader.h"
#include "kit_1_1_0/event_recording.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

using namespace kavhost;
using kavtest::lib;
using kavtest::Slots;

// The folder this process records into.  The switch is set before the
// library's first call, which reads it.
const std::wstring& recordFolder() {
    static const kavtest::TempFolder folder(L"kavfield");
    static const bool set = ::SetEnvironmentVariableW(L"KAVLINK_RECORD", folder.path().c_str()) != 0;
    EXPECT_TRUE(set);
    return folder.path();
}

std::vector<std::wstring> runFiles() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((recordFolder() + L"\\kavlink-*.jsonl").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (::FindNextFileW(find, &found));
    ::FindClose(find);
    // By the run number at the end of the name.
    const auto run = [](const std::wstring& n) { return std::stoi(n.substr(n.rfind(L'-') + 1)); };
    std::sort(names.begin(), names.end(), [&](const auto& a, const auto& b) { return run(a) < run(b); });
    return names;
}

std::string slurp(const std::wstring& name) {
    std::ifstream in((recordFolder() + L"\\" + name).c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int64_t fileSize(const std::wstring& name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW((recordFolder() + L"\\" + name).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (int64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// This host's window in the shared block, as a host leaves it for the next
// command: requests then reach it before any InitVBCmdLib.
void storeWindow(const Host& host) {
    const uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(host.window()));
    std::memcpy(host.payload() - 4, &handle, 4);
}

TEST(Recorder, EachInitVBCmdLibBeginsARunFileHoldingWhatTheHostGot) {
    recordFolder();
    Host host(parseScript("on VokGetPointShape answer 1 write 8 f64 2.5\n"
                          "on VokGetPartInfo answer 1 write 256 text \"second\"\n"),
              HostOptions{});
    storeWindow(host);
    lib().call("VokCommandGuide", Slots{}.ptr("before"));
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(7));
    PointShape point{1, 2};
    BSTR texts[3] = {};
    lib().call("VokCommandGuide", Slots{}.ptr("Hello"));
    // Refused with its read-back announced: the announcement must not reach the next request.
    int32_t size = 0;
    char data[8];
    const char* unreadable = reinterpret_cast<const char*>(uintptr_t{16});
    EXPECT_EQ(lib().call("VokGetPropertyOfAny", Slots{5}.u32(1).ptr(unreadable).ptr(&size).ptr(data)).eax, 0u);
    lib().call("VokGetPointShape", Slots{5}.ptr(&point));
    lib().call("VokGetPartInfo", Slots{9}.ptr(&texts[0]).ptr(&texts[1]).ptr(&texts[2]));
    for (BSTR t : texts) ::SysFreeString(t);
    EXPECT_EQ(lib().call("VokCommandGuide", Slots{0}).eax, 0u) << "refused: nothing sent, nothing recorded";
    lib().call("VokExitCommand", {});
    lib().call("VokCommandGuide", Slots{}.ptr("after the end"));
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(8));  // ends run 1, begins run 2

    const std::vector<std::wstring> files = runFiles();
    ASSERT_EQ(files.size(), 3u);
    const std::wstring process = L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_NE(files[i].find(process + std::to_wstring(i) + L".jsonl"), std::wstring::npos) << i;

    const FieldSession before = parseFieldSession(slurp(files[0]));
    EXPECT_TRUE(before.beforeInit);
    ASSERT_EQ(before.session.steps.size(), 1u);
    EXPECT_EQ(before.session.steps[0].request.request, host.requests()[0].request);

    const FieldSession run = parseFieldSession(slurp(files[1]));
    EXPECT_EQ(run.run, 1);
    EXPECT_EQ(run.session.cmdLine, 7);
    EXPECT_EQ(run.session.version, 1) << "no frame, no events";
    // Everything the host logged between the two InitVBCmdLib calls, the
    // request after the exit message included, in its order.
    ASSERT_EQ(run.session.steps.size(), host.requests().size() - 1);
    for (size_t i = 0; i < run.session.steps.size(); ++i) {
        const LoggedRequest& got = host.requests()[i + 1];
        const RecordedRequest& r = run.session.steps[i].request;
        SCOPED_TRACE(got.decoded.nameText());
        EXPECT_EQ(run.session.steps[i].seq, i + 1);
        EXPECT_EQ(r.message, got.message);
        EXPECT_EQ(r.code, got.decoded.code);
        EXPECT_EQ(r.lParam, got.decoded.lParam);
        EXPECT_EQ(r.request, got.request);
        EXPECT_EQ(r.answer, got.reply.answer);
    }
    // What the exports read back: the in-out point with the host's double,
    // and the three 256-byte fields of the part information.
    const std::vector<PayloadWrite>& pointBack = run.session.steps[1].request.writes;
    ASSERT_EQ(pointBack.size(), 1u);
    ASSERT_EQ(pointBack[0].bytes.size(), sizeof(PointShape));
    double y = 0;
    std::memcpy(&y, pointBack[0].bytes.data() + 8, 8);
    EXPECT_EQ(y, 2.5);
    EXPECT_EQ(point.y, 2.5);
    const std::vector<PayloadWrite>& partBack = run.session.steps[2].request.writes;
    ASSERT_EQ(partBack.size(), 1u);
    ASSERT_EQ(partBack[0].bytes.size(), 768u);
    EXPECT_STREQ(reinterpret_cast<const char*>(partBack[0].bytes.data()) + 256, "second");
    EXPECT_EQ(run.session.steps[4].request.request, host.requests()[5].request) << "the request after the end";
    EXPECT_TRUE(run.unanswered.empty());

    EXPECT_NE(slurp(files[2]).find(R"("run":2,)"), std::string::npos) << "the new run's first line is written at once";
}

TEST(Recorder, RequestsAllocateNothingWhileRecording) {
    recordFolder();
    Host host(Script{}, HostOptions{});
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
    static BSplineHeader header;
    static BSplineValues values;
    static BSplinePoints points;
    SAFEARRAY* out = ::SafeArrayCreateVector(VT_R8, 0, 200);
    PointShape p{};
    kavtest::AllocationCounter counter(lib().module());
    kavtest::AllocationCounter::reset();
    for (int i = 0; i < 100; ++i) {  // enough lines to fill the buffer several times
        lib().call("VokAssignMark", {});
        lib().call("VokGetPointShape", Slots{1}.ptr(&p));
        lib().call("VokCommandGuide", Slots{}.ptr("x"));
        lib().call("VokCalIntOfBSplineBSplineIF", Slots{}.ptr(&header).ptr(&values).ptr(&points).ptr(&values)
                                                      .ptr(&header).ptr(&values).ptr(&points).ptr(&values).ptr(&out));
    }
    lib().call("VokExitCommand", {});
    EXPECT_EQ(kavtest::AllocationCounter::heap(), 0u);
    EXPECT_EQ(kavtest::AllocationCounter::strings(), 0u);
    ::SafeArrayDestroy(out);
    host.forgetRequests();
}

// What a process that dies inside its run leaves: the file is grown ahead in
// zeros, and every answered request is already in it.  The answered exit
// message cuts it to its lines; what comes after is still added.
TEST(Recorder, ARunInProgressIsReadableAndItsEndCutsTheZeros) {
    recordFolder();
    Host host(Script{}, HostOptions{});
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(4));
    const std::wstring file = runFiles().back();
    PointShape p{};
    for (int i = 0; i < 3; ++i) lib().call("VokGetPointShape", Slots{1}.ptr(&p));
    const std::string during = slurp(file);
    EXPECT_EQ(fileSize(file), 64 << 10) << "grown ahead";
    ASSERT_EQ(during.back(), '\0');
    const FieldSession cut = parseFieldSession(during);
    EXPECT_EQ(cut.session.steps.size(), 3u);
    EXPECT_TRUE(cut.unanswered.empty());
    EXPECT_NE(cut.note.find("whole up to seq 3"), std::string::npos) << cut.note;

    lib().call("VokExitCommand", {});
    lib().call("VokCommandGuide", Slots{}.ptr("after the end"));
    const std::string after = slurp(file);
    EXPECT_EQ(fileSize(file), static_cast<int64_t>(after.size()));
    EXPECT_EQ(after.find('\0'), std::string::npos) << "cut to its lines";
    const FieldSession whole = parseFieldSession(after);
    ASSERT_EQ(whole.session.steps.size(), 5u) << "the request after the end is written through";
    EXPECT_TRUE(whole.note.empty()) << whole.note;
    host.forgetRequests();
}

LRESULT CALLBACK answerSeven(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return m == 1534 ? 7 : ::DefWindowProcW(w, m, wp, lp);
}

TEST(Recorder, ARunFileStopsAtItsLimitAndTheNextRunBeginsAgain) {
    recordFolder();
    WNDCLASSW wc{};
    wc.lpfnWndProc = answerSeven;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KavFieldLimit";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    lib().call("InitVBCmdLib", Slots{}.ptr(window).u32(0));
    const std::wstring full = runFiles().back();
    static BSplineHeader header;
    static BSplineValues values;
    static BSplinePoints points;
    SAFEARRAY* out = ::SafeArrayCreateVector(VT_R8, 0, 200);
    const Slots big = Slots{}.ptr(&header).ptr(&values).ptr(&points).ptr(&values).ptr(&header).ptr(&values)
                          .ptr(&points).ptr(&values).ptr(&out);
    // Each call leaves about 35 KB (8,696 bytes each way, in hex): 2,100 calls
    // are more than 64 MB.
    int answered = 0;
    for (int i = 0; i < 2100; ++i) answered += lib().call("VokCalIntOfBSplineBSplineIF", big).eax == 7;
    EXPECT_EQ(answered, 2100) << "every request answered as without recording";
    const int64_t size = fileSize(full);
    EXPECT_LE(size, int64_t{kav::field::kRunFileLimit});
    EXPECT_GT(size, int64_t{kav::field::kRunFileLimit} - 40000) << "the file filled up to its last whole line";
    const std::string text = slurp(full);
    EXPECT_EQ(text.back(), '\n');
    lib().call("InitVBCmdLib", Slots{}.ptr(window).u32(0));
    lib().call("VokAssignMark", {});
    lib().call("VokExitCommand", {});
    const std::wstring next = runFiles().back();
    EXPECT_NE(next, full);
    EXPECT_NE(slurp(next).find(R"("code":1600)"), std::string::npos) << "the next run records again";
    ::SafeArrayDestroy(out);
    ::DestroyWindow(window);
}

// A command built with kit 1.1.0 (its frame as that kit shipped it) beside
// this library: it takes only a shared record of version 1, so it writes no
// event line and opens no file; its requests are recorded as before.
TEST(Recorder, AKit110FrameRecordsNoEventsAndOpensNothing) {
    recordFolder();
    Host host(Script{}, HostOptions{});
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(3));
    const size_t files = runFiles().size();
    const std::wstring file = runFiles().back();
    {
        kavcmd_1_1_0::EventRecording event("VokProcButtonEvent");
        lib().call("VokCommandGuide", Slots{}.ptr("inside"));
        event.Finish(S_OK, {1, 3, 0});
    }
    lib().call("VokExitCommand", {});
    const std::string text = slurp(file);
    EXPECT_EQ(text.find("\"event\""), std::string::npos) << text;
    const FieldSession run = parseFieldSession(text);
    ASSERT_EQ(run.session.steps.size(), 2u);
    EXPECT_EQ(run.session.steps[0].request.request, host.requests()[0].request);
    EXPECT_EQ(run.session.steps[1].request.message, kav::kExitCommandMessage);
    EXPECT_EQ(runFiles().size(), files) << "no other file";
    host.forgetRequests();
}

}  // namespace
