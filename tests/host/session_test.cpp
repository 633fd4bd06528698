// Golden sessions (--record, --replay) and kavhost's diagnostics: the two
// commands replay their committed sessions, a changed request stops the
// replay with a decoded diff, and failures name their cause.
#include "sandbox.h"
#include "model/profile.h"
#include "recording/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace hosttest;
using kavhost::Json;

// The scripted runs behind the committed sessions in golden/.  The string
// box hook, delivered inside the dialog without and with a panel, gives the
// commands' own requests.
struct Golden {
    const char* command;
    const char* script;
};
const Golden kGolden[] = {
    {"csbclean",
     "on VokGetCSBHandle answer 0\n"
     "on VokGetCSBHandle answer 0x3001\n"
     "on VokGetTextBoxStatus answer 1 write 18 text \"typed\"\n"
     "ui wait \"コマンドサブボックス履歴の削除\"\n"
     "ui event VokProcStringBoxEventHook 5 6 0\n"
     "ui event VokProcStringBoxEventHook 5 6 0\n"
     "ui click \"削除実行(&G)\"\n"
     "ui answer \"注意\" yes\n"},
    {"histclean",
     "on VokGetCSBHandle answer 0x4001\n"
     "on VokGetTextBoxStatus answer 1 write 18 text \"histclean\"\n"
     "ui wait \"各種履歴･情報ファイル削除\"\n"
     "ui event VokProcStringBoxEventHook 2 9 0\n"
     "ui click \"削除実行(&G)\"\n"
     "ui answer \"注意\" yes\n"
     "ui answer \"注意\" no\n"
     "ui answer \"注意\" yes\n"},
};

std::string goldenPath(const char* command) { return exeDir() + "golden\\" + command + ".jsonl"; }

// Where KAV_RECORD_GOLDEN=1 writes the sessions: the source folder.
std::string goldenSource(const char* command) {
    std::string s = std::string("Z:") + KAV_GOLDEN_SOURCE + "/" + command + ".jsonl";
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The lines as kavhost writes them.
std::string joined(const std::vector<Json>& ls) {
    std::string s;
    for (const Json& l : ls) s += kavhost::jsonLine(l) + "\n";
    return s;
}

bool replace(std::string& s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    if (at == std::string::npos) return false;
    s.replace(at, from.size(), to);
    return true;
}

TEST(GoldenSession, EachCommandReplaysItsRecording) {
    const bool record = std::getenv("KAV_RECORD_GOLDEN") != nullptr;
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.command);
        if (!componentBuilt(g.command)) GTEST_SKIP() << g.command << ".dll is not built";
        if (GetACP() != 932) GTEST_SKIP() << "the commands' Japanese captions need code page 932";
        Sandbox box(g.command);
        if (record) {
            const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + box.script(g.script) +
                                             "\" --record \"" + goldenSource(g.command) + "\"",
                                         box.root);
            ASSERT_EQ(r.exit, 0u) << r.out << r.err;
            continue;
        }
        const std::string golden = slurp(goldenPath(g.command));
        ASSERT_FALSE(golden.empty()) << goldenPath(g.command);
        EXPECT_EQ(lines(golden)[0], kavhost::sessionHeader(0, g.script, "host-profile.json", kavhost::model::kProfileVersion))
            << "golden/" << g.command << ".jsonl was recorded from another script: re-record it (golden/README.md)";
        const std::vector<Json> ls = jsonLines(golden);
        ASSERT_GE(ls.size(), 3u);
        EXPECT_EQ(ls[1].at("event"), "VokProcStartCmd");
        EXPECT_EQ(ls[2].at("event"), "VokProcStringBoxEventHook");
        EXPECT_EQ(ls[2].at("inDialog"), true);
        EXPECT_EQ(ls.back().at("message"), 1765) << "the hooks' requests come before the exit message";
        const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --replay \"" + goldenPath(g.command) + "\"", box.root);
        EXPECT_EQ(r.exit, 0u) << r.out << r.err;
        EXPECT_NE(r.out.find("-> answer 1  [recording line "), std::string::npos) << "answered from the recording: " << r.out;
        EXPECT_NE(r.out.find("kavhost: the command ran to its end"), std::string::npos) << r.out;
    }
}

