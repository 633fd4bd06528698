// The running command of this thread and the dispatch of the host's events
// to its handlers.
#include "command.h"

#include "command_dispatch.h"
#include "kavlink_calls.h"

#include <string>

namespace kavcmd {

// A handler that is not overridden does nothing.
void Command::OnStartCmd(HWND, int32_t, int32_t&) {}
void Command::OnEndCmd(int32_t&) {}
void Command::OnPreEvent() {}
void Command::OnDrawRubber(double, double) {}
void Command::OnPositionEvent(int16_t, double, double) {}
void Command::OnPositionEventEx(int16_t, double, double, double, double, int32_t, int32_t, int16_t, int16_t) {}
void Command::OnElementEvent(int32_t, int16_t) {}
void Command::OnElementEventEx(int32_t, int16_t, double, double, int16_t) {}
void Command::OnMultiElementEvent(int16_t, int32_t, int32_t, int32_t) {}
void Command::OnMultiElementEventEx(int16_t, int32_t, int32_t, int32_t, double, double, double, double) {}
void Command::OnSystemEvent(int16_t) {}
void Command::OnOperationEvent(int16_t, int16_t) {}
void Command::OnIntBoxEvent(int16_t, int16_t, int32_t) {}
void Command::OnRealBoxEvent(int16_t, int16_t, double) {}
void Command::OnButtonEvent(int16_t, int16_t, int16_t) {}
void Command::OnStringBoxEvent(int16_t, int16_t, std::wstring_view) {}

void Command::ExitCommand() {
    if (exitSent_) return;
    // Marked before the send: a handler that goes on after a failed send
    // must not send a second exit message.
    exitSent_ = true;
    kavlink::VokExitCommand();
}

void EndCommandByHost(Command& command, int32_t& nCode) {
    // Ended once the handler has left, by return or by throw: the handler
    // itself may still tidy up and send its exit message.
    struct Mark {
        Command& command;
        ~Mark() { command.endedByHost_ = true; }
    } mark{command};
    command.OnEndCmd(nCode);
}

namespace {

// The command running on this thread, and how many of its handlers are on
// the stack (an event can arrive inside another one, from a modal loop).
struct RunningCommand {
    std::unique_ptr<Command> command;
    int depth = 0;
};

RunningCommand& Running() {
    thread_local RunningCommand running;
    return running;
}

void DebugLine(const char* event, const wchar_t* why) {
    std::wstring line = L"kavcmd: ";
    for (const char* c = event; *c; ++c) line += static_cast<wchar_t>(*c);  // the event's name is ASCII
    line += why;
    line += L"\n";
    ::OutputDebugStringW(line.c_str());
}

// Leaves a handler; the command goes once the outermost handler of the
// event that ended it has returned.
class HandlerScope {
public:
    explicit HandlerScope(RunningCommand& running) : running_(running) { ++running_.depth; }
    ~HandlerScope() {
        if (--running_.depth == 0 && running_.command && running_.command->HasEnded()) running_.command.reset();
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    RunningCommand& running_;
};

}  // namespace

void RefuseStartInsideEvent() {
    if (Running().depth == 0) return;
    DebugLine("VokProcStartCmd", L" arrived inside another event of the running command; refused");
    throw HresultFailure(E_UNEXPECTED);
}

void StartCommand(HWND hostWindow, int32_t cmdLine, int32_t& nCode) {
    RunningCommand& running = Running();
    if (running.command && !running.command->HasEnded())
        DebugLine("VokProcStartCmd", L" replaces a command that had not ended");
    running.command.reset();
    running.command = CreateCommand();
    if (!running.command) throw HresultFailure(E_OUTOFMEMORY);
    HandlerScope scope(running);
    running.command->OnStartCmd(hostWindow, cmdLine, nCode);
}

void DispatchEventTo(const char* event, EventCall call, void* context) {
    RunningCommand& running = Running();
    if (!running.command) {
        DebugLine(event, L" arrived while no command is running; ignored");
        return;
    }
    if (running.command->HasEnded()) {
        DebugLine(event, L" arrived after the command ended; ignored");
        return;
    }
    Command& command = *running.command;
    HandlerScope scope(running);
    call(context, command);
}

}  // namespace kavcmd
