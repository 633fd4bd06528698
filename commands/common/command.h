// kavcmd::Command: a command written as handlers of the host's events.
//
// The host creates the component and calls its start event; an interactive
// command then lives across the host's later events (positions, elements,
// panel buttons and boxes, rubber-band moves) until it ends itself with
// ExitCommand(), in whichever event it decides to.  Derive from Command,
// override the handlers you need (each has the event's arguments, typed),
// and name the class once with KAVCMD_COMMAND:
//
//     class TwoPoints : public kavcmd::Command {
//         void OnStartCmd(HWND, int32_t, int32_t&) override { ... }
//         void OnPositionEvent(int16_t, double x, double y) override { ... ExitCommand(); }
//     };
//     KAVCMD_COMMAND(TwoPoints)
//
// Life of the object: the start event makes a new one (after InitVBCmdLib
// and with nCode already 1), so its members are the command's state from
// start to end.  It is destroyed once the event in which it called
// ExitCommand() has returned, or when a new start event replaces it.  An
// event that arrives while no command is running (before the first start,
// or after the end) reaches no handler: the frame says so on the debug
// output and answers S_OK.  There is one running command per thread.
//
// Failing: throw.  The frame's barrier turns kavcmd::HresultFailure into its
// HRESULT, std::bad_alloc into E_OUTOFMEMORY and anything else into
// E_UNEXPECTED, and the host gets that HRESULT for the event.  A failed
// event does not end the command.
//
// A command that defines no class of its own is a one-shot command: the
// frame's default runs PrepareCommandState() and RunCommandDialog()
// (command_steps.h) in the start event and ends it there.
#pragma once
#include "binding.h"  // HresultFailure

#include <windows.h>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kavcmd {

class Command {
public:
    Command() = default;
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    // VokProcStartCmd.  The frame has stored `hostWindow` with InitVBCmdLib
    // and set `nCode` to 1; what nCode tells the host is the host's.
    virtual void OnStartCmd(HWND hostWindow, int32_t cmdLine, int32_t& nCode);
    // VokProcEndCmd: the host ends the running command.
    virtual void OnEndCmd(int32_t& nCode);
    virtual void OnPreEvent();
    // The pointer moved: the place to draw rubber-band figures.
    virtual void OnDrawRubber(double x, double y);
    virtual void OnPositionEvent(int16_t posType, double xPos, double yPos);
    virtual void OnPositionEventEx(int16_t posType, double xPos, double yPos, double xReal, double yReal,
                                   int32_t e1, int32_t e2, int16_t activeIndex, int16_t status);
    virtual void OnElementEvent(int32_t elemIndex, int16_t elemType);
    virtual void OnElementEventEx(int32_t elemIndex, int16_t elemType, double xPos, double yPos, int16_t status);
    virtual void OnMultiElementEvent(int16_t selType, int32_t hSelect, int32_t hAcross, int32_t hLink);
    virtual void OnMultiElementEventEx(int16_t selType, int32_t hSelect, int32_t hAcross, int32_t hLink, double xPos,
                                       double yPos, double width, double height);
    virtual void OnSystemEvent(int16_t evType);
    virtual void OnOperationEvent(int16_t opType, int16_t turnID);
    virtual void OnIntBoxEvent(int16_t csbID, int16_t itemID, int32_t value);
    virtual void OnRealBoxEvent(int16_t csbID, int16_t itemID, double value);
    virtual void OnButtonEvent(int16_t csbID, int16_t itemID, int16_t state);
    // A text box's text, up to its first NUL.  The frame's string box hook
    // reads it from the host and calls this; so does the host's own
    // VokProcStringBoxEvent.
    virtual void OnStringBoxEvent(int16_t csbID, int16_t itemID, std::wstring_view text);

    // True once the command has sent its exit message.
    bool HasEnded() const { return exitSent_; }
    // True while the command runs: it has not sent its exit message, and the
    // host has not ended it (VokProcEndCmd delivered and OnEndCmd returned).
    // The host may end the command while it answers any request, before the
    // request returns; a handler that goes on after a request checks this
    // first and returns when it is false.
    bool Running() const { return !exitSent_ && !endedByHost_; }

protected:
    // Ends the command: sends the exit message (VokExitCommand) the first
    // time, nothing on later calls.  Tidy up first (destroy panels, end the
    // rubber band): a request made after the exit message is an error of
    // the command.  Returns normally; the handler may return right after.
    // Inside OnEndCmd it still sends the exit message.
    void ExitCommand();

private:
    friend void EndCommandByHost(Command& command, int32_t& nCode);
    bool exitSent_ = false;
    bool endedByHost_ = false;
};

// The running command's class: KAVCMD_COMMAND defines this.  Without it the
// frame's default makes the one-shot command.
std::unique_ptr<Command> CreateCommand();

}  // namespace kavcmd

#define KAVCMD_COMMAND(Class) \
    std::unique_ptr<::kavcmd::Command> kavcmd::CreateCommand() { return std::make_unique<Class>(); }
