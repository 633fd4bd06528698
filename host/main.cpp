// kavhost: plays the CAD host for kavlink.dll and the command components.
#include "script/answer_script.h"
#include "run/component_runner.h"
#include "decode/decoder.h"
#include "run/dialog_driver.h"
#include "recording/field_session.h"
#include "run/host.h"
#include "script/host_text.h"
#include "kav/handles.h"
#include "model/audit.h"
#include "model/model.h"
#include "model/parity.h"
#include "model/profile.h"
#include "picture/session_picture.h"
#include "recording/session.h"
#include "replay/replay.h"
#include "run/watchdog.h"
#include "input.h"
#include "report.h"

#include <fcntl.h>
#include <io.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

using namespace kavhost;

namespace {

const char kUsage[] =
    "usage: kavhost [options]\n"
    "  --command <ProgID | {CLSID} | path\\to\\command.dll>\n"
    "                     run this command component: create it (a DLL given by its\n"
    "                     path is registered from there first), call VokProcStartCmd with the\n"
    "                     host window, then the script's events in order until the command\n"
    "                     ends with its exit message\n"
    "  --register <dll>   call DllRegisterServer of this DLL first\n"
    "  --cmdline <n>      the command-line number passed to VokProcStartCmd (0)\n"
    "  --script <file>    answer script (UTF-8): answers, payload writes, events, ui steps\n"
    "  --json <file|->    also write every request as one JSON object per line\n"
    "  --log <file|->     the readable log of events and requests (default: standard output)\n"
    "  --quiet            no readable log\n"
    "  --serve <ms>       without --command: answer requests for this long, or until\n"
    "                     the exit message; prints the window handle first\n"
    "  --window-file <file>  with --serve: also write the window handle (decimal) there\n"
    "  --record <file>    write the session as JSON lines in the order things happened:\n"
    "                     every event delivered (arguments, HRESULT, nCode in and out,\n"
    "                     whether inside the dialog) and every request decoded with its\n"
    "                     bytes, the answer and the bytes written back; the first line\n"
    "                     holds the command-line number and the script\n"
    "  --replay <file>    replay a recorded session: deliver its events (the start event\n"
    "                     first, with its command-line number), answer every request from\n"
    "                     it, and check that the command makes the same requests and its\n"
    "                     events return the same HRESULT and nCode; only the ui steps come\n"
    "                     from a script (the recording's own, unless --script is given);\n"
    "                     the first difference stops the session.  A field session (the\n"
    "                     run file kavlink.dll writes while KAVLINK_RECORD names a folder)\n"
    "                     replays alike; one without events (a command built without the\n"
    "                     kit's frame) takes its events from --script\n"
    "  --show <file>      print a recorded or field session decoded, as the log shows it\n"
    "  --picture <file.svg>  with --command (also --replay) or --show: write the drawing\n"
    "                     as the session left it as one SVG: every element one shape\n"
    "                     with its index and history, what was displayed, highlighted\n"
    "                     and rubber-banded, and for a replay that stopped at a request\n"
    "                     the recorded and the actual shapes over each other; it never\n"
    "                     changes the exit status (a picture it cannot write is one line\n"
    "                     on standard error)\n"
    "  --ui-timeout <ms>  how long a ui step waits for its window (20000)\n"
    "  --timeout <ms>     with --command: a session that makes no progress (no request,\n"
    "                     no event, no ui step done) for this long fails: kavhost names\n"
    "                     what it waited for (the next recorded request or event, the\n"
    "                     next ui step, the open dialog's caption) and closes the\n"
    "                     command's windows (30000; 0: wait for ever)\n"
    "  --check-script <file>  parse a script and list its rules with their writes,\n"
    "                     its declared elements, events and ui steps; nothing else\n"
    "  --profile <file>   overlay the keys this file names on the host profile (the\n"
    "                     host's own values; by default share\\kavlink\\host-profile.json\n"
    "                     beside kavhost.exe or beside its folder); may be repeated\n"
    "  --no-model         answer as older kavhost did: only the script's rules and the\n"
    "                     table's defaults (1, counting indices, panel handles)\n"
    "  --strict           fail the run (exit 1) when a request was not answered by a\n"
    "                     rule, the model or a recording, when an out segment of an\n"
    "                     answered request was left unwritten, or when a request named\n"
    "                     a panel handle no panel has; each is named\n"
    "  --parity <field session>...  answer each request of the sessions with the model,\n"
    "                     compare answer and written bytes with the real host's, and\n"
    "                     print per export: agreed, differed, not modelled; then the\n"
    "                     first differences and the profile values the sessions\n"
    "                     confirm or contradict (exit 0: nothing differs, 4: something\n"
    "                     differs, 2: a file cannot be read)\n"
    "  --help\n"
    "\n"
    "Script statements (one per line, # starts a comment):\n"
    "  on <export | code | *>          a rule for the next such request; a rule wins\n"
    "                                  over the model\n"
    "  on <export | code | *> event <method> <args...> [answer <n>] [write ...]\n"
    "                                  a rule that also delivers an event inside the\n"
    "                                  request: kavhost reads the request, delivers the\n"
    "                                  event, puts the request's payload back, then\n"
    "                                  answers (the rule's answer and writes, or the\n"
    "                                  usual ones); only on the rule's own line\n"
    "  answer <n>                      its 32-bit answer\n"
    "  write <offset> <type> <value>   bytes it writes: u8|i16|i32 <n>, f64 <x>,\n"
    "                                  point <x> <y>, text \"..\", hex \"01 02\"; one rule\n"
    "                                  carries any number of writes (on its own line\n"
    "                                  or the rule's: on X write 0 i32 1 write 4 f64 2)\n"
    "  element <kind> <numbers...>     an element drawn before the start event (any\n"
    "                                  place in the script), numbered 1, 2, 3 ... in\n"
    "                                  order: point x y | line x1 y1 x2 y2 |\n"
    "                                  longline x1 y1 x2 y2 | circle cx cy r |\n"
    "                                  arc cx cy r a1 a2 flag | ellipse cx cy r1 r2 angle |\n"
    "                                  ellarc cx cy r1 r2 angle a1 a2 flag |\n"
    "                                  string x y \"text\"   (angles in radians)\n"
    "  event <method> <args...>        an event delivered after the start event has\n"
    "                                  returned, while the command has not ended\n"
    "  ui wait \"<caption>\" [ms] | click \"<button>\" | check \"<box>\" | uncheck \"<box>\"\n"
    "     settext <n> \"<text>\" | answer \"<caption>\" yes|no|ok | sleep <ms>\n"
    "     signal <file> | waitfile <file> [ms] | close | expect \"<caption>\"\n"
    "     event <method> <args...>      an event delivered from inside the command's\n"
    "                                  dialog (arguments as for event)\n"
    "  In an event, @N stands for the N-th declared element: its index and the\n"
    "  profile's type code (VokProcElementEvent @1).\n"
    "Exit status:\n"
    "  0  the session passed: the command ended with its exit message (in any event),\n"
    "     every event delivered returned success, nothing came after the exit message,\n"
    "     no event was left over, every ui step was done (and, with --replay, the\n"
    "     session was the recorded one)\n"
    "  1  the session failed: an event returned a failure HRESULT, the events ran out\n"
    "     before the exit message, a request came after it, a scripted event was left\n"
    "     when the command had ended, a ui step failed, a component cannot be loaded\n"
    "     or created, no progress for --timeout\n"
    "  2  bad command line, script, recording or profile; every file kavhost reads\n"
    "     is refused past 64 MiB, a line past 1 MiB, JSON nested deeper than 16,\n"
    "     NUL bytes, UTF-16 or text that is not UTF-8 (one message: file, line, reason)\n"
    "  3  --replay: the session differs from the recording (a request, an event or its\n"
    "     result); the difference is the first line on standard error\n"
    "  4  --parity: the model's answers differ from the real host's\n"
    "At the end of every run the log lists the requests nobody answered and the out\n"
    "segments left unwritten, grouped by export (with --strict, standard error too).\n";

// Reported without changing the exit status: a picture is an extra, a note
// on a session says what was left out of it.
constexpr int kExitPictureOnly = 0;
constexpr int kExitNoteOnly = 0;

int usageError(const std::string& msg) { return report(kExitUsage, msg + "\n(kavhost --help shows the options)"); }

struct FileCloser {
    void operator()(FILE* f) const { if (f && f != stdout && f != stderr) std::fclose(f); }
};

// Paths are UTF-8 here; the files are opened by their wide names, so any
// character a folder name holds is found.
FILE* openFile(const std::string& path, const wchar_t* mode) { return _wfopen(widen(path).c_str(), mode); }

struct OleSession {
    HRESULT hr;
    OleSession() : hr(OleInitialize(nullptr)) {}
    ~OleSession() { if (SUCCEEDED(hr)) OleUninitialize(); }
};

struct Options {
    std::string command, registerDll, scriptPath, jsonPath, logPath = "-", checkPath;
    std::string recordPath, replayPath, windowFile, showPath, picturePath;
    int32_t cmdLine = 0;
    bool cmdLineGiven = false;
    int64_t serveMs = -1, uiTimeout = 20000, timeout = 30000;
    bool quiet = false, help = false, noModel = false, strict = false;
    std::vector<std::string> profiles, parity;
};

// Returns "" or the reason the command line is refused.
std::string parseOptions(int argc, char** argv, Options& o) {
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
        int64_t n = 0;
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--command") { if (!value(o.command)) return "--command needs a ProgID, CLSID or DLL"; }
        else if (a == "--register") { if (!value(o.registerDll)) return "--register needs a DLL"; }
        else if (a == "--script") { if (!value(o.scriptPath)) return "--script needs a file"; }
        else if (a == "--check-script") { if (!value(o.checkPath)) return "--check-script needs a file"; }
        else if (a == "--json") { if (!value(o.jsonPath)) return "--json needs a file or -"; }
        else if (a == "--log") { if (!value(o.logPath)) return "--log needs a file or -"; }
        else if (a == "--record") { if (!value(o.recordPath)) return "--record needs a file"; }
        else if (a == "--replay") { if (!value(o.replayPath)) return "--replay needs a recorded session"; }
        else if (a == "--window-file") { if (!value(o.windowFile)) return "--window-file needs a file"; }
        else if (a == "--show") { if (!value(o.showPath)) return "--show needs a session file"; }
        else if (a == "--picture") { if (!value(o.picturePath)) return "--picture needs a file"; }
        else if (a == "--quiet") o.quiet = true;
        else if (a == "--no-model") o.noModel = true;
        else if (a == "--strict") o.strict = true;
        else if (a == "--profile") {
            std::string f;
            if (!value(f)) return "--profile needs a file";
            o.profiles.push_back(f);
        }
        else if (a == "--parity") {
            while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) o.parity.emplace_back(argv[++i]);
            if (o.parity.empty()) return "--parity needs one or more field sessions";
        }
        else if (a == "--cmdline") {
            if (!number(n) || n < INT32_MIN || n > INT32_MAX) return "--cmdline needs a 32-bit number";
            o.cmdLine = static_cast<int32_t>(n);
            o.cmdLineGiven = true;
        }
        else if (a == "--serve") { if (!number(o.serveMs) || o.serveMs < 0) return "--serve needs milliseconds"; }
        else if (a == "--ui-timeout") { if (!number(o.uiTimeout) || o.uiTimeout < 0) return "--ui-timeout needs milliseconds"; }
        else if (a == "--timeout") {
            if (!number(o.timeout) || o.timeout < 0 || o.timeout > INT32_MAX) return "--timeout needs milliseconds";
        }
        else return "unknown option '" + a + "'";
    }
    if (o.help || !o.checkPath.empty()) return "";
    if (!o.picturePath.empty() && o.command.empty() && o.showPath.empty()) return "--picture goes with --command or --show";
    if (!o.showPath.empty() || !o.parity.empty()) return "";
    if (!o.replayPath.empty() && o.command.empty()) return "--replay needs --command";
    if (o.command.empty() && o.serveMs < 0) return "give --command to run a component, or --serve <ms>";
    if (!o.command.empty() && o.serveMs >= 0) return "--command and --serve exclude each other";
    if (!o.windowFile.empty() && o.serveMs < 0) return "--window-file goes with --serve";
    return "";
}

