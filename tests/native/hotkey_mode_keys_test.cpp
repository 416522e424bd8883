#include "hotkey/mode_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "app/copydata_command.h"
#include "app/tovasen_cmd_help.h"
#include "base/utf_convert.h"
#include "hotkey/hotkey_code.h"
#include "i18n/translation.h"

namespace tovasen {
namespace {

constexpr std::uint16_t kCtrlF5 = 0x74 | kHotKeyCtrl;

// A code through the dialog's row and back, and as the user reads it.
TEST(ModeKeys, CodesRoundTripThroughTheRowAndRead) {
    struct Row {
        std::uint16_t code;
        TKeyRow row;
        std::uint16_t back;
        const wchar_t* text;
    };
    const Row rows[] = {
        {0, {}, 0, L""},
        {0x2C, {1, false, false, false}, 0x2C, L"PrintScreen"},
        {kCtrlF5 | kHotKeyShift, {42, true, true, false}, kCtrlF5 | kHotKeyShift, L"Ctrl+Shift+F5"},
        {0x2E | kHotKeyAlt | kHotKeyCtrl | kHotKeyShift, {50, true, true, true}, 0xE02E, L"Ctrl+Alt+Shift+DEL"},
        {0x30 | kHotKeyAlt, {37, false, false, true}, 0x8030, L"Alt+0"},
        {kHotKeyCtrl, {}, 0, L""},                                     // modifiers alone: no key
        {0x24 | kHotKeyAlt, {-1, false, false, true}, 0, L"Alt+0x24"},  // Home: not in the list
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(r.row, ModeKeyRow(r.code));
        EXPECT_EQ(r.back, ModeKeyCode(ModeKeyRow(r.code)));
        EXPECT_EQ(r.text, HotKeyText(r.code));
    }
    // Every entry with every set of boxes comes back as it went in.
    for (int entry = 1; entry <= 50; ++entry) {
        for (int boxes = 0; boxes < 8; ++boxes) {
            const TKeyRow row{entry, (boxes & 1) != 0, (boxes & 2) != 0, (boxes & 4) != 0};
            ASSERT_EQ(row, ModeKeyRow(ModeKeyCode(row))) << entry << " " << boxes;
        }
    }
    EXPECT_EQ(0, ModeKeyCode({0, true, true, true})) << "ticked boxes without a key are no key";
}

TEST(ModeKeys, StoredKeysKeepTheirLowSixteenBits) {
    TSettings settings{};
    settings.hotkey_mode1 = 0x10000 | kCtrlF5;
    settings.hotkey_mode7 = kHotKeyShift;  // a modifier without a key
    const TModeKeys keys = ModeKeysFromSettings(settings);
    EXPECT_EQ((TModeKeys{0, kCtrlF5, 0, 0, 0, 0, 0, 0}), keys);
}

// A key is used once: by the main key, or by one mode.
TEST(ModeKeys, ConflictsNameTheKeysOtherHolder) {
    using M = TCaptureMode;
    struct Row {
        const char* label;
        std::uint16_t main;
        TModeKeys modes;
        std::optional<TKeyConflict> conflict;
    };
    const std::uint16_t f6 = 0x75, f7 = 0x76;
    const Row rows[] = {
        {"none", 44, {}, std::nullopt},
        {"all different", 44, {f6, f7, kCtrlF5, 0, 0, 0, 0, 0}, std::nullopt},
        {"same key, other modifiers", f6, {static_cast<std::uint16_t>(f6 | kHotKeyShift), 0, 0, 0, 0, 0, 0, f6 | kHotKeyAlt},
         std::nullopt},
        {"a mode takes the main key", kCtrlF5, {0, 0, 0, kCtrlF5, 0, 0, 0, 0}, TKeyConflict{M::ActiveWindow, std::nullopt}},
        {"two modes", 44, {0, f7, 0, 0, 0, f7, 0, 0}, TKeyConflict{M::WebPage, M::Region}},
        {"the first clash counts", 44, {f6, f6, f7, f7, 0, 0, 0, 0}, TKeyConflict{M::Region, M::FullScreen}},
        {"the main key over an earlier mode", f7, {0, f7, 0, 0, 0, 0, 0, f7}, TKeyConflict{M::Region, std::nullopt}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.conflict, FindKeyConflict(r.main, r.modes)) << r.label;
    }
}

// Scripts name the modes as the table does: the help and the usage error list every name.
TEST(ModeKeys, ScriptsReadTheModeNamesFromTheTable) {
    const std::wstring help = kTovasenCmdHelp;
    const std::wstring error = UnknownModeText(L"fullscreen");
    for (const TModeInfo& row : kCaptureModes) {
        const std::wstring name(row.scriptName);
        EXPECT_NE(std::wstring::npos, help.find(name)) << WideToUtf8(name);
        EXPECT_NE(std::wstring::npos, error.find(name)) << WideToUtf8(name);
        EXPECT_EQ(row.mode, CaptureModeNamed(name));
    }
    EXPECT_FALSE(CaptureModeNamed(L"fullscreen")) << "the history's name is not a script's";
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(ModeKeys, EveryKoreanTextOfTheDialogIsTranslated) {
    const std::vector<std::wstring> table = ParseTranslationTable(ReadFile(TOVASEN_SOURCE_DIR "/res/translate.txt"));
    const std::regex literal(R"re(L"((?:[^"\\]|\\.)*)")re");
    int checked = 0;
    for (const auto& file : std::filesystem::directory_iterator(TOVASEN_SOURCE_DIR "/src/hotkey")) {
        const std::string source = ReadFile(file.path());
        for (std::sregex_iterator it(source.begin(), source.end(), literal), end; it != end; ++it) {
            // As the compiler reads it: a doubled backslash in the source is the table's single one.
            const std::wstring text = Utf8ToWide(std::regex_replace((*it)[1].str(), std::regex(R"(\\\\)"), "\\"));
            if (std::none_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; })) continue;
            ++checked;
            for (const wchar_t* lang : kLanguageCodes) {
                if (std::wstring(lang) == L"ko") continue;
                EXPECT_NE(text, TranslateWith(table, text, lang)) << WideToUtf8(text) << " has no " << WideToUtf8(lang);
            }
        }
    }
    EXPECT_LE(12, checked);
}

}  // namespace
}  // namespace tovasen
