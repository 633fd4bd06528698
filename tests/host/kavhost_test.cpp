// kavhost's own parts: the answer script, the answers, the decoder on known
// requests, the host answering real kavlink.dll calls in-process, the
// declarations module and kavhost.exe's command line.
#include "script/answer_script.h"
#include "decode/decoder.h"
#include "run/host.h"
#include "kavlink.h"
#include "decode/request_text.h"
#include "process_runner.h"
#include "recording_host.h"
#include "sandbox.h"
#include "recording/session.h"
#include "script/host_text.h"
#include "kav/handles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <sstream>

using namespace kavhost;
using kavtest::Bytes;
using kavtest::lib;
using kavtest::ProcessRun;
using kavtest::runKavhost;
using kavtest::Slots;

namespace {

// ------------------------------------------------------------ script parser

TEST(AnswerScript, ParsesRulesEventsAndUiSteps) {
    const Script s = parseScript(
        "\xEF\xBB\xBF# a comment\n"
        "on VokGetCSBHandle answer 0x1234   # trailing comment\n"
        "on 1824\n"
        "  answer -1\n"
        "  write 18 text \"ab \\\"c\\\"\"\n"
        "  write 0 i16 -2\n"
        "  write 4 i32 0xFFFFFFFF\n"
        "  write 8 u8 255\n"
        "  write 9 f64 2.5\n"
        "  write 20 point 1 -2\n"
        "  write 40 hex \"01 ab FF\"\n"
        "on *\n"
        "event VokProcButtonEvent 1 2 -1\n"
        "event VokProcRealBoxEvent 1 2 3.25\n"
        "event VokProcStringBoxEvent 1 2 \"text with spaces\"\n"
        "event VokProcEndCmd 7\n"
        "ui wait \"caption\" 500\n"
        "ui click \"OK(&O)\"\n"
        "ui answer \"title\" no\n"
        "ui settext 0 \"C:\\\\x\"\n"
        "ui settext 1 \"C:\\new\\tab\"\n"
        "ui event VokProcStringBoxEvent 5 6 \"typed text\"\n");
    ASSERT_EQ(s.rules.size(), 3u);
    EXPECT_EQ(s.rules[0].key, "VokGetCSBHandle");
    EXPECT_TRUE(s.rules[0].hasAnswer);
    EXPECT_EQ(s.rules[0].answer, 0x1234u);
    EXPECT_EQ(s.rules[1].code, 1824u);
    EXPECT_EQ(s.rules[1].answer, 0xFFFFFFFFu);
    EXPECT_EQ(s.rules[1].line, 3);
    ASSERT_EQ(s.rules[1].writes.size(), 7u);
    const auto& w = s.rules[1].writes;
    EXPECT_EQ(w[0].offset, 18u);
    EXPECT_EQ(w[0].bytes, (std::vector<uint8_t>{'a', 'b', ' ', '"', 'c', '"', 0}));
    EXPECT_EQ(w[1].bytes, (std::vector<uint8_t>{0xFE, 0xFF}));
    EXPECT_EQ(w[2].bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(w[3].bytes, (std::vector<uint8_t>{0xFF}));
    EXPECT_EQ(w[4].bytes, Bytes{}.f64(2.5).b);
    EXPECT_EQ(w[5].bytes, Bytes{}.f64(1).f64(-2).b);
    EXPECT_EQ(w[6].bytes, (std::vector<uint8_t>{0x01, 0xAB, 0xFF}));
    EXPECT_TRUE(s.rules[2].any);
    ASSERT_EQ(s.events.size(), 4u);
    EXPECT_EQ(s.events[2].args[2], "text with spaces");
    ASSERT_EQ(s.ui.size(), 6u);
    EXPECT_EQ(s.ui[5].args, (std::vector<std::string>{"VokProcStringBoxEvent", "5", "6", "typed text"}));
    EXPECT_EQ(s.ui[4].args[1], "C:\\new\\tab") << "a backslash before other letters stays";
    EXPECT_EQ(s.ui[1].args[0], "OK(&O)");
    EXPECT_EQ(s.ui[3].args[1], "C:\\x");
}

// "on KEY event ...": the event's own arguments, then the rule goes on; the
// reply carries the event, with the rule's answer or the export's default.
TEST(AnswerScript, AnEventRuleDeliversInsideItsRequest) {
    const Script s = parseScript("on VokCalMidP event VokProcEndCmd 7 write 32 point 1 2\n"
                                 "on VokGetEventMask event VokProcButtonEvent 1 2 3 answer 9\n");
    ASSERT_EQ(s.rules.size(), 2u);
    ASSERT_TRUE(s.rules[0].event);
    EXPECT_EQ(s.rules[0].event->method, "VokProcEndCmd");
    EXPECT_EQ(s.rules[0].event->args, std::vector<std::string>{"7"});
    EXPECT_EQ(s.rules[0].writes.size(), 1u);
    EXPECT_FALSE(s.rules[0].hasAnswer);
    EXPECT_TRUE(s.events.empty());
    Answerer a(s);
    const Reply mid = a.reply(findLayout("VokCalMidP")->code, 0, {"VokCalMidP"});
    ASSERT_TRUE(mid.inside);
    EXPECT_EQ(mid.inside->label(), "VokProcEndCmd (script line 1)");
    EXPECT_EQ(mid.answer, 1u);  // the default
    const Reply mask = a.reply(findLayout("VokGetEventMask")->code, 0, {"VokGetEventMask"});
    ASSERT_TRUE(mask.inside);
    EXPECT_EQ(mask.inside->args, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(mask.answer, 9u);
}

TEST(AnswerScript, RefusesBadInputWithItsLine) {
    struct Bad {
        const char* text;
        int line;
        const char* says;
    };
    const Bad cases[] = {
        {"on VokNoSuchThing\n", 1, "unknown export"},
        {"on 9999\n", 1, "no export sends"},
        {"on InitVBCmdLib\n", 1, "sends no request"},
        {"\nanswer 5\n", 2, "before any 'on'"},
        {"on 1807 answer\n", 1, "32-bit integer"},
        {"on 1807 answer 0x1FFFFFFFF\n", 1, "32-bit integer"},
        {"on 1807 answer 12abc\n", 1, "32-bit integer"},
        {"on 1807\nwrite 16380 u8 1\n", 2, "offset"},
        {"on 1807\nwrite 16379 i16 1\n", 2, "past the payload"},
        {"on 1807\nwrite 0 i16 70000\n", 2, "does not fit"},
        {"on 1807\nwrite 0 float 1\n", 2, "unknown write type"},
        {"on 1807\nwrite 0 hex \"0g\"\n", 2, "not a hex byte"},
        {"on 1807\nwrite 0 text \"open\n", 2, "unterminated"},
        {"on 1807\nwrite 0 point 1\n", 2, "two numbers"},
        {"on 1807 bogus\n", 1, "expected answer, write"},
        {"on VokCalMidP event VokProcNothing\n", 1, "unknown event method"},
        {"on VokCalMidP event VokProcEndCmd\n", 1, "takes 1 arguments"},
        {"on VokCalMidP event VokProcStartCmd 1 2 3\n", 1, "--command"},
        {"on VokCalMidP event VokProcEndCmd 0 event VokProcEndCmd 0\n", 1, "once"},
        {"on VokCalMidP\nanswer 1 event VokProcEndCmd 0\n", 2, "rule's own line"},
        {"event VokProcNothing\n", 1, "unknown event method"},
        {"event VokProcButtonEvent 1 2\n", 1, "takes 3 arguments"},
        {"event VokProcButtonEvent 1 2 40000\n", 1, "16-bit"},
        {"event VokProcRealBoxEvent 1 2 x\n", 1, "a number"},
        {"event VokProcStartCmd 1 2 3\n", 1, "--command"},
        {"ui dance\n", 1, "unknown ui step"},
        {"ui event VokProcButtonEvent 1 2\n", 1, "takes 3 arguments"},
        {"ui event VokProcStartCmd 1 2 3\n", 1, "--command"},
        {"\nui event VokProcNothing\n", 2, "unknown event method"},
        {"ui click\n", 1, "wrong number"},
        {"ui answer \"t\" maybe\n", 1, "yes, no or ok"},
        {"ui sleep soon\n", 1, "number"},
        {"frobnicate\n", 1, "unknown statement"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.text);
        try {
            parseScript(b.text);
            ADD_FAILURE() << "accepted";
        } catch (const ScriptError& e) {
            EXPECT_EQ(e.line, b.line);
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
        }
    }
}

// ------------------------------------------------------------ answers

TEST(Answerer, RulesInOrderThenTheLastRepeats) {
    Answerer a(parseScript("on VokGetCSBHandle answer 10\non VokGetCSBHandle answer 11\non 1807 answer 99\n"));
    const std::vector<std::string> names{"VokGetCSBHandle"};
    EXPECT_EQ(a.reply(1807, 1, names).answer, 10u);
    EXPECT_EQ(a.reply(1807, 1, names).answer, 11u);
    EXPECT_EQ(a.reply(1807, 1, names).answer, 11u);
    // A rule by code serves requests that no rule by name takes.
    Answerer b(parseScript("on 1807 answer 99 write 0 u8 7\non * answer 5\n"));
    const Reply r = b.reply(1807, 1, names);
    EXPECT_EQ(r.answer, 99u);
    ASSERT_EQ(r.writes.size(), 1u);
    EXPECT_EQ(r.source, "script line 1");
    EXPECT_EQ(b.reply(1600, 0, {"VokAssignMark"}).answer, 5u);
}

TEST(Answerer, DefaultsWithoutAScript) {
    Answerer a;
    const uint32_t p3 = a.reply(1807, 3, {"VokGetCSBHandle"}).answer;
    const uint32_t p4 = a.reply(1807, 4, {"VokGetCSBHandle"}).answer;
    EXPECT_NE(p3, 0u);
    EXPECT_NE(p3, p4);
    EXPECT_EQ(a.reply(1807, 3, {"VokGetCSBHandle"}).answer, p3) << "the same panel keeps its handle";
    const uint32_t e1 = a.reply(1221, 0, {"VokCreateLine"}).answer;
    const uint32_t e2 = a.reply(1231, 0, {"VokAppendLine"}).answer;
    EXPECT_EQ(e2, e1 + 1) << "element indices count up";
    EXPECT_EQ(a.reply(1502, 0, {"VokWarnBeep"}).answer, 1u);
    // A rule with writes but no answer keeps the default answer.
    Answerer b(parseScript("on VokCreateLine write 0 u8 1\n"));
    EXPECT_EQ(b.reply(1221, 0, {"VokCreateLine"}).answer, 1u);
}

// ------------------------------------------------------------ decoder

TEST(Decoder, TableHoldsEveryExportOnce) {
    std::set<std::string> names;
    size_t requests = 0;
    for (const ExportLayout& e : exportLayouts()) {
        EXPECT_TRUE(names.insert(e.name).second) << e.name;
        if (e.code) ++requests;
    }
    EXPECT_EQ(names.size(), 400u);
    EXPECT_EQ(requests, 395u);  // all but InitVBCmdLib, VokExitCommand, CopyStringToBStr and the date pair
    // Only 1300 and 1529 are shared.
    std::map<uint32_t, int> perCode;
    for (const ExportLayout& e : exportLayouts())
        if (e.code) ++perCode[e.code];
    for (const auto& [code, n] : perCode)
        if (code != 1300 && code != 1529) {
            EXPECT_EQ(n, 1) << "code " << code;
        }
}

// The index gives what a walk along the table gives, for every row.
TEST(Decoder, IndexFindsEveryRowByNameAndByCode) {
    for (const ExportLayout& e : exportLayouts()) {
        EXPECT_EQ(findLayout(e.name), &e) << e.name;
        std::vector<const ExportLayout*> walked;
        for (const ExportLayout& o : exportLayouts())
            if (e.code && o.code == e.code) walked.push_back(&o);
        const std::span<const ExportLayout* const> indexed = layoutsWithCode(e.code);
        EXPECT_EQ(std::vector<const ExportLayout*>(indexed.begin(), indexed.end()), walked) << e.name;
    }
    EXPECT_EQ(findLayout("VokCalDist2"), nullptr);
    EXPECT_EQ(findLayout("VokCalDist2PX"), nullptr);
    EXPECT_TRUE(layoutsWithCode(1).empty());
}

// Values as "%.15g" prints them, whole numbers included (they skip the formatter).
TEST(Decoder, PointValuesPrintAsFifteenDigits) {
    const double values[] = {0, -0.0, 3, -4, 20003, 999999999999999, -999999999999999, 1e15, 1e16, 0.1, 2.5, -1e-300, 1e300};
    const ExportLayout* row = findLayout("VokCalDist2P");
    ASSERT_NE(row, nullptr);
    for (const double d : values) {
        const PointShape p[2] = {{d, 7}, {-1.5, d}};
        const Decoded got = decode(row->code, 0, reinterpret_cast<const uint8_t*>(p), sizeof p);
        char want[2][96];
        std::snprintf(want[0], sizeof want[0], "(%.15g, 7)", d);
        std::snprintf(want[1], sizeof want[1], "(-1.5, %.15g)", d);
        ASSERT_EQ(got.segments.size(), 3u);
        EXPECT_EQ(got.segments[0].value, want[0]);
        EXPECT_EQ(got.segments[1].value, want[1]);
    }
}

TEST(Decoder, FixedRequestSizes) {
    struct Size {
        const char* name;
        uint32_t bytes;
    };
    const Size sizes[] = {
        {"VokCalIntOfBSplineBSplineIF", 8696}, {"VokCalTransBSplineIF", 7148}, {"VokCalTransString", 204},
        {"VokRubberAngularDim", 38},           {"VokRubberOffsetDim", 26},     {"VokRubberArcLengDim", 66},
        {"VokPositionPart", 34},               {"VokPositionSymbol", 40},      {"VokPositionSymbolEx", 44},
        {"VokCalIntOfCircleElli", 128},        {"VokCalIntOfElliElli", 144},   {"VokGetTextBoxStatus", 278},
        {"VokMarkElement", 10},                {"VokGetLineWidth", 14},        {"VokGetStringShape", 276},
    };
    std::vector<uint8_t> zero(kav::kPayloadSize, 0x11);
    for (const Size& s : sizes) {
        const ExportLayout* e = findLayout(s.name);
        ASSERT_NE(e, nullptr) << s.name;
        const Decoded d = decode(e->code, 0, zero.data(), zero.size());
        EXPECT_EQ(d.total, s.bytes) << s.name;
        EXPECT_TRUE(d.problem.empty()) << s.name << ": " << d.problem;
    }
}

TEST(Decoder, KnownRequestByteForByte) {
    // VokGetRGBColor(table 7, key1 -1, key2 2, rgb, flag): 2 + 2 + 4 + 1 bytes.
    const Bytes p = Bytes{}.u16(0xFFFF).u16(2).u32(0x00FF8040).u8(1);
    const Decoded d = decode(1539, 7, p.b.data(), p.size());
    ASSERT_TRUE(d.known);
    EXPECT_EQ(d.names, std::vector<std::string>{"VokGetRGBColor"});
    EXPECT_EQ(d.lParamText, "table = 7");
    EXPECT_EQ(d.total, 9u);
    ASSERT_EQ(d.segments.size(), 4u);
    const std::pair<uint32_t, uint32_t> places[] = {{0, 2}, {2, 2}, {4, 4}, {8, 1}};
    const char* values[] = {"-1", "2", "16744512 (0x00FF8040)", "1"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(d.segments[i].offset, places[i].first);
        EXPECT_EQ(d.segments[i].size, places[i].second);
        EXPECT_EQ(d.segments[i].value, values[i]);
    }
    // Texts, doubles and points at unaligned offsets.
    const Bytes q = Bytes{}.u16(3).str("ab").f64(0.5).f64(-1.25);
    const Decoded t = decode(1803, 0x10001, q.b.data(), q.size());  // VokCreatePushButton: itemID, text
    EXPECT_EQ(t.names, std::vector<std::string>{"VokCreatePushButton"});
    ASSERT_EQ(t.segments.size(), 2u);
    EXPECT_EQ(t.segments[1].value, "\"ab\"");
    EXPECT_EQ(t.total, 5u);
    const Bytes pts = Bytes{}.f64(1).f64(2).f64(3).f64(4).f64(5.5).f64(6);
    const Decoded dim = decode(2100, 2, pts.b.data(), pts.size());  // two points and the position
    ASSERT_EQ(dim.segments.size(), 2u);
    EXPECT_EQ(dim.segments[0].value, "2 x [(1, 2), (3, 4)]");
    EXPECT_EQ(dim.segments[1].offset, 32u);
    EXPECT_EQ(dim.segments[1].value, "(5.5, 6)");
    // The JSON form carries the same facts.
    const Json j = decodedJson(d);
    EXPECT_EQ(j.at("exports"), Json::array({"VokGetRGBColor"}));
    const Json& rgb = j.at("segments").at(2);
    EXPECT_EQ(rgb.at("name"), "rgb");
    EXPECT_EQ(rgb.at("offset"), 4);
    EXPECT_EQ(rgb.at("size"), 4);
    EXPECT_NE(formatText(d).find("@4         4  rgb = 16744512"), std::string::npos) << formatText(d);
}

TEST(Decoder, SharedCodesAndSizesFromArguments) {
    std::vector<uint8_t> buf(kav::kPayloadSize, 0);
    // 1300 with lParam 0 may be either export; with a database handle only the specific one.
    EXPECT_EQ(decode(1300, 0, buf.data(), buf.size()).names.size(), 2u);
    EXPECT_EQ(decode(1300, 5, buf.data(), buf.size()).names, std::vector<std::string>{"VokGetSpecificDBInfo"});
    EXPECT_EQ(decode(1529, 5, buf.data(), buf.size()).nameText(), "VokGetPropertyOfAny | VokGetAnyPropertyOfString");
    // Counts from lParam halves and from earlier segments.
    EXPECT_EQ(decode(1904, 0x00030001, buf.data(), buf.size()).total, 6u);   // 3 subcodes in the high half
    EXPECT_EQ(decode(1956, 0xFFFF0004, buf.data(), buf.size()).total, 8u);   // signed low half: 4
    buf[0] = 2;  // VokSetOptionPropertiesEx count 2: 2 + 2x4 + 2x32
    EXPECT_EQ(decode(1909, 0, buf.data(), buf.size()).total, 74u);
    std::memcpy(buf.data() + 4, "ab\0", 3);  // VokAppendProperty: tag, name, size, size + 1 bytes
    uint32_t size = 5;
    std::memcpy(buf.data() + 7, &size, 4);
    EXPECT_EQ(decode(1526, 0, buf.data(), buf.size()).total, 4u + 3 + 4 + 6);
    EXPECT_EQ(decode(1450, 260, buf.data(), buf.size()).total, 260u);  // length lParam
    // Bad data gives a problem, never a crash.
    const Decoded neg = decode(2100, 0xFFFF, buf.data(), buf.size());
    EXPECT_NE(neg.problem.find("negative"), std::string::npos);
    std::vector<uint8_t> noZero(kav::kPayloadSize, 'x');
    EXPECT_NE(decode(1500, 0, noZero.data(), noZero.size()).problem.find("no terminator"), std::string::npos);
    EXPECT_NE(decode(1450, 0xFFFFFFFF, buf.data(), buf.size()).problem.find("past the payload"), std::string::npos);
    EXPECT_FALSE(decode(1303, 0, buf.data(), buf.size()).known);
    EXPECT_EQ(decode(1303, 0, nullptr, 0).total, 0u);
}

// ------------------------------------------------------------ the host in-process

TEST(HostInProcess, AnswersScriptedValuesAndLogsTheRequest) {
    Host host(parseScript("on VokAssignMark answer 0x4321\n"
                          "on 1605 answer -1 write 18 text \"hello\" write 0 i16 9\n"),
              HostOptions{});
    lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
    EXPECT_EQ(lib().call("VokAssignMark", {}).eax, 0x4321u);
    EXPECT_EQ(lib().call("VokMarkElement", {0x4321, 77, 0x10002}).eax, 0xFFFFFFFFu);
    // The scripted bytes are in the payload area when the send returns.
    EXPECT_STREQ(reinterpret_cast<const char*>(host.payload()) + 18, "hello");
    EXPECT_EQ(host.payload()[0], 9);
    EXPECT_EQ(lib().call("VokFreeMark", {0x4321}).eax, 1u) << "default answer";
    EXPECT_EQ(lib().call("VokExitCommand", {}).eax, 1u);
    ASSERT_EQ(host.requests().size(), 4u);
    EXPECT_EQ(host.requests()[0].decoded.names, std::vector<std::string>{"VokAssignMark"});
    const Decoded& mark = host.requests()[1].decoded;
    EXPECT_EQ(mark.names, std::vector<std::string>{"VokMarkElement"});
    EXPECT_EQ(mark.total, 10u);
    ASSERT_EQ(mark.segments.size(), 3u);
    EXPECT_EQ(mark.segments[0].value, "17185");
    EXPECT_EQ(mark.segments[1].value, "77");
    EXPECT_EQ(mark.segments[2].value, "2") << "the high half of a 16-bit slot does not travel";
    EXPECT_EQ(host.requests()[1].reply.writes.size(), 2u);
    EXPECT_EQ(host.requests()[2].decoded.lParamText, "mark = 17185");
    EXPECT_TRUE(host.exitSeen());
    EXPECT_EQ(host.requests()[3].message, kav::kExitCommandMessage);
}

// Runs `body` against a Host that writes its text log and its JSON lines
// into files of a temporary folder; gives back both logs.
struct Logs {
    std::string text, json;
};
Logs withLogs(Script script, const std::function<void(Host&)>& body) {
    const kavtest::TempFolder folder;
    const std::filesystem::path textPath = folder.file(L"text.log"), jsonPath = folder.file(L"log.jsonl");
    {
        const std::unique_ptr<FILE, int (*)(FILE*)> text(_wfopen(textPath.c_str(), L"wb"), &std::fclose),
            json(_wfopen(jsonPath.c_str(), L"wb"), &std::fclose);
        if (!text || !json) {
            ADD_FAILURE() << "cannot create the log files";
            return {};
        }
        Host host(std::move(script), HostOptions{text.get(), json.get()});
        body(host);
    }
    auto read = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    return {read(textPath), read(jsonPath)};
}

TEST(HostInProcess, WritesBothLogs) {
    const Logs logs = withLogs(Script{}, [](Host& host) {
        lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
        lib().call("VokCheckMarkElement", {5, 6});
        lib().call("VokExitCommand", {});
    });
    EXPECT_NE(logs.text.find("#1 VokCheckMarkElement  code 1609  lParam 0x00000000  8 payload bytes\n"
                            "    @0         4  mark = 5\n"
                            "    @4         4  element = 6\n"
                            "    -> answer 1  [default]"),
              std::string::npos)
        << logs.text;
    EXPECT_NE(logs.text.find("#2 ExitCommandMessage"), std::string::npos);
    const std::vector<Json> lines = hosttest::jsonLines(logs.json);
    ASSERT_EQ(lines.size(), 2u) << logs.json;
    // The decoded request first, then the message and its answer.
    EXPECT_EQ(lines[0].begin().key(), "code");
    EXPECT_EQ(lines[0].at("code"), 1609);
    EXPECT_EQ(lines[0].at("lParam"), 0);
    EXPECT_EQ(lines[0].at("exports"), Json::array({"VokCheckMarkElement"}));
    EXPECT_EQ(lines[0].at("seq"), 1);
    EXPECT_EQ(lines[0].at("message"), 1534);
    EXPECT_EQ(lines[0].at("answer"), 1);
    EXPECT_EQ(lines[1].at("message"), 1765);
}

TEST(HostInProcess, JapaneseTextsComeThroughBothWays) {
    ASSERT_EQ(GetACP(), 932u) << "the texts are code page 932";
    // ソ 83 5C, 表 95 5C, ポ 83 7C, 機 8B 40, ミ 83 7E: second bytes that are
    // '\', '|', '@' and '~' on their own.
    const char sent[] = "\x83\x5C\x95\x5C|\x83\x7C\\\x8B\x40\x83\x7E";
    const Logs logs = withLogs(parseScript("on VokCommandGuide answer 1 write 0 text \"予定表ソ\\\\ポ\"\n"), [&](Host& host) {
        lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
        EXPECT_EQ(lib().call("VokCommandGuide", Slots{}.ptr(sent)).eax, 1u);
        // host -> command: the script's text in code page 932, whole.
        EXPECT_STREQ(reinterpret_cast<const char*>(host.payload()), "\x97\x5C\x92\xE8\x95\x5C\x83\x5C\\\x83\x7C");
        // command -> host: decoded as the characters they are, only the real '\' escaped.
        ASSERT_EQ(host.requests().size(), 1u);
        ASSERT_EQ(host.requests()[0].decoded.segments.size(), 1u);
        EXPECT_EQ(host.requests()[0].decoded.segments[0].value, "\"ソ表|ポ\\\\機ミ\"");
        lib().call("VokExitCommand", {});
    });
    EXPECT_NE(logs.text.find("\"ソ表|ポ\\\\機ミ\""), std::string::npos) << logs.text;
    const std::vector<Json> lines = hosttest::jsonLines(logs.json);
    ASSERT_FALSE(lines.empty()) << logs.json;
    EXPECT_EQ(lines[0].at("segments").at(0).at("value"), "\"ソ表|ポ\\\\機ミ\"") << logs.json;
}

// A recording's line and the --json log's line are written without the JSON
// library; they must be what it writes for the same fields, in this order.
Json libraryLine(const LoggedRequest& r, bool recording) {
    const bool exit = r.message == kav::kExitCommandMessage;
    Json decoded = decodedJson(r.decoded), o = recording || exit ? Json::object() : decoded;
    o["seq"] = r.seq;
    o["message"] = r.message;
    if (exit) o["exports"] = {"VokExitCommand"};
    else if (recording) {
        o.update(decoded);
        o["request"] = hexText(r.request.data(), r.request.size());
    }
    o["answer"] = static_cast<int32_t>(r.reply.answer);
    if (exit) return o;
    o["writes"] = Json::array();
    for (const PayloadWrite& w : r.reply.writes) {
        Json x;
        x["offset"] = w.offset;
        if (!recording) x["size"] = w.bytes.size();
        x["bytes"] = hexText(w.bytes.data(), w.bytes.size());
        o["writes"].push_back(x);
    }
    return o;
}

TEST(SessionFile, LinesAreWhatTheJsonLibraryWrites) {
    struct Case {
        const char* exportName;
        std::string payload;
        uint32_t lParam;
    };
    const Case cases[] = {
        {"VokCommandGuide", std::string("quote \" back \\ tab \t nl \n cr \r bs \b ff \f ctl \x01\x1f del \x7f") + '\0', 0},
        {"VokCommandGuide", "\x83\x5C\x95\x5C|ok", 0},  // code page 932 without its zero: a problem too
        {"VokCalDist2P", std::string(32, '\x40'), 0},
        {"VokMarkElement", std::string(10, '\0'), 0},
        {"VokGetElementLayer", "", 0x12345},
        {"VokExitCommand", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exportName);
        LoggedRequest r;
        r.seq = 42;
        const ExportLayout* row = findLayout(c.exportName);
        ASSERT_NE(row, nullptr);
        r.message = row->code ? kav::kRequestMessage : kav::kExitCommandMessage;
        r.request.assign(c.payload.begin(), c.payload.end());
        if (row->code) r.decoded = decode(row->code, c.lParam, r.request.data(), r.request.size());
        r.reply.answer = 0xFFFFFFFE;
        r.reply.writes = {{3, {0x00, 0xAB, 0x7F}, ""}, {0, {}, ""}};
        for (const bool recording : {true, false}) {
            const std::string line = recording ? requestRecord(r) : jsonLogLine(r);
            EXPECT_EQ(line, jsonLine(libraryLine(r, recording))) << (recording ? "recording" : "log");
        }
    }
}

// ------------------------------------------------------------ kavhost.exe

TEST(KavhostExe, BadCommandLinesAndScriptsAreRefusedClearly) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string bad = std::string(dir) + "kavhost_bad.txt";
    {
        std::ofstream f(bad);
        f << "on 1807 answer 1\nwrite 0 i16 99999\n";
    }
    struct Case {
        std::string args;
        const char* says;
    };
    const Case cases[] = {
        {"", "give --command"},
        {"--frob", "unknown option '--frob'"},
        {"--script", "--script needs a file"},
        {"--serve soon", "--serve needs milliseconds"},
        {"--serve 10 --command x", "exclude each other"},
        {"--script Z:\\no\\such\\file --serve 0", "cannot read the script"},
        {"--script \"" + bad + "\" --serve 0", "line 2: 99999 does not fit i16"},
        {"--replay x.jsonl", "--replay needs --command"},
        {"--command x --replay Z:\\no\\such.jsonl", "cannot read the recorded session"},
        {"--command x --replay \"" + bad + "\"", "line 1: not a JSON value"},
        {"--window-file w.txt --command x", "--window-file goes with --serve"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ProcessRun r = runKavhost(c.args);
        EXPECT_EQ(r.exit, 2u);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    const ProcessRun unknown = runKavhost("--command No.SuchProgID");
    EXPECT_EQ(unknown.exit, 1u);
    EXPECT_NE(unknown.err.find("unknown ProgID No.SuchProgID"), std::string::npos) << unknown.err;
    DeleteFileA(bad.c_str());
}

// Every file kavhost reads is refused alike when it is hostile: exit 2 and
// one line naming the file, the line and (for a key at fault) the key.
TEST(KavhostExe, HostileFilesAreRefusedWithFileLineAndReason) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string head = "{\"session\":\"kavhost\",\"version\":2,\"cmdline\":0,\"script\":\"\"}\n";
    const std::string field = "{\"session\":\"kavlink\",\"version\":2,\"pid\":1,\"run\":1,\"cmdline\":0";
    const std::string start =
        "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":[null,0],\"nCode\":0,\"nCodeOut\":1,\"hr\":\"0x00000000\"}\n";
    const std::string tooLong = std::string(2 * (kav::kPayloadSize + 1), '0');
    struct Case {
        const char* name;
        std::string text;
        const char* mode;  // how kavhost reads the file
        const char* says;  // after "<file>: "
    };
    const Case cases[] = {
        {"deep.jsonl",
         head + "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":" + std::string(30000, '[') + std::string(30000, ']') + "}\n",
         "--show", "line 2: not a JSON value (nested deeper than 16 levels)"},
        {"deep-replay.jsonl", head + std::string(30000, '[') + std::string(30000, ']') + "\n", "--command x --replay",
         "line 2: not a JSON value (nested deeper than 16 levels)"},
        {"utf16.jsonl", "\xFF\xFE{\"", "--show", "line 1: the file is UTF-16 (it begins with FF FE)"},
        {"fffe.jsonl", head + start + "{\"seq\":2,\xFF\xFE\"message\":1765}\n", "--show",
         "line 3: bytes FF FE at byte 10 of the line: UTF-16 text"},
        {"time.jsonl", field + ",\"time\":5}\n", "--show", "line 1: \"time\" is not a string"},
        {"hex.jsonl", field + "}\n{\"seq\":1,\"message\":1534,\"code\":1500,\"lParam\":0,\"request\":\"" + tooLong + "\"}\n",
         "--show", "line 2: \"request\" is too long: 16381 bytes"},
        {"zero.txt", std::string("on 1807\nan\0swer 1\n", 18), "--serve 0 --script",
         "line 2: a NUL byte at byte 3 of the line"},
        {"code.txt", "on 99999999999\n", "--serve 0 --script", "line 1: command code 99999999999 is out of range"},
        {"text.txt", "on 1807\nwrite 0 text \"\xC3(\"\n", "--serve 0 --script", "line 2: not UTF-8 at byte 15 of the line"},
        {"big.jsonl", "", "--show", "line 1: the file goes on past 64 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string(dir) + c.name;
        {
            std::ofstream f(path, std::ios::binary);
            f.write(c.text.data(), static_cast<std::streamsize>(c.text.size()));
        }
        if (std::string(c.name) == "big.jsonl") {  // 1.5 GB of nothing, without writing them
            const kav::UniqueFileHandle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            LARGE_INTEGER size;
            size.QuadPart = 1536ll << 20;
            ASSERT_TRUE(SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(h.get()));
        }
        const ProcessRun r = runKavhost(std::string(c.mode) + " \"" + path + "\"");
        DeleteFileA(path.c_str());
        EXPECT_EQ(r.exit, 2u) << r.err;
        EXPECT_NE(r.err.find(std::string(c.name) + ": " + c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("kavhost:", 1), std::string::npos) << "one message: " << r.err;
    }
}

TEST(KavhostExe, Help) {
    const ProcessRun h = runKavhost("--help");
    EXPECT_EQ(h.exit, 0u);
    EXPECT_NE(h.out.find("usage: kavhost"), std::string::npos);
    EXPECT_NE(h.out.find("  3  --replay: the session differs from the recording"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("     event <method> <args...>      an event delivered from inside the command's"), std::string::npos)
        << h.out;
}

TEST(KavhostExe, ServeWritesItsWindowHandleToTheFile) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string file = std::string(dir) + "kavhost_window.txt";
    DeleteFileA(file.c_str());
    const ProcessRun r = runKavhost("--serve 0 --window-file \"" + file + "\"");
    EXPECT_EQ(r.exit, 0u) << r.err;
    std::ifstream in(file);
    long written = 0;
    ASSERT_TRUE(in >> written) << "no handle in " << file;
    EXPECT_NE(written, 0);
    EXPECT_NE(r.out.find("kavhost: window " + std::to_string(written) + "\n"), std::string::npos) << r.out;
    in.close();
    DeleteFileA(file.c_str());
    const ProcessRun bad = runKavhost("--serve 0 --window-file Z:\\no\\such\\folder\\w.txt");
    EXPECT_EQ(bad.exit, 1u);
    EXPECT_NE(bad.err.find("cannot write the window handle"), std::string::npos) << bad.err;
}

}  // namespace
