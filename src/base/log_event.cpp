#include "base/log_event.h"

#include <mutex>
#include <string>

#include "base/exception_text.h"

namespace tovasen {
namespace {

// One lock around the sink and its calls: lines from several threads come out whole, and a
// sink being replaced is never called half-gone. Both live until the process ends (never
// destroyed): a detached thread may still log while static objects are being torn down.
std::mutex& SinkLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

TLogSink& Sink() {
    static auto* sink = new TLogSink;
    return *sink;
}

}  // namespace

void LogEvent(std::wstring_view where, std::wstring_view what) noexcept {
    try {
        std::lock_guard<std::mutex> lock(SinkLock());
        if (Sink()) Sink()(where, what);
    } catch (...) {
        // The record is a help, never a reason to fail: a line that cannot be written is lost.
    }
}

void LogCaught(std::wstring_view where, const std::exception_ptr& error) noexcept {
    try {
        LogEvent(where, error ? ExceptionText(error) : std::wstring(L"no exception"));
    } catch (...) {
        // As above: the text of the error could not even be made.
    }
}

void SetLogSink(TLogSink sink) {
    std::lock_guard<std::mutex> lock(SinkLock());
    Sink() = std::move(sink);
}

}  // namespace tovasen
