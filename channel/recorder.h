// The field recorder of kavlink.dll (the contract with the command frame is
// kav/field_record.h; the file format is host/recording/field_session.h).
//
// Off, it costs a request one predictable branch on g_state.  The switch is
// read once per process, at the first InitVBCmdLib or request, never in
// DllMain.  On, every message the library sends leaves its lines in the open
// run file: the request before the send, the answer and the bytes read back
// after it.  Lines go through one fixed buffer (no allocation) and reach the
// file when the buffer is full, after the exit message, when the run ends and
// when the library unloads.  A fault stops the recording with one line on the
// debug output and never changes what the request does.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kav::record {

enum : LONG { kUnread = 0, kOff = 1, kOn = 2, kReading = 3 };
extern volatile LONG g_state;
extern volatile uint32_t g_readBack;

// False once the process is known not to record.
inline bool wanted() { return g_state != kOff; }

// The export's next request is followed by a ReadAnswer of `size` bytes:
// the recording keeps that much of the payload area after the answer.
inline void expectReadBack(uint32_t size) {
    if (wanted()) g_readBack = size;
}

// InitVBCmdLib: the open run file ends and the next one begins.
void beginRun(int32_t cmdLine);

// A message on its way: which run its lines belong to, and its seq.
struct Mark {
    LONG run;
    uint32_t seq;
};
// Records a message before it is sent (`sent` payload bytes; for
// ExitCommandMessage none), then its answer and the first `back` payload
// bytes after it; `ends` (the exit message) writes the buffer out.
Mark request(uint32_t message, uint32_t code, uint32_t lParam, const uint8_t* payload, uint32_t sent);
void answer(Mark mark, uint32_t answer, const uint8_t* payload, uint32_t back, bool ends);
// The read-back announced for the request being sent (expectReadBack), once.
uint32_t takeReadBack();

// The library unloads: the run file gets the buffer and is closed.
void end();

// Why a folder value cannot be used ("is relative", "names a device", ...),
// or nullptr when it can.  It must be an absolute path (drive or UNC) of at
// most kav::field::kFolderChars characters with no device name in it.
const wchar_t* folderProblem(const wchar_t* value);

}  // namespace kav::record
