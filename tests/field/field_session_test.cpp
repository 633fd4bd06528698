// Reading field sessions: the lines of library and frame merged per seq and
// put in seq order, the cut-off tail and the unanswered message, and every
// refusal naming the field file's own line.
#include "recording/field_session.h"

#include <gtest/gtest.h>

namespace {

using namespace kavhost;

const char kHeader[] = R"({"session":"kavlink","version":1,"pid":7,"run":2,"time":"2026-01-02 03:04:05","cmdline":4})" "\n";
const char kStart[] = R"({"seq":1,"event":"VokProcStartCmd","args":[null,4],"nCode":0,"nCodeOut":1,"hr":"0x00000000"})" "\n";

TEST(FieldSession, LinesMergePerSeqInSeqOrder) {
    // As the run file holds them: the event that returned last stands last.
    const std::string text = std::string(kHeader) + kStart +
        R"({"seq":2,"message":1534,"code":1500,"lParam":0,"request":"4869"})" "\n"
        R"({"seq":2,"answer":1})" "\n"
        R"({"seq":4,"message":1534,"code":1100,"lParam":0,"request":"0000000000000000"})" "\n"
        R"({"seq":4,"answer":4294967295,"back":"0000000000002440"})" "\n"
        R"({"seq":5,"message":1765})" "\n"
        R"({"seq":5,"answer":1})" "\n"
        R"({"seq":3,"event":"VokProcButtonEvent","args":[1,3,0],"inDialog":true,"hr":"0x00000000"})" "\n";
    const FieldSession f = parseFieldSession(text);
    EXPECT_EQ(f.pid, 7u);
    EXPECT_EQ(f.run, 2);
    EXPECT_EQ(f.session.version, 2);
    EXPECT_EQ(f.session.cmdLine, 4);
    ASSERT_EQ(f.session.steps.size(), 5u);
    const std::vector<uint32_t> seqs = {1, 2, 3, 4, 5};
    const std::vector<int> lines = {2, 3, 9, 5, 7};  // each step names the line it began on
    for (size_t i = 0; i < seqs.size(); ++i) {
        EXPECT_EQ(f.session.steps[i].seq, seqs[i]);
        EXPECT_EQ(f.session.steps[i].line, lines[i]) << "step " << i;
    }
    const RecordedRequest& guide = f.session.steps[1].request;
    EXPECT_EQ(guide.exportName, "VokCommandGuide");
    EXPECT_EQ(guide.request, (std::vector<uint8_t>{'H', 'i'}));
    EXPECT_TRUE(guide.writes.empty());
    const RecordedRequest& back = f.session.steps[3].request;
    EXPECT_EQ(back.answer, 0xFFFFFFFFu);
    ASSERT_EQ(back.writes.size(), 1u);
    EXPECT_EQ(back.writes[0].offset, 0u);
    EXPECT_EQ(back.writes[0].bytes, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0x24, 0x40}));
    EXPECT_EQ(f.session.steps[4].request.message, kav::kExitCommandMessage);
    // The replay delivers the button event from a ui step, not by itself.
    EXPECT_TRUE(f.session.events().empty());
    EXPECT_TRUE(f.unanswered.empty());
    EXPECT_TRUE(f.note.empty());
}

// Version 2, as a killed process leaves it: events in two lines, the read-back
// after the answer, no closing line, zero bytes at the end.
const char kHeader2[] = R"({"session":"kavlink","version":2,"pid":7,"run":1,"time":"2026-01-02 03:04:05","cmdline":4})" "\n";
const char kStart2[] = R"({"seq":1,"event":"VokProcStartCmd","args":[null,4],"nCode":0})";

