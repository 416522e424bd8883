#pragma once
// The diagnostic record on disk: %LOCALAPPDATA%\Tovasen\tovasen.log, UTF-8, one line per
// event (local time to the millisecond, thread id, place, event). Past 1 MB the file becomes
// tovasen.1.log, replacing the one before, and a new tovasen.log starts. Write with LogEvent
// and LogCaught (base/log_event.h, included here).
#include <string>

#include "base/log_event.h"

namespace tovasen {

// Sends every event from now on to folder\tovasen.log; an empty folder means the user's
// %LOCALAPPDATA%\Tovasen. A folder that cannot be found or written loses the lines silently:
// the record never fails or interrupts the program.
void StartDiagnosticLog(std::wstring folder = {});
// Events go nowhere from now on.
void StopDiagnosticLog();

// %LOCALAPPDATA%\Tovasen (from the known folder, else the LOCALAPPDATA environment); empty
// when neither is there.
std::wstring DefaultLogFolder();

}  // namespace tovasen
