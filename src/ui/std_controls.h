#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/captioned.h"
#include "ui/control.h"

namespace tovasen {

class TLabel : public TControl, public TCaptioned {
public:
    // align is SS_LEFT, SS_CENTER or SS_RIGHT.
    TLabel(TForm* parent, std::wstring name, const std::wstring& caption, DWORD align = SS_LEFT);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;

    void SetFontColor(COLORREF color);
    void SetBackground(COLORREF color);  // CLR_INVALID: the form's background
    void SetFont(const wchar_t* face, int height96, bool bold);
    void ApplyDpi() override;

    std::function<void()> OnClick;

protected:
    void CNCommand(WORD code) override;
    HBRUSH CNCtlColor(HDC dc) override;

private:
    std::wstring FFontFace;
    int FFontHeight96 = 0;
    bool FFontBold = false;
    COLORREF FFontColor = CLR_INVALID;
    COLORREF FBackground = CLR_INVALID;
    UniqueBrush FBrush;
    UniqueFont FFont;
};

class TButton : public TControl, public TCaptioned {
public:
    TButton(TForm* parent, std::wstring name, const std::wstring& caption, DWORD style = BS_PUSHBUTTON);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
    std::function<void()> OnClick;

protected:
    void CNCommand(WORD code) override;
};

class TCheckBox : public TButton {
public:
    TCheckBox(TForm* parent, std::wstring name, const std::wstring& caption);
    bool Checked() const;
    void SetChecked(bool checked);
};

class TGroupBox : public TButton {
public:
    TGroupBox(TForm* parent, std::wstring name, const std::wstring& caption);
};

// A single-line edit field. Setting the text from code raises no OnChange; typing does.
class TEdit : public TControl {
public:
    TEdit(TForm* parent, std::wstring name, const std::wstring& text = {}, DWORD style = ES_AUTOHSCROLL);
    std::wstring Text() const;
    void SetText(const std::wstring& text);
    void SelectAll();

    std::function<void()> OnChange;
    // A key pressed in the field; answering true swallows it (and its character).
    std::function<bool(WORD key)> OnKeyDown;

protected:
    void CNCommand(WORD code) override;
    LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool FSettingText = false;
    bool FSwallowChar = false;
};

// Draws one item of an owner-drawn list as the system would: the highlight colours when
// selected, the text one pixel in from the top left, a focus rectangle when focused.
void DrawListItem(const DRAWITEMSTRUCT& item, const std::wstring& text);

// A fixed drop-down list. Setting ItemIndex from code does not raise OnChange; only the user's
// choice does, as with the system control itself.
class TComboBox : public TControl {
public:
    TComboBox(TForm* parent, std::wstring name, bool ownerDraw = false);

    std::vector<std::wstring> Items() const;
    void SetItems(const std::vector<std::wstring>& items);
    void AddItem(const std::wstring& item);
    int ItemIndex() const;
    // An index outside the items leaves no selection.
    void SetItemIndex(int index);
    std::wstring Text() const;
    // Rewrites every item in one repaint, keeping the selection.
    void TranslateItems(const std::function<std::wstring(const std::wstring&)>& translate);
    // The closed box's height follows the selection field's, which this sets.
    void SetHeight96(int height);
    void ApplyDpi() override;

    std::function<void()> OnChange;
    std::function<void(const DRAWITEMSTRUCT&, const std::wstring& text)> OnDrawItem;

protected:
    void CNCommand(WORD code) override;
    void CNDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    int FHeight96 = 0;
};

// A single-selection list box.
class TListBox : public TControl {
public:
    TListBox(TForm* parent, std::wstring name, bool ownerDraw = false);
    int Count() const;
    std::wstring Item(int index) const;
    void Insert(int index, const std::wstring& item);
    void Delete(int index);
    int ItemIndex() const;
    void SetItemIndex(int index);
    void SetItemHeight96(int height);
    void SetFont(const wchar_t* face, int height96);
    void ApplyDpi() override;

    std::function<void(const DRAWITEMSTRUCT&, const std::wstring& text)> OnDrawItem;

protected:
    void CNDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    std::wstring FFontFace;
    int FFontHeight96 = 0;
    int FItemHeight96 = 0;
    UniqueFont FFont;
};

// A filled rectangle or ellipse (the colour swatch, the recording light).
class TShape : public TControl {
public:
    enum class Kind { Rectangle, Ellipse };
    TShape(TForm* parent, std::wstring name, Kind kind = Kind::Rectangle);
    COLORREF Color() const noexcept { return FColor; }
    void SetColor(COLORREF color);
    void SetPenColor(COLORREF color);

protected:
    LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    Kind FKind;
    COLORREF FColor = RGB(255, 255, 255);
    COLORREF FPen = RGB(0, 0, 0);
};

}  // namespace tovasen
