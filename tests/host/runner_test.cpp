// kavhost.exe running a command component to its exit message, headless:
// a sandbox root folder with the component and kavlink.dll, sample files,
// and a script that works the dialog as a user would.
#include "sandbox.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace hosttest;

#define NEEDS_COMMAND(cmd)                                                                        \
    if (!componentBuilt(cmd)) GTEST_SKIP() << cmd << ".dll is not built";                            \
    if (GetACP() != 932) GTEST_SKIP() << "the commands' Japanese texts need code page 932 (LANG=ja_JP.UTF-8, as ./kav test sets)"

// Closing the dialog with its close box ends either command like a cancel:
// the exit message, nCode 1, nothing deleted.
TEST(RunCommand, TheCloseBoxEndsEitherCommand) {
    const std::pair<const char*, const char*> commands[] = {
        {"csbclean", "コマンドサブボックス履歴の削除"},
        {"histclean", "各種履歴･情報ファイル削除"},
    };
    for (const auto& [cmd, caption] : commands) {
        SCOPED_TRACE(cmd);
        NEEDS_COMMAND(cmd);
        Sandbox box(cmd);
        const std::string script = box.script(std::string("ui wait \"") + caption + "\"\nui close\n");
        const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
        EXPECT_EQ(r.exit, 0u) << r.out << r.err;
        EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("VokProcStartCmd returned 0x00000000"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("nCode = 1"), std::string::npos) << r.out;
        EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
        EXPECT_TRUE(exists(box.root + "\\sysdata\\FileOpenDlg.ini"));
    }
}

TEST(RunCommand, CsbcleanDeletesTheHistoryFilesAndEnds) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script(
        "ui wait \"コマンドサブボックス履歴の削除\"\n"
        "ui event VokProcButtonEvent 1 2 -1\n"
        "ui click \"削除実行(&G)\"\n"
        "ui answer \"注意\" yes\n");
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\" --json \"" + box.root +
                              "\\log.jsonl\"",
                          box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nCode = 1"), std::string::npos) << r.out;
    for (const char* f : {"a.csb", "b.csb", "c.txt"}) EXPECT_FALSE(exists(box.root + "\\sysinfo\\CSB\\" + f)) << f;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\keep\\inner.csb"));
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB"));
    const std::vector<kavhost::Json> log = jsonLines(slurp(box.root + "\\log.jsonl"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().at("message"), 1765) << "the --json log ends with the exit message";
}

TEST(RunCommand, HistcleanDeletesTheThreeFilesAndEnds) {
    NEEDS_COMMAND("histclean");
    Sandbox box("histclean");
    const std::string script = box.script(
        "ui wait \"各種履歴･情報ファイル削除\"\n"
        "ui click \"削除実行(&G)\"\n"
        "ui answer \"注意\" yes\n"
        "ui answer \"注意\" no\n"
        "ui answer \"注意\" yes\n");
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_FALSE(exists(box.root + "\\sysdata\\FileOpenDlg.ini"));
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\BndAttrData.ini")) << "answered No";
    EXPECT_FALSE(exists(box.root + "\\sysinfo\\DrwAttrData.ini"));
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\other.ini"));
}

// A root folder whose name holds characters with 0x5C and 0x7C second bytes
// in code page 932 (ソ, 表, ポ): kavhost registers and runs the component
// from there, and the component finds its folder.
TEST(RunCommand, AComponentUnderAJapaneseFolderNameRuns) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    box.script("ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n");
    const std::wstring plain(box.root.begin(), box.root.end());
    const std::wstring japanese = plain + L"_\u30BD\u8868\u30DD";
    ASSERT_TRUE(MoveFileW(plain.c_str(), japanese.c_str()));
    char ansi[MAX_PATH * 2];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, japanese.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr), 0);
    const std::string root = ansi;
    const std::string script = root + "\\script.txt";
    const ProcessRun r = hosttest::kavhost("--command \"" + root + "\\csbclean.dll\" --script \"" + script + "\"", root);
    MoveFileW(japanese.c_str(), plain.c_str());  // back, for the sandbox's clean-up
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
}

TEST(RunCommand, CancelStillReportsTheEnd) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n");
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

TEST(RunCommand, AWindowThatNeverComesFailsWithoutHanging) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"no such caption\" 1500\n");
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 1u) << r.out << r.err;
    EXPECT_NE(r.out.find("ui: FAILED"), std::string::npos) << r.out;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

