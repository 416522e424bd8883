#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tovasen {

class TForm;
class TLabel;
class TControl;
class TTimer;

// Progress that another thread reports and the user-interface thread shows: the worker only
// stores numbers, the strip's timer reads them.
struct TProgressValues {
    std::atomic<std::uint32_t> Position{0};
    std::atomic<std::uint32_t> Size{0};
    void Set(std::uint32_t position, std::uint32_t size) noexcept {
        Size.store(size);
        Position.store(position);
    }
};

// The translucent strip along the bottom of the screen that shows an upload's progress. Mouse
// clicks pass through it, it has no taskbar button and it never takes the focus. It sits right
// above a taskbar along the bottom of the screen, else at the very bottom.
class TProgressForm {
public:
    static constexpr wchar_t kClassName[] = L"TProgressForm";

    explicit TProgressForm(const std::wstring& text);
    TProgressForm(const TProgressForm&) = delete;
    TProgressForm& operator=(const TProgressForm&) = delete;
    ~TProgressForm();

    HWND Handle() const noexcept;
    // Sets the gauge at once; any range a 32-bit count of bytes can take.
    void SetProgress(std::uint32_t position, std::uint32_t size);
    // Numbers a worker thread may set; the strip shows them within a few milliseconds.
    std::shared_ptr<TProgressValues> Values() const noexcept { return FValues; }

private:
    void ApplyValues();

    std::unique_ptr<TForm> FForm;
    TControl* FGauge = nullptr;
    TLabel* FLabel = nullptr;
    TTimer* FTimer = nullptr;
    HWND FHandle = nullptr;  // the taskbar found at creation
    RECT FRect{};            // and its rectangle then
    std::shared_ptr<TProgressValues> FValues = std::make_shared<TProgressValues>();
    std::uint32_t FShownSize = 0;
    std::uint32_t FShownPosition = 0;
};

}  // namespace tovasen
