#include "editor/secret_search.h"

#include "base/config.h"
#include "base/errors.h"
#include "editor/picture_bitmap.h"
#include "ocr/ocr_core.h"
#include "ocr/rt_ocr.h"
#include "redact/redact_plan.h"

namespace tovasen {
namespace {

// The main window's choice of recognition language: an index into the engine's languages.
constexpr wchar_t kOcrLanguage[] = L"language_ocr";

TLanguage ChosenLanguage(TRtOcr& ocr) {
    const TLanguages languages = ocr.AvailableLanguages();
    if (languages.empty()) throw ERtOcrError(L"Language not available");
    const int chosen = TConfig().ReadInteger(kOcrLanguage, 0);
    return languages[chosen >= 0 && chosen < static_cast<int>(languages.size()) ? static_cast<std::size_t>(chosen) : 0];
}

std::vector<TAnnotation> Blackouts(const TRedactPlan& plan, const TOcrSize& read, int width, int height) {
    std::vector<TAnnotation> blackouts;
    for (const TSecretBox& secret : plan.Boxes) {
        const TCoverRect r = CoverRect(secret.Box, static_cast<double>(read.Width) / width,
                                       static_cast<double>(read.Height) / height, width, height);
        if (r.Empty()) continue;
        TAnnotation a;
        a.Kind = TShapeKind::Blackout;
        a.Color = 0x000000;
        a.Points = {{r.Left, r.Top}, {r.Right - 1, r.Bottom - 1}};
        blackouts.push_back(std::move(a));
    }
    return blackouts;
}

}  // namespace

TSecretSearch::TSecretSearch() = default;
TSecretSearch::~TSecretSearch() = default;

bool TSecretSearch::Busy() const noexcept { return FOcr && FOcr->Busy(); }

void TSecretSearch::Start(const TPixelBuffer& picture, TFound found, TFailed failed) {
    if (!FOcr) FOcr = std::make_unique<TRtOcr>(nullptr, L"RtOcrSecrets");
    const TLanguage language = ChosenLanguage(*FOcr);
    // Read three times as large, as a capture's text is, within what the engine takes.
    const TOcrSize read = EnlargedSize(picture.Width(), picture.Height(), FOcr->MaxImageDimension());
    FOcr->TakePicture(nullptr);
    FOcr->TakePicture(ScaleForOcr(*BitmapOfPixels(picture), read.Width, read.Height));
    const int width = picture.Width(), height = picture.Height();
    FOcr->Recognize(
        language,
        [this, read, width, height, found = std::move(found), failed = std::move(failed)](const TResult& result) {
            FOcr->TakePicture(nullptr);
            if (result.Status != TStatus::stCompleted) return failed(L"OCR failed.");
            found(Blackouts(PlanRedaction(result.Lines), read, width, height));
        },
        0, 0, 0, 0);
}

}  // namespace tovasen
