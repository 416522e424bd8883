#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/capture_controller.h"
#include "history/history.h"
#include "output/float_list.h"

namespace tovasen {

class TFrmEditor;

// The capture history as the program wires it: made at start-up when it can be, fed by every
// finished capture, reached by the floating windows' "edit", the editor and scripts. Captures
// never depend on it: without one they go on, and the user hears why once.
class THistoryLink {
public:
    // owner: the window editors opened from the history belong to; tell: shows a failure.
    THistoryLink(TForm& owner, TFloatList& floats, std::function<void(const std::wstring& error)> tell);
    ~THistoryLink();
    // Opens the history, at start-up (it may tell why it cannot: not from a constructor).
    void Open();

    THistory* History() const noexcept { return FHistory.get(); }
    void Record(const TFinishedCapture& capture);
    // A file opened in the editor: a saved edit reaches the history's entries of that file.
    void FollowEdit(TFrmEditor& editor);
    // "history_clear": erases the whole history without asking; the script hears how many went.
    void ClearForScript(const std::shared_ptr<TOutcomeReporter>& reporter);
    // "history": the latest entries as lines, newest first.
    void ListForScript(const std::shared_ptr<TOutcomeReporter>& reporter, std::size_t limit);

private:
    TForm& FOwner;
    TFloatList& FFloats;
    std::function<void(const std::wstring&)> FTell;
    std::unique_ptr<THistory> FHistory;  // null where the history could not be opened
};

}  // namespace tovasen
