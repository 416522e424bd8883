#include "ui/fonts.h"

namespace tovasen {

UniqueFont NewFont(int pixelHeight, int weight, const wchar_t* face, BYTE quality) {
    LOGFONTW font{};
    font.lfHeight = -pixelHeight;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = quality;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

UniqueFont NewFontLike(HFONT base, int weight, bool underline) {
    LOGFONTW font{};
    GetObjectW(base, sizeof font, &font);
    font.lfWeight = weight;
    font.lfUnderline = underline ? TRUE : FALSE;
    return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace tovasen
