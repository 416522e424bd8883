// Every Korean text the history shows has a row in the translation table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "base/utf_convert.h"
#include "i18n/translation.h"

namespace tovasen {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(HistoryTexts, EveryKoreanLiteralIsTranslatedIntoEveryLanguage) {
    const std::vector<std::wstring> table = ParseTranslationTable(ReadFile(TOVASEN_SOURCE_DIR "/res/translate.txt"));
    const std::regex literal(R"re(L"((?:[^"\\]|\\.)*)")re");
    int checked = 0;
    for (const auto& file : std::filesystem::directory_iterator(TOVASEN_SOURCE_DIR "/src/history")) {
        const std::string source = ReadFile(file.path());
        for (std::sregex_iterator it(source.begin(), source.end(), literal), end; it != end; ++it) {
            const std::wstring text = Utf8ToWide((*it)[1].str());
            const bool korean = std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
            if (!korean) continue;
            ++checked;
            for (const wchar_t* lang : kLanguageCodes) {
                if (std::wstring(lang) == L"ko") continue;
                EXPECT_NE(text, TranslateWith(table, text, lang))
                    << file.path().filename() << ": \"" << WideToUtf8(text) << "\" has no " << WideToUtf8(lang);
            }
        }
    }
    EXPECT_GE(checked, 15);
}

}  // namespace
}  // namespace tovasen
