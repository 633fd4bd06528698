// The model of the host, through real kavlink.dll calls answered by a Host
// whose model keeps the drawing, the panels and the mask; the profile's
// values reaching the answers; what nobody answered or wrote being listed;
// and --parity judging the model against sessions of a host.
#include "decode/decoder.h"
#include "decode/layout_table.h"
#include "kavlink_loader.h"
#include "temp_folder.h"
#include "model/audit.h"
#include "model/conventions.h"
#include "model/model.h"
#include "model/parity.h"
#include "model/profile.h"
#include "recording/session.h"
#include "run/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace kavhost;
using namespace kavhost::model;
using kavtest::lib;
using kavtest::Slots;

namespace {

// The profile as the build ships it (the copy beside the tests' kavhost.exe).
const Profile& shipped() {
    static const Profile p = Profile::fromFile(defaultProfilePath());
    return p;
}

struct WithModel : ::testing::Test {
    Profile profile = shipped();
    std::unique_ptr<Model> model;
    Audit audit;
    std::unique_ptr<Host> host;
    void start(const std::string& scriptText = "", HostOptions o = {}) {
        model = std::make_unique<Model>(profile);
        const Script script = parseScript(scriptText, model->naming());
        model->declare(script.elements);
        o.model = model.get();
        o.audit = &audit;
        host = std::make_unique<Host>(script, o);
        lib().call("InitVBCmdLib", Slots{}.ptr(host->window()).u32(0));
    }
    int32_t call(const char* name, Slots s) { return static_cast<int32_t>(lib().call(name, s).eax); }
};

TEST_F(WithModel, DeclaredElementsAreReadTypedChangedAndDeleted) {
    start("element line 0 0 100 0\nelement circle 50 50 10\nelement string 1 2 \"ab\"\n");
    const ProfileValues& v = profile.values();
    LineShape line{};
    EXPECT_EQ(call("VokGetLineShape", Slots{}.u32(1).ptr(&line)), v.success);
    EXPECT_EQ(line.end.x, 100);
    EXPECT_EQ(call("VokGetElementType", Slots{}.u32(2)), v.elementTypes[static_cast<int>(Kind::Circle)]);
    CircleShape circle{};
    EXPECT_EQ(call("VokGetCircleShape", Slots{}.u32(1).ptr(&circle)), v.none) << "a line is no circle";
    EXPECT_EQ(circle.radius, 0) << "nothing written";
    char text[256] = {};
    StringShape s{{0, 0}, text};
    EXPECT_EQ(call("VokGetStringShape", Slots{}.u32(3).ptr(&s)), v.success);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(s.text, text) << "the caller's pointer kept";
    EXPECT_EQ(s.position.y, 2);
    const CircleShape bigger{{50, 50}, 20};
    EXPECT_EQ(call("VokChangeCircle", Slots{}.u32(2).ptr(&bigger)), v.success);
    EXPECT_EQ(call("VokGetCircleShape", Slots{}.u32(2).ptr(&circle)), v.success);
    EXPECT_EQ(circle.radius, 20);
    EXPECT_EQ(call("VokDeleteElement", Slots{}.u32(2)), v.success);
    circle = {};
    EXPECT_EQ(call("VokGetCircleShape", Slots{}.u32(2).ptr(&circle)), v.none);
    EXPECT_EQ(circle.radius, 0);
    EXPECT_EQ(call("VokGetNumberElement", {}), 2);
}

TEST_F(WithModel, AppendedElementsFollowTheDeclaredOnesWithTheirAttributes) {
    start("element point 1 1\n");
    ElementAttr attr{{1, 2, 3, 4, 5, 6, 7, 8}};
    const LineShape line{{0, 0}, {3, 4}};
    EXPECT_EQ(call("VokAppendLine", Slots{}.ptr(&line).ptr(&attr)), 2) << "after the one declared";
    ElementAttr back{};
    EXPECT_EQ(call("VokGetElementAttr", Slots{}.u32(2).ptr(&back)), profile.values().success);
    EXPECT_EQ(std::memcmp(&back, &attr, sizeof attr), 0);
    EXPECT_EQ(call("VokGetElementAttr", Slots{}.u32(1).ptr(&back)), profile.values().success);
    EXPECT_EQ(std::memcmp(&back, &profile.values().elementAttr, sizeof back), 0) << "the system attributes";
    EXPECT_EQ(model->drawing().elements().size(), 2u);
    EXPECT_TRUE(model->drawing().elements()[0].declared);
}

TEST_F(WithModel, PanelHandlesBoxesAndButtonsFollowTheCommandAndTheEvents) {
    start();
    EXPECT_EQ(call("VokCreateCSB", Slots{}.u32(1).ptr("Copy").ptr("").u32(0)), profile.values().success);
    const int32_t handle = call("VokGetCSBHandle", Slots{}.u32(1));
    EXPECT_GT(static_cast<uint32_t>(handle), 0xFFFFu) << "no panel number reads as a handle";
    EXPECT_EQ(call("VokCreateIntegerBox", Slots{}.u32(handle).u32(1).u32(3).ptr("Copies")), profile.values().success);
    DeliveredEvent e;
    e.method = "VokProcIntBoxEvent";
    e.args = {"1", "1", "42"};
    model->delivered(e);
    BoxStatus box{};
    call("VokGetIntegerBoxStatus", Slots{}.u32(handle).u32(1).ptr(&box));
    EXPECT_STREQ(box.text, "42");
    EXPECT_EQ(call("VokGetIntegerBoxStatus", Slots{}.u32(1).u32(1).ptr(&box)), profile.values().none)
        << "the panel number is not its handle";
    ASSERT_EQ(model->wrongHandles().size(), 1u);
    EXPECT_EQ(model->wrongHandles()[0].handle, 1u);
    EXPECT_EQ(call("VokGetEventMask", {}), profile.values().initialMask);
    call("VokSetEventMask", Slots{}.u32(6));
    EXPECT_EQ(call("VokGetEventMask", {}), 6);
}

TEST_F(WithModel, EventsNameDeclaredElementsByIndexAndTypeCode) {
    start("element circle 0 0 1\nelement line 0 0 1 1\nevent VokProcElementEvent @2\n");
    ASSERT_EQ(host->script().events.size(), 1u);
    EXPECT_EQ(host->script().events[0].args,
              (std::vector<std::string>{"2", std::to_string(profile.values().elementTypes[static_cast<int>(Kind::Line)])}));
    EXPECT_THROW(parseScript("element line 0 0 1 1\nevent VokProcElementEvent @2\n", model->naming()), ScriptError);
    EXPECT_THROW(parseScript("event VokProcPositionEvent @1 0\n", model->naming()), ScriptError);
    EXPECT_THROW(parseScript("element line 0 0 1\n"), ScriptError);
}

TEST_F(WithModel, WhatNobodyAnswersOrWritesIsListed) {
    start("on VokCalMidP answer 1\nelement line -10 3 10 3\nelement circle 0 0 5\n");
    PointShape a{0, 0}, b{2, 2}, mid{};
    call("VokCalMidP", Slots{}.ptr(&a).ptr(&b).ptr(&mid));  // a rule that writes nothing
    call("VokCountStringStyle", {});                       // nobody models the host's styles
    EXPECT_EQ(mid.x, 0);
    // Two crossings: the places of a third and fourth stay as sent, and are no gap.
    ResultPoint r[4]{};
    EXPECT_EQ(call("VokCalIntersection", Slots{}.u32(1).u32(2).ptr(&r[0]).ptr(&r[1]).ptr(&r[2]).ptr(&r[3])), 2);
    // A recorded answer that wrote nothing is the host's own doing, not a gap.
    LoggedRequest recorded;
    recorded.seq = 99;
    recorded.message = kav::kRequestMessage;
    const std::vector<uint8_t> sent(48, 0);
    recorded.decoded = decode(kavhost::findLayout("VokCalMidP")->code, 0, sent.data(), sent.size());
    recorded.request = sent;
    recorded.reply.answer = 1;
    recorded.reply.source = "recording line 7";
    audit.check(recorded);
    const std::string listing = audit.listing();
    EXPECT_EQ(listing.find("VokCalIntersection"), std::string::npos) << listing;
    EXPECT_NE(listing.find("VokCountStringStyle: 1"), std::string::npos) << listing;
    EXPECT_NE(listing.find("VokCalMidP out: 1"), std::string::npos) << listing;
    ASSERT_EQ(audit.failures().size(), 2u);
    EXPECT_NE(audit.failures()[1].find("VokCountStringStyle"), std::string::npos);
}

// A run that keeps no messages (no --picture) answers, records and lists
// what nobody answered as one that keeps them all.
TEST_F(WithModel, KeepingNoMessagesChangesNoAnswerRecordOrListing) {
    std::string records[2];
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "not kept");
        audit = Audit(profile.values().none);
        const kavtest::TempFolder folder;
        const std::unique_ptr<FILE, int (*)(FILE*)> record(_wfopen(folder.file(L"run.kavrec").c_str(), L"w+b"), &std::fclose);
        ASSERT_TRUE(record);
        HostOptions o;
        o.record = record.get();
        o.keepRequests = keep;
        start("", o);
        PointShape a{1, 2}, b{4, 6};
        EXPECT_EQ(lib().call("VokCalDist2P", Slots{}.ptr(&a).ptr(&b), true).st0, 5.0);
        call("VokCountStringStyle", {});
        call("VokExitCommand", {});
        EXPECT_EQ(host->messageCount(), 3u);
        EXPECT_EQ(host->requests().size(), keep ? 3u : 0u);
        EXPECT_NE(audit.listing().find("VokCountStringStyle: 1 (#2)"), std::string::npos) << audit.listing();
        host.reset();
        std::rewind(record.get());
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, record.get())) > 0;) records[keep].append(buf, n);
    }
    EXPECT_EQ(std::count(records[1].begin(), records[1].end(), '\n'), 3) << records[1];
    EXPECT_EQ(records[0], records[1]);
}

