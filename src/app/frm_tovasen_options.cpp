// The main window's settings and option handlers: each changes its control and stores the
// setting at once.
#include <cwctype>

#include "app/autostart.h"
#include "base/config.h"
#include "app/file_naming.h"
#include "app/frm_tovasen.h"
#include "base/module_path.h"
#include "app/select_folder.h"
#include "service_addresses.h"
#include "app/settings.h"
#include "base/settings_registry.h"
#include "app/system_helpers.h"
#include "base/version_text.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "select/frm_area.h"
#include "select/frm_size.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kFileMissing[] = L"\"%s\" 파일이 없습니다.";

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ReplacePlaceholder(std::wstring format, const std::wstring& value) {
    const std::size_t at = format.find(L"%s");
    if (at != std::wstring::npos) format.replace(at, 2, value);
    return format;
}

}  // namespace

void TFrmTovasen::SaveConfig(const std::wstring& name, int value) { TConfig().WriteInteger(name, value); }

void TFrmTovasen::SaveConfig(const std::wstring& name, bool value) { TConfig().WriteBoolean(name, value); }

void TFrmTovasen::SaveConfig(const std::wstring& name, const std::wstring& value) {
    TConfig().WriteString(name, value);
}

void TFrmTovasen::CheckOneOf(const std::vector<TMenuItem*>& items, TMenuItem* checked) {
    for (TMenuItem* item : items) item->Checked = item == checked;
}

void TFrmTovasen::LoadConfig() {
    {
        LoadOcrLanguages();
        const TSettings s = ReadRegistrySettings(SystemSettingsEnvironment());
        const int ocrCount = static_cast<int>(Languages.size());
        if (ocrCount > 0) ChkOCR_lang->SetItemIndex(s.language_ocr >= 0 && s.language_ocr < ocrCount ? s.language_ocr : 0);
        Language = s.language;
        SavePath = s.path;
        ChkAudio->Checked = s.audio;
        ChkMouse->Checked = s.mouse;
        ChkMouse_Rec->Checked = s.mouse_rec;
        ChkAutoCopy->Checked = s.autocopy;
        ChkEditFirst->Checked = s.edit_before_output;
        ChkRegStart->Checked = RefreshAutoStart(kAutoStartName);
        ChkLog->Checked = s.ffmpeg_log;
        ChkArea->SetItemIndex(0);
        ChkArea->SetItemIndex(s.area);
        ChkSaveTo->SetItemIndex(s.saveto);
        ChkJPEG_qual->SetItemIndex(s.jpeg_quality);
        ChkWebP_qual->SetItemIndex(s.webp_quality);
        CheckOneOf({ChkAppend1, ChkAppend2, ChkAppend3},
                   s.append == 1 ? ChkAppend1 : s.append == 2 ? ChkAppend2 : s.append == 3 ? ChkAppend3 : nullptr);
        CheckOneOf({ChkSound1, ChkSound2, ChkSound3},
                   s.sound == 1 ? ChkSound1 : s.sound == 2 ? ChkSound2 : s.sound == 3 ? ChkSound3 : nullptr);
        CheckLanguageItem(Language);
        TMenuItem* limit = nullptr;
        for (TMenuItem* item : ChkRecLimits) {
            if (item->Name() == L"ChkRecLimit" + std::to_wstring(s.record_limit)) limit = item;
        }
        CheckOneOf({ChkRecLimits.begin(), ChkRecLimits.end()}, limit);
    }
    TranslateComponent(this, Language);
    TranslateComponent(ChkArea);
    TranslateComponent(ChkSaveTo);
    SetCaption(Translate(Caption()));
    Application->SetTitle(Caption());
}

void TFrmTovasen::LoadOcrLanguages() {
    // A system without OCR (or without the Windows Runtime) offers no languages: the list stays
    // empty and choosing TXT says so.
    try {
        Languages = Controller->Ocr().AvailableLanguages();
    } catch (const std::exception&) {
        Languages.clear();
    }
    for (const TLanguage& language : Languages) ChkOCR_lang->AddItem(language.DisplayName);
}

void TFrmTovasen::CheckLanguageItem(const std::wstring& code) {
    const int checked = LanguageIndex(code);
    for (std::size_t i = 0; i < ChkLangItems.size(); ++i) ChkLangItems[i]->Checked = static_cast<int>(i) == checked;
}

void TFrmTovasen::ChkLang(TMenuItem& sender) {
    std::wstring code = sender.Name().substr(7);  // "ChkLangJa" gives "Ja"
    for (wchar_t& c : code) c = static_cast<wchar_t>(std::towlower(c));
    Language = code;
    CheckLanguageItem(Language);
    // Every open window translates itself, this one included (LanguageChanged).
    ChangeLanguage(Language);
    SaveConfig(L"language", Language);
}

void TFrmTovasen::LanguageChanged() {
    TranslateComponent(this);
    TranslateComponent(ChkArea);
    TranslateComponent(ChkSaveTo);
    const std::wstring caption = Translate(Caption());
    Application->SetTitle(caption);
    TrayIcon->SetHint(caption + L" " + GetVersionText(L"%d.%d.%d.%d"));
    // The update strip reads its text in the current language when it paints.
    if (auto* strip = dynamic_cast<TControl*>(FindComponent(L"StatusBar"))) InvalidateRect(strip->Handle(), nullptr, TRUE);
    SetCaption(caption);
}

