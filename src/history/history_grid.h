#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "history/history_entry.h"
#include "history/thumbnail.h"
#include "ui/window.h"

namespace tovasen {

class TForm;

// What the grid shows; it asks only for the items on screen, so a long history costs nothing
// until it is scrolled to.
class THistoryGridSource {
public:
    virtual ~THistoryGridSource() = default;
    virtual std::size_t ItemCount() = 0;
    virtual const THistoryEntry& ItemEntry(std::size_t index) = 0;
    // The item's thumbnail, or null when it has none (a recording, a text capture).
    virtual const TPixels* ItemThumbnail(std::size_t index) = 0;
};

// A scrolling grid of thumbnails with a title and a date under each, one item selected.
// Mouse, wheel and keyboard work as in a file window: Enter or a double-click opens, Delete
// deletes, the right button or the menu key asks for the item's menu.
class THistoryGrid : public TWindow {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    THistoryGrid(TForm* parent, THistoryGridSource& source);

    // The items changed: the selection stays on the same index when it still exists.
    void ItemsChanged();
    std::size_t Selected() const noexcept { return FSelected; }
    void Select(std::size_t index);
    void SetBounds(const RECT& bounds);
    // The item at a point of the grid's client area, or kNone.
    std::size_t ItemAt(POINT client) const;
    // Where the item is in the client area (it may be scrolled out of view).
    RECT ItemRect(std::size_t index) const;

    // Shown in the middle while there is no item.
    std::wstring EmptyText;

    std::function<void(std::size_t index)> OnOpen;
    std::function<void(std::size_t index)> OnDelete;
    std::function<void(std::size_t index)> OnCopy;
    std::function<void(std::size_t index, POINT screen)> OnMenu;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int Scale(int pixels96) const;
    int CellWidth() const;
    int CellHeight() const;
    int Columns() const;
    int ContentHeight() const;
    void UpdateScrollBar();
    void ScrollTo(int top);
    void EnsureVisible(std::size_t index);
    void Paint();
    void PaintItem(HDC dc, std::size_t index, const RECT& cell);
    void KeyDown(WPARAM key);
    void RequestMenu(std::size_t index, POINT screen);

    TForm* FParent;
    THistoryGridSource& FSource;
    std::size_t FSelected = kNone;
    int FTop = 0;  // pixels scrolled
    int FWheel = 0;
};

}  // namespace tovasen
