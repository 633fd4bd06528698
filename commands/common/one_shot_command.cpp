// The one-shot command: all of its work happens in the start event, between
// InitVBCmdLib and VokExitCommand, in the two steps of command_steps.h.
//
// This file holds the frame's default CreateCommand() and nothing else: a
// command that defines its own (KAVCMD_COMMAND) is linked before the frame
// library, so this member is never taken for it.
#include "command.h"
#include "command_steps.h"

namespace kavcmd {
namespace {

class OneShotCommand final : public Command {
    void OnStartCmd(HWND hostWindow, int32_t, int32_t&) override {
        // A failed step ends the event with its HRESULT, without the exit
        // message.
        HRESULT hr = PrepareCommandState();
        if (FAILED(hr)) throw HresultFailure(hr);
        hr = RunCommandDialog(hostWindow);
        if (FAILED(hr)) throw HresultFailure(hr);
        ExitCommand();
    }
};

}  // namespace

std::unique_ptr<Command> CreateCommand() { return std::make_unique<OneShotCommand>(); }

}  // namespace kavcmd
