#include "web/web_browser.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <oleauto.h>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"
#include "ui/form.h"

namespace tovasen {
namespace {

constexpr wchar_t kHostClass[] = L"TovasenBrowserHost";

void RegisterHostClass() {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, kHostClass, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kHostClass;
    if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassExW(TovasenBrowserHost)");
}

// The argument at position index as the caller wrote it (DISPPARAMS holds them in reverse).
const VARIANT* Arg(const DISPPARAMS* params, UINT index) {
    if (!params || index >= params->cArgs) return nullptr;
    const VARIANT* v = &params->rgvarg[params->cArgs - 1 - index];
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
}

std::wstring StringArg(const DISPPARAMS* params, UINT index) {
    const VARIANT* v = Arg(params, index);
    if (!v) return {};
    if (V_VT(v) == VT_BSTR) return V_BSTR(v) ? std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v))) : std::wstring();
    VARIANT text;
    VariantInit(&text);
    std::wstring result;
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR)) && V_BSTR(&text)) {
        result.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    }
    VariantClear(&text);
    return result;
}

long LongArg(const DISPPARAMS* params, UINT index) {
    const VARIANT* v = Arg(params, index);
    if (!v) return 0;
    VARIANT number;
    VariantInit(&number);
    long result = 0;
    if (SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(v), 0, VT_I4))) result = V_I4(&number);
    VariantClear(&number);
    return result;
}

bool BoolArg(const DISPPARAMS* params, UINT index) {
    const VARIANT* v = Arg(params, index);
    if (!v) return false;
    if (V_VT(v) == VT_BOOL) return V_BOOL(v) != VARIANT_FALSE;
    if (V_VT(v) == (VT_BYREF | VT_BOOL) && V_BOOLREF(v)) return *V_BOOLREF(v) != VARIANT_FALSE;
    return LongArg(params, index) != 0;
}

IDispatch* DispatchArg(const DISPPARAMS* params, UINT index) {
    const VARIANT* v = Arg(params, index);
    if (!v) return nullptr;
    if (V_VT(v) == VT_DISPATCH) return V_DISPATCH(v);
    if (V_VT(v) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(v)) return *V_DISPATCHREF(v);
    return nullptr;
}

// Cancel flags arrive as a reference to a VARIANT_BOOL.
void SetCancel(const DISPPARAMS* params, UINT index, bool cancel) {
    if (!params || index >= params->cArgs) return;
    VARIANT* v = &params->rgvarg[params->cArgs - 1 - index];
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    if (V_VT(v) == (VT_BYREF | VT_BOOL) && V_BOOLREF(v)) *V_BOOLREF(v) = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    else if (V_VT(v) == VT_BOOL) V_BOOL(v) = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

// Raises for a failed call of the control, with the call's name and the system's text.
void Check(HRESULT hr, const wchar_t* call) {
    if (FAILED(hr)) throw EOSError(call, static_cast<unsigned long>(hr));
}

}  // namespace

// --- The host's side of the embedding: client site, in-place site and frame, ambients --------

class TBrowserSite final : public TComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, TDispatchByIds> {
public:
    TBrowserSite(TWebBrowser* owner, HWND host) : FOwner(owner), FHost(host) {}
    void Detach() noexcept { FOwner = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) return Found<IOleClientSite>(out);
        if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) return Found<IOleInPlaceSite>(out);
        if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) return Found<IOleInPlaceFrame>(out);
        if (riid == IID_IDispatch) return Found<IDispatch>(out);
        return E_NOINTERFACE;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (for both the site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = FHost;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !position || !clip || !info) return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = nullptr;
        GetClientRect(FHost, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(FHost, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: no toolbars, menus or status line to share.
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: the ambient properties the control asks its host for.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        return Guarded(HRESULT{E_UNEXPECTED}, [&]() -> HRESULT {
            if (id == DISPID_AMBIENT_USERAGENT && (flags & DISPATCH_PROPERTYGET) && result && FOwner &&
                !FOwner->UserAgent().empty()) {
                TBstr value(FOwner->UserAgent() + L"\r\n");
                VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = value.Detach();
                return S_OK;
            }
            // Every other ambient keeps the control's default.
            return DISP_E_MEMBERNOTFOUND;
        });
    }

private:
    ~TBrowserSite() override = default;
    TWebBrowser* FOwner;
    HWND FHost;
};

