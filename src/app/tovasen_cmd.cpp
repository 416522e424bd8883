// tovasen-cmd: sends one command to the running Tovasen, for scripts. Its help lists the
// commands, what they print and the exit codes.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "app/copydata_command.h"
#include "app/reply_parts.h"
#include "app/tovasen_cmd_help.h"
#include "base/capture_kinds.h"
#include "base/code_page.h"
#include "base/diagnostic_log.h"
#include "base/utf_convert.h"
#include "service_addresses.h"

namespace {

enum ExitCode : int { kDone = 0, kFailed = 1, kNotRunning = 2, kNoAnswer = 3, kUsage = 64 };

bool gUtf8 = false;  // --utf8

// One line end for every text: a reply or a failure text may carry CR LF, CR CR LF or a bare CR,
// and a console takes a bare CR for "back to the start of this line".
std::wstring WithLineFeeds(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r') {
            out += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == L'\r') ++i;
        if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        out += L'\n';
    }
    return out;
}

// The code page of redirected output: the console's, or without a console what cmd would use.
UINT OutputCodePage() {
    const UINT codePage = GetConsoleOutputCP();
    return codePage ? codePage : GetOEMCP();
}

// Text for a console as it is. Redirected, in the bytes the reader decodes: a for /f loop or a
// pipe reads with the console's output code page (a Korean folder name survives code page 949),
// unless the script asked for UTF-8. False, with nothing written, when exact is asked for and
// the code page has no bytes for some character: a path must never come out changed.
bool Print(FILE* stream, const std::wstring& given, bool exact = false) {
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (!handle || handle == INVALID_HANDLE_VALUE) return true;
    const std::wstring text = WithLineFeeds(given);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return true;
    }
    std::string bytes;
    if (gUtf8) {
        bytes = tovasen::WideToUtf8(text);
    } else if (exact) {
        const std::optional<std::string> exactBytes = tovasen::WideToCodePageExactly(text, OutputCodePage());
        if (!exactBytes) return false;
        bytes = *exactBytes;
    } else {
        bytes = tovasen::WideToCodePage(text, OutputCodePage(), tovasen::TUnmappable::Question);
    }
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return true;
}

// Prints a reply's path(s) exactly, or says why not: never a changed path with success.
int PrintExactly(const std::wstring& text) {
    if (Print(stdout, text, true)) return kDone;
    Print(stderr, L"The reply holds characters that the console's code page " + std::to_wstring(OutputCodePage()) +
                      L" cannot show. Use --utf8 and read the output as UTF-8.\n");
    return kFailed;
}

int Usage() {
    Print(stderr, tovasen::kTovasenCmdHelp);
    return kUsage;
}

// Tovasen's own reply (its token proves it) may come in parts up to this size: a history of
// 100,000 entries with long titles and paths.
constexpr std::size_t kMaxReplyTextBytes = 128u << 20;

// The hidden window the reply comes to, and what came.
struct ReplyBox {
    HWND from = nullptr;
    std::wstring token;
    tovasen::TReplyAssembler parts{kMaxReplyTextBytes};
    std::optional<tovasen::RemoteReply> reply;
};

