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

// In the current language already, so that translating the window does not fill the list again.
template <class Table>
std::vector<std::wstring> CaptionsOf(const Table& table) {
    std::vector<std::wstring> captions;
    for (const auto& row : table) captions.emplace_back(Translate(row.caption));
    return captions;
}

std::vector<std::wstring> QualityTexts() {
    std::vector<std::wstring> texts;
    for (const int quality : kQualityOfIndex) texts.push_back(std::to_wstring(quality));
    return texts;
}

TComboBox* NewList(TForm* form, const wchar_t* name, int left, int top, int width, const std::vector<std::wstring>& items) {
    auto* box = new TComboBox(form, name, true);
    box->SetBounds96(left, top, width, 300);
    box->SetHeight96(22);
    box->SetItems(items);
    return box;
}

}  // namespace

void TFrmTovasen::CreateControls() {
    const auto popMenu = [this] { PopupMenuAtMouse(); };
    LblArea = new TLabel(this, L"LblArea", L"캡쳐영역");
    LblArea->SetBounds96(8, 8, 145, 17);
    ChkArea = NewList(this, L"ChkArea", 9, 29, 145, CaptionsOf(kCaptureModes));
    ChkArea->OnChange = [this] { ChooseMode(CaptureModeAt(ChkArea->ItemIndex()).value_or(TCaptureMode::FullScreen)); };

    // Card 0: the save target and its options.
    LblSaveTo = new TLabel(this, L"LblSaveTo", L"저장형식");
    LblSaveTo->SetBounds96(kCardLeft, kCardTop, 145, 17);
    ChkSaveTo = NewList(this, L"ChkSaveTo", kCardLeft, kCardTop + 21, 145, CaptionsOf(kSaveTargets));
    ChkSaveTo->OnChange = [this] { ChooseTarget(SaveTargetAt(ChkSaveTo->ItemIndex()).value_or(TSaveTarget::Png)); };
    // The side lists come when the layout first needs them (MakeSideLists).
    BtnOpenDir = new TButton(this, L"BtnOpenDir", L"폴더열기");
    BtnOpenDir->SetBounds96(kCardLeft, kCardTop + 63, 145, 33);
    BtnOpenDir->OnClick = [this] { OpenFolder(FSettings->Values().path); };
    FCards[0] = {LblSaveTo, ChkSaveTo, BtnOpenDir};

    // Card 1: colour pick.
    FColourCard = std::make_unique<TColourCard>(*this, *FServices->Grabber(), kCardLeft, kCardTop);
    FCards[1] = FColourCard->Controls();

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
                        static_cast<TControl*>(FColourCard->LblColor), static_cast<TControl*>(FColourCard->ShpColor),
                        static_cast<TControl*>(ShpRec), static_cast<TControl*>(LblRecording),
                        static_cast<TControl*>(LblRecTime), static_cast<TControl*>(LblCopyright)}) {
        c->OnRightClick = popMenu;
    }
}

// Each list costs about 10 ms to make under Wine, most of it the drop-down's own window: only
// the side list of the target the window shows with is made before it shows, the others right
// after (all true). Each takes the settings' value as it is made, and its place in the tab order
// after the target list.
void TFrmTovasen::MakeSideLists(bool all) {
    if (ChkJPEG_qual && ChkWebP_qual && ChkOCR_lang) return;  // every layout change asks
    const TSaveTarget target = FSettings->Target();
    const TSettings& values = FSettings->Values();
    HWND after = ChkSaveTo->Handle();
    const auto make = [&](TComboBox*& box, TSaveTarget owner, const wchar_t* name, int left, int width,
                          const std::vector<std::wstring>& items, int index, int TSettings::*setting) {
        if (!box && (all || target == owner)) {
            box = NewList(this, name, kCardLeft + left, kCardTop + 21, width, items);
            box->SetVisible(false);
            box->SetItemIndex(index);
            SetWindowPos(box->Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            box->OnChange = [this, setting, list = box] { FSettings->Set(setting, list->ItemIndex()); };
        }
        if (box) after = box->Handle();
    };
    make(ChkJPEG_qual, TSaveTarget::Jpg, L"ChkJPEG_qual", 88, 57, QualityTexts(), values.jpeg_quality, &TSettings::jpeg_quality);
    make(ChkWebP_qual, TSaveTarget::WebP, L"ChkWebP_qual", 88, 57, QualityTexts(), values.webp_quality, &TSettings::webp_quality);
    std::vector<std::wstring> languages;
    for (const TLanguage& language : FSettings->OcrLanguages()) languages.push_back(language.DisplayName);
    make(ChkOCR_lang, TSaveTarget::Txt, L"ChkOCR_lang", 78, 67, languages, OcrListIndex(), &TSettings::language_ocr);
}

void TFrmTovasen::CreateMenu() {
    TMainMenu::TActions actions;
    actions.CaptureAfter = [this](int seconds) { FController->Run({std::make_shared<TUserReporter>(), seconds, std::nullopt}); };
    actions.PauseOrResumeRecording = [this] { PauseOrResumeRecording(); };
    actions.History = [this] { return History(); };
    actions.ChooseFolder = [this] {
        std::wstring folder = FSettings->Values().path;
        if (SelectFolder(Handle(), folder, Translate(L"폴더 선택"), Translate(L"선택"))) FSettings->ChooseFolder(folder);
    };
    actions.OpenFolder = [this] { OpenFolder(FSettings->Values().path); };
    actions.ChooseLanguage = [this](const std::wstring& code) { ChooseLanguage(code); };
    actions.OpenHotKeyDialog = [this] { FrmHotKey->Open(); };
    actions.SetAutoStart = [this](bool wanted) {
        if (SetAutoStart(kAutoStartName, wanted) || !wanted) return wanted;
        ShowMessage(Translate(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다."), kErrorFlags);
        return false;
    };
    actions.OpenAbout = [this] { OpenAbout(); };
    actions.AskExit = [this] { AskExit(); };
    FMenu = std::make_unique<TMainMenu>(*this, *FSettings, std::move(actions));
}

}  // namespace tovasen
