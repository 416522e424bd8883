#pragma once
// What the recogniser needs from an OCR engine. The Windows Runtime engine implements it on
// Windows; tests put a scripted engine behind it.
#include <functional>
#include <memory>

#include "ocr/ocr_core.h"
#include "ocr/ocr_types.h"

namespace tovasen {

// One started recognition.
class TOcrJob {
public:
    virtual ~TOcrJob() = default;
    // Arms the completion. done runs exactly once when the operation ends, on any thread, even
    // before Start returns; it may never run when the engine hangs. Raises when the completion
    // cannot be armed, in which case done never runs.
    virtual void Start(std::function<void(TResult)> done) = 0;
    // Asks the operation to stop; its completion then reports stCanceled.
    virtual void Cancel() noexcept = 0;
    // Cancels and releases the operation's resources; the completion may still arrive.
    virtual void Close() noexcept = 0;
};

// An engine bound to one language.
class TOcrEngine {
public:
    virtual ~TOcrEngine() = default;
    // Creates a BGRA bitmap of width x height, lets fill write its pixels, and starts nothing yet.
    virtual std::unique_ptr<TOcrJob> Prepare(int width, int height,
                                             const std::function<void(const TOcrPlane&)>& fill) = 0;
};

class TOcrBackend {
public:
    virtual ~TOcrBackend() = default;
    // In the engine's order. Raises when the platform has no OCR.
    virtual TLanguages AvailableLanguages() = 0;
    virtual int MaxImageDimension() = 0;
    // The engine for the available language equal to language in all four names; null when
    // there is none or the platform gives none for it.
    virtual std::unique_ptr<TOcrEngine> CreateEngine(const TLanguage& language) = 0;
};

}  // namespace tovasen
