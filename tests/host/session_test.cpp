// Golden sessions (--record, --replay) and kavhost's diagnostics: the two
// commands replay their committed sessions, a changed request stops the
// replay with a decoded diff, and failures name their cause.
#include "sandbox.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace hosttest;

// The scripted runs behind the committed sessions in golden/.  The string
// box hook without and with a panel gives the commands' own requests.
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
     "ui click \"削除実行(&G)\"\n"
     "ui answer \"注意\" yes\n"
     "event VokProcStringBoxEventHook 5 6 0\n"
     "event VokProcStringBoxEventHook 5 6 0\n"},
    {"histclean",
     "on VokGetCSBHandle answer 0x4001\n"
     "on VokGetTextBoxStatus answer 1 write 18 text \"histclean\"\n"
     "ui wait \"各種履歴･情報ファイル削除\"\n"
     "ui click \"削除実行(&G)\"\n"
     "ui answer \"注意\" yes\n"
     "ui answer \"注意\" no\n"
     "ui answer \"注意\" yes\n"
     "event VokProcStringBoxEventHook 2 9 0\n"},
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

std::string joined(const std::vector<std::string>& ls) {
    std::string s;
    for (const std::string& l : ls) s += l + "\n";
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
        EXPECT_EQ(lines(golden)[0], kavhost::sessionHeader(0, g.script))
            << "golden/" << g.command << ".jsonl was recorded from another script: re-record it (golden/README.md)";
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
    std::string golden = slurp(goldenPath("csbclean"));
    ASSERT_TRUE(replace(golden, "\"request\":\"06 00 ", "\"request\":\"07 00 ")) << golden;
    const std::string changed = box.root + "\\changed.jsonl";
    std::ofstream(changed, std::ios::binary) << golden;
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --replay \"" + changed + "\"", box.root);
    EXPECT_EQ(r.exit, 3u) << r.out << r.err;
    EXPECT_NE(r.err.find("replay: request #4, VokGetTextBoxStatus (code 1824): segment itemID differs at payload "
                         "offset 0 (byte 0 of the segment)\n"
                         "  expected 07 00  (itemID = 7)\n"
                         "  actual   06 00  (itemID = 6)"),
              std::string::npos)
        << r.err;
}

// The probe's session, changed one way per row: each change is found and
// told in its own terms.
TEST(Replay, EveryDifferenceStopsWithItsDiff) {
    const std::string probe = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    const std::string session = tempDir() + "\\kavhost_probe_session.jsonl";
    const std::string script = writeScript("kavhost_probe_golden.txt",
                                           "ui answer \"probe question\" yes\nevent VokProcButtonEvent 7 8 1\n");
    const ProcessRun rec = hosttest::kavhost(probe + " --cmdline 2 --script \"" + script + "\" --record \"" + session + "\"", tempDir());
    ASSERT_EQ(rec.exit, 0u) << rec.out << rec.err;
    const std::vector<std::string> recorded = lines(slurp(session));
    ASSERT_EQ(recorded.size(), 4u) << joined(recorded);  // header, guide text, exit, panel handle
    EXPECT_NE(recorded[1].find("\"request\":\"79 65 73 00\""), std::string::npos) << recorded[1];

    struct Change {
        const char* what;
        size_t line;  // the line changed
        const char* from;
        const char* to;  // nullptr: drop the line; "": repeat it
        const char* says;
    };
    const Change changes[] = {
        {"unchanged", 0, "", "", nullptr},
        {"a byte of a text", 1, "\"request\":\"79", "\"request\":\"78",
         "request #1, VokCommandGuide (code 1500): segment message differs at payload offset 0 (byte 0 of the "
         "segment)\n  expected 78 65 73 00  (message = \"xes\")\n  actual   79 65 73 00  (message = \"yes\")"},
        {"the lParam", 3, "\"lParam\":7,", "\"lParam\":8,",
         "request #3, VokGetCSBHandle (code 1807): lParam differs\n  expected 0x00000008 (csbID = 8)\n"
         "  actual   0x00000007 (csbID = 7)"},
        {"another export", 1, "\"code\":1500,", "\"code\":1501,",
         "request #1: expected VokCommandMode (code 1501) (recording line 2), the command made VokCommandGuide "
         "(code 1500)"},
        {"one request fewer", 3, "", nullptr,
         "request #3: the command made VokGetCSBHandle (code 1807), but the recording ends after 2 requests"},
        {"one request more", 3, "", "",
         "request #4: the recording has VokGetCSBHandle (code 1807) next (line 5), but the command made no more "
         "requests"},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> ls = recorded;
        if (!c.to) ls.erase(ls.begin() + static_cast<long>(c.line));
        else if (!*c.to && c.says) ls.push_back(ls[c.line]);
        else if (*c.from) {
            ASSERT_TRUE(replace(ls[c.line], c.from, c.to)) << ls[c.line];
        }
        const std::string changed = writeScript("kavhost_probe_changed.jsonl", joined(ls));
        const ProcessRun r = hosttest::kavhost(probe + " --replay \"" + changed + "\"", tempDir());
        if (!c.says) {
            EXPECT_EQ(r.exit, 0u) << r.out << r.err;
            EXPECT_NE(r.out.find("message = \"yes\""), std::string::npos) << "the recording's script answered the box";
            continue;
        }
        EXPECT_EQ(r.exit, 3u) << r.out << r.err;
        EXPECT_NE(r.err.find(std::string("kavhost: replay: ") + c.says), std::string::npos) << r.err;
    }
    DeleteFileA(session.c_str());
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
         "--register \"" + lonely.dll + "\" --command kavhost.Probe --quiet", lonely.root,
         {"VokProcStartCmd returned 0x80004005", "kavlink.dll is neither beside kavhost_probe.dll"}},
        {"Invoke refuses an argument", exeDir() + "kavhost.exe",
         "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --quiet --script \"" + mismatch + "\"",
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
