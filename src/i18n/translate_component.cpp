#include "i18n/translate_component.h"

#include <windows.h>

#include <algorithm>

#include "base/utf_convert.h"
#include "i18n/translation.h"
#include "ui/captioned.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"

namespace tovasen {

void TranslateMenuItem(TMenuItem& item) {
    item.Caption = Translate(item.Caption);
    for (TMenuItem* sub : item.Items()) TranslateMenuItem(*sub);
}

namespace {

std::vector<TLanguageListener*>& Listeners() {
    static std::vector<TLanguageListener*> listeners;
    return listeners;
}

}  // namespace

TLanguageListener::TLanguageListener(std::function<void()> changed) : FChanged(std::move(changed)) {
    Listeners().push_back(this);
}

TLanguageListener::~TLanguageListener() { std::erase(Listeners(), this); }

void ChangeLanguage(const std::wstring& code) {
    CurrentLanguage = code;
    const std::vector<TLanguageListener*> listeners = Listeners();
    for (TLanguageListener* listener : listeners) {
        // A listener freed by an earlier one is no longer in the list.
        if (std::find(Listeners().begin(), Listeners().end(), listener) != Listeners().end()) listener->FChanged();
    }
}

void TranslateComponent(TComponent* component, const std::wstring& lang) {
    if (!lang.empty()) CurrentLanguage = lang;
    if (!component) return;
    if (auto* combo = dynamic_cast<TComboBox*>(component)) {
        combo->TranslateItems([](const std::wstring& item) { return Translate(item); });
        return;
    }
    if (auto* popup = dynamic_cast<TPopupMenu*>(component)) TranslateMenuItem(popup->Items());
    if (auto* item = dynamic_cast<TMenuItem*>(component)) item->Caption = Translate(item->Caption);
    if (auto* captioned = dynamic_cast<TCaptioned*>(component)) {
        const bool englishTitle = dynamic_cast<TForm*>(component) && CurrentLanguage != L"ko";
        captioned->SetCaption(englishTitle ? Translate(captioned->Caption(), L"en") : Translate(captioned->Caption()));
    }
    // A copy: translating never adds or frees components, but the list must not be walked
    // while anything could.
    const std::vector<TComponent*> owned = component->Components();
    for (TComponent* child : owned) TranslateComponent(child, lang);
}

std::wstring GetUserLanguage() {
    const LCID locale = GetUserDefaultLCID();
    const int length = GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (length < 1) return L"en";
    std::wstring name(static_cast<std::size_t>(length), L'\0');
    const int read = GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, name.data(), length);
    if (read < 1) return L"en";
    name.resize(static_cast<std::size_t>(read - 1));
    return name;
}

std::vector<std::wstring> LoadTranslationTable(void* moduleHandle) {
    auto module = static_cast<HMODULE>(moduleHandle);
    HRSRC found = FindResourceW(module, L"TRANSLATE", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return ParseTranslationTable(std::string_view(static_cast<const char*>(data), SizeofResource(module, found)));
}

void InitializeTranslation() {
    TranslationTable = LoadTranslationTable(GetModuleHandleW(nullptr));
    CurrentLanguage = GetUserLanguage().substr(0, 2);
}

}  // namespace tovasen