// A fresh random token per command: only Tovasen, which read it from the command, can echo it,
// so a reply that anyone else sends to our window is told apart.
std::wstring NewToken() {
    unsigned char bytes[16] = {};
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return {};
    std::wstring token;
    for (const unsigned char b : bytes) {
        const wchar_t* digits = L"0123456789abcdef";
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COPYDATA && lParam) {
        auto* box = reinterpret_cast<ReplyBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!box || box->reply || reinterpret_cast<HWND>(wParam) != box->from ||
            data->cbData > tovasen::kMaxCommandBytes) {
            return 0;
        }
        auto reply = tovasen::ParseRemoteReply(tovasen::CopyDataText(data->lpData, data->cbData));
        if (!reply || reply->token != box->token) return 0;  // not the answer to our command
        if (!box->parts.Take(data->dwData, std::move(*reply))) return 0;
        box->reply = box->parts.Whole();
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateReplyWindow(ReplyBox& box) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TovasenCmdReply";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window) return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    // Tovasen may run at another integrity level: its reply must still get through.
    ChangeWindowMessageFilterEx(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    return window;
}

bool SendCommand(HWND running, const std::wstring& json, HWND replyWindow, DWORD timeoutMs, DWORD_PTR& result) {
    COPYDATASTRUCT data{};
    data.dwData = tovasen::kCommandData;
    data.cbData = static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(json.c_str());
    return SendMessageTimeoutW(running, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow),
                               reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

// How long Tovasen may take to accept a command that then waits without limit.
constexpr DWORD kTakeTimeoutMs = 120000;

int NoAnswer(HWND running, DWORD timeoutMs) {
    if (!IsWindow(running)) {
        Print(stderr, L"Tovasen ended before it answered.\n");
    } else {
        Print(stderr, L"Tovasen did not answer within " + std::to_wstring(timeoutMs / 1000) +
                          L" seconds; it may not be responding.\n");
    }
    return kNoAnswer;
}

// Sends a command that Tovasen answers when its work is done, and prints the answer.
int Request(HWND running, tovasen::RemoteRequest request, DWORD timeoutMs) {
    ReplyBox box;
    box.from = running;
    box.token = NewToken();
    if (box.token.empty()) {
        Print(stderr, L"tovasen-cmd could not make a random token.\n");
        return kFailed;
    }
    HWND window = CreateReplyWindow(box);
    if (!window) {
        Print(stderr, L"tovasen-cmd could not create its reply window.\n");
        return kFailed;
    }
    const ULONGLONG deadline = timeoutMs == INFINITE ? ~0ull : GetTickCount64() + timeoutMs;
    DWORD_PTR taken = 0;
    request.replyTo = reinterpret_cast<std::uintptr_t>(window);
    request.token = box.token;
    // Tovasen takes the command at once and replies when the work is done.
    const DWORD takeMs = timeoutMs == INFINITE ? kTakeTimeoutMs : timeoutMs;
    if (!SendCommand(running, tovasen::RemoteRequestJson(request), window, takeMs, taken)) {
        return NoAnswer(running, takeMs);
    }
    if (taken != 1) {
        Print(stderr, L"Tovasen refused the command.\n");
        return kFailed;
    }
    while (!box.reply) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !IsWindow(running)) return NoAnswer(running, timeoutMs);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100)),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    if (!box.reply->ok) {
        Print(stderr, box.reply->text + L"\n");
        return kFailed;
    }
    if (!box.reply->notice.empty()) Print(stderr, box.reply->notice + L"\n");
    // The history's lines end in their own line breaks; a path gets one.
    return PrintExactly(request.command == tovasen::RemoteCommand::History ? box.reply->text : box.reply->text + L"\n");
}

int About(HWND running, DWORD timeoutMs) {
    DWORD_PTR reply = 0;
    if (!SendCommand(running, tovasen::RemoteCommandJson(L"about"), nullptr, timeoutMs, reply)) {
        return NoAnswer(running, timeoutMs);
    }
    Print(stdout, std::to_wstring(static_cast<unsigned>(reply)) + L"\n");
    return reply == 1 ? kDone : kFailed;
}


// A number option's value: digits only, within [low, high].
std::optional<std::uint64_t> NumberArgument(const wchar_t* text, std::uint64_t low, std::uint64_t high) {
    wchar_t* end = nullptr;
    if (!text || !*text || *text == L'-' || *text == L'+') return std::nullopt;
    const unsigned long long value = std::wcstoull(text, &end, 10);
    if (!end || *end != L'\0' || value < low || value > high) return std::nullopt;
    return value;
}

