#pragma once
#include <functional>
#include <string>
#include <vector>

namespace tovasen {

class TComponent;
class TMenuItem;

// Translates every caption and list item of a component and of what it owns. A language given
// becomes the current one. Window titles of forms show English in every language but Korean.
void TranslateComponent(TComponent* component, const std::wstring& lang = {});
void TranslateMenuItem(TMenuItem& item);

// One answer to a language change: a window that shows translated text keeps one while it
// exists and translates itself in it. Listeners hear a change in the order they were made.
class TLanguageListener {
public:
    explicit TLanguageListener(std::function<void()> changed);
    TLanguageListener(const TLanguageListener&) = delete;
    TLanguageListener& operator=(const TLanguageListener&) = delete;
    ~TLanguageListener();

private:
    friend void ChangeLanguage(const std::wstring& code);
    std::function<void()> FChanged;
};

// The language menu's one event: code becomes the current language, and every listener that
// exists hears of it (one made or freed meanwhile is left out or skipped).
void ChangeLanguage(const std::wstring& code);

// The "TRANSLATE" resource of module as table lines; empty when it is missing.
std::vector<std::wstring> LoadTranslationTable(void* module);

// Program start: reads the "TRANSLATE" resource into TranslationTable (what could be read, when
// reading fails) and sets CurrentLanguage from the user's language.
void InitializeTranslation();
// The user's ISO 639 language name, "en" when the system cannot tell.
std::wstring GetUserLanguage();

}  // namespace tovasen