TEST(Profile, OverlaysNameOnlyTheirKeysAndRefuseUnknownVersions) {
    Profile p = shipped();
    p.overlayText(R"({"elementTypes": {"line": 21}, "answers": {"none": {"value": -1, "status": "confirmed", "by": "s.jsonl"}}})",
                  "mine.json");
    EXPECT_EQ(p.values().elementTypes[static_cast<int>(Kind::Line)], 21);
    EXPECT_EQ(p.values().elementTypes[static_cast<int>(Kind::Circle)], shipped().values().elementTypes[static_cast<int>(Kind::Circle)]);
    EXPECT_EQ(p.values().none, -1);
    EXPECT_EQ(p.status("answers/none"), "confirmed by s.jsonl");
    EXPECT_EQ(conventionsOf(p).noneValue, -1) << "the calculations answer with the same none";
    EXPECT_THROW(p.overlayText(R"({"version": 2})", "v2.json"), ProfileError);
    EXPECT_THROW(p.overlayText(R"({"calculations": {"angleSense": "sideways"}})", "bad.json"); conventionsOf(p), ProfileError);
    EXPECT_THROW(p.overlayText(R"({"panels": {"firstHandle": 7}})", "small.json"), ProfileError);
}

// --parity on sessions made by editing a recorded one.
struct Parity : ::testing::Test {
    std::string path(const char* name, const std::string& text) {
        const std::string p = ::testing::TempDir() + name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    int run(const std::vector<std::string>& files, std::string& out) {
        FILE* o = std::tmpfile();
        FILE* e = std::tmpfile();
        const int status = runParity(files, shipped(), o, e);
        std::rewind(o);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, o)) > 0) out.append(buf, n);
        std::fclose(o);
        std::fclose(e);
        return status;
    }
};

