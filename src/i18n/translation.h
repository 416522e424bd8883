#pragma once
#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovasen {

// The interface languages, in the order of the language menu's check marks.
inline constexpr std::array<const wchar_t*, 7> kLanguageCodes = {L"ko", L"en", L"ja", L"ru", L"it", L"fr", L"zh"};

// The translation table as lines in file order (empty lines included): blocks of code=text
// lines, "ko" first, each block ended by an empty line. A leading byte-order mark is skipped;
// CR LF, LF and CR all end a line.
std::vector<std::wstring> ParseTranslationTable(std::string_view utf8);

// Looks text up in any language of table (ASCII letters without regard to case) and returns
// the same block's text in lang, else in English, else text itself; "\n" pairs become CR.
std::wstring TranslateWith(const std::vector<std::wstring>& table, std::wstring_view text, std::wstring_view lang);

// The program's table and language, filled at start-up before any window exists.
extern std::vector<std::wstring> TranslationTable;
extern std::wstring CurrentLanguage;

// TranslateWith on the program's table; an empty lang means CurrentLanguage.
std::wstring Translate(std::wstring_view text, std::wstring_view lang = {});

// format with each "%s" replaced, in order, by the next value; missing values leave the rest.
std::wstring FillIn(std::wstring format, std::initializer_list<std::wstring> values);

// "file" is missing, translated; a translation without the placeholder still names the file.
std::wstring FileMissingText(const std::wstring& file);

// The interface language to use: the stored setting as it is, or without one the user's
// system language cut to two letters; anything not exactly a table code gives "en".
std::wstring ResolveLanguage(const std::optional<std::wstring>& stored, const std::wstring& userLanguage);

// Index of code in kLanguageCodes, or -1.
int LanguageIndex(std::wstring_view code);

}  // namespace tovasen
