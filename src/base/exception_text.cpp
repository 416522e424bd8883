#include "base/exception_text.h"

#include <cstdio>
#include <mutex>

#include "base/errors.h"
#include "base/log_event.h"
#include "base/utf_convert.h"

namespace tovasen {
namespace {

std::mutex& ReporterLock() {
    static std::mutex lock;
    return lock;
}

ExceptionReporter& Reporter() {
    static ExceptionReporter reporter;
    return reporter;
}

}  // namespace

std::wstring ExceptionText(const std::exception& error) {
    if (const auto* ours = dynamic_cast<const Exception*>(&error)) return ours->Message();
    return Utf8ToWide(error.what());
}

std::wstring ExceptionText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return ExceptionText(e);
    } catch (...) {
        return L"Unknown error";
    }
}

void SetExceptionReporter(ExceptionReporter reporter) {
    std::lock_guard<std::mutex> lock(ReporterLock());
    Reporter() = std::move(reporter);
}

void ReportException(const std::exception_ptr& error) noexcept {
    LogCaught(L"boundary", error);
    try {
        const std::wstring text = ExceptionText(error);
        ExceptionReporter reporter;
        {
            std::lock_guard<std::mutex> lock(ReporterLock());
            reporter = Reporter();
        }
        if (reporter) {
            reporter(text);
        } else {
            std::fprintf(stderr, "%s\n", WideToUtf8(text).c_str());
        }
    } catch (...) {
        std::fputs("an exception was raised while reporting an exception\n", stderr);
    }
}

}  // namespace tovasen
