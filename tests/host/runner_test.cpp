// kavhost.exe running a command component to its exit message, headless:
// a sandbox root folder with the component and kavlink.dll, sample files,
// and a script that works the dialog as a user would.
#include "sandbox.h"

#include <gtest/gtest.h>

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
        const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
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
        "ui click \"削除実行(&G)\"\n"
        "ui answer \"注意\" yes\n"
        "event VokProcButtonEvent 1 2 -1\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\" --json \"" + box.root +
                              "\\log.jsonl\"",
                          box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nCode = 1"), std::string::npos) << r.out;
    for (const char* f : {"a.csb", "b.csb", "c.txt"}) EXPECT_FALSE(exists(box.root + "\\sysinfo\\CSB\\" + f)) << f;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\keep\\inner.csb"));
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB"));
    EXPECT_NE(slurp(box.root + "\\log.jsonl").find("\"message\":1765"), std::string::npos);
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
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
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
    const ProcessRun r = kavhost("--command \"" + root + "\\csbclean.dll\" --script \"" + script + "\"", root);
    MoveFileW(japanese.c_str(), plain.c_str());  // back, for the sandbox's clean-up
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
}

TEST(RunCommand, CancelStillReportsTheEnd) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

TEST(RunCommand, AWindowThatNeverComesFailsWithoutHanging) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"no such caption\" 1500\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 1u) << r.out << r.err;
    EXPECT_NE(r.out.find("ui: FAILED"), std::string::npos) << r.out;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

TEST(RunCommand, StringBoxHookAsksForThePanelAndThenItsText) {
    NEEDS_COMMAND("csbclean");
    Sandbox box("csbclean");
    const std::string script = box.script("on VokGetCSBHandle answer 0\non VokGetCSBHandle answer 0x3001\n"
                                          "on VokGetTextBoxStatus answer 1 write 18 text \"typed\"\n"
                                          "event VokProcStringBoxEventHook 5 6 0\n"
                                          "event VokProcStringBoxEventHook 5 6 0\n"
                                          "ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
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
}

TEST(RunCommand, ADllThatIsNoComponentIsReported) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const ProcessRun r = kavhost("--command \"" + exeDir() + "kavlink.dll\"", tmp);
    EXPECT_EQ(r.exit, 1u);
    EXPECT_NE(r.err.find("type library"), std::string::npos) << r.err;
}

// ---- the tests' own probe component: the runner whatever commands exist

TEST(RunProbe, RegistersStartsAnswersTheQuestionAndCallsEvents) {
    const std::string script = writeScript("kavhost_probe_ok.txt",
                                           "on VokGetCSBHandle answer 0x2001\n"
                                           "ui answer \"probe question\" yes\n"
                                           "event VokProcButtonEvent 7 8 1\n");
    const ProcessRun r = kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 2"
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
    const ProcessRun r = kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 2"
                                 " --script \"" + script + "\"",
                                 tempDir());
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("message = \"no\""), std::string::npos) << r.out;
}

TEST(RunProbe, FailuresGiveTheHresultAndExitStatusOne) {
    const std::string dll = "--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe";
    // The start event fails before its exit message.
    const ProcessRun start = kavhost(dll + " --cmdline 3", tempDir());
    EXPECT_EQ(start.exit, 1u) << start.out;
    EXPECT_NE(start.out.find("VokProcStartCmd returned 0x80004005"), std::string::npos) << start.out;
    EXPECT_EQ(start.out.find("ExitCommandMessage"), std::string::npos);
    // An event that fails.
    const std::string script = writeScript("kavhost_probe_fail.txt", "event VokProcButtonEvent 1 2 99\n");
    const ProcessRun event = kavhost(dll + " --script \"" + script + "\"", tempDir());
    EXPECT_EQ(event.exit, 1u) << event.out;
    EXPECT_NE(event.out.find("VokProcButtonEvent returned 0x80070057"), std::string::npos) << event.out;
    // A method the component does not have.
    const std::string unknown = writeScript("kavhost_probe_unknown.txt", "event VokProcSystemEvent 1\n");
    const ProcessRun missing = kavhost(dll + " --script \"" + unknown + "\"", tempDir());
    EXPECT_EQ(missing.exit, 1u) << missing.out;
    EXPECT_NE(missing.out.find("does not know this method"), std::string::npos) << missing.out;
    // A ui step whose window never comes fails the run.
    const std::string wait = writeScript("kavhost_probe_wait.txt", "ui wait \"nothing\" 300\n");
    const ProcessRun never = kavhost(dll + " --script \"" + wait + "\"", tempDir());
    EXPECT_EQ(never.exit, 1u) << never.out;
    EXPECT_NE(never.out.find("ended before the ui steps were done"), std::string::npos) << never.out;
    // A failed step while a Yes/No box is up (which ignores its close box)
    // still ends the command: the box is answered No.
    const ProcessRun boxed = kavhost(dll + " --cmdline 2 --script \"" + wait + "\"", tempDir());
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
    const ProcessRun r = kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe --cmdline 4"
                                 " --script \"" + script + "\"",
                                 tempDir());
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("message = \"C:\\\\work checked\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
    // The close box ends the dialog too; a button that is not there fails the run.
    const std::string close = writeScript("kavhost_probe_close.txt", "ui wait \"probe dialog\"\nui close\n");
    const ProcessRun closed = kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe"
                                      " --cmdline 4 --script \"" + close + "\"", tempDir());
    EXPECT_EQ(closed.exit, 0u) << closed.out;
    EXPECT_EQ(closed.out.find("VokCommandGuide"), std::string::npos) << closed.out;
    const std::string missing = writeScript("kavhost_probe_nobutton.txt", "ui wait \"probe dialog\"\nui click \"Apply\"\n");
    const ProcessRun nobutton = kavhost("--register \"" + exeDir() + "kavhost_probe.dll\" --command kavhost.Probe"
                                        " --cmdline 4 --script \"" + missing + "\"", tempDir());
    EXPECT_EQ(nobutton.exit, 1u) << nobutton.out;
    EXPECT_NE(nobutton.out.find("no button \"Apply\""), std::string::npos) << nobutton.out;
    EXPECT_NE(nobutton.out.find("ExitCommandMessage"), std::string::npos) << "the failed driver closes the dialog";
}

}  // namespace