TEST(FieldSession, AKilledProcesssFileReadsWholeUpToItsLastCompleteSeq) {
    const std::string text = std::string(kHeader2) + kStart2 + "\n" +
        R"({"seq":2,"message":1534,"code":2151,"lParam":12,"request":""})" "\n"
        R"({"seq":2,"answer":1})" "\n"
        R"({"seq":2,"back":"0000000000002440"})" "\n"
        R"({"seq":1,"hr":"0x00000000","nCodeOut":1})" "\n"
        R"({"seq":3,"event":"VokProcButtonEvent","args":[1,3,0]})" "\n"
        R"({"seq":4,"message":1534,"code":1500,"lParam":0,"request":"4869"})" "\n"
        R"({"seq":4,"answer":1})" "\n"
        R"({"seq":6,"message":1534,"code":1500,"lParam":0,"request":"4869"})" "\n"  // seq 5 never reached the file
        R"({"seq":6,"answer":1})" "\n" + std::string(300, '\0');
    const FieldSession f = parseFieldSession(text);
    EXPECT_EQ(f.version, 2);
    ASSERT_EQ(f.session.steps.size(), 5u);
    const RecordedEvent& start = f.session.steps[0].event;
    EXPECT_EQ(start.nCode, 0);
    EXPECT_EQ(start.nCodeOut, 1) << "the result joins its event";
    ASSERT_EQ(f.session.steps[1].request.writes.size(), 1u);
    EXPECT_EQ(f.session.steps[1].request.writes[0].bytes.size(), 8u) << "the read-back joins its message";
    EXPECT_EQ(f.unreturned, std::vector<uint32_t>{3});
    EXPECT_EQ(f.wholeUpTo, 4u) << "seq 3 arrived and never returned";
    EXPECT_EQ(f.note, "the process ended inside the run: the recording is whole up to seq 4");
    const std::string shown = showFieldSession(f);
    EXPECT_NE(shown.find("VokProcButtonEvent(csbID 1, itemID 3, State 0)\n    did not return"), std::string::npos) << shown;
    EXPECT_NE(shown.find("(the process ended inside the run: the recording is whole up to seq 4)"), std::string::npos);

    // Closed by the library, or ended by the exit message: no note.  A file of
    // requests before InitVBCmdLib may hold events, a late one among them.
    EXPECT_EQ(parseFieldSession(std::string(kHeader2) + kStart2 + "\n" R"({"closed":"next run"})" "\n").note, "");
    const FieldSession before = parseFieldSession(
        R"({"session":"kavlink","version":2,"pid":7,"run":0,"time":"","beforeInit":true})" "\n"
        R"({"seq":1,"message":1534,"code":1500,"lParam":0,"request":"00"})" "\n"
        R"({"seq":1,"answer":1})" "\n"
        R"({"seq":2,"event":"VokProcStringBoxEventHook","args":[5,6,0],"late":true,"hr":"0x00000000"})" "\n"
        R"({"seq":3,"event":"VokProcStringBoxEventHook","args":[5,6,0]})" "\n"
        R"({"seq":3,"hr":"0x00000000"})" "\n"
        R"({"closed":"next run"})" "\n");
    ASSERT_EQ(before.session.steps.size(), 3u);
    EXPECT_TRUE(before.session.steps[1].isEvent);
    EXPECT_EQ(before.wholeUpTo, 3u);
    EXPECT_EQ(before.note, "");
}

TEST(FieldSession, WithoutEventsItReplaysAsRequestsOnly) {
    const std::string text = std::string(kHeader) +
        R"({"seq":1,"message":1534,"code":1500,"lParam":0,"request":"00"})" "\n"
        R"({"seq":1,"answer":1})" "\n"
        R"({"seq":2,"message":1534,"code":1501,"lParam":0,"request":"00"})" "\n"  // the host never answered
        R"({"seq":3,"message":1534,"code":1500,"lParam":0,"requ)";                // the disk was full
    const FieldSession f = parseFieldSession(text);
    EXPECT_EQ(f.session.version, 1);
    EXPECT_EQ(f.session.cmdLine, 4);
    ASSERT_EQ(f.session.steps.size(), 2u);
    EXPECT_EQ(f.unanswered, std::vector<uint32_t>{2});
    EXPECT_EQ(f.session.steps[1].request.answer, 0u);
    EXPECT_EQ(f.note, "line 5 is cut off and left out");
    const std::string shown = showFieldSession(f);
    EXPECT_NE(shown.find("#2 VokCommandMode"), std::string::npos) << shown;
    EXPECT_NE(shown.find("no answer recorded"), std::string::npos) << shown;
}

