#include "ui/application.h"

#include <algorithm>
#include <future>

#include "base/errors.h"
#include "base/exception_text.h"
#include "ui/form.h"

namespace tovasen {

TApplication* Application = nullptr;

namespace {

constexpr UINT WM_APP_QUEUE = WM_APP + 0x100;
constexpr UINT WM_APP_RELEASE = WM_APP + 0x101;
constexpr wchar_t kWindowClass[] = L"TApplication";

}  // namespace

TApplication::TApplication()
    : TComponent(nullptr, L"Application"), FMainThreadId(GetCurrentThreadId()), FCalls(std::make_shared<TCallQueue>()) {
    Application = this;
    SetExceptionReporter([](const std::wstring& message) {
        if (Application) Application->HandleException(std::make_exception_ptr(Exception(message)));
    });
}

TApplication::~TApplication() {
    CloseQueue();
    DestroyComponents();  // forms first, while the application window still exists
    FreeReleased();
    SetExceptionReporter(nullptr);
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
    FCalls->SetWake([window = FHandle.Get()] { return PostMessageW(window, WM_APP_QUEUE, 0, 0) != FALSE; });
}

void TApplication::SetTitle(const std::wstring& title) {
    FTitle = title;
    if (FHandle) SetWindowTextW(FHandle.Get(), FTitle.c_str());
}

bool TApplication::HelpRequested() {
    bool callHelp = true;
    return OnHelp ? OnHelp(callHelp) : false;
}

void TApplication::AddMessageFilter(TForm* form) {
    if (std::find(FFilters.begin(), FFilters.end(), form) == FFilters.end()) FFilters.push_back(form);
}

void TApplication::RemoveMessageFilter(TForm* form) {
    FFilters.erase(std::remove(FFilters.begin(), FFilters.end(), form), FFilters.end());
}

void TApplication::DispatchOne(MSG& msg) {
    // A copy: a filter may free its form (and so leave the list) while it runs.
    const std::vector<TForm*> filters = FFilters;
    for (TForm* form : filters) {
        if (std::find(FFilters.begin(), FFilters.end(), form) == FFilters.end()) continue;
        const bool handled = Guarded(false, [&] { return form->PreTranslateMessage(msg); });
        if (handled) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    DispatchOne(msg);
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
        DispatchOne(msg);
    }
    FTerminated = true;
    CloseQueue();
}

void TApplication::Terminate() {
    if (!FTerminated) PostQuitMessage(0);
}

bool TApplication::Terminated() const { return FCalls->Closed(); }

void TApplication::Restore() {
    if (FMainForm && IsIconic(FMainForm->Handle())) ShowWindow(FMainForm->Handle(), SW_RESTORE);
}

bool TApplication::Queue(std::function<void()> proc) { return FCalls->Post(std::move(proc)); }

TPoster TApplication::Poster() const { return TCallQueue::PosterOf(FCalls); }

TPoster ApplicationPoster() {
    if (Application) return Application->Poster();
    return [](std::function<void()>) { return false; };
}

void TApplication::Synchronize(const std::function<void()>& proc) {
    if (IsMainThread()) {
        proc();
        return;
    }
    // The promise lives in the queued call: a call dropped unrun breaks it, which wakes us.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> result = done->get_future();
    const bool queued = Queue([done, &proc] {
        try {
            proc();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    done.reset();
    if (!queued) throw Exception(L"The program is closing; the call was not run.");
    try {
        result.get();
    } catch (const std::future_error&) {
        throw Exception(L"The program is closing; the call was not run.");
    }
}

void TApplication::CloseQueue() { FCalls->Close(); }

void TApplication::RunQueued() {
    FCalls->RunAll([](const std::function<void()>& call) { Guarded([&] { call(); }); });
}

void TApplication::ReleaseLater(TComponent* component) {
    if (!component) return;
    if (auto* form = dynamic_cast<TForm*>(component)) {
        if (form->HandleAllocated()) ShowWindow(form->Handle(), SW_HIDE);
        RemoveMessageFilter(form);
    }
    component->LeaveOwner();
    FReleased.emplace_back(component);
    if (FHandle) PostMessageW(FHandle.Get(), WM_APP_RELEASE, 0, 0);
}

void TApplication::FreeReleased() {
    while (!FReleased.empty()) {
        std::vector<std::unique_ptr<TComponent>> released;
        released.swap(FReleased);
        released.clear();  // may release more: loop until none is left
    }
}

void TApplication::HandleException(const std::exception_ptr& error) {
    const std::wstring message = ExceptionText(error);
    if (OnException) {
        OnException(message);
        return;
    }
    MessageBoxW(FHandle.Get(), message.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
}

LRESULT CALLBACK TApplication::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TApplication*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return Guarded(LRESULT{0}, [&]() -> LRESULT {
        switch (msg) {
        case WM_APP_QUEUE:
            self->RunQueued();
            return 0;
        case WM_APP_RELEASE:
            self->FreeReleased();
            return 0;
        case WM_TIMER:
            if (self->DispatchTimer(wParam)) return 0;
            break;
        default:
            break;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    });
}

}  // namespace tovasen
