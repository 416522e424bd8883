#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "app/capture_controller.h"
#include "app/copydata_command.h"
#include "app/history_link.h"
#include "app/reply_sender.h"
#include "base/lifetime.h"
#include "ui/form.h"

namespace tovasen {

// The command boundary: WM_COPYDATA from any program, received by the main window. A command
// is checked and parsed within fixed limits, the sender is released at once, and the work runs
// later from the message loop, so no sender waits on a capture and no reply can start a capture
// inside another.
class TCommandServer {
public:
    // window: the main window, which receives the commands and owns the editors they open;
    // about: what "about" opens.
    TCommandServer(TForm& window, TCaptureController& controller, THistoryLink& history, std::function<void()> about);

    // sender: the window the sending program names as its own (wParam).
    LRESULT Receive(HWND sender, const COPYDATASTRUCT& data);
    void Run(const RemoteRequest& request, const std::shared_ptr<TOutcomeReporter>& reporter);

private:
    TForm& FWindow;
    TCaptureController& FController;
    THistoryLink& FHistory;
    std::function<void()> FAbout;
    std::shared_ptr<TReplySender> FReplies = std::make_shared<TReplySender>();
    std::shared_ptr<TCommandBoxGate> FCommandBoxes = std::make_shared<TCommandBoxGate>();
    TLifetime FLifetime;
};

}  // namespace tovasen