TEST(FieldSession, ShowPutsAKavhostRecordingsWritesWhereTheyLanded) {
    FieldSession f;  // a kavhost recording: writes lie anywhere in the payload area
    RecordedStep step;
    step.seq = 2;
    step.request.message = kav::kRequestMessage;
    step.request.code = 1210;  // VokGetPointShape: the point in-out at offset 0
    step.request.lParam = 5;
    step.request.request.assign(16, 0);
    step.request.answer = 1;
    step.request.writes.push_back({8, {0, 0, 0, 0, 0, 0, 0x04, 0x40}, ""});
    f.session.steps.push_back(step);
    const std::string shown = showFieldSession(f);
    EXPECT_EQ(shown.rfind("kavhost session", 0), 0u) << shown;
    EXPECT_NE(shown.find("at @8 (8 bytes, into shape +8; now shape = (0, 2.5))"), std::string::npos) << shown;
}

TEST(FieldSession, RefusalsNameTheFieldLine) {
    struct Case {
        std::string body;  // after the header line
        int line;
        const char* says;
    };
    const Case cases[] = {
        {R"({"seq":1,"answer":1})", 2, "which is no message sent before it"},
        {std::string(kStart) + R"({"seq":1,"message":1765})", 3, "seq 1 also stands on line 2"},
        {R"({"seq":1,"message":1534,"code":1500,"lParam":0,"request":"4G"})", 2, "not a payload's bytes in hex"},
        {R"({"seq":1,"message":1534,"code":1500,"lParam":0,"request":"414"})", 2, "not a payload's bytes in hex"},
        {R"({"seq":1,"message":1600})", 2, "neither 1534 nor 1765"},
        {R"({"seq":1})", 2, "neither a message, an answer nor an event"},
        {"{\"seq\":1,\"mess\n{\"seq\":2,\"message\":1765}\n", 2, "not a JSON value"},  // cut off, but not at the end
        {R"({"seq":1,"event":"VokProcButtonEvent","args":[1,3,0],"hr":"0x00000000"})", 2,
         "does not begin with VokProcStartCmd"},
        {R"({"seq":1,"event":"VokProcStartCmd","args":[null],"nCode":0,"nCodeOut":1,"hr":"0x00000000"})", 2,
         "takes 2 arguments"},
        {R"({"seq":0,"message":1765})", 2, "\"seq\" is out of range"},
    };
    const Case version2[] = {
        {R"({"seq":1,"hr":"0x00000000"})", 2, "which is no event waiting for one"},
        {std::string(kStart2) + "\n" R"({"seq":1,"hr":"0x00000000"})" "\n" R"({"seq":1,"hr":"0x00000000"})", 4,
         "which is no event waiting for one"},
        {R"({"seq":1,"message":1765})" "\n" R"({"seq":1,"back":"00"})", 3, "which is no answered message"},
        {R"({"closed":5})", 2, "\"closed\" is not a text"},
    };
    const auto refused = [](const char* header, const auto& list) {
        for (const Case& c : list) {
            SCOPED_TRACE(c.body);
            try {
                parseFieldSession(std::string(header) + c.body + "\n");
                ADD_FAILURE() << "accepted";
            } catch (const SessionError& e) {
                EXPECT_EQ(e.line, c.line) << e.what();
                EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            }
        }
    };
    refused(kHeader, cases);
    refused(kHeader2, version2);
}

TEST(FieldSession, OnlyAKavlinkHeaderMakesOne) {
    EXPECT_TRUE(isFieldSession(kHeader));
    EXPECT_TRUE(isFieldSession(std::string("\n") + kHeader + kStart));
    EXPECT_FALSE(isFieldSession(R"({"session":"kavhost","version":2,"cmdline":0,"script":""})" "\n"));
    EXPECT_FALSE(isFieldSession(kStart));
    EXPECT_FALSE(isFieldSession("not json\n"));
    try {
        parseFieldSession(R"({"session":"kavlink","version":4,"pid":1,"run":1,"cmdline":0})" "\n");
        ADD_FAILURE() << "a later version was read";
    } catch (const SessionError& e) {
        EXPECT_NE(std::string(e.what()).find("unknown field session version"), std::string::npos) << e.what();
    }
}

}  // namespace
