#pragma once
// Talking to a running Tovasen as a script does: tovasen-cmd with its output read back, and
// WM_COPYDATA commands with a reply window in this process.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/copydata_command.h"

namespace tovasen::test {

struct CmdResult {
    DWORD exitCode = 0;
    std::wstring out, err;  // decoded as UTF-8, trailing line ends removed
    std::string outBytes;   // standard output as it was written
    double ms = 0;
};

// Runs tovasen-cmd with args (add "--utf8" to read non-ASCII text back) with its standard
// output and error redirected to files, and reads them back. A run that does not finish within
// timeoutMs is a test failure and is ended.
CmdResult RunCmd(const std::wstring& args, DWORD timeoutMs = 30000);
// The same for any program, found as the command line finds it, started with creationFlags.
CmdResult RunProgram(const std::wstring& program, const std::wstring& args, DWORD timeoutMs = 30000,
                     DWORD creationFlags = 0);

// A message-only window that collects the replies Tovasen sends to "reply_to".
class ReplyWindow {
public:
    ReplyWindow();
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;
    ~ReplyWindow();

    HWND Handle() const noexcept { return window_; }
    const std::vector<RemoteReply>& Replies() const noexcept { return replies_; }
    // Waits (pumping) until count replies have come.
    bool WaitFor(std::size_t count, DWORD timeoutMs = 20000);
    // Runs for every reply as it arrives, inside the reply's WM_COPYDATA.
    std::function<void(const RemoteReply& reply)> OnReply;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<RemoteReply> replies_;
};

// Sends a command text to window with WM_COPYDATA (dwData kCommandData unless given) and
// returns the message's result.
LRESULT SendCommand(HWND window, const std::wstring& json, HWND from = nullptr, ULONG_PTR kind = kCommandData);

}  // namespace tovasen::test
