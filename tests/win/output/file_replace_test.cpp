// Saving by a temporary file and a rename, for names and paths at the system's limits.
#include "output/file_replace.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "support/files.h"

namespace tovasen {
namespace {

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

TEST(FileReplace, NamesAndPathsNearTheLimitsAreWrittenAndReplacedLeavingNoTemporaryFile) {
    test::TempFolder temp;
    struct Case {
        const char* label;
        std::wstring folder;
        std::wstring name;
    };
    // A name may have 255 characters; a path of MAX_PATH or more needs the system's long form.
    const std::wstring deep = temp.Path() + std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e') + L"\\";
    ASSERT_TRUE(CreateDirectoryW(Long(temp.Path() + std::wstring(120, L'd')).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Long(deep).c_str(), nullptr));
    const Case cases[] = {{"a name of 250 characters", temp.Path(), std::wstring(246, L'n') + L".png"},
                          {"a path of over 300 characters", deep, std::wstring(40, L'f') + L".png"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring path = c.folder + c.name;
        for (const std::vector<std::uint8_t>& bytes : {std::vector<std::uint8_t>{'o', 'l', 'd'},
                                                       std::vector<std::uint8_t>{'n', 'e', 'w', '!'}}) {
            try {
                ReplaceFileWith(path, bytes);
            } catch (const Exception& e) {
                ADD_FAILURE() << std::string(e.Message().begin(), e.Message().end());
            }
            EXPECT_EQ(bytes, test::ReadFileBytes(Long(path)));
        }
        EXPECT_EQ(std::vector<std::wstring>{c.name}, test::FilesIn(Long(c.folder))) << "a temporary file was left";
        DeleteFileW(Long(path).c_str());
    }
    // The folder's own clean-up works with short paths.
    RemoveDirectoryW(Long(deep).c_str());
    RemoveDirectoryW(Long(temp.Path() + std::wstring(120, L'd')).c_str());
}

}  // namespace
}  // namespace tovasen
