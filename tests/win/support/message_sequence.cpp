#include "support/message_sequence.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace tovasen::test {

MessageRecorder::MessageRecorder(std::initializer_list<HWND> windows, std::function<bool(UINT)> keep)
    : windows_(windows), keep_(std::move(keep)) {
    for (HWND window : windows_) {
        SetWindowSubclass(window, Record, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
    }
}

MessageRecorder::~MessageRecorder() {
    for (HWND window : windows_) {
        if (IsWindow(window)) RemoveWindowSubclass(window, Record, reinterpret_cast<UINT_PTR>(this));
    }
}

std::size_t MessageRecorder::Count(UINT message) const {
    return static_cast<std::size_t>(std::count_if(messages_.begin(), messages_.end(),
                                                  [&](const RecordedMessage& m) { return m.message == message; }));
}

LRESULT CALLBACK MessageRecorder::Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* recorder = reinterpret_cast<MessageRecorder*>(self);
    if (!recorder->keep_ || recorder->keep_(msg)) recorder->messages_.push_back({hwnd, msg, wParam, lParam});
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

namespace {

bool Matches(const RecordedMessage& seen, const ExpectedMessage& step) {
    if (seen.message != step.message) return false;
    if ((step.checks & kWParam) && seen.wParam != step.wParam) return false;
    return !(step.checks & kLParam) || seen.lParam == step.lParam;
}

std::string Describe(UINT message, WPARAM wParam, LPARAM lParam) {
    char text[96];
    std::snprintf(text, sizeof(text), "  0x%04x wp=0x%llx lp=0x%llx\n", message, static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(lParam));
    return text;
}

}  // namespace

::testing::AssertionResult MatchesSequence(const std::vector<RecordedMessage>& seen,
                                           const std::vector<ExpectedMessage>& expected) {
    std::size_t at = 0;
    std::string problem;
    for (std::size_t step = 0; step < expected.size() && problem.empty(); ++step) {
        if (at < seen.size() && Matches(seen[at], expected[step])) {
            ++at;
        } else if (!(expected[step].checks & kOptional)) {
            problem = "step " + std::to_string(step) + " is " +
                      (at < seen.size() ? "not the message recorded at " + std::to_string(at) : "missing");
        }
    }
    if (problem.empty() && at < seen.size()) problem = std::to_string(seen.size() - at) + " more message(s) came";
    if (problem.empty()) return ::testing::AssertionSuccess();
    std::string written = problem + "\nexpected:\n";
    for (const ExpectedMessage& step : expected) {
        written += Describe(step.message, step.wParam, step.lParam);
        if (step.checks & kOptional) written.insert(written.size() - 1, " (optional)");
    }
    written += "recorded:\n";
    for (const RecordedMessage& m : seen) written += Describe(m.message, m.wParam, m.lParam);
    return ::testing::AssertionFailure() << written;
}

}  // namespace tovasen::test