// Nothing left to close the dialog: the session gives up after --timeout,
// closes the dialog (the command still ends with its exit message) and
// names what it waited for.
TEST(RunCommand, ASessionWithoutProgressFailsNamingWhatItWaitedFor) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    // A recording of twopoint, and csbclean's own recording without the
    // script that worked its dialog (as a field session has none).
    std::string twopoint = slurp(std::string("Z:") + KAV_EXAMPLES + "/twopoint/completed.jsonl");
    std::string unscripted = slurp(exeDir() + "golden\\csbclean.jsonl");
    ASSERT_FALSE(twopoint.empty());
    ASSERT_FALSE(unscripted.empty());
    const size_t header = unscripted.find('\n');
    unscripted.replace(0, header, R"({"session":"kavhost","version":2,"cmdline":0,"script":""})");
    const std::string twopointFile = box.root + "\\twopoint.jsonl", unscriptedFile = box.root + "\\unscripted.jsonl";
    std::ofstream(twopointFile, std::ios::binary) << twopoint;
    std::ofstream(unscriptedFile, std::ios::binary) << unscripted;
    const std::string dialog = "the dialog \"コマンドサブボックス履歴の削除\"";
    const struct {
        const char* what;
        std::string args, waited;
    } cases[] = {
        {"no script", "", dialog + " to close (no ui step is left to close it)"},
        {"twopoint's recording", " --replay \"" + twopointFile + "\"",
         "the next recorded request, #1 VokGetEventMask (code 1900) (recording line 3), with " + dialog + " open"},
        {"a recording without its script", " --replay \"" + unscriptedFile + "\"",
         "the next recorded event, VokProcStringBoxEventHook(5, 6, 0) inside the dialog (recording line 3), with " +
             dialog + " open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --timeout 3000" + c.args, box.root);
        EXPECT_EQ(r.exit, 1u) << r.out << r.err;
        EXPECT_NE(r.err.find("no progress for 3000 ms (--timeout): kavhost waited for " + c.waited), std::string::npos)
            << r.err;
        EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << "the dialog was not closed\n" << r.out;
        EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
    }
}

TEST(RunCommand, StringBoxHookAsksForThePanelAndThenItsText) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("on VokGetCSBHandle answer 0\non VokGetCSBHandle answer 0x3001\n"
                                          "on VokGetTextBoxStatus answer 1 write 18 text \"typed\"\n"
                                          "ui wait \"コマンドサブボックス履歴の削除\"\n"
                                          "ui event VokProcStringBoxEventHook 5 6 0\n"
                                          "ui event VokProcStringBoxEventHook 5 6 0\n"
                                          "ui click \"中止(&C)\"\n");
    const ProcessRun r = hosttest::kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    // First hook: no panel, one request.  Second: the panel, then its text box.
    const size_t first = r.out.find("VokGetCSBHandle  code 1807  lParam 0x00000005 (csbID = 5)");
    ASSERT_NE(first, std::string::npos) << r.out;
    const size_t second = r.out.find("VokGetCSBHandle  code 1807", first + 1);
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(first, second - first).find("code 1824"), std::string::npos) << "asked for a text box of no panel";
    const size_t status = r.out.find("VokGetTextBoxStatus  code 1824  lParam 0x00003001 (csbHandle = 12289)  278 payload bytes");
    EXPECT_NE(status, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("@0         2  itemID = 6", status), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("@2       276  status = text \"\"", status), std::string::npos) << "sent zero-filled";
    EXPECT_NE(r.out.find("<- wrote text \"typed\" at @18 (6 bytes, into status +16; now status = text \"typed\")", status), std::string::npos)
        << "the log shows the value written back";
    EXPECT_NE(r.out.find("ExitCommandMessage", status), std::string::npos) << "the hooks come inside the dialog";
}

TEST(RunCommand, ADllThatIsNoComponentIsReported) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const ProcessRun r = hosttest::kavhost("--command \"" + exeDir() + "kavlink.dll\"", tmp);
    EXPECT_EQ(r.exit, 1u);
    EXPECT_NE(r.err.find("type library"), std::string::npos) << r.err;
}

// ---- the tests' own probe component: the runner whatever commands exist

TEST(RunProbe, RegistersStartsAnswersTheQuestionAndCallsEvents) {
    const std::string script = writeScript("kavhost_probe_ok.txt",
                                           "on VokGetCSBHandle answer 0x2001\n"
                                           "ui event VokProcButtonEvent 7 8 1\n"  // while the question is up
                                           "ui answer \"probe question\" yes\n");
    const ProcessRun r = hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 2"
                                 " --script \"" + script + "\"",
                                 tempDir());
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("ui: message box \"probe question\": continue? -> yes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("VokCommandGuide  code 1500"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("message = \"yes\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos);
    EXPECT_NE(r.out.find("nCode = 1"), std::string::npos);
    EXPECT_NE(r.out.find("VokGetCSBHandle  code 1807  lParam 0x00000007 (csbID = 7)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-> answer 8193  [script line 1]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("VokProcButtonEvent returned 0x00000000"), std::string::npos) << r.out;
}

TEST(RunProbe, AnsweringNoTakesTheOtherPath) {
    const std::string script = writeScript("kavhost_probe_no.txt", "ui answer \"probe question\" no\n");
    const ProcessRun r = hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 2"
                                 " --script \"" + script + "\"",
                                 tempDir());
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("message = \"no\""), std::string::npos) << r.out;
}

