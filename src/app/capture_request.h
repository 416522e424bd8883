#pragma once
// A request as it was made: every choice it is carried out with, taken once when it is asked
// (by a key, the tray, a script or a delay). Nothing reads a control afterwards, so a capture
// after a countdown lands where the request was made even when the folder changed meanwhile.
#include <optional>
#include <string>

#include "app/file_naming.h"
#include "base/capture_kinds.h"
#include "ocr/ocr_types.h"

namespace tovasen {

struct TRecordOptions {
    bool Audio = false;
    bool Mouse = true;
    bool Logging = false;
    bool ShowInput = false;  // clicks and shortcuts drawn where they happen
    int LimitMinutes = 0;
    std::wstring LogFolder;
};

struct TCaptureOptions {
    TCaptureMode Mode = TCaptureMode::FullScreen;
    TSaveTarget Target = TSaveTarget::Png;
    bool SoundBefore = false;
    bool SoundAfter = false;
    bool AutoCopy = false;
    bool EditFirst = false;  // every picture goes through the annotation editor first
    bool RedactSecrets = false;  // secrets the recogniser finds are covered before anything else
    bool ShowCursor = true;  // the mouse pointer in pictures
    int JpegQuality = 90;
    int WebpQuality = 90;
    std::optional<TLanguage> OcrLanguage;  // none: the engine offers no language
    NamingScheme Naming = NamingScheme::DateTime;
    std::wstring Folder;  // where files go
    TRecordOptions Recording;
};

}  // namespace tovasen
