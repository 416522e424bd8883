// The main window in this process: its layout, menus and option handlers, with the settings in
// the prefix's registry. The test programs' folder has no libwebp.dll, no ffmpeg.exe and no OCR,
// so the availability checks fail here as they do on such a system.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/config.h"
#include "app/frm_tovasen.h"
#include "output/frm_floating.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "support/main_form.h"
#include "support/message_boxes.h"
#include "support/process.h"
#include "support/wait.h"
#include "ui/application.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace tovasen {
namespace {

class MainWindow : public test::MainFormTest {
protected:
    void Create() { CreateForm(); }
    static int Stored(const wchar_t* name) { return TConfig().ReadInteger(name, -99); }

};

struct Expected {
    const wchar_t* name;
    const wchar_t* korean;
    const wchar_t* english;
};

TEST_F(MainWindow, MenuHasItsItemsInOrderInKoreanAndEnglish) {
    Create();
    // The pause item and its separator lead the menu and show only while recording.
    const Expected top[] = {
        {L"PopRecPause", L"녹화 일시정지", L"Pause Recording"}, {L"PopRecPauseLine", L"-", L"-"},
        {L"PopDelay3", L"3초 후 캡쳐", L"Capture in 3 s"},   {L"PopDelay5", L"5초 후 캡쳐", L"Capture in 5 s"},
        {L"PopDelay10", L"10초 후 캡쳐", L"Capture in 10 s"}, {L"PopHistory", L"캡쳐 기록…", L"History…"},
        {L"PopRecent", L"최근 캡쳐", L"Recent"},              {L"ChkKeepHistory", L"캡쳐 기록 보관", L"Keep History"},
        {L"PopClearHistory", L"캡쳐 기록 지우기", L"Clear History"}, {L"PopHistoryLine", L"-", L"-"},
        {L"PopOpenFolder", L"저장폴더 열기", L"Open Folder"}, {L"PopChooseFolder", L"저장폴더 설정", L"Set Save Folder"},
        {L"PopCaptureOptions", L"캡쳐 설정", L"Capture"},         {L"PopRecordOptions", L"녹화 설정", L"Recording"},
        {L"PopLanguage", L"언어 설정", L"Language"},        {L"PopNaming", L"파일명 설정", L"File Name"},
        {L"PopHotKey", L"단축키 설정", L"Hotkey"},         {L"ChkRegStart", L"부팅시 실행", L"Run at Startup"},
        {L"PopAboutLine", L"-", L"-"},                        {L"PopAbout", L"Dravomix 제작", L"Made by Dravomix"},
        {L"PopExit", L"종료하기", L"Exit"},
    };
    auto check = [&](bool english) {
        const auto items = form->MainMenu().Menu->Items().Items();
        ASSERT_EQ(std::size(top), items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(top[i].name, items[i]->Name()) << "item " << i;
            EXPECT_EQ(english ? top[i].english : top[i].korean, items[i]->Caption) << "item " << i;
            EXPECT_EQ(i >= 2, items[i]->Visible) << "item " << i;
        }
        constexpr std::size_t kOld = 10;  // the items before "Open Folder"
        const auto capture = items[kOld + 2]->Items();
        ASSERT_EQ(5u, capture.size());
        EXPECT_EQ(L"PopSound", capture[0]->Name());
        EXPECT_EQ(english ? L"Include Mouse Cursor" : L"마우스 커서 포함", capture[1]->Caption);
        EXPECT_EQ(english ? L"Edit before output" : L"출력 전 편집", capture[3]->Caption);
        EXPECT_EQ(english ? L"Redact Secrets Before Output" : L"출력 전 비밀 정보 가리기", capture[4]->Caption);
        const auto naming = items[kOld + 5]->Items();
        ASSERT_EQ(3u, naming.size());
        EXPECT_EQ(L"ChkNameContinue", naming[0]->Name());
        EXPECT_EQ(L"ChkNameFirstFree", naming[1]->Name());
        EXPECT_EQ(english ? L"Date and Time" : L"날짜시간", naming[2]->Caption);
        const auto recording = items[kOld + 3]->Items();
        ASSERT_EQ(5u, recording.size());
        EXPECT_EQ(english ? L"Show Clicks and Keys" : L"클릭과 단축키 표시", recording[4]->Caption);
        const auto limits = items[kOld + 3]->Items()[0]->Items();
        ASSERT_EQ(6u, limits.size());
        EXPECT_EQ(english ? L"4 Hours" : L"4시간", limits[5]->Caption);
        EXPECT_EQ(L"中文", items[kOld + 4]->Items()[6]->Caption) << "language names never change";
        EXPECT_EQ(english ? L"Full Screen" : L"전체화면 캡쳐", form->ChkArea->Items()[0]);
        EXPECT_EQ(english ? L"Clipboard" : L"클립보드", form->ChkSaveTo->Items()[7]);
    };
    check(false);
    form->ChooseLanguage(L"en");
    check(true);
    EXPECT_EQ(L"en", TConfig().ReadString(L"language", L""));
    EXPECT_TRUE(form->MainMenu().ChkLangItems[1]->Checked);
    EXPECT_FALSE(form->MainMenu().ChkLangItems[0]->Checked);
    EXPECT_EQ(L"Hotkey", form->FrmHotKey->Caption()) << "dialogs follow the language";
    // Back in Korean, a text that two Korean rows share in English takes the first row's
    // Korean: "Open Folder" comes back as "폴더열기", as the table lookup defines.
    form->ChooseLanguage(L"ko");
    EXPECT_EQ(L"폴더열기", form->MainMenu().PopOpenFolder->Caption);
    EXPECT_EQ(L"종료하기", form->MainMenu().PopExit->Caption);
}

TEST_F(MainWindow, OptionItemsCheckExactlyOneAndStoreTheirValue) {
    Create();
    EXPECT_TRUE(form->MainMenu().ChkNameContinue->Checked) << "default naming";
    form->MainMenu().ChkNameFirstFree->Click();
    EXPECT_EQ(3, Stored(L"append"));
    EXPECT_FALSE(form->MainMenu().ChkNameContinue->Checked);
    EXPECT_TRUE(form->MainMenu().ChkNameFirstFree->Checked);
    EXPECT_FALSE(form->MainMenu().ChkNameDateTime->Checked);
    form->MainMenu().ChkSound3->Click();
    EXPECT_EQ(3, Stored(L"sound"));
    EXPECT_FALSE(form->MainMenu().ChkSound1->Checked);
    EXPECT_TRUE(form->MainMenu().ChkSound3->Checked);
    form->MainMenu().ChkRecLimits[4]->Click();
    EXPECT_EQ(240, Stored(L"record_limit"));
    int checked = 0;
    for (TMenuItem* item : form->MainMenu().ChkRecLimits) checked += item->Checked;
    EXPECT_EQ(1, checked);
    EXPECT_TRUE(form->MainMenu().ChkMouse->Checked);
    form->MainMenu().ChkMouse->Click();
    EXPECT_EQ(0, Stored(L"mouse"));
    form->MainMenu().ChkAutoCopy->Click();
    EXPECT_EQ(1, Stored(L"autocopy"));
    form->MainMenu().ChkLog->Click();
    EXPECT_EQ(1, Stored(L"ffmpeg_log"));
    EXPECT_FALSE(form->MainMenu().ChkShowInput->Checked) << "off unless chosen";
    form->MainMenu().ChkShowInput->Click();
    EXPECT_EQ(1, Stored(L"show_input"));
    EXPECT_TRUE(form->MainMenu().ChkShowInput->Checked);
    EXPECT_TRUE(form->Settings().Snapshot().Recording.ShowInput) << "a request made now draws the input";
}

TEST_F(MainWindow, ModeChangesStoreTheModeAndColourPickShowsItsCard) {
    Create();
    Choose(form->ChkArea, 3);
    EXPECT_EQ(3, Stored(L"area"));
    Choose(form->ChkArea, 6);
    EXPECT_EQ(0, Stored(L"area")) << "modes above 3 are stored as 0";
    EXPECT_TRUE(form->ColourCard().LstColor->Visible());
    EXPECT_FALSE(form->ChkSaveTo->Visible());
    EXPECT_TRUE(form->ColourCard().TmrColor->Enabled());
    EXPECT_EQ(100u, form->ColourCard().TmrColor->Interval());
    Choose(form->ChkArea, 0);
    EXPECT_FALSE(form->ColourCard().LstColor->Visible());
    EXPECT_TRUE(form->ChkSaveTo->Visible());
    EXPECT_FALSE(form->ColourCard().TmrColor->Enabled());
}

// A request is what was asked: a folder and a naming chosen during its countdown are the next
// request's, not this one's.
TEST_F(MainWindow, ADelayedCaptureLandsWhereItWasAskedFor) {
    test::TempFolder asked, changed;
    TConfig config;
    config.WriteString(L"path", asked.Path());
    config.WriteInteger(L"append", 1);
    Create();
    form->Controller().Run({std::make_shared<TUserReporter>(), 1, std::nullopt});
    ASSERT_EQ(TControllerState::Capturing, form->Controller().State()) << "the countdown holds the request";
    form->Settings().ChooseFolder(changed.Path());
    form->Settings().ChooseNaming(NamingScheme::DateTime);
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().State() == TControllerState::Idle; }));
    EXPECT_EQ(std::vector<std::wstring>{L"T-001.png"}, asked.Files());
    EXPECT_TRUE(changed.Files().empty());
}

