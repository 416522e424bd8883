// The browser window with the system's browser control embedded. Under Wine the control
// embeds but never loads a document and raises no events: the handlers are driven through the
// control's own event interface (the sink's Invoke), as the control would call them.
#include "web/frm_iexplorer.h"

#include <windows.h>

#include <exdispid.h>
#include <mshtmdid.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "base/com.h"
#include "base/registry.h"
#include "web/browser_page.h"
#include "i18n/translation.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kFeatureControl[] = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\";

class BrowserWindow : public ::testing::Test {
protected:
    void SetUp() override {
        app.Initialize();
        TranslationTable = {L"ko=토바센", L"en=Tovasen", L""};
        CurrentLanguage = L"ko";
        app.SetTitle(L"토바센");
    }
    void TearDown() override {
        TranslationTable.clear();
        test::PumpMessages();
    }
    static std::wstring WindowText(HWND hwnd) {
        wchar_t text[256] = {};
        GetWindowTextW(hwnd, text, 256);
        return text;
    }
    TApplication app;
};

// Enumerating into a temporary is awkward: count through a small helper instead.
int ThreadWindowsOfClass(const wchar_t* className) {
    struct Counter {
        const wchar_t* name;
        int count;
    } counter{className, 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) {
            auto* c = reinterpret_cast<Counter*>(data);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (std::wstring(name) == c->name) ++c->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&counter));
    return counter.count;
}

// Calls the event sink as the control does: arguments in reverse order in DISPPARAMS.
HRESULT RaiseEvent(TWebBrowser& wb, DISPID id, std::vector<VARIANT> argsInOrder) {
    std::vector<VARIANT> reversed(argsInOrder.rbegin(), argsInOrder.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return wb.EventSink()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

// A VARIANT of type, its value set by fill. It owns nothing: the caller keeps the string, object
// or target it names.
template <class Fill>
VARIANT Variant(VARTYPE type, Fill fill) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    fill(v);
    return v;
}
VARIANT Long(long value) { return Variant(VT_I4, [&](VARIANT& v) { V_I4(&v) = value; }); }
VARIANT Bool(bool value) {
    return Variant(VT_BOOL, [&](VARIANT& v) { V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE; });
}
VARIANT Str(BSTR value) { return Variant(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = value; }); }
VARIANT RefTo(VARIANT* target) { return Variant(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = target; }); }
VARIANT RefTo(VARIANT_BOOL* target) { return Variant(VT_BYREF | VT_BOOL, [&](VARIANT& v) { V_BOOLREF(&v) = target; }); }
VARIANT Disp(IDispatch* d) { return Variant(VT_DISPATCH, [&](VARIANT& v) { V_DISPATCH(&v) = d; }); }

// Sends a navigation through the sink as the control announces it: top level for the control
// itself, a frame for any other window. Answers whether it was cancelled.
bool NavigationCancelled(TWebBrowser& wb, const wchar_t* address, bool topLevel) {
    TBstr url(address), none(L"");
    VARIANT urlValue = Str(url.Get()), flags = Long(0), target = Str(none.Get()), post, headers = Str(none.Get());
    VariantInit(&post);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* window = topLevel ? static_cast<IDispatch*>(wb.Browser()) : wb.EventSink();
    RaiseEvent(wb, DISPID_BEFORENAVIGATE2,
               {Disp(window), RefTo(&urlValue), RefTo(&flags), RefTo(&target), RefTo(&post), RefTo(&headers), RefTo(&cancel)});
    return cancel != VARIANT_FALSE;
}

