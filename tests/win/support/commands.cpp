#include "support/commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "base/utf_convert.h"
#include "support/files.h"
#include "support/process.h"
#include "support/wait.h"

namespace tovasen::test {

CmdResult RunCmd(const std::wstring& args, DWORD timeoutMs) {
    return RunProgram(DistFolder() + L"tovasen-cmd.exe", args, timeoutMs);
}

CmdResult RunProgram(const std::wstring& program, const std::wstring& args, DWORD timeoutMs, DWORD creationFlags) {
    static int run = 0;
    static TempFolder scratch;
    const std::wstring outPath = scratch.Path() + L"out" + std::to_wstring(run) + L".txt";
    const std::wstring errPath = scratch.Path() + L"err" + std::to_wstring(run++) + L".txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    CmdResult result;
    const auto start = std::chrono::steady_clock::now();
    {
        std::unique_ptr<ChildProcess> child;
        try {
            child = std::make_unique<ChildProcess>(program, args, ChildOutput{out, err}, creationFlags);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        CloseHandle(out);
        CloseHandle(err);
        if (!child) return result;
        if (!child->WaitForExit(timeoutMs)) ADD_FAILURE() << "the program did not finish";
        result.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        result.exitCode = child->ExitCode();
    }  // a program that hangs is ended here
    auto text = [](const std::wstring& path) {
        const auto bytes = ReadFileBytes(path);
        std::wstring wide = Utf8ToWide(std::string(bytes.begin(), bytes.end()));
        while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
        return wide;
    };
    const auto raw = ReadFileBytes(outPath);
    result.outBytes.assign(raw.begin(), raw.end());
    result.out = text(outPath);
    result.err = text(errPath);
    return result;
}

ReplyWindow::ReplyWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TestReplyWindow";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ReplyWindow::~ReplyWindow() { DestroyWindow(window_); }

bool ReplyWindow::WaitFor(std::size_t count, DWORD timeoutMs) {
    return WaitUntil([&] { return replies_.size() >= count; }, timeoutMs);
}

LRESULT CALLBACK ReplyWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ReplyWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self && lParam) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        auto reply = ParseRemoteReply(CopyDataText(data->lpData, data->cbData));
        if (!reply) return 0;
        self->replies_.push_back(*reply);
        if (self->OnReply) self->OnReply(*reply);
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT SendCommand(HWND window, const std::wstring& json, HWND from, ULONG_PTR kind) {
    COPYDATASTRUCT data{kind, static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t)), const_cast<wchar_t*>(json.c_str())};
    return SendMessageW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data));
}

}  // namespace tovasen::test