TEST_F(MainWindow, TargetsThatCannotWorkHereFallBackToPngWithOneMessage) {
    Create();
    Choose(form->ChkSaveTo, 1);
    EXPECT_TRUE(form->ChkJPEG_qual->Visible());
    EXPECT_EQ(1, Stored(L"saveto"));
    {
        test::MessageBoxAnswerer answerer;
        Choose(form->ChkSaveTo, 4);
        EXPECT_EQ(std::vector<std::wstring>{L"\"libwebp.dll\" 파일이 없습니다."}, answerer.Texts());
    }
    EXPECT_EQ(0, form->ChkSaveTo->ItemIndex());
    EXPECT_EQ(0, Stored(L"saveto"));
    EXPECT_FALSE(form->ChkWebP_qual->Visible());
    EXPECT_FALSE(form->ChkJPEG_qual->Visible());

    form->ChooseLanguage(L"en");
    for (const TSaveTarget recording : {TSaveTarget::Mp4, TSaveTarget::GifAnimated}) {
        test::MessageBoxAnswerer answerer;
        Choose(form->ChkSaveTo, StoredIndex(recording));
        EXPECT_EQ(std::vector<std::wstring>{L"\"ffmpeg.exe\" file not found."}, answerer.Texts()) << StoredIndex(recording);
        EXPECT_EQ(0, form->ChkSaveTo->ItemIndex());
    }
    {
        test::MessageBoxAnswerer answerer;
        Choose(form->ChkSaveTo, 6);
        EXPECT_EQ(std::vector<std::wstring>{L"OCR 을 지원하지 않는 윈도우 환경입니다."}, answerer.Texts())
            << "this message is never translated";
    }
    EXPECT_EQ(0, Stored(L"saveto"));
    EXPECT_FALSE(form->ChkOCR_lang->Visible());
}

