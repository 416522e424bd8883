#include "web/browser_page.h"

#include <mshtml.h>

#include "base/dpi_scale.h"

using Microsoft::WRL::ComPtr;

namespace tovasen {
namespace {

std::optional<ScrollExtent> ExtentOf(IHTMLElement* element) {
    if (!element) return std::nullopt;
    ComPtr<IHTMLElement2> scroll;
    if (FAILED(element->QueryInterface(IID_IHTMLElement2, reinterpret_cast<void**>(scroll.GetAddressOf())))) {
        return std::nullopt;
    }
    long width = 0, height = 0;
    if (FAILED(scroll->get_scrollWidth(&width)) || FAILED(scroll->get_scrollHeight(&height))) return std::nullopt;
    return ScrollExtent{static_cast<int>(width), static_cast<int>(height)};
}

std::optional<ScrollExtent> RootExtentOf(IUnknown* document) {
    ComPtr<IHTMLDocument3> doc3;
    if (!document ||
        FAILED(document->QueryInterface(IID_IHTMLDocument3, reinterpret_cast<void**>(doc3.GetAddressOf())))) {
        return std::nullopt;
    }
    ComPtr<IHTMLElement> root;
    if (FAILED(doc3->get_documentElement(root.GetAddressOf()))) return std::nullopt;
    return ExtentOf(root.Get());
}

// The frames' root elements, up to the first that cannot be read (one from another origin
// refuses access): what was read so far still counts.
void AddFrames(IHTMLDocument2& document, std::vector<ScrollExtent>& frames) {
    ComPtr<IHTMLFramesCollection2> collection;
    long count = 0;
    if (FAILED(document.get_frames(collection.GetAddressOf())) || !collection ||
        FAILED(collection->get_length(&count))) {
        return;
    }
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        VARIANT item;
        VariantInit(&item);
        if (FAILED(collection->item(&index, &item)) || V_VT(&item) != VT_DISPATCH || !V_DISPATCH(&item)) {
            VariantClear(&item);
            return;
        }
        ComPtr<IHTMLWindow2> window;
        const HRESULT asWindow =
            V_DISPATCH(&item)->QueryInterface(IID_IHTMLWindow2, reinterpret_cast<void**>(window.GetAddressOf()));
        VariantClear(&item);
        ComPtr<IHTMLDocument2> frameDocument;
        if (FAILED(asWindow) || FAILED(window->get_document(frameDocument.GetAddressOf())) || !frameDocument) return;
        const std::optional<ScrollExtent> extent = RootExtentOf(frameDocument.Get());
        if (!extent) return;
        frames.push_back(*extent);
    }
}

}  // namespace

PageExtents TBrowserPage::Measure() {
    // No document (nothing loaded, or an engine without one) is a failed capture, not a blank one.
    const ComPtr<IDispatch> document = FWindow.WB->Document();
    ComPtr<IHTMLDocument2> doc2;
    if (!document ||
        FAILED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(doc2.GetAddressOf()))) || !doc2) {
        throw EWebCaptureError();
    }
    PageExtents extents;
    ComPtr<IHTMLElement> body;
    if (SUCCEEDED(doc2->get_body(body.GetAddressOf()))) extents.body = ExtentOf(body.Get());
    extents.root = RootExtentOf(doc2.Get());
    AddFrames(*doc2.Get(), extents.frames);
    return extents;
}

int TBrowserPage::ZoomDpi() {
    // The engine zooms pages to the display's DPI and reports document pixels; the screen
    // object knows the ratio. Engines without it do not zoom.
    const ComPtr<IDispatch> document = FWindow.WB->Document();
    ComPtr<IHTMLDocument2> doc2;
    ComPtr<IHTMLWindow2> window;
    ComPtr<IHTMLScreen> screen;
    ComPtr<IHTMLScreen2> screen2;
    long device = 0, logical = 0;
    if (document && SUCCEEDED(document.As(&doc2)) && SUCCEEDED(doc2->get_parentWindow(window.GetAddressOf())) &&
        window && SUCCEEDED(window->get_screen(screen.GetAddressOf())) && screen && SUCCEEDED(screen.As(&screen2)) &&
        SUCCEEDED(screen2->get_deviceXDPI(&device)) && SUCCEEDED(screen2->get_logicalXDPI(&logical)) && device > 0 &&
        logical > 0) {
        return MulDiv(96, device, logical);
    }
    return 96;
}

PageMargins TBrowserPage::Margins() {
    const UINT dpi = static_cast<UINT>(FWindow.Dpi());
    return PageMargins{GetSystemMetricsForDpi(SM_CXEDGE, dpi) + GetSystemMetricsForDpi(SM_CXVSCROLL, dpi),
                       ScaleToDpi(6, static_cast<int>(dpi))};
}

void TBrowserPage::BeginLayout(int width, int height) { FWindow.BeginPageLayout(width, height); }

void TBrowserPage::EndLayout() { FWindow.EndPageLayout(); }

bool TBrowserPage::Draw(HDC dc, const RECT& bounds) {
    const ComPtr<IDispatch> document = FWindow.WB->Document();
    ComPtr<IViewObject> view;
    if (!document || FAILED(document.As(&view)) || !view) return false;
    const RECTL target{bounds.left, bounds.top, bounds.right, bounds.bottom};
    return SUCCEEDED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &target, nullptr, nullptr, 0));
}

}  // namespace tovasen