// --- The events the control raises (DWebBrowserEvents2) ---------------------------------------

class TBrowserEvents final : public TComObject<TDispatchByIds> {
public:
    explicit TBrowserEvents(TWebBrowser* owner) : FOwner(owner) {}
    void Detach() noexcept { FOwner = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
        return Found<IDispatch>(out);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        Guarded([&] {
            if (FOwner) Dispatch(*FOwner, id, params);
        });
        return S_OK;
    }

private:
    ~TBrowserEvents() override = default;

    static void Dispatch(TWebBrowser& wb, DISPID id, DISPPARAMS* params) {
        switch (id) {
        case DISPID_COMMANDSTATECHANGE:  // (Command, Enable)
            if (wb.OnCommandStateChange) wb.OnCommandStateChange(LongArg(params, 0), BoolArg(params, 1));
            break;
        case DISPID_TITLECHANGE:  // (Text)
            if (wb.OnTitleChange) wb.OnTitleChange(StringArg(params, 0));
            break;
        case DISPID_DOCUMENTCOMPLETE:  // (pDisp, URL)
            if (wb.OnDocumentComplete) wb.OnDocumentComplete(wb.IsTopLevel(DispatchArg(params, 0)), StringArg(params, 1));
            break;
        case DISPID_BEFORENAVIGATE2: {  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
            bool cancel = false;
            if (wb.OnBeforeNavigate2) wb.OnBeforeNavigate2(wb.IsTopLevel(DispatchArg(params, 0)), StringArg(params, 1), cancel);
            if (cancel) SetCancel(params, 6, true);
            break;
        }
        case DISPID_NAVIGATECOMPLETE2:  // (pDisp, URL)
            if (wb.OnNavigateComplete2) wb.OnNavigateComplete2(wb.IsTopLevel(DispatchArg(params, 0)), StringArg(params, 1));
            break;
        case DISPID_WINDOWCLOSING:  // (IsChildWindow, Cancel)
            // A page's window.close() would take the control out from under its window.
            SetCancel(params, 1, true);
            break;
        case DISPID_NEWWINDOW2: {  // (ppDisp, Cancel)
            bool cancel = false;
            if (wb.OnNewWindow) wb.OnNewWindow(cancel);
            if (cancel) SetCancel(params, 1, true);
            break;
        }
        case DISPID_NEWWINDOW3: {  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
            bool cancel = false;
            if (wb.OnNewWindow) wb.OnNewWindow(cancel);
            if (cancel) SetCancel(params, 1, true);
            break;
        }
        default:
            break;
        }
    }

    TWebBrowser* FOwner;
};

// --- TWebBrowser -------------------------------------------------------------------------------

TWebBrowser::TWebBrowser(TForm* parent, std::wstring name) : TControl(parent, std::move(name)) {
    RegisterHostClass();
    CreateControl(kHostClass, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    FSite = TComPtr<TBrowserSite>::Attach(new TBrowserSite(this, Handle()));
    FEvents = TComPtr<TBrowserEvents>::Attach(new TBrowserEvents(this));
    try {
        CreateBrowser();
    } catch (...) {
        // The window works without its page: navigation and capture report the failure.
        LogCaught(L"web-browser", std::current_exception());
        Teardown();
    }
}

TWebBrowser::~TWebBrowser() {
    Teardown();
    // The control may keep them a while longer: they must no longer reach this object.
    if (FSite) FSite->Detach();
    if (FEvents) FEvents->Detach();
}

void TWebBrowser::CreateBrowser() {
    if (!FApartment.Entered()) throw Exception(L"The web browser control needs OLE on this thread.");
    TComPtr<IOleObject> object;
    Check(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object.PutVoid()),
          L"Creating the web browser control");
    FOleObject = object;
    Check(object->SetClientSite(static_cast<IOleClientSite*>(FSite.Get())), L"IOleObject::SetClientSite");
    OleSetContainedObject(object.Get(), TRUE);
    RECT rect{};
    GetClientRect(Handle(), &rect);
    Check(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(FSite.Get()), 0, Handle(), &rect),
          L"IOleObject::DoVerb");
    TComPtr<IWebBrowser2> browser;
    Check(object.QueryTo(browser), L"IWebBrowser2");
    // Script errors and the like stay in the page instead of opening dialogs over the program.
    browser->put_Silent(VARIANT_TRUE);
    TComPtr<IConnectionPointContainer> container;
    Check(object.QueryTo(container), L"IConnectionPointContainer");
    TComPtr<IConnectionPoint> connection;
    Check(container->FindConnectionPoint(DIID_DWebBrowserEvents2, connection.Put()), L"FindConnectionPoint");
    Check(connection->Advise(FEvents.Get(), &FCookie), L"IConnectionPoint::Advise");
    FConnection = connection;
    FBrowser = browser;
}