TEST_F(BrowserWindow, CreationWritesTheFeatureControlsAndStartsBlank) {
    // The document mode, and the features that keep pages in their zone.
    const std::pair<const wchar_t*, int> features[] = {
        {L"FEATURE_BROWSER_EMULATION", 11001}, {L"FEATURE_LOCALMACHINE_LOCKDOWN", 1}, {L"FEATURE_ZONE_ELEVATION", 1},
        {L"FEATURE_MIME_HANDLING", 1},         {L"FEATURE_MIME_SNIFFING", 1},         {L"FEATURE_WEBOC_POPUPMANAGEMENT", 1},
    };
    for (const auto& [key, data] : features) {
        try {
            TRegistryKey::Open(HKEY_CURRENT_USER, std::wstring(kFeatureControl) + key, true).DeleteValue(L"web_tests.exe");
        } catch (const std::exception&) {
        }
    }
    auto* form = new TFrmIExplorer(&app);
    for (const auto& [key, data] : features) {
        const auto value = TRegistryKey::Open(HKEY_CURRENT_USER, std::wstring(kFeatureControl) + key, false)
                               .ReadInteger(L"web_tests.exe");
        ASSERT_TRUE(value.has_value()) << "no value under the program's file name in " << std::string(key, key + wcslen(key));
        EXPECT_EQ(data, *value) << std::string(key, key + wcslen(key));
    }

    EXPECT_TRUE(form->WB->Created()) << "the system's browser control did not embed";
    VARIANT_BOOL silent = VARIANT_FALSE;
    ASSERT_EQ(S_OK, form->WB->Browser()->get_Silent(&silent));
    EXPECT_EQ(VARIANT_TRUE, silent) << "script errors would open dialogs over the program";
    EXPECT_EQ(std::wstring(TFrmIExplorer::kUserAgent), form->WB->UserAgent());
    EXPECT_FALSE(form->BtnBack->Enabled());
    EXPECT_FALSE(form->BtnForward->Enabled());
    EXPECT_EQ(L"https://", form->Edit1->Text());
    EXPECT_EQ(L"토바센", WindowText(form->Handle()));
    EXPECT_EQ(nullptr, GetWindow(form->Handle(), GW_OWNER)) << "it must stay when the main window hides";

    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(form->ScaleValue(695), client.right);
    EXPECT_EQ(form->ScaleValue(572), client.bottom);
    const RECT wb = form->WB->BoundsInParent();
    EXPECT_EQ(form->ScaleValue(37), wb.top);
    EXPECT_EQ(client.right, wb.right);
    EXPECT_EQ(client.bottom, wb.bottom);

    // The address field follows the window's width, 8 pixels short of its right edge.
    SetWindowPos(form->Handle(), nullptr, 0, 0, 900, 500, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(form->Handle(), &client);
    EXPECT_NEAR(client.right - form->ScaleValue(8), form->Edit1->BoundsInParent().right, 1);
    EXPECT_EQ(client.right, form->WB->BoundsInParent().right);
    EXPECT_EQ(client.bottom, form->WB->BoundsInParent().bottom);
    delete form;
}

TEST_F(BrowserWindow, TheBlankPageTitleIsTheTranslatedApplicationTitle) {
    TFrmIExplorer form(nullptr);
    TBstr title(L"Example Domain");
    RaiseEvent(*form.WB, DISPID_TITLECHANGE, {Str(title.Get())});
    EXPECT_EQ(L"Example Domain", WindowText(form.Handle()));
    TBstr blank(L"about:blank");
    RaiseEvent(*form.WB, DISPID_TITLECHANGE, {Str(blank.Get())});
    EXPECT_EQ(L"토바센", WindowText(form.Handle()));
    CurrentLanguage = L"en";
    form.WBTitleChange(L"about:blank");
    EXPECT_EQ(L"Tovasen", WindowText(form.Handle()));
}

TEST_F(BrowserWindow, EnterNavigatesToTheTrimmedTextAndRefusedAddressesGoNowhere) {
    TFrmIExplorer form(nullptr);
    std::vector<std::wstring> went;
    form.NavigateHook = [&](const std::wstring& address) { went.push_back(address); };
    form.Show();
    SetFocus(form.Edit1->Handle());
    form.Edit1->SetText(L"  example.com\t");
    SendMessageW(form.Edit1->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    SendMessageW(form.Edit1->Handle(), WM_CHAR, L'\r', 0x001C0001);
    ASSERT_EQ(1u, went.size());
    EXPECT_EQ(L"example.com", went[0]) << "no scheme is added";
    EXPECT_EQ(L"  example.com\t", form.Edit1->Text()) << "the key is swallowed, the text kept";
    EXPECT_FALSE(form.Edit1KeyDown(VK_LEFT)) << "other keys belong to the field";

    for (const wchar_t* refused : {L"javascript:alert(1)", L" vbscript:msgbox(1)", L"\\\\host\\share\\x.html",
                                   L"file://host/share/x.html", L"mailto:a@example.com", L"   "}) {
        form.Edit1->SetText(refused);
        EXPECT_TRUE(form.Edit1KeyDown(VK_RETURN));
    }
    EXPECT_EQ(1u, went.size()) << "a refused address was navigated to: " << std::string(went.back().begin(), went.back().end());
    form.Edit1->SetText(L"file:///C:/pages/a.html");
    form.Edit1KeyDown(VK_RETURN);
    ASSERT_EQ(2u, went.size());
    EXPECT_EQ(L"file:///C:/pages/a.html", went[1]);
}

TEST_F(BrowserWindow, ThePageIsKeptFromScriptSharesAndNewWindows) {
    TFrmIExplorer form(nullptr);
    struct Case {
        const wchar_t* url;
        bool cancelled;
    } cases[] = {
        {L"https://example.com/", false},
        {L"about:blank", false},
        {L"res://ieframe.dll/navcancl.htm", false},
        {L"javascript:alert(1)", true},
        {L"file://host/share/a.html", true},
        {L"\\\\host\\share", true},
        {L"ms-settings:privacy", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.url, c.url + wcslen(c.url)));
        EXPECT_EQ(c.cancelled, NavigationCancelled(*form.WB, c.url, true));
    }
    VARIANT_BOOL cancel2 = VARIANT_FALSE;
    IDispatch* none = nullptr;
    VARIANT ppDisp;
    VariantInit(&ppDisp);
    V_VT(&ppDisp) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&ppDisp) = &none;
    RaiseEvent(*form.WB, DISPID_NEWWINDOW2, {ppDisp, RefTo(&cancel2)});
    EXPECT_EQ(VARIANT_TRUE, cancel2) << "NewWindow2";
    VARIANT_BOOL cancel3 = VARIANT_FALSE;
    TBstr context(L"https://example.com/"), popup(L"https://example.com/popup");
    RaiseEvent(*form.WB, DISPID_NEWWINDOW3, {ppDisp, RefTo(&cancel3), Long(0), Str(context.Get()), Str(popup.Get())});
    EXPECT_EQ(VARIANT_TRUE, cancel3) << "NewWindow3";

    // A page's window.close() would leave the window without its control.
    VARIANT_BOOL closing = VARIANT_FALSE;
    RaiseEvent(*form.WB, DISPID_WINDOWCLOSING, {Bool(false), RefTo(&closing)});
    EXPECT_EQ(VARIANT_TRUE, closing) << "WindowClosing";
}

