// The field recorder of kavlink.dll (the contract with the command frame is
// kav/field_record.h; the file format is host/recording/field_session.h).
//
// Off, it costs a request one predictable branch on g_state.  The switch is
// read once per process, at the first InitVBCmdLib or request, never in
// DllMain.  On, it sees the request path at one point, the transport's send
// (the request before it, the answer and the bytes copied back after it),
// and the transport's read-back.  Each line is placed in mapped pages of the
// run file as it is made (the request before it is sent, the answer before
// it goes back to the caller): those pages reach the file even when the
// process dies at any moment, and cost a copy, not a system call.  The file
// grows ahead of its lines in zeros and is cut to them when its run ends, at
// the answered exit message or the next InitVBCmdLib, never at unload.
// Nothing is allocated.  A fault stops the recording with one line on the
// debug output and never changes what the request does.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kav::record {

enum : LONG { kUnread = 0, kOff = 1, kOn = 2, kReading = 3 };
extern volatile LONG g_state;

// False once the process is known not to record.
inline bool wanted() { return g_state != kOff; }

// InitVBCmdLib: the open run file ends (with its closing line) and the next
// one begins.
void beginRun(int32_t cmdLine);

// A message on its way: which run its lines belong to, and its seq.
struct Mark {
    LONG run;
    uint32_t seq;
    bool exit;  // the exit message: its answer ends the command
};
// Records a message before it is sent (`sent` payload bytes; for
// ExitCommandMessage none), then its answer and the first `back` payload
// bytes after it.
Mark request(uint32_t message, uint32_t code, uint32_t lParam, const uint8_t* payload, uint32_t sent);
void answer(Mark mark, uint32_t answer, const uint8_t* payload, uint32_t back);
// ReadAnswer copied `size` payload bytes out after the last answer: they join
// that message's line.
void readBack(const uint8_t* payload, uint32_t size);

// The library unloads: what is open is closed; nothing is written or waited for.
void end();

// Why a folder value cannot be used ("is relative", "names a device", ...),
// or nullptr when it can.  It must be an absolute path (drive or UNC) of at
// most kav::field::kFolderChars characters with no device name in it and no
// name that ends in a space or a dot.
const wchar_t* folderProblem(const wchar_t* value);

}  // namespace kav::record
