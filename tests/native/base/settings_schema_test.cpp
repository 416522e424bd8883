// The settings table: what a clean account gets, what a stored value becomes, how a change is
// stored. The registry's side (types, a value of the wrong type) is tested under Wine.
#include "base/settings_schema.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <variant>

#include "i18n/translation.h"

namespace tovasen {
namespace {

// A store in memory: integers and strings by name, as the registry keeps them.
class MapSource : public TSettingsSource {
public:
    std::map<std::wstring, std::variant<int, std::wstring>, std::less<>> values;
    std::optional<int> ReadInteger(std::wstring_view name) const override {
        const auto found = values.find(name);
        if (found == values.end() || !std::holds_alternative<int>(found->second)) return std::nullopt;
        return std::get<int>(found->second);
    }
    std::optional<std::wstring> ReadString(std::wstring_view name) const override {
        const auto found = values.find(name);
        if (found == values.end() || !std::holds_alternative<std::wstring>(found->second)) return std::nullopt;
        return std::get<std::wstring>(found->second);
    }
};

TSettingsEnvironment Environment(const std::wstring& userLanguage = L"ja-JP") {
    return {1280, 1024, userLanguage, L"C:\\Users\\u\\Desktop"};
}

// Reads one value of a store that holds only `stored` under `name`, as an int (booleans 0/1)
// or a string.
std::variant<int, std::wstring> ReadOne(std::wstring_view name, const std::optional<std::variant<int, std::wstring>>& stored,
                                        const TSettingsEnvironment& env = Environment()) {
    MapSource source;
    if (stored) source.values[std::wstring(name)] = *stored;
    const TSettings s = ReadSettings(source, env);
    std::variant<int, std::wstring> result;
#define TOVASEN_TEST_PICK(field, type, defaultValue, rule) \
    if (name == L## #field) result = s.field;
    TOVASEN_SETTINGS(TOVASEN_TEST_PICK)
#undef TOVASEN_TEST_PICK
    return result;
}

using V = std::variant<int, std::wstring>;
constexpr std::nullopt_t kAbsent = std::nullopt;

// One row per case: the value stored (or none), and what the program reads.
struct Row {
    const wchar_t* name;
    std::optional<V> stored;
    V read;
};

TEST(SettingsSchema, DefaultsAndRulesAsOneTable) {
    const Row rows[] = {
        // A clean account.
        {L"path", kAbsent, V(L"C:\\Users\\u\\Desktop")},
        {L"language", kAbsent, V(L"ja")},
        {L"language_ocr", kAbsent, V(0)},
        {L"audio", kAbsent, V(0)},
        {L"mouse", kAbsent, V(1)},
        {L"mouse_rec", kAbsent, V(1)},
        {L"autocopy", kAbsent, V(0)},
        {L"ffmpeg_log", kAbsent, V(0)},
        {L"show_input", kAbsent, V(0)},
        {L"area", kAbsent, V(0)},
        {L"saveto", kAbsent, V(0)},
        {L"jpeg_quality", kAbsent, V(1)},
        {L"webp_quality", kAbsent, V(1)},
        {L"append", kAbsent, V(1)},
        {L"sound", kAbsent, V(2)},
        {L"record_limit", kAbsent, V(0)},
        {L"hotkey", kAbsent, V(44)},
        {L"hotkey_mode0", kAbsent, V(0)},
        {L"hotkey_mode1", kAbsent, V(0)},
        {L"hotkey_mode2", kAbsent, V(0)},
        {L"hotkey_mode3", kAbsent, V(0)},
        {L"hotkey_mode4", kAbsent, V(0)},
        {L"hotkey_mode5", kAbsent, V(0)},
        {L"hotkey_mode6", kAbsent, V(0)},
        {L"hotkey_mode7", kAbsent, V(0)},
        {L"left", kAbsent, V(400)},
        {L"top", kAbsent, V(332)},
        {L"width", kAbsent, V(480)},
        {L"height", kAbsent, V(360)},
        {L"width_1", kAbsent, V(320)},
        {L"height_1", kAbsent, V(240)},
        {L"width_2", kAbsent, V(640)},
        {L"height_2", kAbsent, V(480)},
        {L"width_3", kAbsent, V(720)},
        {L"height_3", kAbsent, V(480)},
        {L"edit_before_output", kAbsent, V(0)},
        {L"redact_secrets", kAbsent, V(0)},
        {L"history_keep", kAbsent, V(1)},
        {L"history_max_entries", kAbsent, V(1000)},
        {L"history_max_copy_mb", kAbsent, V(2048)},
        // Stored values within their rules read as they are.
        {L"path", V(L"D:\\Shots"), V(L"D:\\Shots")},
        {L"language", V(L"ru"), V(L"ru")},
        {L"mouse", V(0), V(0)},
        {L"audio", V(7), V(1)},
        {L"area", V(3), V(3)},
        {L"saveto", V(11), V(11)},
        {L"append", V(3), V(3)},
        {L"record_limit", V(240), V(240)},
        {L"left", V(-1900), V(-1900)},
        {L"width_2", V(800), V(800)},
        // Outside: an index or a choice falls back to its default, a size to its bound.
        {L"language", V(L"KO"), V(L"en")},
        {L"language", V(L"xx-YY"), V(L"en")},
        {L"area", V(8), V(0)},
        {L"area", V(7), V(7)},
        {L"area", V(-1), V(0)},
        {L"saveto", V(12), V(0)},
        {L"jpeg_quality", V(2147483647), V(1)},
        {L"webp_quality", V(5), V(1)},
        {L"append", V(7), V(1)},
        {L"sound", V(0), V(2)},
        {L"record_limit", V(5), V(0)},
        {L"hotkey", V(0x7FFFFFFF), V(0xFFFF)},
        {L"hotkey", V(-1), V(0xFFFF)},
        {L"hotkey", V(0x16074), V(0x6074)},
        {L"hotkey_mode3", V(0x16074), V(0x6074)},
        {L"hotkey_mode7", V(-1), V(0xFFFF)},
        {L"width_1", V(50), V(64)},
        {L"height_3", V(123456), V(9999)},
        {L"height_2", V(-5), V(64)},
        {L"history_max_entries", V(3), V(10)},
        {L"history_max_copy_mb", V(99999999), V(1048576)},
        // A value of the wrong type is no value.
        {L"sound", V(L"3"), V(2)},
        {L"path", V(5), V(L"C:\\Users\\u\\Desktop")},
    };
    for (const Row& row : rows) {
        const V got = ReadOne(row.name, row.stored);
        EXPECT_TRUE(got == row.read) << "\"" << testing::PrintToString(std::wstring(row.name)) << "\" stored "
                                     << (row.stored ? testing::PrintToString(*row.stored) : "nothing");
    }
    // Every value of the table is in a row above.
    std::set<std::wstring> covered;
    for (const Row& row : rows) covered.insert(row.name);
    for (const TSettingInfo& info : SettingsTable()) EXPECT_TRUE(covered.count(std::wstring(info.name))) << "no row for a value";
}

// Defaults that follow the system, and what a change is stored as.
TEST(SettingsSchema, DefaultsFollowTheSystemAndWritesKeepTheStoredFormats) {
    EXPECT_TRUE(ReadOne(L"language", kAbsent, Environment(L"de")) == V(L"en")) << "German users get English";
    EXPECT_EQ((1920 - 480) / 2, DefaultSettings({1920, 1080, L"", L""}).left) << "the frame is centred";
    // The schema's languages are the translation table's, in the menu's order.
    ASSERT_EQ(std::size(kLanguageCodes), std::size(kInterfaceLanguages));
    for (std::size_t i = 0; i < std::size(kLanguageCodes); ++i) EXPECT_EQ(kLanguageCodes[i], kInterfaceLanguages[i]);

    std::vector<std::wstring> log;
    const TSettingsWriter writer([&](const TStoredValue& v) {
        log.push_back(std::wstring(v.name) + L"=" + (v.integer ? std::to_wstring(*v.integer) : L"") +
                      (v.text ? L"'" + *v.text + L"'" : L""));
    });
    writer.Write(&TSettings::width_3, 1024);
    writer.Write(&TSettings::mouse_rec, false);
    writer.Write(&TSettings::autocopy, true);
    writer.Write(&TSettings::path, L"E:\\x");
    EXPECT_EQ((std::vector<std::wstring>{L"width_3=1024", L"mouse_rec=0", L"autocopy=1", L"path='E:\\x'"}), log);
}

}  // namespace
}  // namespace tovasen