TEST_F(MainWindow, ColourListMenuCopiesAndDeletesTheSelection) {
    Create();
    form->ColourCard().LstColor->Insert(0, L"00FF00");
    form->ColourCard().LstColor->Insert(0, L"FF0000");
    form->ColourCard().Pick->Items().Items()[0]->Click();  // nothing selected: nothing happens
    form->ColourCard().LstColor->SetItemIndex(1);
    form->ColourCard().Pick->Items().Items()[0]->Click();
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto* text = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    EXPECT_STREQ(L"00FF00", text ? text : L"(none)");
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
    form->ColourCard().Pick->Items().Items()[1]->Click();
    ASSERT_EQ(1, form->ColourCard().LstColor->Count());
    EXPECT_EQ(L"FF0000", form->ColourCard().LstColor->Item(0));
}

// The side lists cost the start about 10 ms each under Wine: only the stored target's is made
// before the window shows. The others follow in the same start, each with its stored value and
// its place in the tab order between the target list and the folder button.
TEST_F(MainWindow, OnlyTheStoredTargetsSideListIsMadeBeforeTheWindowShows) {
    TConfig config;
    config.WriteInteger(L"saveto", 1);  // JPG
    config.WriteInteger(L"jpeg_quality", 2);
    config.WriteInteger(L"webp_quality", 3);
    std::vector<bool> madeAtShow;
    CreateForm([&](TFrmTovasen& f) {
        f.OnViewReady = [&] { madeAtShow = {f.ChkJPEG_qual != nullptr, f.ChkWebP_qual != nullptr, f.ChkOCR_lang != nullptr}; };
    });
    EXPECT_EQ((std::vector<bool>{true, false, false}), madeAtShow);
    ASSERT_TRUE(form->ChkWebP_qual && form->ChkOCR_lang);
    EXPECT_EQ(2, form->ChkJPEG_qual->ItemIndex());
    EXPECT_EQ(3, form->ChkWebP_qual->ItemIndex());
    EXPECT_TRUE(form->ChkJPEG_qual->Visible());
    EXPECT_FALSE(form->ChkWebP_qual->Visible());
    std::vector<HWND> order;
    for (HWND w = GetWindow(form->ChkSaveTo->Handle(), GW_HWNDNEXT); order.size() < 4 && w; w = GetWindow(w, GW_HWNDNEXT)) order.push_back(w);
    EXPECT_EQ((std::vector<HWND>{form->ChkJPEG_qual->Handle(), form->ChkWebP_qual->Handle(), form->ChkOCR_lang->Handle(),
                                 form->BtnOpenDir->Handle()}),
              order);
    Choose(form->ChkWebP_qual, 4);
    EXPECT_EQ(4, TConfig().ReadInteger(L"webp_quality", -1)) << "a list made late stores its choice";
}