TEST(RunProbe, FailuresGiveTheHresultAndExitStatusOne) {
    const std::string dll = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    // The start event fails before its exit message.
    const ProcessRun start = hosttest::kavhost(dll + " --cmdline 3", tempDir());
    EXPECT_EQ(start.exit, 1u) << start.out;
    EXPECT_NE(start.out.find("VokProcStartCmd returned 0x80004005"), std::string::npos) << start.out;
    EXPECT_EQ(start.out.find("ExitCommandMessage"), std::string::npos);
    // An event that fails (the command stays after its start event).
    const std::string script = writeScript("kavhost_probe_fail.txt", "event VokProcButtonEvent 1 2 99\n");
    const ProcessRun event = hosttest::kavhost(dll + " --cmdline 5 --script \"" + script + "\"", tempDir());
    EXPECT_EQ(event.exit, 1u) << event.out;
    EXPECT_NE(event.out.find("VokProcButtonEvent returned 0x80070057"), std::string::npos) << event.out;
    // A method the component does not have.
    const std::string unknown = writeScript("kavhost_probe_unknown.txt", "event VokProcSystemEvent 1\n");
    const ProcessRun missing = hosttest::kavhost(dll + " --cmdline 5 --script \"" + unknown + "\"", tempDir());
    EXPECT_EQ(missing.exit, 1u) << missing.out;
    EXPECT_NE(missing.out.find("does not know this method"), std::string::npos) << missing.out;
    // A ui step whose window never comes fails the run.
    const std::string wait = writeScript("kavhost_probe_wait.txt", "ui wait \"nothing\" 300\n");
    const ProcessRun never = hosttest::kavhost(dll + " --script \"" + wait + "\"", tempDir());
    EXPECT_EQ(never.exit, 1u) << never.out;
    EXPECT_NE(never.err.find("the session ended before the ui steps were done (next: script line 1)"), std::string::npos)
        << never.err;
    // A failed step while a Yes/No box is up (which ignores its close box)
    // still ends the command: the box is answered No.
    const ProcessRun boxed = hosttest::kavhost(dll + " --cmdline 2 --script \"" + wait + "\"", tempDir());
    EXPECT_EQ(boxed.exit, 1u) << boxed.out;
    EXPECT_NE(boxed.out.find("message = \"no\""), std::string::npos) << boxed.out;
    EXPECT_NE(boxed.out.find("ExitCommandMessage"), std::string::npos) << boxed.out;
}

TEST(RunProbe, WorksADialogAsAUserWould) {
    const std::string script = writeScript("kavhost_probe_dialog.txt",
                                           "ui wait \"probe dialog\" 10000\n"
                                           "ui settext 0 \"C:\\\\work\"\n"
                                           "ui check \"Confirm\"\n"
                                           "ui uncheck \"Confirm\"\n"
                                           "ui check \"Confirm\"\n"
                                           "ui click \"OK(&O)\"\n");
    const ProcessRun r = hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 4"
                                 " --script \"" + script + "\"",
                                 tempDir());
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("message = \"C:\\\\work checked\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
    // The close box ends the dialog too; a button that is not there fails the run.
    const std::string close = writeScript("kavhost_probe_close.txt", "ui wait \"probe dialog\"\nui close\n");
    const ProcessRun closed = hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe"
                                      " --cmdline 4 --script \"" + close + "\"", tempDir());
    EXPECT_EQ(closed.exit, 0u) << closed.out;
    EXPECT_EQ(closed.out.find("VokCommandGuide"), std::string::npos) << closed.out;
    const std::string missing = writeScript("kavhost_probe_nobutton.txt", "ui wait \"probe dialog\"\nui click \"Apply\"\n");
    const ProcessRun nobutton = hosttest::kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe"
                                        " --cmdline 4 --script \"" + missing + "\"", tempDir());
    EXPECT_EQ(nobutton.exit, 1u) << nobutton.out;
    EXPECT_NE(nobutton.out.find("no button \"Apply\""), std::string::npos) << nobutton.out;
    EXPECT_NE(nobutton.out.find("ExitCommandMessage"), std::string::npos) << "the failed driver closes the dialog";
}