TEST_F(BrowserWindow, APageFromTheWebNeverReachesALocalFile) {
    TFrmIExplorer form(nullptr);
    const wchar_t* local = L"file:///C:/Users/me/secret.html";
    ASSERT_FALSE(NavigationCancelled(*form.WB, L"https://example.com/", true));
    EXPECT_TRUE(NavigationCancelled(*form.WB, local, true)) << "the page itself";
    EXPECT_TRUE(NavigationCancelled(*form.WB, local, false)) << "a frame of it";
    EXPECT_FALSE(NavigationCancelled(*form.WB, L"https://ads.example.net/", false)) << "a web frame";

    // The user may still open a local file from the address field: the control announces the
    // navigation from inside the call, as the user's.
    std::vector<bool> cancelled;
    form.NavigateHook = [&](const std::wstring& address) {
        cancelled.push_back(NavigationCancelled(*form.WB, address.c_str(), true));
    };
    form.Edit1->SetText(L"file:///C:/pages/a.html");
    form.Edit1KeyDown(VK_RETURN);
    EXPECT_EQ(std::vector<bool>{false}, cancelled);
    // Its page may then show local frames; once it leaves for the web, they are closed again.
    EXPECT_FALSE(NavigationCancelled(*form.WB, L"file:///C:/pages/frame.html", false));
    ASSERT_FALSE(NavigationCancelled(*form.WB, L"https://example.com/", true));
    EXPECT_TRUE(NavigationCancelled(*form.WB, L"file:///C:/pages/frame.html", false));
    // Only the first navigation inside the user's call is the user's: one the page starts
    // meanwhile (from an unload handler, say) is the page's.
    form.NavigateHook = [&](const std::wstring& address) {
        cancelled.push_back(NavigationCancelled(*form.WB, address.c_str(), true));
        cancelled.push_back(NavigationCancelled(*form.WB, local, true));
    };
    form.Edit1->SetText(L"https://example.org/");
    form.Edit1KeyDown(VK_RETURN);
    EXPECT_EQ((std::vector<bool>{false, false, true}), cancelled);
}

