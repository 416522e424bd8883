#pragma once
// What windows were sent, recorded and compared the way Wine's own tests do it (ok_sequence in
// its user32 tests): a recorder subclasses the windows and keeps their messages in order, and a
// test states the sequence it expects, where a step may be optional and may name its parameters.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <vector>

namespace tovasen::test {

struct RecordedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// How a step of an expected sequence matches a recorded message.
enum MessageCheck : unsigned {
    kMessageOnly = 0,
    kWParam = 1,    // wParam must be equal
    kLParam = 2,    // lParam must be equal
    kOptional = 4,  // the step may be missing
};

struct ExpectedMessage {
    UINT message;
    unsigned checks = kMessageOnly;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class MessageRecorder {
public:
    // Records what reaches the windows' procedures, sent or posted; only the messages keep
    // accepts, when it is given (Wine's tests filter the same way, to leave out what the system
    // adds on its own schedule).
    explicit MessageRecorder(std::initializer_list<HWND> windows, std::function<bool(UINT)> keep = {});
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    ~MessageRecorder();

    const std::vector<RecordedMessage>& Messages() const noexcept { return messages_; }
    std::size_t Count(UINT message) const;
    void Clear() noexcept { messages_.clear(); }

private:
    static LRESULT CALLBACK Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    std::vector<HWND> windows_;
    std::function<bool(UINT)> keep_;
    std::vector<RecordedMessage> messages_;
};

// True when seen is exactly expected, step by step, optional steps allowed to be absent;
// otherwise says where the two part, with both sequences written out.
::testing::AssertionResult MatchesSequence(const std::vector<RecordedMessage>& seen,
                                           const std::vector<ExpectedMessage>& expected);

}  // namespace tovasen::test
