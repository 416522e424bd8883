#pragma once
#include "web/frm_iexplorer.h"
#include "web/web_capture.h"

namespace tovasen {

// The page shown in the browser window, measured and drawn through the engine's document
// interfaces (the body, the root element, the frames' root elements, the view object).
class TBrowserPage : public TWebPage {
public:
    explicit TBrowserPage(TFrmIExplorer& window) : FWindow(window) {}

    PageExtents Measure() override;
    int ZoomDpi() override;
    PageMargins Margins() override;
    void BeginLayout(int width, int height) override;
    bool Draw(HDC dc, const RECT& bounds) override;
    void EndLayout() override;

private:
    TFrmIExplorer& FWindow;
};

}  // namespace tovasen
