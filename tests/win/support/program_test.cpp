#include "support/program_test.h"

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
