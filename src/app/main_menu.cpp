#include "app/main_menu.h"

#include "history/history_format.h"
#include "i18n/translation.h"

namespace tovasen {
namespace {

constexpr std::size_t kRecentCount = 10;

}  // namespace

TMainMenu::TMainMenu(TComponent& owner, TSettingsModel& settings, TActions actions)
    : FSettings(settings), FActions(std::move(actions)) {
    Menu = new TPopupMenu(&owner, L"Menu");
    Menu->OnPopup = [this] { RefreshHistoryItems(); };
    TMenuItem& root = Menu->Items();
    // First in the tray's menu, where a recording is paused without looking for it.
    PopRecPause = new TMenuItem(&root, L"PopRecPause", L"녹화 일시정지",
                                [this](TMenuItem&) { FActions.PauseOrResumeRecording(); });
    PopRecPauseLine = new TMenuItem(&root, L"PopRecPauseLine", L"-");
    PopRecPause->Visible = PopRecPauseLine->Visible = false;
    // A delayed capture, so that a menu or a tooltip that a click would close can be opened first.
    static constexpr std::array<std::pair<const wchar_t*, int>, 3> kDelays = {
        {{L"3초 후 캡쳐", 3}, {L"5초 후 캡쳐", 5}, {L"10초 후 캡쳐", 10}}};
    for (const auto& [caption, seconds] : kDelays) {
        new TMenuItem(&root, L"PopDelay" + std::to_wstring(seconds), caption,
                      [this, seconds = seconds](TMenuItem&) { FActions.CaptureAfter(seconds); });
    }
    AddHistoryItems(root);
    PopOpenFolder = new TMenuItem(&root, L"PopOpenFolder", L"저장폴더 열기", [this](TMenuItem&) { FActions.OpenFolder(); });
    new TMenuItem(&root, L"PopChooseFolder", L"저장폴더 설정", [this](TMenuItem&) { FActions.ChooseFolder(); });
    AddCaptureOptions(root);
    AddRecordingOptions(root);
    AddLanguagesAndNaming(root);
    new TMenuItem(&root, L"PopHotKey", L"단축키 설정", [this](TMenuItem&) { FActions.OpenHotKeyDialog(); });
    ChkRegStart = new TMenuItem(&root, L"ChkRegStart", L"부팅시 실행",
                                [this](TMenuItem& item) { item.Checked = FActions.SetAutoStart(!item.Checked); });
    new TMenuItem(&root, L"PopAboutLine", L"-");
    new TMenuItem(&root, L"PopAbout", L"Dravomix 제작", [this](TMenuItem&) { FActions.OpenAbout(); });
    PopExit = new TMenuItem(&root, L"PopExit", L"종료하기", [this](TMenuItem&) { FActions.AskExit(); });
}

TMenuItem* TMainMenu::AddChoice(TMenuItem* parent, const std::wstring& name, const wchar_t* caption,
                                std::function<bool(const TSettings&)> checked, std::function<void()> choose) {
    auto* item = new TMenuItem(parent, name, caption, [choose = std::move(choose)](TMenuItem&) { choose(); });
    FChecks.emplace_back(item, std::move(checked));
    return item;
}

TMenuItem* TMainMenu::AddToggle(TMenuItem* parent, const wchar_t* name, const wchar_t* caption,
                                bool TSettings::*field) {
    return AddChoice(parent, name, caption, [field](const TSettings& s) { return s.*field; },
                     [this, field] { FSettings.Toggle(field); });
}

void TMainMenu::AddHistoryItems(TMenuItem& root) {
    PopHistory = new TMenuItem(&root, L"PopHistory", L"캡쳐 기록…", [this](TMenuItem&) {
        if (THistory* history = FActions.History()) history->ShowWindow();
    });
    PopRecent = new TMenuItem(&root, L"PopRecent", L"최근 캡쳐");
    ChkKeepHistory = new TMenuItem(&root, L"ChkKeepHistory", L"캡쳐 기록 보관", [this](TMenuItem& item) {
        if (THistory* history = FActions.History()) history->SetKeep(!item.Checked);
    });
    PopClearHistory = new TMenuItem(&root, L"PopClearHistory", L"캡쳐 기록 지우기", [this](TMenuItem&) {
        if (THistory* history = FActions.History()) history->ConfirmAndClear();
    });
    new TMenuItem(&root, L"PopHistoryLine", L"-");
}

void TMainMenu::AddCaptureOptions(TMenuItem& root) {
    auto* capture = new TMenuItem(&root, L"PopCaptureOptions", L"캡쳐 설정");
    auto* sounds = new TMenuItem(capture, L"PopSound", L"캡쳐 소리");
    const auto sound = [&](const wchar_t* name, const wchar_t* caption, int value) {
        return AddChoice(sounds, name, caption, [value](const TSettings& s) { return s.sound == value; },
                         [this, value] { FSettings.ChooseSound(value); });
    };
    ChkSound1 = sound(L"ChkSound1", L"없음", 1);
    sound(L"ChkSound2", L"캡쳐 전 소리", 2);
    ChkSound3 = sound(L"ChkSound3", L"캡쳐 후 소리", 3);
    ChkMouse = AddToggle(capture, L"ChkMouse", L"마우스 커서 포함", &TSettings::mouse);
    ChkAutoCopy = AddToggle(capture, L"ChkAutoCopy", L"클립보드 자동복사", &TSettings::autocopy);
    AddToggle(capture, L"ChkEditFirst", L"출력 전 편집", &TSettings::edit_before_output);
    AddToggle(capture, L"ChkRedactSecrets", L"출력 전 비밀 정보 가리기", &TSettings::redact_secrets);
}

void TMainMenu::AddRecordingOptions(TMenuItem& root) {
    auto* recording = new TMenuItem(&root, L"PopRecordOptions", L"녹화 설정");
    auto* limits = new TMenuItem(recording, L"PopRecLimit", L"최대 녹화시간");
    static constexpr std::array<const wchar_t*, 5> kLimitCaptions = {L"무제한", L"30분", L"1시간", L"2시간", L"4시간"};
    for (std::size_t i = 0; i < ChkRecLimits.size(); ++i) {
        const int minutes = kRecordLimits[i];
        ChkRecLimits[i] = AddChoice(limits, L"ChkRecLimit" + std::to_wstring(minutes), kLimitCaptions[i],
                                    [minutes](const TSettings& s) { return s.record_limit == minutes; },
                                    [this, minutes] { FSettings.ChooseRecordLimit(minutes); });
        if (i == 0) new TMenuItem(limits, L"PopRecLimitLine", L"-");
    }
    AddToggle(recording, L"ChkMouse_Rec", L"마우스 커서 포함", &TSettings::mouse_rec);
    AddToggle(recording, L"ChkAudio", L"사운드 포함", &TSettings::audio);
    ChkLog = AddToggle(recording, L"ChkLog", L"로그 기록", &TSettings::ffmpeg_log);
    ChkShowInput = AddToggle(recording, L"ChkShowInput", L"클릭과 단축키 표시", &TSettings::show_input);
}

void TMainMenu::AddLanguagesAndNaming(TMenuItem& root) {
    auto* languages = new TMenuItem(&root, L"PopLanguage", L"언어 설정");
    // Each language's own name: these captions are never translated.
    static constexpr std::array<const wchar_t*, 7> kLanguageNames = {
        L"한국어", L"English", L"日本語", L"русский", L"Italiano", L"Français", L"中文"};
    static_assert(kLanguageNames.size() == std::size(kInterfaceLanguages));
    for (std::size_t i = 0; i < ChkLangItems.size(); ++i) {
        const std::wstring code(kInterfaceLanguages[i]);
        ChkLangItems[i] = AddChoice(languages, L"ChkLang_" + code, kLanguageNames[i],
                                    [code](const TSettings& s) { return s.language == code; },
                                    [this, code] { FActions.ChooseLanguage(code); });
    }
    auto* naming = new TMenuItem(&root, L"PopNaming", L"파일명 설정");
    const auto name = [&](const wchar_t* itemName, const wchar_t* caption, NamingScheme scheme) {
        return AddChoice(naming, itemName, caption,
                         [scheme](const TSettings& s) { return s.append == static_cast<int>(scheme); },
                         [this, scheme] { FSettings.ChooseNaming(scheme); });
    };
    ChkNameContinue = name(L"ChkNameContinue", L"순차적 #1", NamingScheme::Continue);
    ChkNameFirstFree = name(L"ChkNameFirstFree", L"순차적 #2", NamingScheme::FirstFree);
    ChkNameDateTime = name(L"ChkNameDateTime", L"날짜시간", NamingScheme::DateTime);
}

void TMainMenu::ShowSettings(const TSettings& values) {
    for (const auto& [item, checked] : FChecks) item->Checked = checked(values);
}

void TMainMenu::RecordingChanged(bool recording) {
    PopRecPause->Visible = PopRecPauseLine->Visible = recording;
    if (!recording) RecordingPaused(false);
}

void TMainMenu::RecordingPaused(bool paused) { PopRecPause->Caption = Translate(paused ? L"녹화 재개" : L"녹화 일시정지"); }

void TMainMenu::RefreshHistoryItems() {
    THistory* history = FActions.History();
    PopHistory->Enabled = ChkKeepHistory->Enabled = PopClearHistory->Enabled = history != nullptr;
    ChkKeepHistory->Checked = history && history->Keep();
    PopRecent->DestroyComponents();
    const std::vector<THistoryEntry> recent = history ? history->Recent(kRecentCount) : std::vector<THistoryEntry>{};
    PopRecent->Enabled = !recent.empty();
    for (const THistoryEntry& entry : recent) {
        new TMenuItem(PopRecent, L"PopRecent" + std::to_wstring(entry.Id), RecentMenuCaption(entry),
                      [this, id = entry.Id](TMenuItem&) {
                          if (THistory* current = FActions.History()) current->OpenEntry(id);
                      });
    }
}

}  // namespace tovasen
