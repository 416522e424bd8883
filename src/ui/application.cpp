#include "ui/application.h"

#include <future>

#include "ui/errors.h"
#include "ui/form.h"

namespace tovasen {

TApplication* Application = nullptr;

namespace {

constexpr UINT WM_APP_QUEUE = WM_APP + 0x100;
constexpr wchar_t kWindowClass[] = L"TApplication";

std::wstring DescribeException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        std::string text = e.what();
        return std::wstring(text.begin(), text.end());
    } catch (...) {
        return L"Unknown error";
    }
}

}  // namespace

TApplication::TApplication() : TComponent(nullptr, L"Application"), FMainThreadId(GetCurrentThreadId()) {
    Application = this;
}

TApplication::~TApplication() {
    DestroyComponents();  // forms first, while the application window still exists
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
    if (FHandle) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    // The application window only carries the title and receives queued calls; the main form
    // owns the taskbar button.
    FHandle.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, FTitle.c_str(), WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, wc.hInstance, nullptr));
    if (!FHandle) RaiseLastOSError(L"CreateWindowExW(TApplication)");
    SetWindowLongPtrW(FHandle.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void TApplication::SetTitle(const std::wstring& title) {
    FTitle = title;
    if (FHandle) SetWindowTextW(FHandle.Get(), FTitle.c_str());
}

bool TApplication::HelpRequested() {
    bool callHelp = true;
    return OnHelp ? OnHelp(callHelp) : false;
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::Run() {
    if (FMainForm && ShowMainForm) FMainForm->Show();
    MSG msg;
    while (!FTerminated) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    FTerminated = true;
}

void TApplication::Terminate() {
    if (!FTerminated) PostQuitMessage(0);
}

void TApplication::Restore() {
    if (FMainForm && IsIconic(FMainForm->Handle())) ShowWindow(FMainForm->Handle(), SW_RESTORE);
}

void TApplication::Queue(std::function<void()> proc) {
    {
        std::lock_guard<std::mutex> lock(FQueueLock);
        FQueue.push_back(std::move(proc));
    }
    PostMessageW(FHandle.Get(), WM_APP_QUEUE, 0, 0);
}

void TApplication::Synchronize(const std::function<void()>& proc) {
    if (IsMainThread()) {
        proc();
        return;
    }
    std::promise<void> done;
    std::future<void> result = done.get_future();
    Queue([&] {
        try {
            proc();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    result.get();
}

void TApplication::RunQueued() {
    for (;;) {
        std::function<void()> proc;
        {
            std::lock_guard<std::mutex> lock(FQueueLock);
            if (FQueue.empty()) return;
            proc = std::move(FQueue.front());
            FQueue.pop_front();
        }
        try {
            proc();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
}

void TApplication::HandleException(const std::exception_ptr& error) {
    const std::wstring message = DescribeException(error);
    if (OnException) {
        OnException(message);
        return;
    }
    MessageBoxW(FHandle.Get(), message.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
}

LRESULT CALLBACK TApplication::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TApplication*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_APP_QUEUE) {
        self->RunQueued();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace tovasen