// The control goes in the order its hosting documentation gives: events off, out of place,
// closed without saving, site let go, then released.
void TWebBrowser::Teardown() noexcept {
    if (FConnection) {
        FConnection->Unadvise(FCookie);
        FConnection.Reset();
        FCookie = 0;
    }
    FBrowser.Reset();
    if (FOleObject) {
        if (const auto inPlace = FOleObject.Query<IOleInPlaceObject>()) inPlace->InPlaceDeactivate();
        FOleObject->Close(OLECLOSE_NOSAVE);
        FOleObject->SetClientSite(nullptr);
        FOleObject.Reset();
    }
}

void TWebBrowser::SetUserAgent(const std::wstring& userAgent) {
    FUserAgent = userAgent;
    if (!FOleObject) return;
    // The control asks its host again; one that cannot (E_NOTIMPL) keeps its own agent.
    if (const auto control = FOleObject.Query<IOleControl>()) control->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
}

IWebBrowser2& TWebBrowser::Require() const {
    if (!FBrowser) throw Exception(L"The web browser control is not available.");
    return *FBrowser.Get();
}

void TWebBrowser::Navigate(const std::wstring& address) {
    TBstr url(address);
    Check(Require().Navigate(url.Get(), nullptr, nullptr, nullptr, nullptr), L"IWebBrowser2::Navigate");
}

void TWebBrowser::GoBack() { Check(Require().GoBack(), L"IWebBrowser2::GoBack"); }

void TWebBrowser::GoForward() { Check(Require().GoForward(), L"IWebBrowser2::GoForward"); }

TComPtr<IDispatch> TWebBrowser::Document() const {
    TComPtr<IDispatch> document;
    // S_FALSE with no document is a success code: only the pointer tells.
    if (FBrowser) FBrowser->get_Document(document.Put());
    return document;
}

bool TWebBrowser::IsTopLevel(IDispatch* dispatch) const {
    if (!dispatch || !FBrowser) return false;
    // Identity is only comparable between the IUnknown pointers of two objects.
    const auto a = TComPtr<IDispatch>::Retain(dispatch).Query<IUnknown>();
    const auto b = FBrowser.Query<IUnknown>();
    return a && a.Get() == b.Get();
}

void TWebBrowser::SetBoundsPx(int left, int top, int width, int height) {
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    FitToHost();  // also when the host's size did not change but the control's did
}

void TWebBrowser::FitToHost() {
    const auto inPlace = FOleObject.Query<IOleInPlaceObject>();
    if (!inPlace) return;
    RECT rect{};
    GetClientRect(Handle(), &rect);
    inPlace->SetObjectRects(&rect, &rect);
}

bool TWebBrowser::TranslateAccelerator(MSG& msg) {
    if (!FOleObject || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd)) return false;
    const auto active = FOleObject.Query<IOleInPlaceActiveObject>();
    return active && active->TranslateAccelerator(&msg) == S_OK;
}

IDispatch* TWebBrowser::AmbientDispatch() const noexcept { return static_cast<IDispatch*>(FSite.Get()); }

IDispatch* TWebBrowser::EventSink() const noexcept { return static_cast<IDispatch*>(FEvents.Get()); }

LRESULT TWebBrowser::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) FitToHost();
    return TControl::ControlProc(msg, wParam, lParam);
}

}  // namespace tovasen
