// Settings against the real registry of the test prefix.
#include "app/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/config.h"

namespace tovasen {
namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TovasenTest"); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TovasenTest"); }
    static TSettings Read(const std::wstring& userLanguage = L"en") {
        return ReadSettings(TConfig(L"TovasenTest"), 1280, 1024, userLanguage, L"C:\\Desktop");
    }
};

TEST_F(Settings, ACleanAccountGetsEveryDefault) {
    const TSettings s = Read();
    EXPECT_EQ(L"C:\\Desktop", s.path);
    EXPECT_EQ(L"en", s.language);
    EXPECT_EQ(0, s.language_ocr);
    EXPECT_FALSE(s.audio);
    EXPECT_TRUE(s.mouse);
    EXPECT_TRUE(s.mouse_rec);
    EXPECT_FALSE(s.autocopy);
    EXPECT_FALSE(s.ffmpeg_log);
    EXPECT_EQ(0, s.area) << "full screen";
    EXPECT_EQ(0, s.saveto) << "PNG";
    EXPECT_EQ(1, s.jpeg_quality) << "the item 90";
    EXPECT_EQ(1, s.webp_quality);
    EXPECT_EQ(1, s.append) << "sequential #1";
    EXPECT_EQ(2, s.sound) << "sound before the capture";
    EXPECT_EQ(0, s.record_limit) << "unlimited";
    EXPECT_EQ(44, s.hotkey) << "Print Screen";
    EXPECT_EQ(400, s.left);
    EXPECT_EQ(332, s.top);
    EXPECT_EQ(480, s.width);
    EXPECT_EQ(360, s.height);
    EXPECT_EQ(320, s.width_1);
    EXPECT_EQ(240, s.height_1);
    EXPECT_EQ(640, s.width_2);
    EXPECT_EQ(480, s.height_2);
    EXPECT_EQ(720, s.width_3);
    EXPECT_EQ(480, s.height_3);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TovasenTest", 0, KEY_READ, &key))
        << "the key is created when missing";
    RegCloseKey(key);
}

TEST_F(Settings, WrittenValuesReadBackThroughANewConfig) {
    {
        TConfig config(L"TovasenTest");
        EXPECT_EQ(3, config.WriteInteger(L"append", 3));
        EXPECT_FALSE(config.WriteBoolean(L"mouse", false));
        config.WriteString(L"path", L"D:\\Shots");
        config.WriteString(L"language", L"ja");
    }
    const TSettings s = Read();
    EXPECT_EQ(3, s.append);
    EXPECT_FALSE(s.mouse);
    EXPECT_EQ(L"D:\\Shots", s.path);
    EXPECT_EQ(L"ja", s.language);
}

TEST_F(Settings, AValueOfTheWrongTypeReadsAsTheDefault) {
    {
        TConfig config(L"TovasenTest");
        config.WriteString(L"sound", L"3");
        config.WriteInteger(L"path", 5);
    }
    const TSettings s = Read();
    EXPECT_EQ(2, s.sound);
    EXPECT_EQ(L"C:\\Desktop", s.path);
}

TEST_F(Settings, TheLanguageIsValidatedAndFollowsTheUser) {
    TConfig(L"TovasenTest").WriteString(L"language", L"KO");
    EXPECT_EQ(L"en", Read(L"ko").language) << "codes are case-sensitive";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TovasenTest");
    EXPECT_EQ(L"en", Read(L"de").language) << "German users get English";
    EXPECT_EQ(L"ja", Read(L"ja").language);
}

}  // namespace
}  // namespace tovasen