// Tovasen runs in its own folder: a file is named to it by its full path.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(written < size ? written : 0);
    return full.empty() ? path : full;
}

// Only how a command ended goes to the diagnostic record, never its arguments: a path the user
// typed is theirs. A failed capture is recorded by Tovasen itself, with its text.
void RecordEnd(int code) {
    const wchar_t* ending = code == kNotRunning ? L"Tovasen is not running"
                            : code == kNoAnswer ? L"Tovasen did not answer in time"
                            : code == kUsage    ? L"the command line was not understood"
                                                : nullptr;
    if (ending) tovasen::LogEvent(L"tovasen-cmd", std::wstring(L"Ended: ") + ending + L".");
}

int Run(int argc, wchar_t** argv) {
    std::optional<DWORD> timeoutMs;
    tovasen::RemoteRequest request;
    std::wstring command;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            Print(stdout, tovasen::kTovasenCmdHelp);
            return kDone;
        }
        if (arg == L"--version") {
            Print(stdout, std::wstring(L"tovasen-cmd ") + tovasen::kReleaseVersion + L"\n");
            return kDone;
        }
        if (arg == L"--timeout") {
            const auto seconds = NumberArgument(value, 1, 86400);
            if (!seconds) return Usage();
            timeoutMs = static_cast<DWORD>(*seconds * 1000);
            ++i;
        } else if (arg == L"--utf8") {
            gUtf8 = true;
        } else if (arg == L"--delay" && command == L"capture") {
            request.delay = NumberArgument(value, 1, 60);
            if (!request.delay) return Usage();
            ++i;
        } else if (arg == L"--mode" && command == L"capture" && !request.mode) {
            if (!value) return Usage();
            // Checked here too, so that a typing mistake is a usage error before anything is sent.
            if (!tovasen::CaptureModeNamed(value)) {
                Print(stderr, tovasen::UnknownModeText(value) + L"\n");
                return kUsage;
            }
            request.mode = value;
            ++i;
        } else if (arg == L"--limit" && command == L"history") {
            request.limit = NumberArgument(value, 1, 100000);
            if (!request.limit) return Usage();
            ++i;
        } else if (arg == L"--clear" && command == L"history" && !request.limit) {
            request.command = tovasen::RemoteCommand::HistoryClear;
        } else if (command == L"record" && request.command == tovasen::RemoteCommand::None &&
                   (arg == L"pause" || arg == L"resume")) {
            request.command = arg == L"pause" ? tovasen::RemoteCommand::RecordPause : tovasen::RemoteCommand::RecordResume;
        } else if (command == L"edit" && request.file.empty() && !arg.empty()) {
            request.file = FullPath(arg);
        } else if (command.empty()) {
            command = arg;
        } else {
            return Usage();
        }
    }
    if (command == L"capture") request.command = tovasen::RemoteCommand::Capture;
    else if (command == L"edit" && !request.file.empty()) request.command = tovasen::RemoteCommand::Edit;
    else if (command == L"history") {
        if (request.command == tovasen::RemoteCommand::HistoryClear && request.limit) return Usage();
        if (request.command != tovasen::RemoteCommand::HistoryClear) request.command = tovasen::RemoteCommand::History;
    }
    else if (command != L"about" && !(command == L"record" && request.command != tovasen::RemoteCommand::None)) {
        return Usage();
    }
    HWND running = FindWindowW(L"TFrmTovasen", nullptr);
    if (!running) {
        Print(stderr, L"Tovasen is not running.\n");
        return kNotRunning;
    }
    if (command == L"about") return About(running, timeoutMs.value_or(120000));
    // Editing takes as long as the user takes, unless the script says otherwise.
    const DWORD wait = timeoutMs.value_or(request.command == tovasen::RemoteCommand::Edit ? INFINITE : 120000);
    return Request(running, std::move(request), wait);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    tovasen::StartDiagnosticLog();
    const int code = Run(argc, argv);
    RecordEnd(code);
    return code;
}
