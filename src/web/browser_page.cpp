#include "web/browser_page.h"

#include <mshtml.h>

#include "base/com.h"
#include "base/dpi_scale.h"

namespace tovasen {
namespace {

std::optional<ScrollExtent> ExtentOf(const TComPtr<IHTMLElement>& element) {
    const auto scroll = element.Query<IHTMLElement2>();
    if (!scroll) return std::nullopt;
    long width = 0, height = 0;
    if (FAILED(scroll->get_scrollWidth(&width)) || FAILED(scroll->get_scrollHeight(&height))) return std::nullopt;
    return ScrollExtent{static_cast<int>(width), static_cast<int>(height)};
}

std::optional<ScrollExtent> RootExtentOf(const TComPtr<IHTMLDocument2>& document) {
    const auto doc3 = document.Query<IHTMLDocument3>();
    if (!doc3) return std::nullopt;
    TComPtr<IHTMLElement> root;
    if (FAILED(doc3->get_documentElement(root.Put()))) return std::nullopt;
    return ExtentOf(root);
}

// The frames' root elements, up to the first that cannot be read (one from another origin
// refuses access): what was read so far still counts.
void AddFrames(IHTMLDocument2& document, std::vector<ScrollExtent>& frames) {
    TComPtr<IHTMLFramesCollection2> collection;
    long count = 0;
    if (FAILED(document.get_frames(collection.Put())) || !collection ||
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
        const auto window = TComPtr<IDispatch>::Retain(V_DISPATCH(&item)).Query<IHTMLWindow2>();
        VariantClear(&item);
        TComPtr<IHTMLDocument2> frameDocument;
        if (!window || FAILED(window->get_document(frameDocument.Put())) || !frameDocument) return;
        const std::optional<ScrollExtent> extent = RootExtentOf(frameDocument);
        if (!extent) return;
        frames.push_back(*extent);
    }
}

}  // namespace

PageExtents TBrowserPage::Measure() {
    // No document (nothing loaded, or an engine without one) is a failed capture, not a blank one.
    const auto doc2 = FWindow.WB->Document().Query<IHTMLDocument2>();
    if (!doc2) throw EWebCaptureError();
    PageExtents extents;
    TComPtr<IHTMLElement> body;
    if (SUCCEEDED(doc2->get_body(body.Put()))) extents.body = ExtentOf(body);
    extents.root = RootExtentOf(doc2);
    AddFrames(*doc2.Get(), extents.frames);
    return extents;
}

int TBrowserPage::ZoomDpi() {
    // The engine zooms pages to the display's DPI and reports document pixels; the screen
    // object knows the ratio. Engines without it do not zoom.
    const auto doc2 = FWindow.WB->Document().Query<IHTMLDocument2>();
    TComPtr<IHTMLWindow2> window;
    TComPtr<IHTMLScreen> screen;
    TComPtr<IHTMLScreen2> screen2;
    long device = 0, logical = 0;
    if (doc2 && SUCCEEDED(doc2->get_parentWindow(window.Put())) && window &&
        SUCCEEDED(window->get_screen(screen.Put())) && SUCCEEDED(screen.QueryTo(screen2)) &&
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
    const auto view = FWindow.WB->Document().Query<IViewObject>();
    if (!view) return false;
    const RECTL target{bounds.left, bounds.top, bounds.right, bounds.bottom};
    return SUCCEEDED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &target, nullptr, nullptr, 0));
}

}  // namespace tovasen
