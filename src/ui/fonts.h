#pragma once
#include <windows.h>

#include "base/handles.h"

namespace tovasen {

// The interface's font face.
inline constexpr wchar_t kUiFontFace[] = L"Segoe UI";

// A font of pixelHeight pixels (the character height, as a negative LOGFONT height gives).
UniqueFont NewFont(int pixelHeight, int weight = FW_NORMAL, const wchar_t* face = kUiFontFace,
                   BYTE quality = CLEARTYPE_QUALITY);
// The same font as base with another weight, underlined or not.
UniqueFont NewFontLike(HFONT base, int weight, bool underline = false);

}  // namespace tovasen
