// kavhost: plays the CAD host for kavlink.dll and the command components.
#include "answer_script.h"
#include "decoder.h"
#include "host.h"

#include <fcntl.h>
#include <io.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using namespace kavhost;

namespace {

const char kUsage[] =
    "usage: kavhost [options]\n"
    "  --command <ProgID | {CLSID} | path\\to\\command.dll>\n"
    "                     run this command component: create it (a DLL given by its\n"
    "                     path is registered from there first), call VokProcStartCmd with the\n"
    "                     host window, then the script's events\n"
    "  --register <dll>   call DllRegisterServer of this DLL first\n"
    "  --cmdline <n>      the command-line number passed to VokProcStartCmd (0)\n"
    "  --script <file>    answer script (UTF-8): answers, payload writes, events, ui steps\n"
    "  --json <file|->    also write every request as one JSON object per line\n"
    "  --log <file|->     the readable request log (default: standard output)\n"
    "  --quiet            no readable log\n"
    "  --serve <ms>       without --command: answer requests for this long, or until\n"
    "                     the exit message; prints the window handle first\n"
    "  --ui-timeout <ms>  how long a ui step waits for its window (20000)\n"
    "  --check-script <file>  parse a script and report, nothing else\n"
    "  --help\n"
    "\n"
    "Script statements (one per line, # starts a comment):\n"
    "  on <export | code | *>          a rule for the next such request\n"
    "  answer <n>                      its 32-bit answer\n"
    "  write <offset> <type> <value>   bytes it writes: u8|i16|i32 <n>, f64 <x>,\n"
    "                                  point <x> <y>, text \"..\", hex \"01 02\"\n"
    "  event <method> <args...>        an event method called after the start event\n"
    "  ui wait \"<caption>\" [ms] | click \"<button>\" | check \"<box>\" | uncheck \"<box>\"\n"
    "     settext <n> \"<text>\" | answer \"<caption>\" yes|no|ok | sleep <ms>\n"
    "     signal <file> | waitfile <file> [ms] | close | expect \"<caption>\"\n"
    "Exit status: 0 the command ran and reported its end; 1 it failed (HRESULT,\n"
    "no exit message, a ui step failed); 2 bad command line or script.\n";

int usageError(const std::string& msg) {
    std::fprintf(stderr, "kavhost: %s\n(kavhost --help shows the options)\n", msg.c_str());
    return 2;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

struct FileCloser {
    void operator()(FILE* f) const { if (f && f != stdout && f != stderr) std::fclose(f); }
};

struct OleSession {
    HRESULT hr;
    OleSession() : hr(OleInitialize(nullptr)) {}
    ~OleSession() { if (SUCCEEDED(hr)) OleUninitialize(); }
};

int run(int argc, char** argv) {
    std::string command, registerDll, scriptPath, jsonPath, logPath = "-", checkPath;
    int32_t cmdLine = 0;
    int64_t serveMs = -1, uiTimeout = 20000;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto number = [&](int64_t& out) -> bool {
            std::string v;
            return value(v) && parseInteger(v, out);
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        int64_t n = 0;
        if (a == "--command") { if (!value(command)) return usageError("--command needs a ProgID, CLSID or DLL"); }
        else if (a == "--register") { if (!value(registerDll)) return usageError("--register needs a DLL"); }
        else if (a == "--script") { if (!value(scriptPath)) return usageError("--script needs a file"); }
        else if (a == "--check-script") { if (!value(checkPath)) return usageError("--check-script needs a file"); }
        else if (a == "--json") { if (!value(jsonPath)) return usageError("--json needs a file or -"); }
        else if (a == "--log") { if (!value(logPath)) return usageError("--log needs a file or -"); }
        else if (a == "--quiet") quiet = true;
        else if (a == "--cmdline") { if (!number(n)) return usageError("--cmdline needs a number"); cmdLine = static_cast<int32_t>(n); }
        else if (a == "--serve") { if (!number(serveMs) || serveMs < 0) return usageError("--serve needs milliseconds"); }
        else if (a == "--ui-timeout") { if (!number(uiTimeout) || uiTimeout < 0) return usageError("--ui-timeout needs milliseconds"); }
        else return usageError("unknown option '" + a + "'");
    }
    if (!checkPath.empty()) scriptPath = checkPath;
    Script script;
    if (!scriptPath.empty()) {
        std::string text;
        if (!readFile(scriptPath, text)) return usageError("cannot read the script " + scriptPath);
        try {
            script = parseScript(text);
        } catch (const ScriptError& e) {
            std::fprintf(stderr, "kavhost: script %s: %s\n", scriptPath.c_str(), e.what());
            return 2;
        }
    }
    if (!checkPath.empty()) {
        std::printf("%s: %zu rules, %zu events, %zu ui steps\n", checkPath.c_str(), script.rules.size(),
                    script.events.size(), script.ui.size());
        return 0;
    }
    if (command.empty() && serveMs < 0) return usageError("give --command to run a component, or --serve <ms>");
    if (!command.empty() && serveMs >= 0) return usageError("--command and --serve exclude each other");

    std::unique_ptr<FILE, FileCloser> logFile, jsonFile;
    HostOptions options;
    options.uiTimeoutMs = static_cast<DWORD>(uiTimeout);
    if (!quiet) {
        if (logPath == "-") options.text = stdout;
        else {
            logFile.reset(std::fopen(logPath.c_str(), "wb"));
            if (!logFile) return usageError("cannot write the log " + logPath);
            options.text = logFile.get();
        }
    }
    if (!jsonPath.empty()) {
        if (jsonPath == "-") options.json = stdout;
        else {
            jsonFile.reset(std::fopen(jsonPath.c_str(), "wb"));
            if (!jsonFile) return usageError("cannot write " + jsonPath);
            options.json = jsonFile.get();
        }
    }

    OleSession ole;
    if (FAILED(ole.hr)) {
        std::fprintf(stderr, "kavhost: OleInitialize failed: %s\n", describeHresult(ole.hr).c_str());
        return 1;
    }
    Host host(std::move(script), options);
    if (serveMs >= 0) {
        std::printf("kavhost: window %ld\n", static_cast<long>(reinterpret_cast<intptr_t>(host.window())));
        std::fflush(stdout);
        host.startUi();
        host.serve(static_cast<DWORD>(serveMs));
        host.note("served " + std::to_string(host.requests().size()) + " messages");
        return host.uiFailed() ? 1 : 0;
    }
    Host::RunOptions ro;
    ro.command = command;
    ro.registerDll = registerDll;
    ro.cmdLine = cmdLine;
    const bool ok = host.runCommand(ro);
    host.note(ok ? "kavhost: the command ran to its end" : "kavhost: FAILED");
    if (!ok) std::fprintf(stderr, "kavhost: the command failed (see the log)\n");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Logs are UTF-8: no translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavhost: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "kavhost: unexpected failure\n");
        return 1;
    }
}