TEST(GoldenSession, OneChangedByteOfACommandsRequestIsNamed) {
    if (!componentBuilt("csbclean")) GTEST_SKIP() << "csbclean.dll is not built";
    if (GetACP() != 932) GTEST_SKIP() << "the commands' Japanese captions need code page 932";
    Sandbox box("csbclean");
    // The recording says itemID 7 where the command sends 6.
    std::vector<Json> golden = jsonLines(slurp(goldenPath("csbclean")));
    const auto itemSix = std::find_if(golden.begin(), golden.end(), [](const Json& l) {
        return l.value("request", std::string()).rfind("06 00 ", 0) == 0;
    });
    ASSERT_NE(itemSix, golden.end()) << "no request that starts with itemID 6";
    (*itemSix)["request"] = "07" + itemSix->at("request").get<std::string>().substr(2);
    const std::string changed = box.root + "\\changed.jsonl";
    std::ofstream(changed, std::ios::binary) << joined(golden);
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --replay \"" + changed + "\"", box.root);
    EXPECT_EQ(r.exit, 3u) << r.out << r.err;
    EXPECT_EQ(r.err.rfind("kavhost: replay: request #6, VokGetTextBoxStatus (code 1824): segment itemID differs at payload "
                         "offset 0 (byte 0 of the segment)\n"
                         "  expected 07 00  (itemID = 7)\n"
                         "  actual   06 00  (itemID = 6)",
                         0),
              0u)
        << r.err;
}

// The probe's session, changed one way per row: each change is found and
// told in its own terms, first on standard error, and stops the session
// there: no later event is delivered.
TEST(Replay, EveryDifferenceStopsWithItsDiff) {
    const std::string probe = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    const std::string session = tempDir() + "\\kavhost_probe_session.jsonl";
    const std::string script = writeScript("kavhost_probe_golden.txt",
                                           "on VokGetCSBHandle answer 0x2001\n"
                                           "event VokProcButtonEvent 7 8 1\n"
                                           "event VokProcPositionEvent 1 2.5 -3\n");
    const ProcessRun rec = hosttest::kavhost(probe + " --cmdline 5 --script \"" + script + "\" --record \"" + session + "\"", tempDir());
    ASSERT_EQ(rec.exit, 0u) << rec.out << rec.err;
    // header, start, button, its panel and guide text, position, its guide text, exit
    const std::vector<std::string> recorded = lines(slurp(session));
    ASSERT_EQ(recorded.size(), 8u) << slurp(session);
    // The lines as kavhost writes them, byte for byte.
    EXPECT_EQ(recorded[1], "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":[null,5],\"nCode\":0,\"nCodeOut\":1,"
                           "\"hr\":\"0x00000000\"}");
    EXPECT_EQ(recorded[2], "{\"seq\":2,\"event\":\"VokProcButtonEvent\",\"args\":[7,8,1],\"hr\":\"0x00000000\"}");
    const std::vector<Json> parsed = jsonLines(slurp(session));
    EXPECT_EQ(parsed[4].at("request"), "70 61 6E 65 6C 20 38 31 39 33 00") << "panel 8193";
    EXPECT_EQ(recorded[5], "{\"seq\":5,\"event\":\"VokProcPositionEvent\",\"args\":[1,2.5,-3.0],\"hr\":\"0x00000000\"}");

    enum Edit { Keep, Set, Drop, Again };
    struct Change {
        const char* what;
        Edit edit;
        size_t line;      // the line changed
        const char* key;  // Set: this key gets `value`
        Json value;
        const char* says;
        bool positionDelivered;
    };
    const Change changes[] = {
        {"unchanged", Keep, 0, "", {}, nullptr, true},
        {"the answer", Set, 3, "answer", 8194,
         "request #4, VokCommandGuide (code 1500): segment message differs at payload offset 9 (byte 9 of the segment)\n"
         "  expected 70 61 6E 65 6C 20 38 31 39 33 00  (message = \"panel 8193\")\n"
         "  actual   70 61 6E 65 6C 20 38 31 39 34 00  (message = \"panel 8194\")\n",
         false},
        {"the lParam", Set, 3, "lParam", 8,
         "request #3, VokGetCSBHandle (code 1807): lParam differs\n  expected 0x00000008 (csbID = 8)\n"
         "  actual   0x00000007 (csbID = 7)\n",
         false},
        {"another export", Set, 6, "code", 1501,
         "request #6: expected VokCommandMode (code 1501) (recording line 7), the command made VokCommandGuide "
         "(code 1500)\n",
         true},
        {"an event's HRESULT", Set, 2, "hr", "0x80004005",
         "VokProcButtonEvent (recording line 3) returned 0x00000000", false},
        {"one request fewer", Drop, 7, "", {},
         "request #7: the command made ExitCommandMessage (VokExitCommand), but the recording ends after 3 requests\n", true},
        {"one request more", Again, 6, "", {},
         "request #8: the recording has VokCommandGuide (code 1500) next (line 9), but the command made no more "
         "requests\n",
         true},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        std::vector<Json> ls = parsed;
        if (c.edit == Drop) {
            ls.erase(ls.begin() + static_cast<long>(c.line));
        } else if (c.edit == Again) {
            ls.push_back(ls[c.line]);
            ls.back()["seq"] = 8;
        } else if (c.edit == Set) {
            ASSERT_TRUE(ls[c.line].contains(c.key)) << ls[c.line];
            ls[c.line][c.key] = c.value;
        }
        const std::string changed = writeScript("kavhost_probe_changed.jsonl", joined(ls));
        const ProcessRun r = hosttest::kavhost(probe + " --replay \"" + changed + "\"", tempDir());
        EXPECT_EQ(r.out.find("VokProcPositionEvent(posType 1, xPos 2.5, yPos -3)") != std::string::npos, c.positionDelivered)
            << r.out;
        if (!c.says) {
            EXPECT_EQ(r.exit, 0u) << r.out << r.err;
            EXPECT_EQ(r.err, "");
            EXPECT_NE(r.out.find("-> answer 8193  [recording line 4]"), std::string::npos) << r.out;
            continue;
        }
        EXPECT_EQ(r.exit, 3u) << r.out << r.err;
        EXPECT_EQ(r.err.rfind(std::string("kavhost: replay: ") + c.says, 0), 0u) << r.err;
    }
    DeleteFileA(session.c_str());
}