// A closed floating window gives its picture back: the next screen copy reuses its memory.
TEST_F(MainWindow, AClosedFloatingWindowsPictureBecomesTheSpare) {
    TConfig().WriteInteger(L"saveto", 10);  // floating window
    Create();
    CaptureAndWait();
    const HWND floating = FindWindowW(TFrmFloating::kClassName, nullptr);
    ASSERT_NE(nullptr, floating);
    EXPECT_EQ(nullptr, form->Controller().SparePicture()) << "the window still shows it";
    SendMessageW(floating, WM_CLOSE, 0, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return form->Controller().SparePicture() != nullptr; }));
}

// Rectangles relative to the client area, at 96 DPI, as the layout gives them.
TEST_F(MainWindow, ControlsSitWhereTheLayoutPutsThem) {
    Create();
    if (form->Dpi() != 96) GTEST_SKIP() << "the layout numbers are for 96 DPI";
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(162, client.right);
    EXPECT_EQ(191, client.bottom);
    struct Place {
        TControl* control;
        int left, top, width, height;  // -1: not fixed
    };
    Choose(form->ChkArea, 6);
    const RECT colorList = form->ColourCard().LstColor->BoundsInParent();
    const RECT swatch = form->ColourCard().ShpColor->BoundsInParent();
    Choose(form->ChkArea, 0);
    const Place places[] = {
        {form->LblArea, 8, 8, -1, -1},        {form->ChkArea, 9, 29, 145, 22},
        {form->LblSaveTo, 8, 60, -1, -1},     {form->ChkSaveTo, 8, 81, 145, 22},
        {form->ChkJPEG_qual, 96, 81, 57, 22}, {form->ChkWebP_qual, 96, 81, 57, 22},
        {form->ChkOCR_lang, 86, 81, 67, 22},  {form->BtnOpenDir, 8, 123, 145, 33},
        {form->ColourCard().LblColor, 31, 60, -1, -1},     {form->ShpRec, 8, 68, 145, 81},
        {form->LblCopyright, 8, 168, 146, 17},
    };
    for (const Place& p : places) {
        const RECT r = p.control->BoundsInParent();
        const std::string name(p.control->Name().begin(), p.control->Name().end());
        EXPECT_EQ(p.left, r.left) << name;
        EXPECT_EQ(p.top, r.top) << name;
        if (p.width >= 0) {
            EXPECT_EQ(p.width, r.right - r.left) << name;
        }
        if (p.height >= 0) {
            EXPECT_EQ(p.height, r.bottom - r.top) << name;
        }
    }
    EXPECT_EQ((RECT{8, 81, 153, 156}), colorList);
    EXPECT_EQ((RECT{8, 60, 23, 75}), swatch);
    Choose(form->ChkSaveTo, 1);
    const RECT target = form->ChkSaveTo->BoundsInParent();
    EXPECT_EQ(82, target.right - target.left) << "JPG narrows the target list for its quality box";
}

