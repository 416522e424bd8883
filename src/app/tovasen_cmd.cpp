// tovasen-cmd: sends one command to the running Tovasen, for scripts.
//   tovasen-cmd capture   take a capture with the current settings
//   tovasen-cmd about     open the about page
// Prints the reply; exits 0 when the command was taken, 1 when it was refused, 2 when Tovasen
// is not running, 64 on a usage error.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/copydata_command.h"

namespace {

constexpr UINT kReplyTimeoutMs = 120000;  // a capture waits for its own messages to be answered

int Usage() {
    std::fputs("usage: tovasen-cmd capture|about\n", stderr);
    return 64;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return Usage();
    HWND running = FindWindowW(L"TFrmTovasen", nullptr);
    if (!running) {
        std::fputs("Tovasen is not running.\n", stderr);
        return 2;
    }
    const std::wstring json = tovasen::RemoteCommandJson(argv[1]);
    COPYDATASTRUCT data{};
    data.dwData = 1;
    data.cbData = static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(json.c_str());
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                             kReplyTimeoutMs, &reply)) {
        std::fputs("Tovasen did not answer.\n", stderr);
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(reply));
    return reply == 1 ? 0 : 1;
}
