#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/lifetime.h"
#include "base/worker.h"
#include "history/history_grid.h"
#include "i18n/translate_component.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"

namespace tovasen {

class THistory;

// The history window: every kept capture as a thumbnail, newest first, a search box that
// narrows the grid as the user types, and each entry's menu (open, copy, pin, edit, show in
// folder, delete). Closing it only hides it; its owner, THistory, frees it.
class TFrmHistory : public TForm, private THistoryGridSource {
public:
    static constexpr wchar_t kClassName[] = L"TFrmHistory";

    explicit TFrmHistory(THistory& history);
    ~TFrmHistory() override;

    // Shows the window with the entries as stored now, the search box focused.
    void ShowHistory();
    // Reads the entries again (now when shown, else when next shown): the newest screenful at
    // once, the rest on a thread of its own, merged in when it arrives.
    void Reload();
    // True once every entry is in the list (the rest of a reload has arrived).
    bool Complete() const noexcept { return FComplete; }
    // A capture was stored meanwhile.
    void EntryAdded(const THistoryEntry& entry);
    // Pictures of entries were edited: their thumbnails are drawn anew, never as they were.
    void PicturesChanged();

    // The entries the grid shows now, newest first.
    std::size_t ShownCount() const noexcept { return FShown.size(); }
    const THistoryEntry& Shown(std::size_t index) const { return FEntries.at(FShown.at(index)); }

    // The entry menu's commands, for the shown entry at index. Failures are shown to the user.
    void OpenItem(std::size_t index);
    void CopyItem(std::size_t index);
    void PinItem(std::size_t index);
    void EditItem(std::size_t index);
    void ShowItemInFolder(std::size_t index);
    // A history copy goes with its entry; for a user's own file the user is asked whether the
    // file goes too (to the recycle bin) or only the entry.
    void DeleteItem(std::size_t index);

    std::function<void()> OnDestroyed;

    TEdit* EditSearch = nullptr;
    THistoryGrid* GrdHistory = nullptr;
    TPopupMenu* PopHistory = nullptr;
    TMenuItem *PopOpen = nullptr, *PopCopy = nullptr, *PopPin = nullptr, *PopEdit = nullptr,
              *PopShowInFolder = nullptr, *PopDelete = nullptr;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::size_t ItemCount() override { return FShown.size(); }
    const THistoryEntry& ItemEntry(std::size_t index) override { return Shown(index); }
    const TPixels* ItemThumbnail(std::size_t index) override;

    void Layout();
    void ApplySearch();
    void Load();
    void LoadRest(std::uint64_t ticket);
    void Arrived(std::uint64_t ticket, std::vector<THistoryEntry> entries, std::vector<std::wstring> texts,
                 bool complete);
    void ShowMenu(std::size_t index, POINT screen);
    // Runs an entry command; an error is shown in a message box instead of escaping.
    void Attempt(const std::function<void()>& command);
    void Forget(std::int64_t id);

    THistory& FHistory;
    std::vector<THistoryEntry> FEntries;
    std::vector<std::wstring> FSearchTexts;  // folded once per load, searched per keystroke
    std::vector<std::size_t> FShown;         // indices into FEntries
    std::unordered_map<std::int64_t, TPixels> FThumbnails;
    bool FStale = true;
    bool FComplete = false;
    std::uint64_t FTicket = 0;  // the reload whose rest is awaited; older ones are dropped
    TWorker FLoader;
    // Its texts in the current language, again after each change.
    void Translated();
    TLanguageListener FLanguageListener{[this] { Translated(); }};
    TLifetime FLifetime;
};

}  // namespace tovasen
