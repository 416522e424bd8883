#include "support/wait_for.h"

#include <tlhelp32.h>

#include "support/process.h"
#include "support/wait.h"

namespace tovasen::test {

HWND WaitForVisibleWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs,
                          const std::function<bool(HWND)>& accept) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(pid, className)) {
            if (IsWindowVisible(window) && (!accept || accept(window))) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    if (!found) return nullptr;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) ? found : nullptr;
}

HWND FindChildWindow(HWND parent, const std::function<bool(HWND)>& match) {
    struct Search {
        const std::function<bool(HWND)>& match;
        HWND found;
    } search{match, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (s->match(child)) s->found = child;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int ProcessCount(const wchar_t* exeName) {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
        count += _wcsicmp(entry.szExeFile, exeName) == 0;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace tovasen::test
