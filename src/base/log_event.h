#pragma once
// The program's diagnostic record, as every layer writes to it. Where the lines go is set
// once at start (base/diagnostic_log.h puts them in a file); until then they go nowhere.
// Only the program's own texts and error messages belong here: never pixels, window titles
// or anything the user typed.
#include <exception>
#include <functional>
#include <string_view>

namespace tovasen {

// where: a short fixed name of the place ("update-check", "history-store"); what: the event.
void LogEvent(std::wstring_view where, std::wstring_view what) noexcept;
// An exception caught and not passed on: its text, so the record says why something quietly
// did not happen.
void LogCaught(std::wstring_view where, const std::exception_ptr& error) noexcept;

// Receives every event; called from any thread, one call at a time, so it must not log itself.
// Replacing it while other threads log is safe; nullptr stops the record.
using TLogSink = std::function<void(std::wstring_view where, std::wstring_view what)>;
void SetLogSink(TLogSink sink);

}  // namespace tovasen