// Opens "-" as standard output or a file for writing; false when it cannot.
bool openOutput(const std::string& path, std::unique_ptr<FILE, FileCloser>& keep, FILE*& out) {
    if (path == "-") {
        out = stdout;
        return true;
    }
    keep.reset(openFile(path, L"wb"));
    out = keep.get();
    return out != nullptr;
}

// "twopoint.dll" for "C:\\work\\twopoint.dll": the title names files by their names.
std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The picture of the session into o.picturePath.  `requests` are the
// session's as answered; `live` is the model that answered them, if one did
// (otherwise a model of `profile`, or of the default profile, is fed them);
// `build` adds what only the caller knows.  A picture that cannot be made or
// written is one line on standard error, and nothing else changes.
struct PictureOf {
    std::span<const LoggedRequest> requests;
    const model::Model* live = nullptr;
    const model::Profile* profile = nullptr;
    std::string command, session;
};

void writePicture(const Options& o, const PictureOf& of, const std::function<void(picture::Picture&)>& build = {}) {
    if (o.picturePath.empty()) return;
    std::string svg;
    try {
        std::optional<model::Profile> loaded;
        if (!of.live && !of.profile) loaded = model::Profile::fromFile(model::defaultProfilePath());
        const model::Profile& profile = of.live ? of.live->profile() : of.profile ? *of.profile : *loaded;
        std::optional<model::Model> fed;
        if (!of.live) {
            fed.emplace(profile);
            picture::feed(*fed, of.requests);
        }
        const model::Model& m = of.live ? *of.live : *fed;
        picture::Picture p = picture::drawingPicture(m.drawing(), of.requests);
        p.command = of.command;
        p.session = of.session;
        if (build) build(p);
        svg = picture::writeSvg(p, model::conventionsOf(profile));
    } catch (const std::exception& e) {
        report(kExitPictureOnly, "no picture " + o.picturePath + ": " + e.what());
        return;
    }
    std::unique_ptr<FILE, FileCloser> f(openFile(o.picturePath, L"wb"));
    if (!f || std::fwrite(svg.data(), 1, svg.size(), f.get()) != svg.size() || std::fflush(f.get()) != 0)
        report(kExitPictureOnly, "cannot write the picture " + o.picturePath);
}