// A recording of the first format (no event lines) still replays: its
// events are its script's event statements.
TEST(Replay, VersionOneRecordingsStillReplay) {
    const std::string probe = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    const std::string v1 =
        "{\"session\":\"kavhost\",\"version\":1,\"cmdline\":5,\"script\":\"event VokProcPositionEvent 1 0 0\\n\"}\n"
        "{\"seq\":1,\"message\":1534,\"code\":1500,\"lParam\":0,\"exports\":[\"VokCommandGuide\"],"
        "\"request\":\"70 6F 73 69 74 69 6F 6E 00\",\"answer\":1,\"writes\":[]}\n"
        "{\"seq\":2,\"message\":1765,\"exports\":[\"VokExitCommand\"],\"answer\":1}\n";
    std::string changed = v1;
    ASSERT_TRUE(replace(changed, "\"70 6F", "\"71 6F"));
    const std::pair<std::string, unsigned> runs[] = {{v1, 0u}, {changed, 3u}};
    for (const auto& [text, exit] : runs) {
        const ProcessRun r =
            hosttest::kavhost(probe + " --replay \"" + writeScript("kavhost_probe_v1.jsonl", text) + "\"", tempDir());
        EXPECT_EQ(r.exit, exit) << r.out << r.err;
        if (exit == 3u) {
            EXPECT_EQ(r.err.rfind("kavhost: replay: request #3, VokCommandGuide (code 1500): segment message differs at "
                                  "payload offset 0",
                                  0),
                      0u)
                << r.err;
        }
    }
}

