// The main window's controls and its popup menu, laid out at 96 DPI.
#include "app/frm_tovasen.h"

#include "app/autostart.h"
#include "app/select_folder.h"
#include "app/system_helpers.h"
#include "i18n/translation.h"
#include "output/clipboard.h"

namespace tovasen {
namespace {

constexpr int kCardLeft = 8, kCardTop = 60;

template <class Table>
std::vector<std::wstring> CaptionsOf(const Table& table) {
    std::vector<std::wstring> captions;
    for (const auto& row : table) captions.emplace_back(row.caption);
    return captions;
}

std::vector<std::wstring> QualityTexts() {
    std::vector<std::wstring> texts;
    for (const int quality : kQualityOfIndex) texts.push_back(std::to_wstring(quality));
    return texts;
}

}  // namespace

void TFrmTovasen::CreateControls() {
    const auto popMenu = [this] { PopupMenuAtMouse(); };
    auto list = [this](const wchar_t* name, int left, int top, int width, const std::vector<std::wstring>& items) {
        auto* box = new TComboBox(this, name, true);
        box->SetBounds96(left, top, width, 300);
        box->SetHeight96(22);
        box->SetItems(items);
        return box;
    };
    LblArea = new TLabel(this, L"LblArea", L"캡쳐영역");
    LblArea->SetBounds96(8, 8, 145, 17);
    ChkArea = list(L"ChkArea", 9, 29, 145, CaptionsOf(kCaptureModes));
    ChkArea->OnChange = [this] { ChooseMode(CaptureModeAt(ChkArea->ItemIndex()).value_or(TCaptureMode::FullScreen)); };

    // Card 0: the save target and its options.
    LblSaveTo = new TLabel(this, L"LblSaveTo", L"저장형식");
    LblSaveTo->SetBounds96(kCardLeft, kCardTop, 145, 17);
    ChkSaveTo = list(L"ChkSaveTo", kCardLeft, kCardTop + 21, 145, CaptionsOf(kSaveTargets));
    ChkSaveTo->OnChange = [this] { ChooseTarget(SaveTargetAt(ChkSaveTo->ItemIndex()).value_or(TSaveTarget::Png)); };
    ChkJPEG_qual = list(L"ChkJPEG_qual", kCardLeft + 88, kCardTop + 21, 57, QualityTexts());
    ChkJPEG_qual->OnChange = [this] { FSettings->Set(&TSettings::jpeg_quality, ChkJPEG_qual->ItemIndex()); };
    ChkWebP_qual = list(L"ChkWebP_qual", kCardLeft + 88, kCardTop + 21, 57, QualityTexts());
    ChkWebP_qual->OnChange = [this] { FSettings->Set(&TSettings::webp_quality, ChkWebP_qual->ItemIndex()); };
    ChkOCR_lang = list(L"ChkOCR_lang", kCardLeft + 78, kCardTop + 21, 67, {});
    ChkOCR_lang->OnChange = [this] { FSettings->Set(&TSettings::language_ocr, ChkOCR_lang->ItemIndex()); };
    for (TComboBox* side : {ChkJPEG_qual, ChkWebP_qual, ChkOCR_lang}) side->SetVisible(false);
    BtnOpenDir = new TButton(this, L"BtnOpenDir", L"폴더열기");
    BtnOpenDir->SetBounds96(kCardLeft, kCardTop + 63, 145, 33);
    BtnOpenDir->OnClick = [this] { OpenFolder(FSettings->Values().path); };
    FCards[0] = {LblSaveTo, ChkSaveTo, BtnOpenDir};

    // Card 1: colour pick.
    ShpColor = new TShape(this, L"ShpColor");
    ShpColor->SetBounds96(kCardLeft, kCardTop, 15, 15);
    LblColor = new TLabel(this, L"LblColor", L"FFFFFF");
    LblColor->SetBounds96(kCardLeft + 23, kCardTop, 120, 17);
    LstColor = new TListBox(this, L"LstColor", true);
    LstColor->SetBounds96(kCardLeft, kCardTop + 21, 145, 75);
    LstColor->SetFont(L"Courier New", 12);
    LstColor->SetItemHeight96(15);
    LstColor->OnDrawItem = [this](const DRAWITEMSTRUCT& item, const std::wstring& text) { DrawColourItem(item, text); };
    LstColor->OnRightClick = [this] {
        POINT at{};
        GetCursorPos(&at);
        Pick->Popup(at.x, at.y, Handle());
    };
    FCards[1] = {ShpColor, LblColor, LstColor};

    // Card 2: recording, a red light with the running time.
    ShpRec = new TShape(this, L"ShpRec", TShape::Kind::Ellipse);
    ShpRec->SetBounds96(kCardLeft, kCardTop + 8, 145, 81);
    ShpRec->SetColor(RGB(255, 0, 0));
    ShpRec->SetPenColor(RGB(255, 0, 0));
    LblRecording = new TLabel(this, L"LblRecording", L"녹화중", SS_CENTER);
    LblRecording->SetBounds96(kCardLeft + 24, kCardTop + 30, 97, 17);
    LblRecording->SetFont(L"Segoe UI", 12, true);
    LblRecording->SetFontColor(RGB(255, 255, 0));
    LblRecording->SetBackground(RGB(255, 0, 0));
    LblRecTime = new TLabel(this, L"LblRecTime", L"00:00:00.00", SS_CENTER);
    LblRecTime->SetBounds96(kCardLeft + 24, kCardTop + 51, 97, 17);
    LblRecTime->SetFontColor(RGB(255, 255, 255));
    LblRecTime->SetBackground(RGB(255, 0, 0));
    FCards[2] = {ShpRec, LblRecording, LblRecTime};

    LblCopyright = new TLabel(this, L"LblCopyright", L"Dravomix 제작", SS_CENTER);
    LblCopyright->SetBounds96(8, 168, 146, 17);
    LblCopyright->SetFontColor(RGB(0, 0, 255));
    LblCopyright->Cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // IDC_HAND
    LblCopyright->OnClick = [this] { OpenAbout(); };

    for (TControl* c : {static_cast<TControl*>(LblArea), static_cast<TControl*>(LblSaveTo),
                        static_cast<TControl*>(LblColor), static_cast<TControl*>(ShpColor),
                        static_cast<TControl*>(ShpRec), static_cast<TControl*>(LblRecording),
                        static_cast<TControl*>(LblRecTime), static_cast<TControl*>(LblCopyright)}) {
        c->OnRightClick = popMenu;
    }

    TmrColor = new TTimer(this, L"TmrColor", 100);
    TmrColor->OnTimer = [this] { ShowColourUnderMouse(); };
}

TMenuItem* TFrmTovasen::AddChoice(TMenuItem* parent, const wchar_t* name, const wchar_t* caption,
                                  std::function<bool(const TSettings&)> checked, std::function<void()> choose) {
    auto* item = new TMenuItem(parent, name, caption, [choose = std::move(choose)](TMenuItem&) { choose(); });
    FChecks.emplace_back(item, std::move(checked));
    return item;
}

void TFrmTovasen::CreateMenu() {
    Menu = new TPopupMenu(this, L"Menu");
    Menu->OnPopup = [this] { RefreshHistoryItems(); };
    TMenuItem& root = Menu->Items();
    TSettingsModel& settings = *FSettings;
    const auto toggle = [&](TMenuItem* parent, const wchar_t* name, const wchar_t* caption, bool TSettings::*field) {
        return AddChoice(parent, name, caption, [field](const TSettings& s) { return s.*field; },
                         [&settings, field] { settings.Toggle(field); });
    };
    // First in the tray's menu, where a recording is paused without looking for it.
    PopRecPause = new TMenuItem(&root, L"PopRecPause", L"녹화 일시정지", [this](TMenuItem&) { PauseOrResumeRecording(); });
    PopRecPauseLine = new TMenuItem(&root, L"PopRecPauseLine", L"-");
    PopRecPause->Visible = PopRecPauseLine->Visible = false;
    // A delayed capture, so that a menu or a tooltip that a click would close can be opened first.
    static constexpr std::array<std::pair<const wchar_t*, int>, 3> kDelays = {
        {{L"3초 후 캡쳐", 3}, {L"5초 후 캡쳐", 5}, {L"10초 후 캡쳐", 10}}};
    for (const auto& [caption, seconds] : kDelays) {
        new TMenuItem(&root, L"PopDelay" + std::to_wstring(seconds), caption, [this, seconds = seconds](TMenuItem&) {
            FController->Run({std::make_shared<TUserReporter>(), seconds});
        });
    }
    PopHistory = new TMenuItem(&root, L"PopHistory", L"캡쳐 기록…", [this](TMenuItem&) {
        if (History()) History()->ShowWindow();
    });
    PopRecent = new TMenuItem(&root, L"PopRecent", L"최근 캡쳐");
    ChkKeepHistory = new TMenuItem(&root, L"ChkKeepHistory", L"캡쳐 기록 보관", [this](TMenuItem& item) {
        if (History()) History()->SetKeep(!item.Checked);
    });
    PopClearHistory = new TMenuItem(&root, L"PopClearHistory", L"캡쳐 기록 지우기", [this](TMenuItem&) {
        if (History()) History()->ConfirmAndClear();
    });
    new TMenuItem(&root, L"PopHistoryLine", L"-");
    PopOpenFolder = new TMenuItem(&root, L"PopOpenFolder", L"저장폴더 열기",
                                  [this](TMenuItem&) { OpenFolder(FSettings->Values().path); });
    new TMenuItem(&root, L"PopChooseFolder", L"저장폴더 설정", [this](TMenuItem&) {
        std::wstring folder = FSettings->Values().path;
        if (SelectFolder(Handle(), folder, Translate(L"폴더 선택"), Translate(L"선택"))) FSettings->ChooseFolder(folder);
    });

    auto* capture = new TMenuItem(&root, L"PopCaptureOptions", L"캡쳐 설정");
    auto* sounds = new TMenuItem(capture, L"PopSound", L"캡쳐 소리");
    const auto sound = [&](const wchar_t* name, const wchar_t* caption, int value) {
        return AddChoice(sounds, name, caption, [value](const TSettings& s) { return s.sound == value; },
                         [&settings, value] { settings.ChooseSound(value); });
    };
    ChkSound1 = sound(L"ChkSound1", L"없음", 1);
    sound(L"ChkSound2", L"캡쳐 전 소리", 2);
    ChkSound3 = sound(L"ChkSound3", L"캡쳐 후 소리", 3);
    ChkMouse = toggle(capture, L"ChkMouse", L"마우스 커서 포함", &TSettings::mouse);
    ChkAutoCopy = toggle(capture, L"ChkAutoCopy", L"클립보드 자동복사", &TSettings::autocopy);
    toggle(capture, L"ChkEditFirst", L"출력 전 편집", &TSettings::edit_before_output);

    auto* recording = new TMenuItem(&root, L"PopRecordOptions", L"녹화 설정");
    auto* limits = new TMenuItem(recording, L"PopRecLimit", L"최대 녹화시간");
    static constexpr std::array<const wchar_t*, 5> kLimitCaptions = {L"무제한", L"30분", L"1시간", L"2시간", L"4시간"};
    for (std::size_t i = 0; i < ChkRecLimits.size(); ++i) {
        const int minutes = kRecordLimits[i];
        ChkRecLimits[i] = AddChoice(limits, (L"ChkRecLimit" + std::to_wstring(minutes)).c_str(), kLimitCaptions[i],
                                    [minutes](const TSettings& s) { return s.record_limit == minutes; },
                                    [&settings, minutes] { settings.ChooseRecordLimit(minutes); });
        if (i == 0) new TMenuItem(limits, L"PopRecLimitLine", L"-");
    }
    toggle(recording, L"ChkMouse_Rec", L"마우스 커서 포함", &TSettings::mouse_rec);
    toggle(recording, L"ChkAudio", L"사운드 포함", &TSettings::audio);
    ChkLog = toggle(recording, L"ChkLog", L"로그 기록", &TSettings::ffmpeg_log);

    auto* languages = new TMenuItem(&root, L"PopLanguage", L"언어 설정");
    // Each language's own name: these captions are never translated.
    static constexpr std::array<const wchar_t*, 7> kLanguageNames = {
        L"한국어", L"English", L"日本語", L"русский", L"Italiano", L"Français", L"中文"};
    static_assert(kLanguageNames.size() == std::size(kInterfaceLanguages));
    for (std::size_t i = 0; i < ChkLangItems.size(); ++i) {
        const std::wstring code(kInterfaceLanguages[i]);
        ChkLangItems[i] = AddChoice(languages, (L"ChkLang_" + code).c_str(), kLanguageNames[i],
                                    [code](const TSettings& s) { return s.language == code; },
                                    [this, code] { ChooseLanguage(code); });
    }

    auto* naming = new TMenuItem(&root, L"PopNaming", L"파일명 설정");
    const auto name = [&](const wchar_t* itemName, const wchar_t* caption, NamingScheme scheme) {
        return AddChoice(naming, itemName, caption,
                         [scheme](const TSettings& s) { return s.append == static_cast<int>(scheme); },
                         [&settings, scheme] { settings.ChooseNaming(scheme); });
    };
    ChkNameContinue = name(L"ChkNameContinue", L"순차적 #1", NamingScheme::Continue);
    ChkNameFirstFree = name(L"ChkNameFirstFree", L"순차적 #2", NamingScheme::FirstFree);
    ChkNameDateTime = name(L"ChkNameDateTime", L"날짜시간", NamingScheme::DateTime);

    new TMenuItem(&root, L"PopHotKey", L"단축키 설정", [this](TMenuItem&) { FrmHotKey->Open(); });
    ChkRegStart = new TMenuItem(&root, L"ChkRegStart", L"부팅시 실행", [this](TMenuItem& item) {
        item.Checked = !item.Checked;
        if (!SetAutoStart(kAutoStartName, item.Checked)) {
            ShowMessage(Translate(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다."), kErrorFlags);
            item.Checked = false;
        }
    });
    new TMenuItem(&root, L"PopAboutLine", L"-");
    new TMenuItem(&root, L"PopAbout", L"Dravomix 제작", [this](TMenuItem&) { OpenAbout(); });
    PopExit = new TMenuItem(&root, L"PopExit", L"종료하기", [this](TMenuItem&) { AskExit(); });

    Pick = new TPopupMenu(this, L"Pick");
    new TMenuItem(&Pick->Items(), L"PopCopyColour", L"복사", [this](TMenuItem&) {
        const int index = LstColor->ItemIndex();
        if (index >= 0) CopyTextToClipboardOrTell(LstColor->Item(index));
    });
    new TMenuItem(&Pick->Items(), L"PopDeleteColour", L"삭제", [this](TMenuItem&) {
        const int index = LstColor->ItemIndex();
        if (index >= 0) LstColor->Delete(index);
    });
}

}  // namespace tovasen
