// The main window's controls and its popup menu, laid out at 96 DPI.
#include "app/frm_tovasen.h"
#include "history/history.h"
#include "scroll/scroll_texts.h"

namespace tovasen {
namespace {

constexpr int kCardLeft = 8, kCardTop = 60;

const std::vector<std::wstring> kModes = {L"전체화면 캡쳐",   L"영역화면 캡쳐",     L"드래그영역 캡쳐", L"활성중인 화면 캡쳐",
                                          L"윈도우 컨트롤 캡쳐", L"웹페이지 캡쳐", L"색상 추출", kScrollModeText};
const std::vector<std::wstring> kTargets = {L"PNG", L"JPG", L"GIF",       L"BMP",    L"WebP", L"MP4(동영상)",
                                            L"TXT", L"클립보드", L"이미지창고", L"프린터", L"플러팅"};
const std::vector<std::wstring> kQualities = {L"100", L"90", L"80", L"70", L"60"};

}  // namespace

void TFrmTovasen::CreateControls() {
    const auto popMenu = [this] { FormMouseUp(); };
    auto list = [this](const wchar_t* name, int left, int top, int width, const std::vector<std::wstring>& items) {
        auto* box = new TComboBox(this, name, true);
        box->SetBounds96(left, top, width, 300);
        box->SetHeight96(22);
        box->SetItems(items);
        return box;
    };
    LblArea = new TLabel(this, L"LblArea", L"캡쳐영역");
    LblArea->SetBounds96(8, 8, 145, 17);
    ChkArea = list(L"ChkArea", 9, 29, 145, kModes);
    ChkArea->OnChange = [this] { ChkAreaChange(); };

    // Card 0: the save target and its options.
    LblSaveTo = new TLabel(this, L"LblSaveTo", L"저장형식");
    LblSaveTo->SetBounds96(kCardLeft, kCardTop, 145, 17);
    ChkSaveTo = list(L"ChkSaveTo", kCardLeft, kCardTop + 21, 145, kTargets);
    ChkSaveTo->OnChange = [this] { ChkSaveToChange(); };
    ChkJPEG_qual = list(L"ChkJPEG_qual", kCardLeft + 88, kCardTop + 21, 57, kQualities);
    ChkJPEG_qual->OnChange = [this] { SaveConfig(L"jpeg_quality", ChkJPEG_qual->ItemIndex()); };
    ChkWebP_qual = list(L"ChkWebP_qual", kCardLeft + 88, kCardTop + 21, 57, kQualities);
    ChkWebP_qual->OnChange = [this] { SaveConfig(L"webp_quality", ChkWebP_qual->ItemIndex()); };
    ChkOCR_lang = list(L"ChkOCR_lang", kCardLeft + 78, kCardTop + 21, 67, {});
    ChkOCR_lang->OnChange = [this] { SaveConfig(L"language_ocr", ChkOCR_lang->ItemIndex()); };
    for (TComboBox* side : {ChkJPEG_qual, ChkWebP_qual, ChkOCR_lang}) side->SetVisible(false);
    BtnOpenDir = new TButton(this, L"BtnOpenDir", L"폴더열기");
    BtnOpenDir->SetBounds96(kCardLeft, kCardTop + 63, 145, 33);
    BtnOpenDir->OnClick = [this] { BtnOpenDirClick(); };
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
    LstColor->OnDrawItem = [this](const DRAWITEMSTRUCT& item, const std::wstring& text) { LstColorDrawItem(item, text); };
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
    Label1 = new TLabel(this, L"Label1", L"녹화중", SS_CENTER);
    Label1->SetBounds96(kCardLeft + 24, kCardTop + 30, 97, 17);
    Label1->SetFont(L"Segoe UI", 12, true);
    Label1->SetFontColor(RGB(255, 255, 0));
    Label1->SetBackground(RGB(255, 0, 0));
    LvlRecTime = new TLabel(this, L"LvlRecTime", L"00:00:00.00", SS_CENTER);
    LvlRecTime->SetBounds96(kCardLeft + 24, kCardTop + 51, 97, 17);
    LvlRecTime->SetFontColor(RGB(255, 255, 255));
    LvlRecTime->SetBackground(RGB(255, 0, 0));
    FCards[2] = {ShpRec, Label1, LvlRecTime};

    LblCopyright = new TLabel(this, L"LblCopyright", L"Dravomix 제작", SS_CENTER);
    LblCopyright->SetBounds96(8, 168, 146, 17);
    LblCopyright->SetFontColor(RGB(0, 0, 255));
    LblCopyright->Cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // IDC_HAND
    LblCopyright->OnClick = [this] { LblCopyrightClick(); };

    for (TControl* c : {static_cast<TControl*>(LblArea), static_cast<TControl*>(LblSaveTo),
                        static_cast<TControl*>(LblColor), static_cast<TControl*>(ShpColor),
                        static_cast<TControl*>(ShpRec), static_cast<TControl*>(Label1),
                        static_cast<TControl*>(LvlRecTime), static_cast<TControl*>(LblCopyright)}) {
        c->OnRightClick = popMenu;
    }

    TmrColor = new TTimer(this, L"TmrColor", 100);
    TmrColor->OnTimer = [this] { TmrColorTimer(); };
}

void TFrmTovasen::ShowCard(int index) {
    for (std::size_t i = 0; i < FCards.size(); ++i) {
        for (TControl* c : FCards[i]) c->SetVisible(static_cast<int>(i) == index);
    }
    FCard = index;
    ApplySaveTargetLayout();  // the side boxes belong to card 0
}

TMenuItem* TFrmTovasen::AddToggle(TMenuItem* parent, const wchar_t* name, const wchar_t* caption,
                                  const wchar_t* setting) {
    const std::wstring key = setting;
    return new TMenuItem(parent, name, caption, [this, key](TMenuItem& item) {
        item.Checked = !item.Checked;
        SaveConfig(key, item.Checked);
    });
}

void TFrmTovasen::CreateMenu() {
    Menu = new TPopupMenu(this, L"Menu");
    Menu->OnPopup = [this] { RefreshHistoryItems(); };
    TMenuItem& root = Menu->Items();
    // First in the tray's menu, where a recording is paused without looking for it.
    PopRecPause = new TMenuItem(&root, L"PopRecPause", L"녹화 일시정지", [this](TMenuItem&) { PopRecPauseClick(); });
    N16 = new TMenuItem(&root, L"N16", L"-");
    PopRecPause->Visible = N16->Visible = false;
    // A delayed capture, so that a menu or a tooltip that a click would close can be opened first.
    static constexpr std::array<std::pair<const wchar_t*, const wchar_t*>, 3> kDelays = {{
        {L"PopDelay3", L"3초 후 캡쳐"}, {L"PopDelay5", L"5초 후 캡쳐"}, {L"PopDelay10", L"10초 후 캡쳐"}}};
    for (std::size_t i = 0; i < kDelays.size(); ++i) {
        PopDelays[i] = new TMenuItem(&root, kDelays[i].first, kDelays[i].second, [this](TMenuItem& item) {
            // The seconds are the item's name after "PopDelay".
            Controller->Run({std::make_shared<TUserReporter>(), std::stoi(item.Name().substr(8))});
        });
    }
    PopHistory = new TMenuItem(&root, L"PopHistory", L"캡쳐 기록…", [this](TMenuItem&) {
        if (History) History->ShowWindow();
    });
    PopRecent = new TMenuItem(&root, L"PopRecent", L"최근 캡쳐");
    ChkKeepHistory = new TMenuItem(&root, L"ChkKeepHistory", L"캡쳐 기록 보관", [this](TMenuItem& item) {
        if (History) History->SetKeep(!item.Checked);
    });
    PopClearHistory = new TMenuItem(&root, L"PopClearHistory", L"캡쳐 기록 지우기", [this](TMenuItem&) {
        if (History) History->ConfirmAndClear();
    });
    new TMenuItem(&root, L"N17", L"-");
    N12 = new TMenuItem(&root, L"N12", L"저장폴더 열기", [this](TMenuItem&) { BtnOpenDirClick(); });
    N4 = new TMenuItem(&root, L"N4", L"저장폴더 설정", [this](TMenuItem&) { N4Click(); });

    auto* n14 = new TMenuItem(&root, L"N14", L"캡쳐 설정");
    auto* n3 = new TMenuItem(n14, L"N3", L"캡쳐 소리");
    auto sound = [this](TMenuItem& item) { ChkSound1Click(item); };
    ChkSound1 = new TMenuItem(n3, L"ChkSound1", L"없음", sound);
    ChkSound2 = new TMenuItem(n3, L"ChkSound2", L"캡쳐 전 소리", sound);
    ChkSound3 = new TMenuItem(n3, L"ChkSound3", L"캡쳐 후 소리", sound);
    ChkMouse = AddToggle(n14, L"ChkMouse", L"마우스 커서 포함", L"mouse");
    ChkAutoCopy = AddToggle(n14, L"ChkAutoCopy", L"클립보드 자동복사", L"autocopy");
    ChkEditFirst = AddToggle(n14, L"ChkEditFirst", L"출력 전 편집", L"edit_before_output");

    auto* n6 = new TMenuItem(&root, L"N6", L"녹화 설정");
    auto* n13 = new TMenuItem(n6, L"N13", L"최대 녹화시간");
    auto limit = [this](TMenuItem& item) { ChkRecLimit0Click(item); };
    ChkRecLimits[0] = new TMenuItem(n13, L"ChkRecLimit0", L"무제한", limit);
    new TMenuItem(n13, L"N15", L"-");
    ChkRecLimits[1] = new TMenuItem(n13, L"ChkRecLimit30", L"30분", limit);
    ChkRecLimits[2] = new TMenuItem(n13, L"ChkRecLimit60", L"1시간", limit);
    ChkRecLimits[3] = new TMenuItem(n13, L"ChkRecLimit120", L"2시간", limit);
    ChkRecLimits[4] = new TMenuItem(n13, L"ChkRecLimit240", L"4시간", limit);
    ChkMouse_Rec = AddToggle(n6, L"ChkMouse_Rec", L"마우스 커서 포함", L"mouse_rec");
    ChkAudio = AddToggle(n6, L"ChkAudio", L"사운드 포함", L"audio");
    ChkLog = AddToggle(n6, L"ChkLog", L"로그 기록", L"ffmpeg_log");

    N11 = new TMenuItem(&root, L"N11", L"언어 설정");
    // Each language's own name: these captions are never translated.
    static constexpr std::array<std::pair<const wchar_t*, const wchar_t*>, 7> kLanguageItems = {{
        {L"ChkLangKo", L"한국어"},
        {L"ChkLangEn", L"English"},
        {L"ChkLangJa", L"日本語"},
        {L"ChkLangRu", L"русский"},
        {L"ChkLangIt", L"Italiano"},
        {L"ChkLangFr", L"Français"},
        {L"ChkLangZh", L"中文"},
    }};
    for (std::size_t i = 0; i < kLanguageItems.size(); ++i) {
        ChkLangItems[i] = new TMenuItem(N11, kLanguageItems[i].first, kLanguageItems[i].second,
                                        [this](TMenuItem& sender) { ChkLang(sender); });
    }

    auto* n2 = new TMenuItem(&root, L"N2", L"파일명 설정");
    auto naming = [this](TMenuItem& item) { ChkAppend1Click(item); };
    ChkAppend1 = new TMenuItem(n2, L"ChkAppend1", L"순차적 #1", naming);
    ChkAppend3 = new TMenuItem(n2, L"ChkAppend3", L"순차적 #2", naming);
    ChkAppend2 = new TMenuItem(n2, L"ChkAppend2", L"날짜시간", naming);

    N1 = new TMenuItem(&root, L"N1", L"단축키 설정", [this](TMenuItem&) { N1Click(); });
    ChkRegStart = new TMenuItem(&root, L"ChkRegStart", L"부팅시 실행", [this](TMenuItem&) { ChkRegStartClick(); });
    new TMenuItem(&root, L"N8", L"-");
    N9 = new TMenuItem(&root, L"N9", L"Dravomix 제작", [this](TMenuItem&) { LblCopyrightClick(); });
    N10 = new TMenuItem(&root, L"N10", L"종료하기", [this](TMenuItem&) { N10Click(); });

    Pick = new TPopupMenu(this, L"Pick");
    new TMenuItem(&Pick->Items(), L"N5", L"복사", [this](TMenuItem&) { N5Click(); });
    new TMenuItem(&Pick->Items(), L"N7", L"삭제", [this](TMenuItem&) { N7Click(); });
}

}  // namespace tovasen