// Recordings are read strictly, each fault with its line; event lines are
// ordered by seq, so a writer that appends an event's line when the event
// returns is read the same.
TEST(SessionFile, ReadsInSeqOrderAndRefusesBadLines) {
    const std::string head = "{\"session\":\"kavhost\",\"version\":2,\"cmdline\":0,\"script\":\"\"}\n";
    const std::string start =
        "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":[null,4],\"nCode\":0,\"nCodeOut\":1,\"hr\":\"0x00000000\"}\n";
    const std::string exitLine = "{\"seq\":2,\"message\":1765,\"exports\":[\"VokExitCommand\"],\"answer\":1}\n";
    const kavhost::Session s = kavhost::parseSession(head + exitLine + start);
    ASSERT_EQ(s.steps.size(), 2u);
    EXPECT_TRUE(s.steps[0].isEvent);
    EXPECT_EQ(s.steps[0].line, 3);
    EXPECT_EQ(s.cmdLine, 4) << "the start event's nCmdLine";
    struct Bad {
        std::string text;
        int line;
        const char* says;
    };
    const Bad cases[] = {
        {"{\"session\":\"kavhost\",\"version\":3}\n", 1, "unknown session version 3"},
        {head + "{\"seq\":1,\"event\":\"VokProcButtonEvent\",\"args\":[1,2],\"hr\":\"0x00000000\"}\n", 2,
         "takes 3 arguments besides nCode"},
        {head + "{\"seq\":1,\"event\":\"VokProcButtonEvent\",\"args\":[1,2,70000],\"hr\":\"0x00000000\"}\n", 2,
         "argument 3 of VokProcButtonEvent must be a 16-bit integer"},
        {head + "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":[1,0],\"nCode\":0,\"nCodeOut\":1,\"hr\":\"0\"}\n", 2,
         "\"hr\" is not 0x and 8 hex digits"},
        {head + "{\"seq\":1,\"event\":\"VokProcStartCmd\",\"args\":[1,0],\"hr\":\"0x00000000\"}\n", 2, "no \"nCode\""},
        {head + exitLine, 2, "does not begin with VokProcStartCmd"},
        {head + start + "{\"seq\":1,\"message\":1765,\"answer\":1}\n", 3, "seq 1 also stands on line 2"},
        {head + start + "{\"message\":1765,\"answer\":1}\n", 3, "no \"seq\""},
        {"{\"session\":\"kavhost\",\"version\":1}\n" + start, 2, "an event line in a version 1 session"},
        {head + "on 1807 answer 1\n", 2, "not a JSON value"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.text);
        try {
            kavhost::parseSession(b.text);
            ADD_FAILURE() << "accepted";
        } catch (const kavhost::SessionError& e) {
            EXPECT_EQ(e.line, b.line);
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
        }
    }
}

// Failures that name their cause, on standard error, also with --quiet.
TEST(Diagnosis, FailuresNameTheirCause) {
    // kavhost and the probe alone in a folder: no kavlink.dll anywhere near.
    Sandbox lonely("kavhost_probe");
    DeleteFileA((lonely.root + "\\kavlink.dll").c_str());
    ASSERT_TRUE(CopyFileA((exeDir() + "kavhost.exe").c_str(), (lonely.root + "\\kavhost.exe").c_str(), FALSE));
    const std::string mismatch = writeScript("kavhost_probe_mismatch.txt", "event VokProcButtonEvent 1 2 98\n");
    struct Case {
        const char* what;
        std::string program, args, folder;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {"a DLL the component imports is missing", exeDir() + "kavhost.exe",
         "--register \"" + exeDir() + "kavhost_probe_needs.dll\" --command kavhost.Probe", tempDir(),
         {"cannot load", "kavhost_probe_needs.dll imports kavhost_probe_dep.dll, which is neither beside it"}},
        {"kavlink.dll is not beside the component", lonely.root + "\\kavhost.exe",
         // (a kavhost.exe without the kit's share folder has no profile: --no-model)
         "--register \"" + lonely.dll + "\" --command kavhost.Probe --quiet --no-model", lonely.root,
         {"VokProcStartCmd returned 0x80004005", "kavlink.dll is neither beside kavhost_probe.dll"}},
        {"Invoke refuses an argument", exeDir() + "kavhost.exe",
         "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 5 --quiet --script \"" +
             mismatch + "\"",
         tempDir(),
         {"VokProcButtonEvent (script line 1) returned 0x80020005 (",
          "argument 3 of 3 (puArgErr 0); kavhost passed (VT_I2, VT_I2, VT_I2)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessRun r = kavtest::runProcess(c.program, c.args, c.folder);
        EXPECT_EQ(r.exit, 1u) << r.out << r.err;
        for (const std::string& s : c.says) EXPECT_NE(r.err.find(s), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("see the log"), std::string::npos) << r.err;
        if (c.args.find("--quiet") != std::string::npos) {
            EXPECT_EQ(r.out, "") << "--quiet writes no log";
        }
    }
    // Put the probe's registration back where the other tests expect it.
    hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --serve 0 --quiet", tempDir());
}

}  // namespace
