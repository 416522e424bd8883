#include "web/web_browser.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <oleauto.h>

#include <atomic>

#include "base/errors.h"
#include "base/exception_text.h"
#include "ui/form.h"

using Microsoft::WRL::ComPtr;

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

class TBstr {
public:
    explicit TBstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (!b_) throw Exception(L"Out of memory for a COM string.");
    }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { SysFreeString(b_); }
    BSTR Get() const noexcept { return b_; }

private:
    BSTR b_;
};

// Raises for a failed call of the control, with the call's name and the system's text.
void Check(HRESULT hr, const wchar_t* call) {
    if (FAILED(hr)) throw EOSError(call, static_cast<unsigned long>(hr));
}

}  // namespace

// COM objects are freed by their own Release, never through a base pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// --- The host's side of the embedding: client site, in-place site and frame, ambients --------

class TBrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
public:
    TBrowserSite(TWebBrowser* owner, HWND host) : FOwner(owner), FHost(host) {}
    void Detach() noexcept { FOwner = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
        else if (riid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FRefs;
        if (left == 0) delete this;
        return left;
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        return Guarded(HRESULT{E_UNEXPECTED}, [&]() -> HRESULT {
            if (id == DISPID_AMBIENT_USERAGENT && (flags & DISPATCH_PROPERTYGET) && result && FOwner &&
                !FOwner->UserAgent().empty()) {
                const std::wstring text = FOwner->UserAgent() + L"\r\n";
                BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                if (!value) return E_OUTOFMEMORY;
                VariantInit(result);
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = value;
                return S_OK;
            }
            // Every other ambient keeps the control's default.
            return DISP_E_MEMBERNOTFOUND;
        });
    }

private:
    ~TBrowserSite() = default;
    std::atomic<ULONG> FRefs{1};
    TWebBrowser* FOwner;
    HWND FHost;
};

// --- The events the control raises (DWebBrowserEvents2) ---------------------------------------

class TBrowserEvents final : public IDispatch {
public:
    explicit TBrowserEvents(TWebBrowser* owner) : FOwner(owner) {}
    void Detach() noexcept { FOwner = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FRefs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        Guarded([&] {
            if (FOwner) Dispatch(*FOwner, id, params);
        });
        return S_OK;
    }

private:
    ~TBrowserEvents() = default;

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
            if (wb.OnBeforeNavigate2) wb.OnBeforeNavigate2(StringArg(params, 1), cancel);
            if (cancel) SetCancel(params, 6, true);
            break;
        }
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

    std::atomic<ULONG> FRefs{1};
    TWebBrowser* FOwner;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// --- TWebBrowser -------------------------------------------------------------------------------

TWebBrowser::TWebBrowser(TForm* parent, std::wstring name) : TControl(parent, std::move(name)) {
    RegisterHostClass();
    CreateControl(kHostClass, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    // The control needs OLE on this thread; an apartment of another kind leaves it out.
    FOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    FSite = new TBrowserSite(this, Handle());
    FEvents = new TBrowserEvents(this);
    try {
        CreateBrowser();
    } catch (...) {
        // The window works without its page: navigation and capture report the failure.
        Teardown();
    }
}

TWebBrowser::~TWebBrowser() {
    Teardown();
    if (FSite) {
        FSite->Detach();
        FSite->Release();
    }
    if (FEvents) {
        FEvents->Detach();
        FEvents->Release();
    }
    if (FOleInitialized) OleUninitialize();
}

void TWebBrowser::CreateBrowser() {
    ComPtr<IOleObject> object;
    Check(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                           reinterpret_cast<void**>(object.GetAddressOf())),
          L"Creating the web browser control");
    FOleObject = object;
    Check(object->SetClientSite(static_cast<IOleClientSite*>(FSite)), L"IOleObject::SetClientSite");
    OleSetContainedObject(object.Get(), TRUE);
    RECT rect{};
    GetClientRect(Handle(), &rect);
    Check(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(FSite), 0, Handle(), &rect),
          L"IOleObject::DoVerb");
    ComPtr<IWebBrowser2> browser;
    Check(object.As(&browser), L"IWebBrowser2");
    ComPtr<IConnectionPointContainer> container;
    Check(object.As(&container), L"IConnectionPointContainer");
    ComPtr<IConnectionPoint> connection;
    Check(container->FindConnectionPoint(DIID_DWebBrowserEvents2, connection.GetAddressOf()), L"FindConnectionPoint");
    Check(connection->Advise(FEvents, &FCookie), L"IConnectionPoint::Advise");
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
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(FOleObject.As(&inPlace))) inPlace->InPlaceDeactivate();
        FOleObject->Close(OLECLOSE_NOSAVE);
        FOleObject->SetClientSite(nullptr);
        FOleObject.Reset();
    }
}

void TWebBrowser::SetUserAgent(const std::wstring& userAgent) {
    FUserAgent = userAgent;
    if (!FOleObject) return;
    ComPtr<IOleControl> control;
    // The control asks its host again; one that cannot (E_NOTIMPL) keeps its own agent.
    if (SUCCEEDED(FOleObject.As(&control))) control->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
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

std::wstring TWebBrowser::LocationURL() const {
    BSTR url = nullptr;
    if (!FBrowser || FAILED(FBrowser->get_LocationURL(&url)) || !url) return {};
    std::wstring result(url, SysStringLen(url));
    SysFreeString(url);
    return result;
}

ComPtr<IDispatch> TWebBrowser::Document() const {
    ComPtr<IDispatch> document;
    // S_FALSE with no document is a success code: only the pointer tells.
    if (FBrowser) FBrowser->get_Document(document.GetAddressOf());
    return document;
}

bool TWebBrowser::IsTopLevel(IDispatch* dispatch) const {
    if (!dispatch || !FBrowser) return false;
    ComPtr<IUnknown> a, b;
    if (FAILED(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.GetAddressOf())))) return false;
    if (FAILED(FBrowser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.GetAddressOf())))) return false;
    return a.Get() == b.Get();
}

void TWebBrowser::SetBoundsPx(int left, int top, int width, int height) {
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    FitToHost();  // also when the host's size did not change but the control's did
}

void TWebBrowser::FitToHost() {
    if (!FOleObject) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (FAILED(FOleObject.As(&inPlace))) return;
    RECT rect{};
    GetClientRect(Handle(), &rect);
    inPlace->SetObjectRects(&rect, &rect);
}

bool TWebBrowser::TranslateAccelerator(MSG& msg) {
    if (!FOleObject || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd)) return false;
    ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(FOleObject.As(&active))) return false;
    return active->TranslateAccelerator(&msg) == S_OK;
}

IDispatch* TWebBrowser::AmbientDispatch() const noexcept { return static_cast<IDispatch*>(FSite); }

IDispatch* TWebBrowser::EventSink() const noexcept { return static_cast<IDispatch*>(FEvents); }

LRESULT TWebBrowser::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) FitToHost();
    return TControl::ControlProc(msg, wParam, lParam);
}

}  // namespace tovasen
