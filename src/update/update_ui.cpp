#include "update/update_ui.h"

#include "base/address_gate.h"
#include "i18n/translation.h"
#include "ui/application.h"
#include "ui/fonts.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {
namespace {

constexpr int kStripHeight96 = 28;
constexpr COLORREF kLinkColor = RGB(0, 0, 255);
constexpr COLORREF kSeparatorColor = RGB(0xCC, 0xCC, 0xCC);

// A button caption shows an ampersand only when it is doubled.
std::wstring NoMnemonics(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

class TIcon : public TControl {
public:
    TIcon(TForm* parent, HICON icon) : TControl(parent, L"ImgIcon") {
        CreateControl(L"STATIC", L"", SS_ICON);
        SendMessageW(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
};

class TFrmUpdate : public TForm {
public:
    TFrmUpdate(const UpdateReply& reply, const UpdateUi& ui) : TForm(nullptr, L"FrmUpdate") {
        const UpdateTexts texts = UpdateTextsFor(CurrentLanguage);
        TCreateParams params;
        params.ClassName = kUpdateDialogClass;
        params.Caption = Translate(Application ? Application->Title() : L"Tovasen");
        params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        params.ExStyle = WS_EX_DLGMODALFRAME;
        params.Background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        params.Parent = ui.mainWindow ? ui.mainWindow->Handle() : nullptr;
        CreateHandle(params);
        SetDialogKeys(true);

        const bool extra = !reply.style.empty();
        const int height = kBaseHeight + (extra ? 40 : 0);
        SetClientSize96(kWidth, height);
        new TIcon(this, LoadIconW(nullptr, IDI_WARNING));
        FindControl(L"ImgIcon")->SetBounds96(16, 16, 32, 32);
        std::wstring lines;
        for (const wchar_t* c = texts.dialog; *c; ++c) lines += *c == L'\r' ? std::wstring(L"\r\n") : std::wstring(1, *c);
        auto* text = new TLabel(this, L"LblText", lines);
        text->SetBounds96(64, 16, kWidth - 80, kBaseHeight - 72);
        auto* yes = new TButton(this, L"BtnYes", texts.yes);
        yes->SetBounds96(kWidth - 184, kBaseHeight - 44, 80, 26);
        yes->OnClick = [this] { ModalResult = mrYes; };
        auto* no = new TButton(this, L"BtnNo", texts.no);
        no->SetBounds96(kWidth - 96, kBaseHeight - 44, 80, 26);
        no->OnClick = [this] { ModalResult = mrNo; };

        if (extra) {
            auto* line = new TShape(this, L"ShpLine");
            line->SetColor(kSeparatorColor);
            line->SetPenColor(kSeparatorColor);
            line->SetBounds96(0, height - 46, kWidth, 1);
            const std::wstring caption = CleanServerText(reply.text);
            if (reply.style == L"hold") {
                FHold = new TCheckBox(this, L"ChkHold", NoMnemonics(caption));
                FHold->SetBounds96(10, height - 36, kWidth - 20, 24);
            } else if (reply.style == L"note") {
                auto* note = new TLabel(this, L"LblNote", caption);
                note->SetBounds96(10, height - 32, kWidth - 20, 20);
                // Only an address that may be opened becomes a link; any other stays plain text.
                if (IsSafeWebAddress(reply.url)) MakeLink(*note, reply.url, ui.open);
            }
        }
        if (reply.flag.find(L"stayontop") != std::wstring::npos) {
            SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            // Started in the tray: the dialog gets its own taskbar button.
            if (ui.mainWindow && !ui.mainWindow->Visible()) {
                if (ui.smallIcon) SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ui.smallIcon));
                SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, 0);
            }
        }
        CenterOnScreen();
    }

    bool HoldChecked() const { return FHold && FHold->Checked(); }

private:
    static constexpr int kWidth = 420;
    static constexpr int kBaseHeight = 170;

    TControl* FindControl(const wchar_t* name) { return dynamic_cast<TControl*>(FindComponent(name)); }

    void MakeLink(TLabel& label, const std::wstring& url, const std::function<bool(const std::wstring&)>& open) {
        label.SetFontColor(kLinkColor);
        FLinkFont = NewFontLike(Font(), FW_NORMAL, true);
        SendMessageW(label.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FLinkFont.Get()), TRUE);
        label.Cursor = LoadCursorW(nullptr, IDC_HAND);
        label.OnClick = [url, open] {
            if (open) open(url);
        };
    }

