#pragma once
#include <windows.h>

#include <string>

#include "capture/capture.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"
#include "ui/timer.h"

namespace tovasen {

// The main window's colour-pick card: the colour under the mouse, read every 100 ms while the
// card shows, and the list of picked colours with its copy and delete menu.
class TColourCard {
public:
    // The card's controls go on owner at left, top (96-DPI units); the grabber reads the screen.
    TColourCard(TForm& owner, TCapture& grabber, int left, int top);

    std::vector<TControl*> Controls() const { return {ShpColor, LblColor, LstColor}; }
    // The timer runs only while the card shows.
    void SetShown(bool shown) { TmrColor->SetEnabled(shown); }
    // Colour pick: the colour the card shows goes to the top of the list, and is returned.
    std::wstring PickColour();

    TShape* ShpColor = nullptr;
    TLabel* LblColor = nullptr;
    TListBox* LstColor = nullptr;
    TTimer* TmrColor = nullptr;
    TPopupMenu* Pick = nullptr;  // the list's menu: copy, delete

private:
    void ShowColourUnderMouse();
    void DrawItem(const DRAWITEMSTRUCT& item, const std::wstring& text);

    TForm& FOwner;
    TCapture& FGrabber;
};

}  // namespace tovasen