// When a session passes and how it fails: the command may end in any event,
// and nothing may come after its end.
TEST(RunProbe, TheSessionEndsWhereTheCommandSays) {
    struct Case {
        const char* what;
        int cmdLine;
        const char* script;
        unsigned exit;
        const char* says;                  // the first line on standard error (after "kavhost: ")
        std::vector<const char*> inOrder;  // in the readable log, in this order
        const char* lacks;                 // nowhere in the log
        const char* also = nullptr;        // further down standard error
    };
    const Case cases[] = {
        {"ends in a later event", 5, "event VokProcButtonEvent 7 8 1\nevent VokProcPositionEvent 1 0 0\n", 0, nullptr,
         {"VokProcStartCmd returned 0x00000000", "VokProcButtonEvent(csbID 7, itemID 8, State 1)",
          "message = \"panel 0\"", "VokProcPositionEvent(posType 1, xPos 0, yPos 0)", "ExitCommandMessage",
          "VokProcPositionEvent returned 0x00000000", "kavhost: the command ran to its end"},
         nullptr},
        {"the events run out", 5, "event VokProcButtonEvent 7 8 1\n", 1,
         "the events ran out before the command ended: the last was VokProcButtonEvent (script line 1)\n",
         {"VokProcButtonEvent returned 0x00000000"}, "ExitCommandMessage"},
        {"no event after the start", 5, "", 1, "the events ran out before the command ended: the last was VokProcStartCmd\n",
         {"VokProcStartCmd returned 0x00000000"}, "ExitCommandMessage"},
        {"a request after the exit, from the start event", 6, "", 1,
         "VokCommandGuide (code 1500, seq 3) arrived after the exit message, made by VokProcStartCmd\n",
         {"ExitCommandMessage", "message = \"after exit\""}, nullptr},
        {"a request after the exit, from a later event, and an event left", 5,
         "event VokProcButtonEvent 7 8 1\nevent VokProcPositionEvent 2 0 0\nevent VokProcButtonEvent 1 1 1\n", 1,
         "VokCommandGuide (code 1500, seq 7) arrived after the exit message, made by VokProcPositionEvent (script line 2)\n",
         {"ExitCommandMessage", "message = \"position\""}, "VokProcButtonEvent(csbID 1",
         "kavhost: the command ended in VokProcPositionEvent (script line 2); VokProcButtonEvent (script line 3) was not "
         "delivered\n"},
        {"events left when the command has ended", 0,
         "event VokProcButtonEvent 7 8 1\nevent VokProcPositionEvent 1 0 0\n", 1,
         "the command ended in VokProcStartCmd; VokProcButtonEvent (script line 1) was not delivered (nor 1 more)\n",
         {"ExitCommandMessage"}, "VokProcButtonEvent("},
        {"an event inside the dialog", 4,
         "ui wait \"probe dialog\" 10000\nui event VokProcButtonEvent 7 8 1\nui click \"OK(&O)\"\n", 0, nullptr,
         {"VokProcButtonEvent(csbID 7, itemID 8, State 1) inside the dialog", "message = \"panel 0 inside the dialog\"",
          "VokProcButtonEvent returned 0x00000000", "ExitCommandMessage", "VokProcStartCmd returned 0x00000000"},
         nullptr},
        {"a failing event inside the dialog", 4,
         "ui wait \"probe dialog\" 10000\nui event VokProcButtonEvent 7 8 99\nui click \"OK(&O)\"\n", 1,
         "VokProcButtonEvent (script line 2) returned 0x80070057",
         {"VokProcButtonEvent returned 0x80070057", "ExitCommandMessage"}, "message = \" checked\""},
    };
    const std::string dll = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string script = writeScript("kavhost_probe_session.txt", c.script);
        const ProcessRun r =
            hosttest::kavhost(dll + " --cmdline " + std::to_string(c.cmdLine) + " --script \"" + script + "\"", tempDir());
        EXPECT_EQ(r.exit, c.exit) << r.out << r.err;
        if (c.says) {
            EXPECT_EQ(r.err.rfind(std::string("kavhost: ") + c.says, 0), 0u) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
        size_t at = 0;
        for (const char* s : c.inOrder) {
            at = r.out.find(s, at);
            ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << s << "\n" << r.out;
        }
        if (c.lacks) {
            EXPECT_EQ(r.out.find(c.lacks), std::string::npos) << r.out;
        }
        if (c.also) {
            EXPECT_NE(r.err.find(c.also), std::string::npos) << r.err;
        }
    }
}

}  // namespace
