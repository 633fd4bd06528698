// Field sessions: the run files that kavlink.dll writes while it records
// (KAVLINK_RECORD, or RecordFolder under HKCU\Software\Kavlink).  kavhost
// reads them as recorded sessions (--replay) and prints them decoded (--show).
//
// One JSON object per line.  The first line says whose file it is:
//
//   {"session":"kavlink","version":3,"pid":4711,"run":1,"time":"2026-01-02 03:04:05","cmdline":0}
//
// "run" counts the InitVBCmdLib calls of the process; a file with "run" 0 and
// "beforeInit":true (no "cmdline") holds the requests made before any.  Then,
// from the library:
//
//   {"seq":2,"message":1534,"code":1500,"lParam":0,"request":"5069636B00"}
//   {"seq":2,"answer":1,"back":"01000000"}
//   {"seq":3,"back":"0100000002000000"}
//   {"seq":9,"message":1765}
//   {"seq":9,"answer":1}
//   {"closed":"next run"}
//
// a message as it was sent (for a request, its payload bytes as two hex
// digits each), then its answer (unsigned) and, when the export copies
// anything back, the payload bytes from offset 0 as they were after the
// answer ("back"); a line with "back" alone holds what the export read back
// after the answer (the longer of the two counts).  The last line, "closed",
// is written when the library ends the file: at the next InitVBCmdLib or at
// its size limit.  From the frame of a command built with the kit, each event
// the host called, in the form kavhost records events (session.h), split in
// two: the event with its arguments and nCode when it arrives, its "hr" and
// "nCodeOut" under the same seq when it returns.  "inDialog" marks an event
// that arrived while another one ran; "late" one that arrived before the file
// was begun, whose one line was written when it returned.
//
// seq orders everything: events and messages share one sequence, counted
// from 1 in each file; an event takes its number when it arrives, a message
// when it is sent.  Every line is placed in the file as it is made, a
// request's line before its answer's, and a nested event's between them, so
// the reader sorts them by seq.  The library grows the file ahead of its
// lines in zero bytes and cuts it to them when the run ends; a file whose
// process died keeps that tail of zeros, which ends it.  A file without its "closed"
// line and without an answered exit message comes from a process that ended
// inside the run: the reader notes the last seq up to which every entry is
// there and every message has its answer (events the process died in show
// as not returned).  A message whose answer line is
// missing replays with the answer 0 and no bytes back; an event without its
// result shows so.  A last line without its line end, and zero bytes at the
// end, are left out.
//
// Version 1 (kit 1.1.0) had no read-back lines and no "closed" line, and
// wrote an event's one line when the event returned.  Version 2 wrote its
// lines through, so it has no tail of zeros.  kavhost reads all three.
//
// Replay: a file with event lines replays like a kavhost recording of
// version 2, its events from the file and only the ui steps from a script;
// a file of requests only (a command built without the kit's frame) replays
// like version 1: the events come from the script given with it.  The bytes
// read back are written back at offset 0 when their request is answered.
#pragma once
#include "recording/session.h"

#include <string>
#include <vector>

namespace kavhost {

struct FieldSession {
    Session session;             // as --replay uses it: lines are the field file's own
    bool field = false;          // read from a field file (else a kavhost recording)
    uint32_t pid = 0;
    int32_t run = 0;
    bool beforeInit = false;
    std::string time;
    int version = 0;                   // the file's own
    std::vector<uint32_t> unanswered;  // seqs of messages without an answer line
    std::vector<uint32_t> unreturned;  // seqs of events without their result
    uint32_t wholeUpTo = 0;            // every seq up to this one is there, each message with its answer
    std::string note;                  // what was left out, if anything
};

// True when the text's first line is a field session's header.
bool isFieldSession(const std::string& text);

// Throws SessionError (with the field file's line) for anything that is not
// a field session.
FieldSession parseFieldSession(const std::string& text);

// A recorded session from its file, a field session or a kavhost recording
// (its `session` alone filled in); throws InputError.
FieldSession readSessionFile(const std::string& path);

// The session decoded, one entry per event and message in seq order, as the
// readable log shows them.
std::string showFieldSession(const FieldSession& field);

}  // namespace kavhost