    TCheckBox* FHold = nullptr;
    UniqueFont FLinkFont;
};

class TUpdateStrip : public TControl {
public:
    explicit TUpdateStrip(TForm* parent) : TControl(parent, L"StatusBar") {
        CreateControl(L"STATIC", L"", SS_OWNERDRAW | SS_NOTIFY);
        Cursor = LoadCursorW(nullptr, IDC_HAND);
        FFont = NewFontLike(parent->Font(), FW_BOLD);
    }
    std::wstring Url;
    std::function<bool(const std::wstring&)> Open;

protected:
    void CNCommand(WORD code) override {
        if (code == STN_CLICKED && Open) Open(Url);
    }
    void CNDrawItem(const DRAWITEMSTRUCT& item) override {
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        const ScopedSelect font(item.hDC, FFont.Get());
        SetTextColor(item.hDC, RGB(255, 0, 0));
        SetBkMode(item.hDC, TRANSPARENT);
        // Read when drawn, so a change of language shows at the next repaint.
        std::wstring text = UpdateTextsFor(CurrentLanguage).status;
        RECT r = item.rcItem;
        DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }

private:
    UniqueFont FFont;
};

}  // namespace

bool UpdateDialog(const UpdateReply& reply, const UpdateUi& ui) {
    TFrmUpdate dialog(reply, ui);
    const bool yes = dialog.ShowModal() == mrYes;
    if (dialog.HoldChecked() && ui.hold) ui.hold();
    return yes;
}

void ShowUpdateStatus(TForm& mainWindow, const std::wstring& url, std::function<bool(const std::wstring&)> open) {
    auto* strip = dynamic_cast<TUpdateStrip*>(mainWindow.FindComponent(L"StatusBar"));
    if (!strip) {
        int width96 = mainWindow.ClientWidth96(), height96 = mainWindow.ClientHeight96();
        if (width96 <= 0 || height96 <= 0) {
            RECT client{};
            GetClientRect(mainWindow.Handle(), &client);
            width96 = MulDiv(client.right, 96, mainWindow.Dpi());
            height96 = MulDiv(client.bottom, 96, mainWindow.Dpi());
        }
        strip = new TUpdateStrip(&mainWindow);
        strip->SetBounds96(0, height96, width96, kStripHeight96);
        // The window grows by the strip, so everything else keeps its size and place; as part
        // of the window's design size, the strip stays inside it at every DPI.
        mainWindow.SetClientSize96(width96, height96 + kStripHeight96);
    }
    strip->Url = url;
    strip->Open = std::move(open);
    InvalidateRect(strip->Handle(), nullptr, TRUE);
}

bool HandleUpdateReply(const std::wstring& reply, const UpdateUi& ui) {
    const UpdateReply parsed = ParseUpdateReply(reply);
    bool accepted = false;
    // An address the shell must not open shows no dialog: Yes would end the program for nothing.
    if (!parsed.update.empty() && IsSafeWebAddress(parsed.update) && UpdateDialog(parsed, ui)) {
        accepted = ui.open && ui.open(parsed.update);
    }
    if (!parsed.notify.empty() && IsSafeWebAddress(parsed.notify) && ui.mainWindow) {
        ShowUpdateStatus(*ui.mainWindow, parsed.notify, ui.open);
    }
    return accepted;
}

}  // namespace tovasen
