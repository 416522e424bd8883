// The settings model: what each choice stores, and what a request made now is carried out with.
#include "app/settings_model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tovasen {
namespace {

struct Stored {
    std::map<std::wstring, int> integers;
    std::map<std::wstring, std::wstring> texts;
    TSettingsWriter Writer() {
        return TSettingsWriter([this](const TStoredValue& value) {
            if (value.integer) integers[std::wstring(value.name)] = *value.integer;
            if (value.text) texts[std::wstring(value.name)] = *value.text;
        });
    }
};

TEST(SettingsModel, OnlyModesThatOpenNoWindowAreKeptForTheNextStart) {
    for (const TModeInfo& row : kCaptureModes) {
        Stored stored;
        TSettingsModel model(DefaultSettings({}), stored.Writer());
        int changes = 0;
        model.OnChanged = [&] { ++changes; };
        model.ChooseMode(row.mode);
        EXPECT_EQ(row.mode, model.Mode());
        EXPECT_EQ(row.remembered ? StoredIndex(row.mode) : 0, stored.integers[L"area"]) << StoredIndex(row.mode);
        EXPECT_EQ(1, changes);
    }
    EXPECT_FALSE(InfoOf(TCaptureMode::WebPage).remembered);
    EXPECT_TRUE(InfoOf(TCaptureMode::ActiveWindow).remembered);
}

TEST(SettingsModel, TheSnapshotCarriesEveryChoiceAsChosen) {
    Stored stored;
    TSettings values = DefaultSettings({});
    values.area = StoredIndex(TCaptureMode::Region);
    values.saveto = StoredIndex(TSaveTarget::Jpg);
    values.jpeg_quality = 3;
    values.webp_quality = 42;  // not an index of the list: the usual 90
    values.sound = 3;
    values.language_ocr = 5;   // beyond the two languages: the first
    values.append = 3;
    values.path = L"C:\\Shots";
    values.record_limit = 60;
    TSettingsModel model(values, stored.Writer());
    model.SetOcrLanguages({{L"English", L"en", L"English", L""}, {L"Korean", L"ko", L"한국어", L""}});
    const TCaptureOptions o = model.Snapshot();
    EXPECT_EQ(TCaptureMode::Region, o.Mode);
    EXPECT_EQ(TSaveTarget::Jpg, o.Target);
    EXPECT_EQ(70, o.JpegQuality);
    EXPECT_EQ(90, o.WebpQuality);
    EXPECT_FALSE(o.SoundBefore);
    EXPECT_TRUE(o.SoundAfter);
    ASSERT_TRUE(o.OcrLanguage.has_value());
    EXPECT_EQ(L"en", o.OcrLanguage->LanguageTag);
    EXPECT_EQ(NamingScheme::FirstFree, o.Naming);
    EXPECT_EQ(L"C:\\Shots", o.Folder);
    EXPECT_EQ(L"C:\\Shots", o.Recording.LogFolder);
    EXPECT_EQ(60, o.Recording.LimitMinutes);
    EXPECT_TRUE(stored.integers.empty()) << "reading stores nothing";

    model.ChooseFolder(L"D:\\Other");
    model.Toggle(&TSettings::autocopy);
    EXPECT_EQ(L"C:\\Shots", o.Folder) << "a snapshot taken keeps its folder";
    EXPECT_EQ(L"D:\\Other", stored.texts[L"path"]);
    EXPECT_EQ(1, stored.integers[L"autocopy"]);
    EXPECT_TRUE(model.Snapshot().AutoCopy);
}

}  // namespace
}  // namespace tovasen
