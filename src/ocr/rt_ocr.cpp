#include "ocr/rt_ocr.h"

#include <wincodec.h>

#include <cstdint>
#include <cstring>

#include "ocr/winrt_ocr_backend.h"
#include "ocr/winrt_runtime.h"
#include "ui/application.h"

namespace tovasen {
namespace {

std::function<std::shared_ptr<TOcrBackend>()>& BackendFactory() {
    static std::function<std::shared_ptr<TOcrBackend>()> factory;
    return factory;
}

std::shared_ptr<TOcrBackend> DefaultBackend() {
    return BackendFactory() ? BackendFactory()() : CreateWinRtOcrBackend();
}


// A 24- or 32-bit bitmap to read rows from: the bitmap itself, or a 32-bit copy of a device one.
const TBitmap& DibOf(const TBitmap& source, std::unique_ptr<TBitmap>& copy) {
    if (source.PixelFormat() != TPixelFormat::pfDevice) return source;
    copy = std::make_unique<TBitmap>();
    copy->SetPixelFormat(TPixelFormat::pf32bit);
    copy->SetSize(source.Width(), source.Height());
    if (!BitBlt(copy->Canvas().Handle(), 0, 0, source.Width(), source.Height(),
                const_cast<TBitmap&>(source).Canvas().Handle(), 0, 0, SRCCOPY)) {
        RaiseLastOSError(L"BitBlt");
    }
    GdiFlush();  // the rows are read directly next
    return *copy;
}

}  // namespace

void SetOcrBackendFactory(std::function<std::shared_ptr<TOcrBackend>()> factory) { BackendFactory() = std::move(factory); }

TRtOcr::TRtOcr(TComponent* owner, std::wstring name, std::shared_ptr<TOcrBackend> backend)
    : TComponent(owner, std::move(name)),
      // Taken here, on the user-interface thread: the engine's threads only ever see the poster,
      // which refuses the call once the application has gone.
      FSession(backend ? std::move(backend) : DefaultBackend(), ApplicationPoster()) {}

TRtOcr::~TRtOcr() = default;

void TRtOcr::SetPicture(const TBitmap& picture) {
    auto copy = std::make_unique<TBitmap>();
    if (!picture.Empty()) {
        std::unique_ptr<TBitmap> temp;
        const TBitmap& dib = DibOf(picture, temp);
        copy->SetPixelFormat(dib.PixelFormat());
        copy->SetSize(dib.Width(), dib.Height());
        for (int y = 0; y < dib.Height(); ++y) {
            std::memcpy(copy->ScanLine(y), dib.ScanLine(y), static_cast<std::size_t>(dib.Stride()));
        }
    }
    FPicture = std::move(copy);
}

void TRtOcr::TakePicture(std::unique_ptr<TBitmap> picture) { FPicture = picture ? std::move(picture) : std::make_unique<TBitmap>(); }

PixelView TRtOcr::PictureView() const {
    if (FPicture->Empty()) return {};
    if (FPicture->PixelFormat() == TPixelFormat::pfDevice) {
        // Device bitmaps have no rows to read; a copy makes them a DIB once.
        auto& self = const_cast<TRtOcr&>(*this);
        std::unique_ptr<TBitmap> copy;
        DibOf(*FPicture, copy);
        self.FPicture = std::move(copy);
    }
    const TBitmap& p = *FPicture;
    return {p.ScanLine(0), p.Width(), p.Height(), p.Stride(), p.BitsPerPixel() / 8};
}

void TRtOcr::Recognize(const TLanguage& language, void* customData, int left, int top, int right, int bottom) {
    FSession.Recognize(language, PictureView(), left, top, right, bottom, [this, customData](const TResult& result) {
        if (OnCompleted) OnCompleted(*this, result, customData);
    });
}

void TRtOcr::Recognize(const TLanguage& language, TCompletionProc completion, int left, int top, int right,
                       int bottom) {
    FSession.Recognize(language, PictureView(), left, top, right, bottom, std::move(completion));
}

std::unique_ptr<TBitmap> ScaleForOcr(const TBitmap& source, int width, int height) {
    if (source.Empty() || width <= 0 || height <= 0) throw Exception(L"There is no picture to recognise.");
    EnsureComApartment();
    GdiFlush();
    if (std::uint64_t{4} * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > 0x7FFFFFFFu ||
        std::uint64_t{4} * static_cast<std::uint64_t>(source.Width()) * static_cast<std::uint64_t>(source.Height()) >
            0x7FFFFFFFu) {
        throw Exception(L"The picture is too large to recognise.");
    }
    std::unique_ptr<TBitmap> temp;
    const TBitmap& dib = DibOf(source, temp);
    TComPtr<IWICImagingFactory> factory;
    OleCheck(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              factory.PutVoid()));
    const WICPixelFormatGUID format = dib.BitsPerPixel() == 24 ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGR;
    // Rows are top first and contiguous from row 0: the bitmap is a top-down DIB section.
    TComPtr<IWICBitmap> input;
    OleCheck(factory->CreateBitmapFromMemory(
        static_cast<UINT>(dib.Width()), static_cast<UINT>(dib.Height()), format, static_cast<UINT>(dib.Stride()),
        static_cast<UINT>(dib.Stride()) * static_cast<UINT>(dib.Height()), const_cast<BYTE*>(dib.ScanLine(0)),
        input.Put()));
    temp.reset();  // the factory took its own copy
    TComPtr<IWICBitmapScaler> scaler;
    OleCheck(factory->CreateBitmapScaler(scaler.Put()));
    OleCheck(scaler->Initialize(input.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                WICBitmapInterpolationModeFant));
    // A 32-bit capture scales straight into place; a 24-bit one is widened on the way.
    IWICBitmapSource* output = scaler.Get();
    TComPtr<IWICFormatConverter> converter;
    if (format != GUID_WICPixelFormat32bppBGR) {
        OleCheck(factory->CreateFormatConverter(converter.Put()));
        OleCheck(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                       WICBitmapPaletteTypeCustom));
        output = converter.Get();
    }
    auto result = std::make_unique<TBitmap>();
    result->SetPixelFormat(TPixelFormat::pf32bit);
    result->SetSize(width, height);
    const UINT stride = static_cast<UINT>(result->Stride());
    OleCheck(output->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height), result->ScanLine(0)));
    return result;
}

}  // namespace tovasen