void TFrmTovasen::ChkSound1Click(TMenuItem& sender) {
    CheckOneOf({ChkSound1, ChkSound2, ChkSound3}, &sender);
    SaveConfig(L"sound", sender.Name().back() - L'0');
}

void TFrmTovasen::ChkRecLimit0Click(TMenuItem& sender) {
    CheckOneOf({ChkRecLimits.begin(), ChkRecLimits.end()}, &sender);
    SaveConfig(L"record_limit", std::stoi(sender.Name().substr(11)));
}

void TFrmTovasen::ChkAppend1Click(TMenuItem& sender) {
    CheckOneOf({ChkAppend1, ChkAppend2, ChkAppend3}, &sender);
    SaveConfig(L"append", sender.Name().back() - L'0');
}

void TFrmTovasen::ChkAreaChange() {
    const int mode = CaptureMode();
    ChkArea->SetEnabled(false);
    ShowCard(0);
    CloseSelectionWindows();
    ChkArea->SetItemIndex(mode);  // closing the web page window selects item 0
    if (mode == cmRegion || mode == cmWindowControl || mode == cmWebPage) ShowSelectionWindow(mode);
    if (mode == cmColor) ShowCard(1);
    TmrColor->SetEnabled(FCard == 1);
    SaveConfig(L"area", mode >= 0 && mode <= 3 ? mode : 0);
    ChkArea->SetEnabled(true);
}

void TFrmTovasen::ApplySaveTargetLayout() {
    const int target = SaveTarget();
    const int width = target == stJPG || target == stWebP ? 82 : target == stTXT ? 72 : 145;
    ChkSaveTo->SetWidth96(width);
    ChkJPEG_qual->SetVisible(FCard == 0 && target == stJPG);
    ChkWebP_qual->SetVisible(FCard == 0 && target == stWebP);
    ChkOCR_lang->SetVisible(FCard == 0 && target == stTXT);
}

void TFrmTovasen::ChkSaveToChange() {
    const int target = SaveTarget();
    const std::wstring folder = ExeFolder();
    if (target == stWebP && !FileExists(folder + L"libwebp.dll")) {
        ShowMessage(ReplacePlaceholder(Translate(kFileMissing), L"libwebp.dll"), kNoticeFlags);
        ShellOpen(std::wstring(kWebSite) + kErrorPath + L"?app=tovasen&msg=webpnotfound");
        ChkSaveTo->SetItemIndex(stPNG);
    } else if (target == stMP4 && !FileExists(folder + L"ffmpeg.exe")) {
        ChkSaveTo->SetItemIndex(stPNG);
        ApplySaveTargetLayout();
        ShowMessage(ReplacePlaceholder(Translate(kFileMissing), L"ffmpeg.exe"), kNoticeFlags);
        ShellOpen(std::wstring(kWebSite) + kErrorPath + L"?app=tovasen&msg=ffmpegnotfound");
    } else if (target == stTXT && Languages.empty()) {
        ChkSaveTo->SetItemIndex(stPNG);
        ApplySaveTargetLayout();
        // Shown as written: this one text is not translated.
        MessageBoxW(Application->Handle(), L"OCR 을 지원하지 않는 윈도우 환경입니다.", Translate(Caption()).c_str(),
                    kNoticeFlags);
    }
    ApplySaveTargetLayout();
    SaveConfig(L"saveto", SaveTarget());
}

std::wstring TFrmTovasen::NewFilename(const std::wstring& ext) {
    const int scheme = ChkAppend1->Checked ? 1 : ChkAppend3->Checked ? 3 : 2;
    NamingContext context;
    context.listFolder = [this] {
        std::vector<DirEntry> entries;
        WIN32_FIND_DATAW data;
        const UniqueFind find(FindFirstFileW(AppendToFolder(SavePath, L"*.*").c_str(), &data));
        if (!find) return entries;
        do {
            entries.push_back({data.cFileName, data.dwFileAttributes & 0x1FF});
        } while (FindNextFileW(find.Get(), &data));
        return entries;
    };
    context.exists = FileExists;
    context.now = [] {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    };
    try {
        return tovasen::NewFilename(scheme, SavePath, ext, context);
    } catch (const EInvalidPath&) {
        throw Exception(L"Invalid characters in path");
    }
}

void TFrmTovasen::BtnOpenDirClick() {
    ShellExecuteW(nullptr, L"open", L"explorer.exe", SavePath.c_str(), nullptr, SW_SHOW);
}

void TFrmTovasen::N4Click() {
    if (SelectFolder(Handle(), SavePath, Translate(L"폴더 선택"), Translate(L"선택"))) SaveConfig(L"path", SavePath);
}

void TFrmTovasen::N1Click() { FrmHotKey->Open(); }

void TFrmTovasen::LblCopyrightClick() {
    ShellOpen(std::wstring(kWebSite) + kAboutPath + L"?v=" + GetVersionText(L"%d.%d.%d.%d"));
}

}  // namespace tovasen