// Every control's place and the fonts, as text: one line per control, then the form's font.
std::string LayoutText(TFrmTovasen& form) {
    std::ostringstream out;
    RECT client{};
    GetClientRect(form.Handle(), &client);
    out << "client " << client.right << "x" << client.bottom << "\n";
    for (TComponent* component : form.Components()) {
        auto* control = dynamic_cast<TControl*>(component);
        if (!control) continue;
        const RECT r = control->BoundsInParent();
        LOGFONTW font{};
        const auto hfont = reinterpret_cast<HFONT>(SendMessageW(control->Handle(), WM_GETFONT, 0, 0));
        if (hfont) GetObjectW(hfont, sizeof(font), &font);
        out << std::string(control->Name().begin(), control->Name().end()) << " " << r.left << "," << r.top << ","
            << r.right << "," << r.bottom << " font " << font.lfHeight << "\n";
    }
    return out.str();
}

constexpr char kDumpVariable[] = "TOVASEN_LAYOUT_DUMP";

// Run in a child process started under a 144-DPI system setting: writes the start-up layout.
TEST_F(MainWindow, DumpLayoutForTheParentTest) {
    const char* path = std::getenv(kDumpVariable);
    if (!path) GTEST_SKIP() << "run by DpiChangeGivesTheLayoutOfAStartAtThatDpi only";
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Create();
    std::ofstream(path) << form->Dpi() << "\n" << LayoutText(*form);
}

TEST_F(MainWindow, DpiChangeGivesTheLayoutOfAStartAtThatDpi) {
    if (std::getenv(kDumpVariable)) GTEST_SKIP();
    Create();
    if (form->Dpi() != 96) GTEST_SKIP() << "the test moves the window from 96 to 144 DPI";
    const std::string at96 = LayoutText(*form);

    // The window as Windows suggests it for 144 DPI: the same client area, scaled.
    RECT suggested{};
    suggested.right = form->ScaleValue(162) * 144 / 96;
    suggested.bottom = form->ScaleValue(191) * 144 / 96;
    AdjustWindowRectExForDpi(&suggested, static_cast<DWORD>(GetWindowLongPtrW(form->Handle(), GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE)), 144);
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(144, form->Dpi());
    const std::string moved = LayoutText(*form);
    EXPECT_NE(at96, moved) << "nothing was scaled";

    // The same program started where the system runs at 144 DPI.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dump = std::wstring(temp) + L"tovasen-layout-144.txt";
    DeleteFileW(dump.c_str());
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &desktop, nullptr));
    const DWORD dpi144 = 144;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi144), sizeof(dpi144));
    SetEnvironmentVariableW(L"TOVASEN_LAYOUT_DUMP", dump.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    {
        test::ChildProcess child(self, L"--gtest_filter=MainWindow.DumpLayoutForTheParentTest");
        EXPECT_TRUE(child.WaitForExit(60000));
        EXPECT_EQ(0u, child.ExitCode()) << "the child could not dump its layout";
    }
    SetEnvironmentVariableW(L"TOVASEN_LAYOUT_DUMP", nullptr);
    RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);

    std::ifstream in{std::filesystem::path(dump)};
    std::stringstream started;
    started << in.rdbuf();
    std::string childDpi;
    std::getline(started, childDpi);
    if (childDpi != "144") GTEST_SKIP() << "this system did not start the child at 144 DPI (got " << childDpi << ")";
    EXPECT_EQ(started.str().substr(childDpi.size() + 1), moved);
}

}  // namespace
}  // namespace tovasen