TEST_F(BrowserWindow, ButtonsFollowTheCommandStatesAndOnlyThePageItselfSetsTheAddress) {
    TFrmIExplorer form(nullptr);
    RaiseEvent(*form.WB, DISPID_COMMANDSTATECHANGE, {Long(2), Bool(true)});
    EXPECT_TRUE(form.BtnBack->Enabled());
    EXPECT_FALSE(form.BtnForward->Enabled());
    RaiseEvent(*form.WB, DISPID_COMMANDSTATECHANGE, {Long(1), Bool(true)});
    EXPECT_TRUE(form.BtnForward->Enabled());
    RaiseEvent(*form.WB, DISPID_COMMANDSTATECHANGE, {Long(2), Bool(false)});
    EXPECT_FALSE(form.BtnBack->Enabled());
    RaiseEvent(*form.WB, DISPID_COMMANDSTATECHANGE, {Long(-1), Bool(false)});
    EXPECT_TRUE(form.BtnForward->Enabled()) << "other commands change neither button";

    ASSERT_NE(nullptr, form.WB->Browser());
    form.Edit1->SetText(L"what the user types");
    TBstr frameUrl(L"https://ads.example.net/frame");
    VARIANT frame = Str(frameUrl.Get());
    // A frame's completion names the frame's own window, not the control.
    RaiseEvent(*form.WB, DISPID_DOCUMENTCOMPLETE, {Disp(form.WB->EventSink()), RefTo(&frame)});
    EXPECT_EQ(L"what the user types", form.Edit1->Text());
    TBstr pageUrl(L"https://example.com/");
    VARIANT page = Str(pageUrl.Get());
    RaiseEvent(*form.WB, DISPID_DOCUMENTCOMPLETE, {Disp(form.WB->Browser()), RefTo(&page)});
    EXPECT_EQ(L"https://example.com/", form.Edit1->Text());
    TBstr blankUrl(L"about:blank");
    VARIANT blank = Str(blankUrl.Get());
    RaiseEvent(*form.WB, DISPID_DOCUMENTCOMPLETE, {Disp(form.WB->Browser()), RefTo(&blank)});
    EXPECT_EQ(L"https://", form.Edit1->Text());
}

TEST_F(BrowserWindow, TheHostAnswersTheUserAgentAmbientWithALineEnd) {
    TFrmIExplorer form(nullptr);
    // The control finds the ambients through its client site.
    const auto clientSite = TComPtr<IDispatch>::Retain(form.WB->AmbientDispatch()).Query<IOleClientSite>();
    ASSERT_TRUE(clientSite);
    const auto ambients = clientSite.Query<IDispatch>();
    ASSERT_TRUE(ambients);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, ambients->Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                     nullptr, nullptr));
    ASSERT_EQ(VT_BSTR, V_VT(&result));
    EXPECT_EQ(std::wstring(TFrmIExplorer::kUserAgent) + L"\r\n", std::wstring(V_BSTR(&result)));
    VariantClear(&result);

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ambients->Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_METHOD, &none,
                                                      &result, nullptr, nullptr)) << "not a property get";
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ambients->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                                      &none, &result, nullptr, nullptr));
    form.WB->SetUserAgent(L"");
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ambients->Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                                      &none, &result, nullptr, nullptr)) << "no agent of our own";
    EXPECT_EQ(VT_EMPTY, V_VT(&result));
}

