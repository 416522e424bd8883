#pragma once
#include <exception>
#include <functional>
#include <string>

namespace tovasen {

// The text shown to the user for an exception: ours carry a wide message; the standard
// library's what() is UTF-8 (or plain ASCII) and is decoded as such.
std::wstring ExceptionText(const std::exception& error);
std::wstring ExceptionText(const std::exception_ptr& error);

// Where exceptions that reach a system callback end up. The application installs a reporter
// that shows a message; until then (and in tests without one) the text goes to standard error.
using ExceptionReporter = std::function<void(const std::wstring& message)>;
void SetExceptionReporter(ExceptionReporter reporter);
// Reports the exception; never throws, whatever the reporter does.
void ReportException(const std::exception_ptr& error) noexcept;

// Runs body at a boundary where no exception may pass (window and subclass procedures, timer
// and enumeration callbacks, queued calls): an exception is reported and fallback returned.
template <class R, class Body>
R Guarded(R fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ReportException(std::current_exception());
        return fallback;
    }
}

template <class Body>
void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

}  // namespace tovasen
