#pragma once
#include <memory>

#include "ocr/ocr_backend.h"

namespace tovasen {

// The operating system's OCR engine (Windows.Media.Ocr) behind the recogniser's engine interface.
// Every call raises EWinRtError where the runtime or the engine is missing.
std::shared_ptr<TOcrBackend> CreateWinRtOcrBackend();

}  // namespace tovasen