// A field session of twopoint's two calculations (the library's run file),
// the host writing `midX` into the midpoint and `dist` as the distance.
std::string twoCalculations(double midX, double dist) {
    auto hex = [](const std::vector<uint8_t>& b) {
        std::string s;
        char d[3];
        for (uint8_t x : b) {
            std::snprintf(d, sizeof d, "%02X", x);
            s += d;
        }
        return s;
    };
    auto bytes = [](const void* p, size_t n) {
        return std::vector<uint8_t>(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    const PointShape pts[3] = {{0, 0}, {100, 50}, {0, 0}};
    const PointShape after[3] = {{0, 0}, {100, 50}, {midX, 25}};
    std::vector<uint8_t> distIn = bytes(pts, 32), distBack = bytes(pts, 32);
    const double zero = 0;
    const std::vector<uint8_t> z = bytes(&zero, 8), d = bytes(&dist, 8);
    distIn.insert(distIn.end(), z.begin(), z.end());
    distBack.insert(distBack.end(), d.begin(), d.end());
    std::ostringstream s;
    s << R"({"session":"kavlink","version":1,"pid":7,"run":1,"time":"2026-01-02 03:04:05","cmdline":0})" << "\n"
      << R"({"seq":1,"event":"VokProcStartCmd","args":[null,0],"nCode":0,"nCodeOut":1,"hr":"0x00000000"})" << "\n"
      << R"({"seq":2,"message":1534,"code":2019,"lParam":0,"request":")" << hex(bytes(pts, 48)) << "\"}\n"
      << R"({"seq":2,"answer":1,"back":")" << hex(bytes(after, 48)) << "\"}\n"
      << R"({"seq":3,"message":1534,"code":2022,"lParam":0,"request":")" << hex(distIn) << "\"}\n"
      << R"({"seq":3,"answer":1,"back":")" << hex(distBack) << "\"}\n"
      << R"({"seq":4,"message":1765})" << "\n" << R"({"seq":4,"answer":1})" << "\n";
    return s.str();
}

TEST_F(Parity, AWrongMidpointDiffersAndARightDistanceAgrees) {
    std::string out;
    EXPECT_EQ(run({path("wrong-mid.jsonl", twoCalculations(51, 111.80339887498948))}, out), kParityDiffers);
    EXPECT_NE(out.find("VokCalMidP: agreed 0, differed 1, not modelled 0"), std::string::npos) << out;
    EXPECT_NE(out.find("VokCalDist2P: agreed 1, differed 0, not modelled 0"), std::string::npos) << out;
    EXPECT_NE(out.find("out: host (51, 25), model (50, 25)"), std::string::npos) << out;
    std::string agreeing;
    EXPECT_EQ(run({path("right.jsonl", twoCalculations(50, 111.80339887498948))}, agreeing), kParityAgrees) << agreeing;
    std::string none;
    EXPECT_EQ(run({path("missing.jsonl", "")}, none), kParityUnreadable);
}

}  // namespace
