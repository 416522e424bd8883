#include "base/settings_schema.h"

#include <algorithm>
#include <type_traits>

namespace tovasen {
namespace {

class TNoSource : public TSettingsSource {
public:
    std::optional<int> ReadInteger(std::wstring_view) const override { return std::nullopt; }
    std::optional<std::wstring> ReadString(std::wstring_view) const override { return std::nullopt; }
};

std::optional<int> ReadAs(const TSettingsSource& source, std::wstring_view name, int) {
    return source.ReadInteger(name);
}
std::optional<bool> ReadAs(const TSettingsSource& source, std::wstring_view name, bool) {
    const std::optional<int> value = source.ReadInteger(name);
    if (!value) return std::nullopt;
    return *value != 0;
}
std::optional<std::wstring> ReadAs(const TSettingsSource& source, std::wstring_view name, const std::wstring&) {
    return source.ReadString(name);
}

bool ApplySettingRule(const TSettingRule&, bool value, bool) { return value; }

}  // namespace

int ApplySettingRule(const TSettingRule& rule, int value, int defaultValue) {
    using Kind = TSettingRule::Kind;
    switch (rule.kind) {
    case Kind::Index:
        return value >= 0 && value < rule.high ? value : defaultValue;
    case Kind::OneOf:
        return std::find(rule.choices.begin(), rule.choices.end(), value) != rule.choices.end() ? value : defaultValue;
    case Kind::Range:
        return std::clamp(value, rule.low, rule.high);
    case Kind::Low16:
        return static_cast<int>(static_cast<unsigned>(value) & 0xFFFFu);
    case Kind::Keep:
    case Kind::Language:
        break;
    }
    return value;
}

std::wstring ApplySettingRule(const TSettingRule& rule, const std::wstring& value, const std::wstring&) {
    if (rule.kind != TSettingRule::Kind::Language) return value;
    const bool known = std::find(std::begin(kInterfaceLanguages), std::end(kInterfaceLanguages), value) !=
                       std::end(kInterfaceLanguages);
    return known ? value : L"en";
}

const std::vector<TSettingInfo>& SettingsTable() {
    using namespace setting_rule;
    static const std::vector<TSettingInfo> table = {
#define TOVASEN_SETTING_INFO(name, type, defaultValue, rule) {L## #name, TSettingType::type, rule},
        TOVASEN_SETTINGS(TOVASEN_SETTING_INFO)
#undef TOVASEN_SETTING_INFO
    };
    return table;
}

TSettings ReadSettings(const TSettingsSource& source, const TSettingsEnvironment& env) {
    using namespace setting_rule;
    TSettings s;
#define TOVASEN_SETTING_READ(name, type, defaultValue, rule)                                   \
    {                                                                                          \
        const setting_type::type fallback = defaultValue;                                      \
        const auto stored = ReadAs(source, L## #name, fallback);                               \
        s.name = ApplySettingRule(rule, stored ? setting_type::type(*stored) : fallback, fallback); \
    }
    TOVASEN_SETTINGS(TOVASEN_SETTING_READ)
#undef TOVASEN_SETTING_READ
    return s;
}

TSettings DefaultSettings(const TSettingsEnvironment& env) { return ReadSettings(TNoSource(), env); }

namespace {

// A member pointer compares only with pointers to members of its own type.
template <class T, class U>
void MatchField(T TSettings::*field, U TSettings::*candidate, std::wstring_view name, std::wstring_view& found) {
    if constexpr (std::is_same_v<T, U>) {
        if (field == candidate) found = name;
    }
}

template <class T>
std::wstring_view NameOf(T TSettings::*field) {
    std::wstring_view found;
#define TOVASEN_SETTING_MATCH(name, type, defaultValue, rule) MatchField(field, &TSettings::name, L## #name, found);
    TOVASEN_SETTINGS(TOVASEN_SETTING_MATCH)
#undef TOVASEN_SETTING_MATCH
    return found;
}

}  // namespace

std::wstring_view SettingName(int TSettings::*field) { return NameOf(field); }
std::wstring_view SettingName(bool TSettings::*field) { return NameOf(field); }
std::wstring_view SettingName(std::wstring TSettings::*field) { return NameOf(field); }

void TSettingsWriter::Write(int TSettings::*field, int value) const {
    if (FStore) FStore({SettingName(field), value, std::nullopt});
}

void TSettingsWriter::Write(bool TSettings::*field, bool value) const {
    if (FStore) FStore({SettingName(field), value ? 1 : 0, std::nullopt});
}

void TSettingsWriter::Write(std::wstring TSettings::*field, const std::wstring& value) const {
    if (FStore) FStore({SettingName(field), std::nullopt, value});
}

}  // namespace tovasen
