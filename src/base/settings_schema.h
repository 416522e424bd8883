#pragma once
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/capture_kinds.h"

namespace tovasen {

// How a value read from the store is kept usable. A value outside what the rule accepts reads
// as its default, except where the rule says otherwise.
struct TSettingRule {
    enum class Kind { Keep, Index, OneOf, Range, Low16, Language };
    Kind kind = Kind::Keep;
    int low = 0, high = 0;     // Index: 0 .. high - 1; Range: low .. high, clamped to the nearer bound
    std::vector<int> choices;  // OneOf
};
// The rules as the table names them.
namespace setting_rule {
inline TSettingRule Keep() { return {}; }
// An index into a list of `count` items.
inline TSettingRule Index(int count) { return {TSettingRule::Kind::Index, 0, count, {}}; }
// One of the values the menu's items stand for.
inline TSettingRule OneOf(std::initializer_list<int> choices) { return {TSettingRule::Kind::OneOf, 0, 0, choices}; }
// Clamped into low .. high (not replaced by the default).
inline TSettingRule Range(int low, int high) { return {TSettingRule::Kind::Range, low, high, {}}; }
// Only the low 16 bits count (a hotkey code).
inline TSettingRule Low16() { return {TSettingRule::Kind::Low16, 0, 0, {}}; }
// One of the interface languages, case-sensitive; anything else is English.
inline TSettingRule Language() { return {TSettingRule::Kind::Language, 0, 0, {}}; }
}  // namespace setting_rule

// The number of entries of the quality lists.
inline constexpr int kQualityCount = 5;

// The size presets' limits (the presets dialog's fields hold no other values).
inline constexpr int kPresetMin = 64;
inline constexpr int kPresetMax = 9999;

// The interface languages, in the order of the language menu.
inline constexpr std::wstring_view kInterfaceLanguages[] = {L"ko", L"en", L"ja", L"ru", L"it", L"fr", L"zh"};

// What some defaults depend on. A part left empty makes the defaults that use it meaningless: a
// window that reads only its own values need not work out the others.
struct TSettingsEnvironment {
    int screenWidth = 0, screenHeight = 0;  // the primary screen
    std::wstring userLanguage;              // the user's ISO 639 language name
    std::wstring desktopFolder;
};

// Every stored value, one line each: its registry name (also its field name), its type, its
// default (an expression that may use `env`), and the rule a stored value must pass. Adding a
// setting is adding a line here. Registry types: Boolean and Integer are REG_DWORD (a Boolean
// is 0 or 1 and reads true when not 0), String is REG_SZ; a value of another registry type
// reads as absent.
#define TOVASEN_SETTINGS(X)                                                       \
    X(path, String, env.desktopFolder, Keep())                                    \
    X(language, String, env.userLanguage.substr(0, 2), Language())                \
    X(language_ocr, Integer, 0, Keep())                                           \
    X(audio, Boolean, false, Keep())                                              \
    X(mouse, Boolean, true, Keep())                                               \
    X(mouse_rec, Boolean, true, Keep())                                           \
    X(autocopy, Boolean, false, Keep())                                           \
    X(ffmpeg_log, Boolean, false, Keep())                                         \
    X(show_input, Boolean, false, Keep())                                         \
    X(area, Integer, 0, Index(kCaptureModeCount))                                 \
    X(saveto, Integer, 0, Index(kSaveTargetCount))                                \
    X(jpeg_quality, Integer, 1, Index(kQualityCount))                             \
    X(webp_quality, Integer, 1, Index(kQualityCount))                             \
    X(append, Integer, 1, OneOf({1, 2, 3}))                                       \
    X(sound, Integer, 2, OneOf({1, 2, 3}))                                        \
    X(record_limit, Integer, 0, OneOf({0, 30, 60, 120, 240}))                     \
    X(hotkey, Integer, 44, Low16())                                               \
    /* each capture mode's own key, by its index in the mode list; 0: none */     \
    X(hotkey_mode0, Integer, 0, Low16())                                          \
    X(hotkey_mode1, Integer, 0, Low16())                                          \
    X(hotkey_mode2, Integer, 0, Low16())                                          \
    X(hotkey_mode3, Integer, 0, Low16())                                          \
    X(hotkey_mode4, Integer, 0, Low16())                                          \
    X(hotkey_mode5, Integer, 0, Low16())                                          \
    X(hotkey_mode6, Integer, 0, Low16())                                          \
    X(hotkey_mode7, Integer, 0, Low16())                                          \
    X(left, Integer, (env.screenWidth - 480) / 2, Keep())                         \
    X(top, Integer, (env.screenHeight - 360) / 2, Keep())                         \
    X(width, Integer, 480, Keep())                                                \
    X(height, Integer, 360, Keep())                                               \
    X(width_1, Integer, 320, Range(kPresetMin, kPresetMax))                       \
    X(height_1, Integer, 240, Range(kPresetMin, kPresetMax))                      \
    X(width_2, Integer, 640, Range(kPresetMin, kPresetMax))                       \
    X(height_2, Integer, 480, Range(kPresetMin, kPresetMax))                      \
    X(width_3, Integer, 720, Range(kPresetMin, kPresetMax))                       \
    X(height_3, Integer, 480, Range(kPresetMin, kPresetMax))                      \
    X(edit_before_output, Boolean, false, Keep())                                 \
    X(redact_secrets, Boolean, false, Keep())                                     \
    X(history_keep, Boolean, true, Keep())                                        \
    X(history_max_entries, Integer, 1000, Range(10, 100000))                      \
    /* megabytes of copies of captures that wrote no file of their own: 2 GB */  \
    X(history_max_copy_mb, Integer, 2048, Range(16, 1048576))

namespace setting_type {
using Boolean = bool;
using Integer = int;
using String = std::wstring;
}  // namespace setting_type

// All settings as the program uses them: read, defaulted and kept in range.
struct TSettings {
#define TOVASEN_SETTING_FIELD(name, type, defaultValue, rule) setting_type::type name{};
    TOVASEN_SETTINGS(TOVASEN_SETTING_FIELD)
#undef TOVASEN_SETTING_FIELD
};

enum class TSettingType { Boolean, Integer, String };

// One line of the table, for code that walks all values (tests, a settings export).
struct TSettingInfo {
    std::wstring_view name;
    TSettingType type;
    TSettingRule rule;
};
const std::vector<TSettingInfo>& SettingsTable();

// Where values are read from: the registry, or anything a test puts in its place. Nothing is
// an absent value (or one of another type).
class TSettingsSource {
public:
    virtual ~TSettingsSource() = default;
    virtual std::optional<int> ReadInteger(std::wstring_view name) const = 0;
    virtual std::optional<std::wstring> ReadString(std::wstring_view name) const = 0;
};

TSettings DefaultSettings(const TSettingsEnvironment& env);
TSettings ReadSettings(const TSettingsSource& source, const TSettingsEnvironment& env);

// A value as stored: an integer (booleans too) or a string.
struct TStoredValue {
    std::wstring_view name;
    std::optional<int> integer;
    std::optional<std::wstring> text;
};

// Writes single settings under their registry names, as the store keeps them. Which field a
// write is for is checked when it compiles: Write(&TSettings::width, 300).
class TSettingsWriter {
public:
    TSettingsWriter() = default;
    explicit TSettingsWriter(std::function<void(const TStoredValue&)> store) : FStore(std::move(store)) {}

    void Write(int TSettings::*field, int value) const;
    void Write(bool TSettings::*field, bool value) const;
    void Write(std::wstring TSettings::*field, const std::wstring& value) const;

private:
    std::function<void(const TStoredValue&)> FStore;  // none: nothing is kept
};

// A field's registry name.
std::wstring_view SettingName(int TSettings::*field);
std::wstring_view SettingName(bool TSettings::*field);
std::wstring_view SettingName(std::wstring TSettings::*field);

// A value passed through its rule (defaultValue is what an unacceptable value becomes).
int ApplySettingRule(const TSettingRule& rule, int value, int defaultValue);
std::wstring ApplySettingRule(const TSettingRule& rule, const std::wstring& value, const std::wstring& defaultValue);

}  // namespace tovasen
