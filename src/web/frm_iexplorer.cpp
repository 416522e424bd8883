#include "web/frm_iexplorer.h"

#include <urlmon.h>

#include <algorithm>
#include <utility>

#include "base/log_event.h"
#include "base/module_path.h"
#include "base/registry.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "resource_ids.h"
#include "ui/application.h"

namespace tovasen {


namespace {

constexpr int kClientWidth = 695;
constexpr int kClientHeight = 572;
constexpr int kToolbarHeight = 37;
constexpr int kButtonsWidth = 57;  // the two buttons and the gap before the address field
constexpr int kRightGap = 8;
constexpr wchar_t kEmptyAddress[] = L"https://";
constexpr wchar_t kBlank[] = L"about:blank";
constexpr wchar_t kFeatureControlKey[] = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\";

struct TBrowserFeature {
    const wchar_t* key;
    DWORD value;
    INTERNETFEATURELIST process;  // the same feature for this process, or none
};
constexpr INTERNETFEATURELIST kNoProcessFeature = FEATURE_ENTRY_COUNT;
const TBrowserFeature kBrowserFeatures[] = {
    // The newest document mode, whatever the page declares.
    {L"FEATURE_BROWSER_EMULATION", 11001, kNoProcessFeature},
    // Script and active content of local pages ask before they run.
    {L"FEATURE_LOCALMACHINE_LOCKDOWN", 1, FEATURE_LOCALMACHINE_LOCKDOWN},
    // A page never moves to a zone with more rights (the web to local files).
    {L"FEATURE_ZONE_ELEVATION", 1, FEATURE_ZONE_ELEVATION},
    // Content is handled as what the server says it is, and never sniffed into something
    // that runs.
    {L"FEATURE_MIME_HANDLING", 1, FEATURE_MIME_HANDLING},
    {L"FEATURE_MIME_SNIFFING", 1, FEATURE_MIME_SNIFFING},
    {L"FEATURE_WEBOC_POPUPMANAGEMENT", 1, FEATURE_WEBOC_POPUPMANAGEMENT},
};
constexpr long kForwardCommand = 1;  // CSC_NAVIGATEFORWARD
constexpr long kBackCommand = 2;     // CSC_NAVIGATEBACK

std::wstring ExeFileName() {
    const std::wstring path = ModuleFileName(nullptr);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool WriteBrowserFeatureControls() {
    bool written = true;
    const std::wstring exe = ExeFileName();
    for (const TBrowserFeature& feature : kBrowserFeatures) {
        try {
            TRegistryKey key = TRegistryKey::Open(HKEY_CURRENT_USER, std::wstring(kFeatureControlKey) + feature.key, true);
            key.WriteInteger(exe, static_cast<int>(feature.value));
        } catch (const std::exception&) {
            written = false;  // the control still shows pages, in an older mode or less guarded
            LogCaught(L"web-browser", std::current_exception());
        }
        // The registry is read once per process, maybe before this: the process setting holds now.
        if (feature.process != kNoProcessFeature) CoInternetSetFeatureEnabled(feature.process, SET_FEATURE_ON_PROCESS, TRUE);
    }
    return written;
}

// --- TArrowButton ------------------------------------------------------------------------------

TArrowButton::TArrowButton(TForm* parent, std::wstring name, bool pointsLeft)
    : TButton(parent, std::move(name), L"", BS_OWNERDRAW), FPointsLeft(pointsLeft) {}

void TArrowButton::CNDrawItem(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int shift = (item.itemState & ODS_SELECTED) ? 1 : 0;
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int size = std::max(3, std::min(w, h) / 4);
    const int cx = r.left + w / 2 + shift, cy = r.top + h / 2 + shift;
    const int dir = FPointsLeft ? -1 : 1;
    const POINT head[3] = {{cx + dir * size, cy}, {cx - dir * (size / 2), cy - size}, {cx - dir * (size / 2), cy + size}};
    const COLORREF colour = disabled ? RGB(190, 190, 190) : RGB(60, 60, 60);
    UniqueBrush brush(CreateSolidBrush(colour));
    UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    ScopedSelect selectBrush(dc, brush.Get());
    ScopedSelect selectPen(dc, pen.Get());
    Polygon(dc, head, 3);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

// --- TFrmIExplorer -----------------------------------------------------------------------------

TFrmIExplorer::TFrmIExplorer(TComponent* owner) : TForm(owner, L"FrmIExplorer") {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = BlankTitle();
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    // Shared: the class keeps the icon for as long as the program runs.
    params.Icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 0, 0,
                                                LR_DEFAULTSIZE | LR_SHARED));
    CreateHandle(params);
    SetCaption(params.Caption);
    SetClientSize96(kClientWidth, kClientHeight);
    CenterOnScreen();

    BtnBack = new TArrowButton(this, L"BtnBack", true);
    BtnBack->SetBounds96(0, 0, 25, kToolbarHeight);
    BtnBack->SetEnabled(false);
    BtnBack->OnClick = [this] { BtnBackClick(); };
    BtnForward = new TArrowButton(this, L"BtnForward", false);
    BtnForward->SetBounds96(25, 0, 25, kToolbarHeight);
    BtnForward->SetEnabled(false);
    BtnForward->OnClick = [this] { BtnForwardClick(); };
    Edit1 = new TEdit(this, L"Edit1", kEmptyAddress);
    Edit1->OnKeyDown = [this](WORD key) { return Edit1KeyDown(key); };
    OnClose = [this] { FormClose(); };

    TranslateComponent(this);
    // The settings are read when the control starts: the values must be there before.
    WriteBrowserFeatureControls();
    WB = new TWebBrowser(this, L"WB");
    WB->OnCommandStateChange = [this](long command, bool enable) { WBCommandStateChange(command, enable); };
    WB->OnTitleChange = [this](const std::wstring& title) { WBTitleChange(title); };
    WB->OnDocumentComplete = [this](bool topLevel, const std::wstring& url) { WBDocumentComplete(topLevel, url); };
    WB->OnBeforeNavigate2 = [this](bool topLevel, const std::wstring& url, bool& cancel) {
        WBBeforeNavigate2(topLevel, url, cancel);
    };
    WB->OnNavigateComplete2 = [this](bool topLevel, const std::wstring& url) { WBNavigateComplete2(topLevel, url); };
    WB->OnNewWindow = [this](bool& cancel) { WBNewWindow(cancel); };
    LayoutControls();
    WB->SetUserAgent(kUserAgent);
    Navigate(kBlank);
    // Keys for the page pass through its accelerator translation first; Alt+D works anywhere.
    if (Application) Application->AddMessageFilter(this);
}

TFrmIExplorer::~TFrmIExplorer() = default;

void TFrmIExplorer::Dismiss() {
    const std::function<void()> gone = std::exchange(OnDismissed, nullptr);
    if (gone) gone();
    Release();
}

void TFrmIExplorer::FormClose() {
    // The reference goes first, so whoever is told sees the window as gone.
    const std::function<void()> notify = OnUserClose;
    Dismiss();
    if (notify) notify();
}

std::wstring TFrmIExplorer::BlankTitle() const { return Translate(Application ? Application->Title() : L""); }

void TFrmIExplorer::UserNavigation(const std::function<void()>& navigate) {
    // The control announces the navigation from inside the call; a page's own navigations come
    // later, from its scripts, and are no longer taken for the user's.
    FUserNavigating = true;
    try {
        navigate();
    } catch (const std::exception&) {
        // Navigation failures raise nothing: the control shows its own error page, and a
        // missing history entry only means the button is about to be disabled.
        LogCaught(L"web-browser", std::current_exception());
    }
    FUserNavigating = false;
}

void TFrmIExplorer::Navigate(const std::wstring& address) {
    UserNavigation([&] {
        if (NavigateHook) NavigateHook(address);
        else WB->Navigate(address);
    });
}

bool TFrmIExplorer::Edit1KeyDown(WORD key) {
    if (key != VK_RETURN) return false;
    const std::wstring address = TrimAddress(Edit1->Text());
    if (MayNavigateTyped(address)) Navigate(address);
    return true;
}

void TFrmIExplorer::BtnBackClick() {
    UserNavigation([&] { WB->GoBack(); });
}

void TFrmIExplorer::BtnForwardClick() {
    UserNavigation([&] { WB->GoForward(); });
}

void TFrmIExplorer::WBCommandStateChange(long command, bool enable) {
    if (command == kForwardCommand) BtnForward->SetEnabled(enable);
    else if (command == kBackCommand) BtnBack->SetEnabled(enable);
}

void TFrmIExplorer::WBTitleChange(const std::wstring& title) {
    SetCaption(title == kBlank ? BlankTitle() : title);
}

void TFrmIExplorer::WBDocumentComplete(bool topLevel, const std::wstring& url) {
    FNavigation.Shown(url, topLevel);
    // Every frame completes too; only the page itself may touch what the user is typing.
    if (!topLevel) return;
    Edit1->SetText(url == kBlank ? std::wstring(kEmptyAddress) : url);
}

void TFrmIExplorer::WBBeforeNavigate2(bool topLevel, const std::wstring& url, bool& cancel) {
    const bool userAsked = FUserNavigating && topLevel;
    if (userAsked) FUserNavigating = false;
    if (!FNavigation.Allow(url, topLevel, userAsked)) cancel = true;
}

void TFrmIExplorer::WBNavigateComplete2(bool topLevel, const std::wstring& url) { FNavigation.Shown(url, topLevel); }

void TFrmIExplorer::WBNewWindow(bool& cancel) { cancel = true; }

bool TFrmIExplorer::EventsShortCut(const MSG& msg) {
    constexpr LPARAM kAltDown = 0x20000000;
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (msg.wParam != 'D' || !(msg.lParam & kAltDown)) return false;
    if (Visible()) {
        SetFocus(Edit1->Handle());
        Edit1->SelectAll();
    }
    return true;
}

bool TFrmIExplorer::PreTranslateMessage(MSG& msg) {
    if (EventsShortCut(msg)) return true;
    return WB && WB->TranslateAccelerator(msg);
}

void TFrmIExplorer::LayoutControls() {
    if (!Edit1) return;  // sized while the window is still being made
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width96 = MulDiv(client.right, 96, Dpi());
    Edit1->SetBounds96(kButtonsWidth, 8, std::max(0, width96 - kButtonsWidth - kRightGap), 21);
    if (!WB || FPageLayout) return;
    const int bar = ScaleValue(kToolbarHeight);
    WB->SetBoundsPx(0, bar, client.right, std::max(0, static_cast<int>(client.bottom) - bar));
}

void TFrmIExplorer::BeginPageLayout(int width, int height) {
    FPageLayout = true;
    WB->SetBoundsPx(0, ScaleValue(kToolbarHeight), width, height);
}

void TFrmIExplorer::EndPageLayout() {
    FPageLayout = false;
    LayoutControls();
}

void TFrmIExplorer::DpiChanged(int dpi, const RECT& suggested) {
    TForm::DpiChanged(dpi, suggested);
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TFrmIExplorer::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) LayoutControls();
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
