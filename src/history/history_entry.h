#pragma once
// One capture as the history keeps it. Platform-neutral: the store, the writer and the
// formatting of history lines share it, on Windows and in the native tests alike.
#include <cstdint>
#include <string>
#include <vector>

#include "base/capture_kinds.h"

namespace tovasen {

struct THistoryEntry {
    std::int64_t Id = 0;            // given by the store; 0 before it is stored
    std::int64_t TimeUtcMs = 0;     // when the capture ended, milliseconds since 1970 UTC
    int UtcOffsetMinutes = 0;       // the local time's offset from UTC at that moment
    std::wstring Mode;              // ModeName of the capture mode
    std::wstring Target;            // TargetName of the save target
    std::wstring Path;              // the file written, or the history's own copy; may be empty
    bool IsCopy = false;            // Path is the history's copy, deleted with the entry
    int Width = 0, Height = 0;      // the picture's size in pixels; 0 for a recording
    std::int64_t FileBytes = 0;     // the size of Path when it was recorded
    std::wstring WindowTitle;
    std::wstring ProcessName;
};

// Stable names of the capture modes and save targets, as the history stores and prints them.
std::wstring ModeName(TCaptureMode mode);
std::wstring TargetName(TSaveTarget target);
// A recording's target name: its file is a video or an animation, never a still picture to
// copy, pin or edit (the editor would keep one frame of an animated GIF).
bool RecordedTarget(const std::wstring& targetName);

// The last component of a path, after the last backslash or slash.
std::wstring FileNameOf(const std::wstring& path);

}  // namespace tovasen
