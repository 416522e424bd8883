#include "support/program_test.h"

#include <cwchar>

#include "base/config.h"
#include "support/wait.h"

namespace tovasen::test {

bool ClearSettings() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool NoInstanceLeft(DWORD timeoutMs) {
    return WaitUntil([] { return FindWindowW(L"TFrmTovasen", nullptr) == nullptr; }, timeoutMs);
}

bool NoProgramLeft(DWORD timeoutMs) {
    const auto aProgramsWindow = [] {
        for (HWND window = FindWindowW(L"TFrmTovasen", nullptr); window;
             window = FindWindowExW(nullptr, window, L"TFrmTovasen", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
            if (!process) continue;
            wchar_t image[MAX_PATH] = {};
            DWORD size = MAX_PATH;
            const bool program = QueryFullProcessImageNameW(process, 0, image, &size) &&
                                 lstrcmpiW(std::wcsrchr(image, L'\\') ? std::wcsrchr(image, L'\\') + 1 : image, L"Tovasen.exe") == 0;
            CloseHandle(process);
            if (program) return true;
        }
        return false;
    };
    return WaitUntil([&] { return !aProgramsWindow(); }, timeoutMs);
}

void ProgramTest::SetUp() {
    // An instance that a test program before this one ended is gone within moments; one that is
    // still there would answer in place of the program this case starts.
    ASSERT_TRUE(NoInstanceLeft()) << "an instance is still running";
    ASSERT_TRUE(ClearSettings());
    TConfig config;
    config.WriteString(L"path", folder.Path());
    config.WriteString(L"language", L"ko");
    config.WriteInteger(L"sound", 1);
    config.WriteBoolean(L"mouse", false);
    config.WriteBoolean(L"autocopy", false);
    SetCursorPos(5, 5);
}

void ProgramTest::TearDown() {
    EXPECT_TRUE(NoInstanceLeft()) << "the case left an instance running";
    EXPECT_TRUE(ClearSettings());
}

}  // namespace tovasen::test
