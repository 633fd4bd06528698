// The recording switch: KAVLINK_RECORD, else RecordFolder (kav/field_record.h).
#pragma once
#include "kav/field_record.h"

namespace kav::record {

// The longest wait for the folder's checks (a share that does not answer).
inline constexpr DWORD kCheckWait = 3000;  // ms

// Reads the switch into `folder` and checks the folder once: true when it
// names one to record into.  Each reason for false is said on the debug
// output in one line; an unset or empty switch is no reason.  The checks
// that reach the folder run on a thread of their own; one that takes longer
// than kCheckWait turns recording off, the thread finishing by itself.
bool readSwitch(wchar_t (&folder)[field::kFolderChars + 2]);

}  // namespace kav::record