int serveMode(Host& host, DialogDriver& driver, const Options& o) {
    const long handle = static_cast<long>(reinterpret_cast<intptr_t>(host.window()));
    std::printf("kavhost: window %ld\n", handle);
    std::fflush(stdout);
    if (!o.windowFile.empty()) {
        std::unique_ptr<FILE, FileCloser> f(openFile(o.windowFile, L"wb"));
        if (!f || std::fprintf(f.get(), "%ld\n", handle) < 0)
            return report(kExitFailed, "cannot write the window handle to " + o.windowFile);
    }
    driver.start();
    host.serve(static_cast<DWORD>(o.serveMs));
    driver.stop();
    host.note("served " + std::to_string(host.messageCount()) + " messages");
    if (driver.failed()) host.fail(driver.error());
    return driver.failed() ? kExitFailed : 0;
}

int commandMode(Host& host, DialogDriver& driver, const Options& o, const Session* replay, const model::Model* live,
                const model::Profile* profile) {
    std::unique_ptr<Replayer> replayer;
    RunOptions ro;
    ro.command = o.command;
    ro.registerDll = o.registerDll;
    ro.cmdLine = replay && !o.cmdLineGiven ? replay->cmdLine : o.cmdLine;
    ro.events = host.script().events;
    if (replay) {
        replayer = std::make_unique<Replayer>(*replay, [&](const std::string& diff) {
            host.differ(diff);
            driver.abandon("the replay stopped at its first difference");
        });
        host.setReplySource(replayer.get());
        if (replay->version >= 2) {
            // The recording's events; only the ui steps come from the script.
            if (!ro.events.empty())
                host.note("kavhost: the script's event statements are not used: the recording's events are delivered");
            ro.events = replay->events();
            ro.startLine = replay->steps.front().line;
            ro.startOrigin = "recording";
            ro.startCode = replay->steps.front().event.nCode;
        }
    }
    bool ok = false;
    {
        const Watchdog watchdog(host, driver, static_cast<DWORD>(o.timeout));
        ok = runCommand(host, driver, ro);
    }
    host.setReplySource(nullptr);
    // A replay's drawing comes from its recorded answers: a model is fed them.
    // One that stopped at a request answered neither it nor what came after:
    // the drawing is the one before it, and the request is drawn as the
    // difference.
    std::span<const LoggedRequest> answered = host.requests();
    const uint32_t stoppedAt = replayer ? replayer->stoppedAt() : 0;
    const LoggedRequest* stop = nullptr;
    for (size_t i = 0; stoppedAt != 0 && i < answered.size() && !stop; ++i)
        if (answered[i].seq == stoppedAt) {
            stop = &answered[i];
            answered = answered.first(i);
        }
    writePicture(o,
                 {answered, replay ? nullptr : live, profile, fileName(o.command),
                  replay ? "replay of " + fileName(o.replayPath) : o.scriptPath.empty() ? "no script" : fileName(o.scriptPath)},
                 [&](picture::Picture& p) {
                     if (stop) picture::addDifference(p, replayer->expectedRequest(), *stop);
                 });
    if (host.hasTimedOut()) {
        host.note("kavhost: FAILED: no progress for " + std::to_string(o.timeout) + " ms");
        return kExitFailed;
    }
    if (host.stopped()) {
        host.note("kavhost: the session differs from " + o.replayPath);
        return kExitReplayDiffers;
    }
    host.note(ok ? "kavhost: the command ran to its end" : "kavhost: FAILED");
    return ok ? 0 : kExitFailed;
}

