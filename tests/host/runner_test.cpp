// kavhost.exe running a command component to its exit message, headless:
// a sandbox root folder with the component and kavlink.dll, sample files,
// and a script that works the dialog as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string exeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

bool exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

void touch(const std::string& p) { std::ofstream(p) << "sample\n"; }

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ProcessRun {
    DWORD exit = 0;
    std::string out, err;
};

ProcessRun kavhost(const std::string& args, const std::string& dir) {
    const std::string out = dir + "\\out.txt", err = dir + "\\err.txt";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE ho = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    HANDLE he = CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = ho;
    si.hStdError = he;
    PROCESS_INFORMATION pi{};
    std::string cmd(1, '"');
    cmd += exeDir();
    cmd += "kavhost.exe\" ";
    cmd += args;
    ProcessRun r;
    r.exit = 0xDEAD;
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 0xDEAD);
        GetExitCodeProcess(pi.hProcess, &r.exit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(ho);
    CloseHandle(he);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// A sandbox root: the component and kavlink.dll, sysinfo\CSB with sample
// files (and a subfolder that must survive), sysdata with the open history.
class Sandbox {
public:
    explicit Sandbox(const char* component) {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        root = std::string(tmp) + "kavhost_sandbox_" + component;
        wipe(root);
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo\\CSB").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysinfo\\CSB\\keep").c_str(), nullptr);
        CreateDirectoryA((root + "\\sysdata").c_str(), nullptr);
        for (const char* f : {"a.csb", "b.csb", "c.txt"}) touch(root + "\\sysinfo\\CSB\\" + f);
        touch(root + "\\sysinfo\\CSB\\keep\\inner.csb");
        touch(root + "\\sysdata\\FileOpenDlg.ini");
        touch(root + "\\sysinfo\\BndAttrData.ini");
        touch(root + "\\sysinfo\\DrwAttrData.ini");
        touch(root + "\\sysinfo\\other.ini");
        dll = root + "\\" + component + ".dll";
        CopyFileA((exeDir() + component + ".dll").c_str(), dll.c_str(), FALSE);
        CopyFileA((exeDir() + "kavlink.dll").c_str(), (root + "\\kavlink.dll").c_str(), FALSE);
    }
    ~Sandbox() { wipe(root); }

    std::string script(const std::string& text) {
        const std::string p = root + "\\script.txt";
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    static void wipe(const std::string& dir) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            const std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            const std::string p = dir + "\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) wipe(p);
            else DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        RemoveDirectoryA(dir.c_str());
    }

    std::string root, dll;
};

bool componentBuilt(const char* name) { return exists(exeDir() + name + ".dll"); }

#define NEEDS_DIALOG(cmd, built)                                                                  \
    if (!componentBuilt(cmd)) GTEST_SKIP() << cmd ".dll is not built";                            \
    if (!(built)) GTEST_SKIP() << cmd "'s dialog is not built yet (placeholder start steps)";       \
    if (GetACP() != 932) GTEST_SKIP() << "the commands' Japanese texts need code page 932 (LANG=ja_JP.UTF-8, as ./kav test sets)"

TEST(RunCommand, ComponentsWithoutDialogRunToTheirExit) {
    for (const auto& [cmd, dialog] : {std::pair<const char*, bool>{"csbclean", KAV_CSBCLEAN_DIALOG},
                                      std::pair<const char*, bool>{"histclean", KAV_HISTCLEAN_DIALOG}}) {
        if (!componentBuilt(cmd) || dialog) continue;
        SCOPED_TRACE(cmd);
        Sandbox box(cmd);
        const ProcessRun r = kavhost("--command \"" + box.dll + "\"", box.root);
        EXPECT_EQ(r.exit, 0u) << r.out << r.err;
        EXPECT_NE(r.out.find("ExitCommandMessage"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("VokProcStartCmd returned 0x00000000"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("nCode = 1"), std::string::npos) << r.out;
    }
}

TEST(RunCommand, CsbcleanDeletesTheHistoryFilesAndEnds) {
    NEEDS_DIALOG("csbclean", KAV_CSBCLEAN_DIALOG);
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
    NEEDS_DIALOG("histclean", KAV_HISTCLEAN_DIALOG);
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

TEST(RunCommand, CancelStillReportsTheEnd) {
    NEEDS_DIALOG("csbclean", KAV_CSBCLEAN_DIALOG);
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 0u) << r.out << r.err;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

TEST(RunCommand, AWindowThatNeverComesFailsWithoutHanging) {
    NEEDS_DIALOG("csbclean", KAV_CSBCLEAN_DIALOG);
    Sandbox box("csbclean");
    const std::string script = box.script("ui wait \"no such caption\" 1500\n");
    const ProcessRun r = kavhost("--command \"" + box.dll + "\" --script \"" + script + "\"", box.root);
    EXPECT_EQ(r.exit, 1u) << r.out << r.err;
    EXPECT_NE(r.out.find("ui: FAILED"), std::string::npos) << r.out;
    EXPECT_TRUE(exists(box.root + "\\sysinfo\\CSB\\a.csb"));
}

TEST(RunCommand, StringBoxHookAsksForThePanelAndThenItsText) {
    if (!componentBuilt("csbclean")) GTEST_SKIP() << "csbclean.dll is not built";
    Sandbox box("csbclean");
    std::string text = "on VokGetCSBHandle answer 0\non VokGetCSBHandle answer 0x3001\n"
                       "on VokGetTextBoxStatus answer 1 write 18 text \"typed\"\n"
                       "event VokProcStringBoxEventHook 5 6 0\n"
                       "event VokProcStringBoxEventHook 5 6 0\n";
    if (KAV_CSBCLEAN_DIALOG) text += "ui wait \"コマンドサブボックス履歴の削除\"\nui click \"中止(&C)\"\n";
    const std::string script = box.script(text);
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
}

TEST(RunCommand, ADllThatIsNoComponentIsReported) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const ProcessRun r = kavhost("--command \"" + exeDir() + "kavlink.dll\"", tmp);
    EXPECT_EQ(r.exit, 1u);
    EXPECT_NE(r.err.find("type library"), std::string::npos) << r.err;
}

// ---- the tests' own probe component: the runner whatever commands exist

std::string writeScript(const std::string& name, const std::string& text) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string p = std::string(tmp) + name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

std::string tempDir() {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string s = tmp;
    if (!s.empty() && (s.back() == '\\' || s.back() == '/')) s.pop_back();
    return s;
}

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
