// Settings against the real registry of the test prefix: what a clean account and an existing
// one read, and that a change is stored in the registry type it always had.
#include "app/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/config.h"
#include "base/settings_registry.h"

namespace tovasen {
namespace {

constexpr wchar_t kPath[] = L"TovasenTest";
constexpr wchar_t kKey[] = L"Software\\TovasenTest";

class Settings : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    static TSettings Read(const std::wstring& userLanguage = L"en") {
        return ReadRegistrySettings({1280, 1024, userLanguage, L"C:\\Desktop"}, kPath);
    }
    // The registry type and raw bytes of a stored value.
    static DWORD TypeOf(const wchar_t* name, DWORD* number = nullptr) {
        DWORD type = 0, data = 0, size = sizeof(data);
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, number ? &data : nullptr,
                         number ? &size : nullptr) != ERROR_SUCCESS) {
            return REG_NONE;
        }
        if (number) *number = data;
        return type;
    }
};

TEST_F(Settings, ACleanAccountGetsEveryDefaultAndTheKey) {
    const TSettings s = Read();
    EXPECT_EQ(L"C:\\Desktop", s.path);
    EXPECT_EQ(L"en", s.language);
    EXPECT_TRUE(s.mouse && s.mouse_rec && !s.audio && !s.autocopy && !s.ffmpeg_log);
    EXPECT_EQ(2, s.sound);
    EXPECT_EQ(44, s.hotkey);
    EXPECT_EQ(400, s.left);
    EXPECT_EQ(332, s.top);
    EXPECT_EQ(720, s.width_3);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key)) << "the key is created when missing";
    RegCloseKey(key);
}

// Values as earlier versions stored them, through TConfig: they read back the same.
TEST_F(Settings, ExistingSettingsReadBackAsStored) {
    {
        TConfig config(kPath);
        config.WriteInteger(L"append", 3);
        config.WriteBoolean(L"mouse", false);
        config.WriteString(L"path", L"D:\\Shots");
        config.WriteString(L"language", L"ja");
        config.WriteInteger(L"hotkey", 24692);
        config.WriteInteger(L"left", -1500);
        config.WriteInteger(L"width_2", 800);
        // The wrong registry type reads as absent.
        config.WriteString(L"sound", L"3");
        config.WriteInteger(L"language_ocr", 2);
    }
    const TSettings s = Read();
    EXPECT_EQ(3, s.append);
    EXPECT_FALSE(s.mouse);
    EXPECT_EQ(L"D:\\Shots", s.path);
    EXPECT_EQ(L"ja", s.language);
    EXPECT_EQ(24692, s.hotkey);
    EXPECT_EQ(-1500, s.left);
    EXPECT_EQ(800, s.width_2);
    EXPECT_EQ(2, s.sound);
    EXPECT_EQ(2, s.language_ocr);
}

TEST_F(Settings, TheWriterStoresDwordsAndStringsAsBefore) {
    const TSettingsWriter writer = RegistrySettingsWriter(kPath);
    writer.Write(&TSettings::autocopy, true);
    writer.Write(&TSettings::width_1, 1024);
    writer.Write(&TSettings::left, -20);
    writer.Write(&TSettings::path, L"E:\\Captures");
    DWORD number = 0;
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), TypeOf(L"autocopy", &number));
    EXPECT_EQ(1u, number);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), TypeOf(L"width_1", &number));
    EXPECT_EQ(1024u, number);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), TypeOf(L"left", &number));
    EXPECT_EQ(static_cast<DWORD>(-20), number);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), TypeOf(L"path"));
    EXPECT_EQ(L"E:\\Captures", TConfig(kPath).ReadString(L"path", L""));
    // A key removed while the program runs is made again by the next change.
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    writer.Write(&TSettings::hotkey, 0x2C);
    EXPECT_EQ(44, Read().hotkey);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), TypeOf(L"hotkey"));
}

TEST_F(Settings, TheLanguageIsValidatedAndFollowsTheUser) {
    TConfig(kPath).WriteString(L"language", L"KO");
    EXPECT_EQ(L"en", Read(L"ko").language) << "codes are case-sensitive";
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(L"en", Read(L"de").language) << "German users get English";
    EXPECT_EQ(L"ja", Read(L"ja").language);
    // This system's own environment: a real screen, language and Desktop.
    const TSettingsEnvironment env = SystemSettingsEnvironment();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), env.screenWidth);
    EXPECT_FALSE(env.userLanguage.empty());
    EXPECT_FALSE(env.desktopFolder.empty());
}

}  // namespace
}  // namespace tovasen
