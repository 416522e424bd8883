#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "base/handles.h"
#include "editor/editor_scene.h"
#include "editor/editor_tools.h"
#include "ui/window.h"

namespace tovasen {

// The editor's picture: shows the scene's picture at a zoom, scrolls when it is larger than the
// window, and turns the mouse into the model's presses and drags, repainting only what each
// changed. Text is typed into an edit field placed over the picture. At 100 % and unscrolled,
// picture pixel (0, 0) of the shown (cropped) picture is at client (0, 0).
class TEditorCanvas : public TWindow {
public:
    static constexpr wchar_t kClassName[] = L"TEditorCanvas";

    TEditorCanvas(TComponent* owner, HWND parent, TEditorScene& scene);
    ~TEditorCanvas() override;

    void SetTool(TTool tool);
    TTool Tool() const noexcept { return FTool; }
    TToolStyle Style;

    double Zoom() const noexcept { return FZoom; }
    // Zooms keeping the picture point under `anchor` (client coordinates) where it is.
    void SetZoom(double zoom, POINT anchor);
    void StepZoom(int steps, POINT anchor);
    POINT Scroll() const noexcept { return POINT{FScrollX, FScrollY}; }
    void ScrollTo(int x, int y);
    // After the picture's crop or the window's size changed: scroll ranges and a full repaint.
    void ViewChanged();

    // Picture (document) coordinates of a client point, and the client rectangle of an area.
    TPointI ToDocument(POINT client) const noexcept;
    RECT ToClient(const TBox& area) const noexcept;
    // Repaints what changed in area of the picture.
    void Changed(const TBox& area);

    bool EditingText() const noexcept { return static_cast<bool>(FTextEdit); }
    HWND TextEdit() const noexcept { return FTextEdit.Get(); }
    // Ends typing: the text becomes (or changes) its object, an empty text none.
    void CommitText();
    // Starts typing a new text at a picture point, or into an existing text object.
    void BeginText(TPointI at, std::uint32_t existing = 0);

    // The document changed (undo state, title, buttons).
    std::function<void()> OnChange;
    // A key pressed in the canvas or in its text field (true: handled). The field keeps the
    // keys it needs for typing.
    std::function<bool(WPARAM key)> OnKey;
    // Ctrl+Enter in the text field.
    std::function<void()> OnDoneKey;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK TextEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    void Paint();
    void PaintOverlay(HDC dc, POINT origin);
    void MouseDown(POINT p, bool doubleClick);
    void MouseMove(POINT p);
    void MouseUp(POINT p);
    void ScrollBy(int bar, int code);
    void UpdateScrollBars();
    bool UpdateCursor();
    void PlaceTextEdit();
    int ViewWidth() const noexcept;
    int ViewHeight() const noexcept;
    double Tolerance() const noexcept;
    int Dpi() const noexcept;

    TEditorScene& FScene;
    TTool FTool = TTool::Rectangle;
    double FZoom = 1.0;
    int FScrollX = 0, FScrollY = 0;
    TBox FCrop;  // the crop the view was laid out for

    UniqueWindow FTextEdit;
    UniqueFont FTextFont;
    UniqueBrush FTextBrush;
    std::uint32_t FTextId = 0;  // the object typed into, 0 for a new one
    WPARAM FTextSerial = 0;     // which field a posted request to end typing is for
    TPointI FTextAt;
    TToolStyle FTextStyle;
};

}  // namespace tovasen
