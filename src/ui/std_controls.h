#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/captioned.h"
#include "ui/control.h"

namespace tovasen {

class TLabel : public TControl, public TCaptioned {
public:
    TLabel(TForm* parent, std::wstring name, const std::wstring& caption);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
};

class TButton : public TControl, public TCaptioned {
public:
    TButton(TForm* parent, std::wstring name, const std::wstring& caption);
    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
    std::function<void()> OnClick;

protected:
    void CNCommand(WORD code) override;
};

// A fixed drop-down list. Setting ItemIndex from code does not raise OnChange; only the user's
// choice does, as with the system control itself.
class TComboBox : public TControl {
public:
    TComboBox(TForm* parent, std::wstring name, DWORD extraStyle = 0);

    std::vector<std::wstring> Items() const;
    void SetItems(const std::vector<std::wstring>& items);
    void AddItem(const std::wstring& item);
    int ItemIndex() const;
    // An index outside the items leaves no selection.
    void SetItemIndex(int index);
    // Rewrites every item in one repaint, keeping the selection.
    void TranslateItems(const std::function<std::wstring(const std::wstring&)>& translate);

    std::function<void()> OnChange;

protected:
    void CNCommand(WORD code) override;
};

}  // namespace tovasen

namespace tovasen {

// A single-selection list box.
class TListBox : public TControl {
public:
    TListBox(TForm* parent, std::wstring name, DWORD extraStyle = 0);
    int Count() const;
    std::wstring Item(int index) const;
    void Insert(int index, const std::wstring& item);
    void Delete(int index);
    int ItemIndex() const;
    void SetItemIndex(int index);
};

// A filled rectangle with a black outline (the colour swatch).
class TShape : public TControl {
public:
    TShape(TForm* parent, std::wstring name);
    COLORREF Color() const noexcept { return FColor; }
    void SetColor(COLORREF color);

protected:
    LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    COLORREF FColor = RGB(255, 255, 255);
};

}  // namespace tovasen