TEST_F(BrowserWindow, AltDFocusesTheAddressFromAnywhereInTheProgram) {
    TFrmIExplorer form(nullptr);
    form.Show();
    test::PumpMessages();
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    SetFocus(form.WB->Handle());
    MSG alt{other, WM_SYSKEYDOWN, 68, 0x20000000, 0, {}};
    app.DispatchOne(alt);
    EXPECT_EQ(form.Edit1->Handle(), GetFocus());
    DWORD from = 1, to = 0;
    SendMessageW(form.Edit1->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(0u, from);
    EXPECT_EQ(8u, to) << "the address is selected, ready to be typed over";

    MSG plainD{other, WM_KEYDOWN, 68, 0, 0, {}};
    EXPECT_FALSE(form.PreTranslateMessage(plainD)) << "D without Alt is typing";
    form.Hide();
    EXPECT_TRUE(form.PreTranslateMessage(alt)) << "handled while hidden too, without focusing";
    DestroyWindow(other);
}

TEST_F(BrowserWindow, ClosedByTheUserItTellsOnceAndFreesItselfAfterTheHandler) {
    auto* form = new TFrmIExplorer(&app);
    int told = 0, dismissed = 0;
    bool goneWhenTold = false;
    form->OnDismissed = [&] { ++dismissed; };
    form->OnUserClose = [&] {
        ++told;
        goneWhenTold = dismissed == 1;
    };
    form->Show();
    HWND hwnd = form->Handle();
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(1, told);
    EXPECT_TRUE(goneWhenTold) << "whoever keeps the window let go before the user's close is told";

    // Freed by its owner (the program ends, or another mode is chosen): nobody is told.
    auto* second = new TFrmIExplorer(&app);
    second->OnUserClose = [&] { ++told; };
    second->OnDismissed = [&] { ++dismissed; };
    second->Dismiss();
    EXPECT_EQ(2, dismissed);
    test::PumpMessages();
    auto* third = new TFrmIExplorer(&app);
    third->OnUserClose = [&] { ++told; };
    delete third;
    EXPECT_EQ(1, told);
}

TEST_F(BrowserWindow, TwentyWindowsComeAndGoWithoutLeavingAnything) {
    const int before = ThreadWindowsOfClass(L"TFrmIExplorer");
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        auto* form = new TFrmIExplorer(&app);
        form->Show();
        ASSERT_TRUE(form->WB->Created());
        if (i % 2 == 0) {
            form->Close();
            test::PumpMessages();
        } else {
            delete form;
        }
    }
    test::PumpMessages();
    EXPECT_EQ(before, ThreadWindowsOfClass(L"TFrmIExplorer"));
    EXPECT_EQ(0u, app.Components().size());
}

TEST_F(BrowserWindow, CaptureWithoutADocumentFailsAndNeverResizesTheControl) {
    TFrmIExplorer form(nullptr);
    const RECT before = form.WB->BoundsInParent();
    // Wine's control has no engine: the document stays null (get_Document answers S_FALSE).
    ASSERT_EQ(nullptr, form.WB->Document().Get()) << "a document loaded: this check is for an engine without one";
    TBrowserPage page(form);
    TBitmap bitmap;
    EXPECT_THROW(CaptureWebPage(bitmap, page), EWebCaptureError);
    EXPECT_TRUE(bitmap.Empty());
    const RECT after = form.WB->BoundsInParent();
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);

    // The layout the capture uses, and back.
    form.BeginPageLayout(3000, 5000);
    RECT laid = form.WB->BoundsInParent();
    EXPECT_EQ(3000, laid.right - laid.left);
    EXPECT_EQ(5000, laid.bottom - laid.top);
    form.EndPageLayout();
    laid = form.WB->BoundsInParent();
    EXPECT_EQ(before.right - before.left, laid.right - laid.left);
    EXPECT_EQ(before.bottom - before.top, laid.bottom - laid.top);
    // The margins follow the window's DPI.
    const PageMargins margins = page.Margins();
    EXPECT_EQ(GetSystemMetricsForDpi(SM_CXEDGE, static_cast<UINT>(form.Dpi())) +
                  GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(form.Dpi())),
              margins.strip);
    EXPECT_EQ(form.ScaleValue(6), margins.extra);
}

TEST_F(BrowserWindow, ADpiChangeScalesTheUsersSizeAndTheCaptureMargins) {
    TFrmIExplorer form(nullptr);
    SetWindowPos(form.Handle(), nullptr, 10, 10, 800, 600, SWP_NOZORDER);
    // Wine never sends it: as the system does on a move to a 150 % monitor.
    RECT suggested{15, 15, 15 + 1200, 15 + 900};
    SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT window{};
    GetWindowRect(form.Handle(), &window);
    EXPECT_EQ(1200, window.right - window.left) << "the size the user chose, scaled";
    EXPECT_EQ(900, window.bottom - window.top);
    RECT client{};
    GetClientRect(form.Handle(), &client);
    const RECT wb = form.WB->BoundsInParent();
    EXPECT_EQ(form.ScaleValue(37), wb.top);
    EXPECT_EQ(client.right, wb.right);
    EXPECT_EQ(client.bottom, wb.bottom);
    EXPECT_NEAR(client.right - form.ScaleValue(8), form.Edit1->BoundsInParent().right, 2);
    TBrowserPage page(form);
    EXPECT_EQ(GetSystemMetricsForDpi(SM_CXEDGE, 144) + GetSystemMetricsForDpi(SM_CXVSCROLL, 144), page.Margins().strip);
    EXPECT_EQ(9, page.Margins().extra);
}

}  // namespace
}  // namespace tovasen
