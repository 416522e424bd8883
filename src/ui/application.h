#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/call_queue.h"
#include "base/handles.h"
#include "ui/component.h"
#include "ui/timer.h"

namespace tovasen {

class TForm;

// The process-wide application object: a hidden application window, the main form, the message
// loop, and the one queue through which other threads hand work to the user-interface thread.
class TApplication : public TComponent, public TTimerHost {
public:
    TApplication();
    ~TApplication() override;

    void Initialize();
    HWND Handle() const noexcept { return FHandle.Get(); }
    HWND TimerWindow() const noexcept override { return Handle(); }

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
    // True once the message loop has ended: queued calls are dropped from then on.
    bool Terminated() const;
    void ProcessMessages();
    void Restore();

    // One message as every loop of the program handles it: the message filters of modeless
    // forms (dialog keys, browser accelerators) first, then translation and dispatch.
    void DispatchOne(MSG& msg);
    void AddMessageFilter(TForm* form);
    void RemoveMessageFilter(TForm* form);

    // Runs proc on the user-interface thread later, from any thread. Returns false, running
    // nothing, once the message loop has ended or when the call cannot be posted.
    bool Queue(std::function<void()> proc);
    // Queue as a value a worker thread can hold: it never touches the global Application and
    // outlives the application object without harm, answering false once the loop has ended.
    TPoster Poster() const;
    // Runs proc on the user-interface thread and waits for it; an exception it raises is raised
    // again in the caller. On the user-interface thread proc runs at once. Once the message loop
    // has ended (or ends while waiting) it raises at once instead of blocking.
    void Synchronize(const std::function<void()>& proc);
    bool IsMainThread() const noexcept { return GetCurrentThreadId() == FMainThreadId; }

    // Frees a component after the current message handler has returned: it leaves its owner
    // now (a form is hidden at once) and is deleted from the message loop, or with the
    // application at the latest. For windows that must go away from inside their own handler.
    void ReleaseLater(TComponent* component);

    // Reports an exception that reached a message handler, without letting it unwind into user32.
    void HandleException(const std::exception_ptr& error);
    std::function<void(const std::wstring& message)> OnException;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void RunQueued();
    void FreeReleased();
    void CloseQueue();
    bool ProcessMessage(MSG& msg);

    UniqueWindow FHandle;
    std::wstring FTitle;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    DWORD FMainThreadId;
    std::vector<TForm*> FFilters;
    std::vector<std::unique_ptr<TComponent>> FReleased;

    std::shared_ptr<TCallQueue> FCalls;
};

extern TApplication* Application;

// The application's poster, taken now; one that refuses every call when there is none.
TPoster ApplicationPoster();

}  // namespace tovasen
