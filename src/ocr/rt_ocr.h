#pragma once
// The text-recognition component the main window holds: a picture, the engine's languages, and
// one asynchronous recognition at a time whose result arrives on the user-interface thread.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ocr/ocr_session.h"
#include "image/bitmap.h"
#include "ui/component.h"

namespace tovasen {

class TRtOcr : public TComponent {
public:
    using TCompletedEvent = std::function<void(TRtOcr& sender, const TResult& result, void* customData)>;

    // backend null: the engine the process uses (the operating system's, unless a test chose one).
    explicit TRtOcr(TComponent* owner, std::wstring name = L"RtOcr", std::shared_ptr<TOcrBackend> backend = nullptr);
    // A recognition still running is closed; its completion is dropped.
    ~TRtOcr() override;

    std::wstring About() const { return L"Text recognition with the Windows OCR engine"; }

    const TBitmap& Picture() const noexcept { return *FPicture; }
    // Copies picture.
    void SetPicture(const TBitmap& picture);
    // Keeps picture itself: for pictures too large to hold twice.
    void TakePicture(std::unique_ptr<TBitmap> picture);

    TLanguages AvailableLanguages() { return FSession.AvailableLanguages(); }
    int MaxImageDimension() { return FSession.MaxImageDimension(); }

    // Recognises the rectangle of Picture (all zero: all of it). The result arrives later, on
    // the user-interface thread: through OnCompleted with customData, or through completion
    // only. Raises "Recognition already started", "Language not available", a rectangle error
    // or the engine's error.
    void Recognize(const TLanguage& language, void* customData, int left, int top, int right, int bottom);
    void Recognize(const TLanguage& language, TCompletionProc completion, int left, int top, int right, int bottom);
    void Cancel() noexcept { FSession.Cancel(); }
    void Close() noexcept { FSession.Close(); }
    bool Busy() const noexcept { return FSession.Busy(); }

    TCompletedEvent OnCompleted;

private:
    PixelView PictureView() const;

    std::unique_ptr<TBitmap> FPicture = std::make_unique<TBitmap>();
    TOcrSession FSession;
};

// Chooses the engine recognisers made from now on use; null restores the operating system's.
// For tests, which cannot rely on the platform's OCR.
void SetOcrBackendFactory(std::function<std::shared_ptr<TOcrBackend>()> factory);

// The capture enlarged (or, past the engine's limit, reduced) to width x height with the
// Imaging Component's Fant scaler, as a 32-bit bitmap.
std::unique_ptr<TBitmap> ScaleForOcr(const TBitmap& source, int width, int height);

}  // namespace tovasen