int run(int argc, char** argv) {
    Options o;
    if (const std::string why = parseOptions(argc, argv, o); !why.empty()) return usageError(why);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The host profile: for the model, for --parity, and for naming elements in scripts.
    std::optional<model::Profile> profile;
    if (o.showPath.empty() && (!o.noModel || !o.parity.empty())) {
        try {
            const std::string base = model::defaultProfilePath();
            if (base.empty())
                return usageError("no host profile beside kavhost (share\\kavlink\\host-profile.json); "
                                  "give --no-model to answer without the model");
            profile = model::Profile::fromFile(base);
            for (const std::string& f : o.profiles) profile->overlayFile(f);
        } catch (const model::ProfileError& e) {
            return report(kExitUsage, e.what());
        }
    }
    if (!o.parity.empty()) return model::runParity(o.parity, *profile, stdout, stderr);
    std::unique_ptr<model::Model> hostModel;
    if (profile && !o.noModel) hostModel = std::make_unique<model::Model>(*profile);
    Session session;
    // --show prints its file and returns, whatever else is given.
    for (const std::string* path : {&o.showPath, &o.replayPath}) {
        if (path->empty()) continue;
        FieldSession field;
        try {
            field = readSessionFile(*path);
        } catch (const InputError& e) {
            return report(refused("recorded session", *path, e));
        }
        if (!o.showPath.empty()) {
            const std::string shown = showFieldSession(field);
            std::fwrite(shown.data(), 1, shown.size(), stdout);
            std::vector<LoggedRequest> requests;
            for (const RecordedStep& s : field.session.steps)
                if (!s.isEvent) requests.push_back(picture::loggedRequest(s.request, s.seq));
            writePicture(o, {requests, nullptr, nullptr, "",
                             (field.field ? "field session " : "kavhost recording ") + fileName(o.showPath)});
            return 0;
        }
        if (!field.note.empty()) report(Failure{kExitNoteOnly, field.note, "", *path});
        session = std::move(field.session);
    }
    if (!o.checkPath.empty()) o.scriptPath = o.checkPath;
    std::string scriptText = session.script;
    Script script;
    try {
        if (!o.scriptPath.empty()) scriptText = readInput(o.scriptPath, ZeroTail::refused);
        script = parseScript(scriptText, hostModel ? hostModel->naming() : ElementNaming{});
    } catch (const ScriptError& e) {
        return report(o.scriptPath.empty() ? refused("script of the recorded session", o.replayPath, e)
                                           : refused("script", o.scriptPath, e));
    }
    if (!o.checkPath.empty()) {
        std::printf("%s: %zu rules, %zu elements, %zu events, %zu ui steps\n", o.checkPath.c_str(), script.rules.size(),
                    script.elements.size(), script.events.size(), script.ui.size());
        for (const Rule& r : script.rules) {
            const std::string key = r.any ? "*" : !r.key.empty() ? r.key : std::to_string(r.code);
            std::printf("  line %d: on %s%s\n", r.line, key.c_str(),
                        r.hasAnswer ? (" answer " + std::to_string(static_cast<int32_t>(r.answer))).c_str() : "");
            for (const PayloadWrite& w : r.writes) std::printf("    write %u %s\n", w.offset, w.shown.c_str());
        }
        int n = 0;
        for (const ElementStatement& e : script.elements) {
            std::string numbers;
            for (double d : e.numbers) {
                char b[32];
                std::snprintf(b, sizeof b, " %.15g", d);
                numbers += b;
            }
            std::printf("  line %d: element @%d %s%s%s\n", e.line, ++n, e.kind.c_str(), numbers.c_str(),
                        e.kind == "string" ? (" \"" + e.text + "\"").c_str() : "");
        }
        return 0;
    }

    std::unique_ptr<FILE, FileCloser> logFile, jsonFile, recordFile;
    HostOptions options;
    model::Audit audit(profile ? profile->values().none : 0);
    options.model = hostModel.get();
    options.audit = &audit;
    // Only the picture reads the session's messages afterwards.
    options.keepRequests = !o.picturePath.empty();
    if (hostModel) hostModel->declare(script.elements);
    else if (!script.elements.empty())
        return usageError("the script declares elements, which only the model keeps (leave out --no-model)");
    if (!o.quiet && !openOutput(o.logPath, logFile, options.text)) return usageError("cannot write the log " + o.logPath);
    if (!o.jsonPath.empty() && !openOutput(o.jsonPath, jsonFile, options.json)) return usageError("cannot write " + o.jsonPath);
    if (!o.recordPath.empty() && !openOutput(o.recordPath, recordFile, options.record))
        return usageError("cannot write the session " + o.recordPath);

    OleSession ole;
    if (FAILED(ole.hr)) return report(kExitFailed, "OleInitialize failed: " + describeHresult(ole.hr));
    const int32_t cmdLine = !o.replayPath.empty() && !o.cmdLineGiven ? session.cmdLine : o.cmdLine;
    Host host(std::move(script), options);
    host.record(sessionHeader(cmdLine, scriptText, profile && hostModel ? profile->name() : "",
                              profile && hostModel ? profile->version() : 0));
    DialogDriver driver(host, host.script().ui, static_cast<DWORD>(o.uiTimeout));
    const int status = o.serveMs >= 0 ? serveMode(host, driver, o)
                                      : commandMode(host, driver, o, o.replayPath.empty() ? nullptr : &session,
                                                    hostModel.get(), profile ? &*profile : nullptr);
    // The reasons on standard error, so that a run with --quiet or a log
    // file still says what went wrong: a replay's difference first.
    if (host.stopped()) report(status, "replay: " + host.difference());
    for (const std::string& f : host.failures()) report(status, f);
    if (status == kExitFailed && host.failures().empty()) report(status, "the command failed");
    // Nothing answered silently: what nobody answered or wrote, and the
    // panel handles no panel had.
    std::string listing = audit.listing();
    if (hostModel)
        for (const model::WrongHandle& w : hostModel->wrongHandles())
            listing += "wrong panel handle: request #" + std::to_string(w.seq) + " " + w.exportName + " names " +
                       hex32(w.handle) + ", which no panel has\n";
    // In the log always; on standard error when --strict makes it fail the run.
    if (!listing.empty()) host.note("kavhost: " + listing);
    if (o.strict && !listing.empty() && status == 0) {
        listing.pop_back();  // the last line's end: report() ends the line
        report(kExitFailed, listing);
        for (const std::string& f : audit.failures()) report(kExitFailed, "--strict: " + f);
        if (hostModel)
            for (const model::WrongHandle& w : hostModel->wrongHandles())
                report(kExitFailed, "--strict: request #" + std::to_string(w.seq) + " " + w.exportName +
                                        ": wrong panel handle " + hex32(w.handle));
        return kExitFailed;
    }
    return status;
}

// A command that crashes takes kavhost with it: what the recording still
// holds goes out first.
LONG WINAPI flushBeforeCrash(EXCEPTION_POINTERS*) {
    Host::writeOutBeforeDying();
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int main() {
    // Logs are UTF-8: no translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetUnhandledExceptionFilter(flushBeforeCrash);
    try {
        // The arguments as the wide command line has them, in UTF-8 like
        // every other text here: the ANSI ones lose what code page 932
        // cannot hold and would be read as UTF-8 later.
        int argc = 0;
        const kav::UniqueLocalMem wide(CommandLineToArgvW(GetCommandLineW(), &argc));
        if (!wide) return report(kExitFailed, "cannot read the command line");
        std::vector<std::string> args;
        for (int i = 0; i < argc; ++i) args.push_back(narrow(static_cast<LPWSTR*>(wide.get())[i]));
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return run(argc, argv.data());
    } catch (const std::bad_alloc&) {
        return report(kExitFailed, "out of memory");
    } catch (const std::exception& e) {
        return report(kExitFailed, e.what());
    } catch (...) {
        return report(kExitFailed, "unexpected failure");
    }
}
