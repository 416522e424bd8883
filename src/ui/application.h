#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "ui/component.h"
#include "ui/handles.h"

namespace tovasen {

class TForm;

// The process-wide application object: a hidden application window, the main form, the message
// loop, and the one queue through which other threads hand work to the user-interface thread.
class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    HWND Handle() const noexcept { return FHandle.Get(); }

    const std::wstring& Title() const noexcept { return FTitle; }
    void SetTitle(const std::wstring& title);

    // Whether Run shows the main form first; "/start" starts in the tray only.
    bool ShowMainForm = true;
    TForm* MainForm() const noexcept { return FMainForm; }
    void SetMainForm(TForm* form) noexcept { FMainForm = form; }

    // The help request handler: gets the request and a may-call-help flag, answers handled.
    std::function<bool(bool& callHelp)> OnHelp;
    bool HelpRequested();

    void Run();
    void Terminate();
    void ProcessMessages();
    void Restore();

    // Runs proc on the user-interface thread later, from any thread.
    void Queue(std::function<void()> proc);
    // Runs proc on the user-interface thread and waits for it; an exception it raises is raised
    // again in the caller. Called on the user-interface thread, proc runs at once.
    void Synchronize(const std::function<void()>& proc);
    bool IsMainThread() const noexcept { return GetCurrentThreadId() == FMainThreadId; }

    // Reports an exception that reached a message handler, without letting it unwind into user32.
    void HandleException(const std::exception_ptr& error);
    std::function<void(const std::wstring& message)> OnException;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RunQueued();
    bool ProcessMessage(MSG& msg);

    UniqueWindow FHandle;
    std::wstring FTitle;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    DWORD FMainThreadId;
    std::mutex FQueueLock;
    std::deque<std::function<void()>> FQueue;
};

extern TApplication* Application;

}  // namespace tovasen
