#include "update/update_reply.h"

#include <cstdio>

#include "base/address_gate.h"
#include "base/log_event.h"
#include "base/text_helpers.h"

namespace tovasen {
namespace {

std::wstring Value(const std::wstring& source, const wchar_t* start, const wchar_t* end) {
    try {
        return JsonUnescape(ExtractBetween(source, start, end));
    } catch (const EJsonEscape&) {
        LogCaught(L"update-reply", std::current_exception());
        return {};
    }
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsUpperHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsLanguageCode(const std::wstring& code) {
    if (code.size() < 2 || code.size() > 3) return false;
    for (wchar_t c : code) {
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'))) return false;
    }
    return true;
}

}  // namespace

UpdateReply ParseUpdateReply(const std::wstring& reply) {
    UpdateReply r;
    r.update = Value(reply, L"\"update\":\"", L"\"");
    r.notify = Value(reply, L"\"notify\":\"", L"\"");
    // The extra content is searched inside the info object only, which ends at its first brace.
    const std::wstring info = ExtractBetween(reply, L"\"info\":{", L"}");
    r.style = Value(info, L"\"style\":\"", L"\"");
    r.text = Value(info, L"\"text\":\"", L"\"");
    r.flag = Value(info, L"\"flag\":\"", L"\"");
    r.url = Value(info, L"\"url\":\"", L"\"");
    return r;
}

std::wstring CleanServerText(std::wstring_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // One character: a code unit, or a surrogate pair; a lone half is no character at all.
        char32_t c = text[i];
        std::size_t units = 1;
        if (IsHighSurrogate(text[i])) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) continue;
            c = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            units = 2;
        } else if (IsLowSurrogate(text[i])) {
            continue;
        }
        const std::wstring_view character = text.substr(i, units);
        i += units - 1;
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || IsFormatCharacter(c)) continue;
        // A pair that would not fit goes whole.
        if (out.size() + units > kMaxServerText) break;
        out += character;
    }
    return out;
}

std::wstring MakeKuid(std::uint32_t first, std::uint32_t second, std::uint32_t third, const LocalStamp& at) {
    wchar_t text[40];
    std::swprintf(text, std::size(text), L"%08X%02d%02d%02d%04X%02d%02d%02d%08X",
                  static_cast<unsigned>(first % 0x7FFFFFFFu), at.year % 100, at.month % 100, at.day % 100,
                  static_cast<unsigned>(second % 0xFFFFu), at.hour % 100, at.minute % 100, at.second % 100,
                  static_cast<unsigned>(third % 0x7FFFFFFFu));
    return text;
}

bool IsValidKuid(std::wstring_view kuid) {
    if (kuid.size() != 32) return false;
    for (std::size_t i = 0; i < kuid.size(); ++i) {
        const bool digits = (i >= 8 && i < 14) || (i >= 18 && i < 24);
        if (digits ? !IsDigit(kuid[i]) : !IsUpperHex(kuid[i])) return false;
    }
    return true;
}

std::wstring UpdateCheckHeaders(const std::wstring& version, const std::wstring& language, const std::wstring& kuid) {
    return L"User-Version: " + version + L"\r\n" + L"User-Language: " + (IsLanguageCode(language) ? language : L"") +
           L"\r\n" + L"User-Debug: false\r\n" + L"User-Union: " + (IsValidKuid(kuid) ? kuid : L"") + L"\r\n";
}

std::wstring UpdateHoldHeaders(const std::wstring& version) {
    return L"User-Version: " + version + L"\r\nUser-Command: hold\r\n";
}

bool IsHttpsAddress(std::wstring_view address) {
    if (!IsSafeWebAddress(address) || address.size() < 8) return false;
    std::wstring scheme(address.substr(0, 8));
    for (wchar_t& c : scheme) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return scheme == L"https://";
}

UpdateTexts UpdateTextsFor(std::wstring_view language) {
    struct Row {
        const wchar_t* code;
        UpdateTexts texts;
    };
    static const Row rows[] = {
        {L"ko", {L"업데이트 정보가 있습니다.\r\r안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.\r\r다운로드 받으시겠습니까?",
                 L"업데이트 가능", L"예", L"아니오"}},
        {L"ja", {L"このプログラムがアップデートされました。\r\r安定的に使用するために新しくダウンロード·実行することをお勧めします。\r\rダウンロードしますか。",
                 L"アップデート可", L"はい", L"いいえ"}},
        {L"zh", {L"该程序已更新。\r\r建议下载并执行新程序以稳定使用。\r\r您要下载吗？", L"可更新", L"是", L"否"}},
        {L"de", {L"Dieses Programm ist aktualisiert worden.\r\rEs wird empfohlen, es herunterzuladen und neu auszuführen, um es stabil zu verwenden.\r\rMöchten Sie es herunterladen?",
                 L"Update möglich", L"Ja", L"Nein"}},
        {L"ru", {L"Данная программа была обновлена.\r\rРекомендуется скачать и выполнить новое для стабильного использования.\r\rВы хотите загрузить ее?",
                 L"Обновление", L"Да", L"Нет"}},
        {L"it", {L"È disponibile una nuova versione del programma.\r\rTi suggeriamo di scaricare ed aggiornare il programma.\r\rVuoi scaricare la nuova versione del programma?",
                 L"Aggiornabile", L"Sì", L"No"}},
        {L"fr", {L"Ce programme a été mis à jour.\r\rIl est recommandé de télécharger et d'exécuter la nouvelle version pour une utilisation stable.\r\rVoulez-vous le télécharger?",
                 L"Maj dispo", L"Oui", L"Non"}},
    };
    for (const Row& row : rows) {
        if (language == row.code) return row.texts;
    }
    return {L"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\rDo you want to download it?",
            L"Update available", L"Yes", L"No"};
}

}  // namespace tovasen
