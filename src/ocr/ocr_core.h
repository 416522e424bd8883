#pragma once
// The parts of text recognition that need no platform: which language an engine means, which
// part of the picture is recognised, how its pixels reach the engine's bitmap, what a finished
// operation delivers, and the one-at-a-time rule.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ocr/ocr_types.h"
#include "image/pixel_view.h"

namespace tovasen {

// The index of the first available language equal to wanted in all four names (case-sensitive).
std::optional<std::size_t> FindLanguage(const TLanguages& available, const TLanguage& wanted);

// A part of the picture: left and top included, right and bottom excluded.
struct TOcrRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const noexcept { return Right - Left; }
    int Height() const noexcept { return Bottom - Top; }
};

// All four zero means the whole picture. Otherwise raises ERtOcrError "Incorrect Left value",
// "... Top ...", "... Right ...", "... Bottom ..." for the first side that is out of range; an
// empty rectangle (right not beyond left, bottom not below top) counts as a bad right or bottom.
TOcrRect ResolveRectangle(int pictureWidth, int pictureHeight, int left, int top, int right, int bottom);

// The engine's bitmap memory as the platform hands it out: start is the offset of the first
// row, stride the distance between rows, capacity the bytes behind data.
struct TOcrPlane {
    std::uint8_t* Data = nullptr;
    std::size_t Capacity = 0;
    std::ptrdiff_t Start = 0;
    std::ptrdiff_t Stride = 0;
    int Width = 0;
    int Height = 0;
};

// Copies rect of picture (24- or 32-bit) into plane as B, G, R, A with A opaque. Checks first
// that the plane has the rectangle's size, that a row fits in the stride and that every row
// lies inside the capacity; raises ERtOcrError instead of writing past the buffer.
void PackPixels(const PixelView& picture, const TOcrRect& rect, const TOcrPlane& plane);

// The platform's status of a finished operation: 1 completed, 2 cancelled, 3 error.
TStatus StatusOf(int platformStatus) noexcept;

// The size a capture is enlarged to before recognition: three times as large, unless that
// passes the engine's largest dimension; then as large as the engine accepts. maxDimension 0
// (unknown) keeps the factor 3. Never below one pixel.
struct TOcrSize {
    int Width = 0, Height = 0;
};
TOcrSize EnlargedSize(int width, int height, int maxDimension) noexcept;

// The recognised lines, each followed by CR LF.
std::wstring JoinLines(const TLines& lines);

// At most one recognition at a time. Begin hands out a ticket; only the completion holding the
// current ticket ends the busy state, so a late completion of an abandoned operation cannot end
// a newer one.
class TRecognitionGate {
public:
    // Raises ERtOcrError "Recognition already started" while busy.
    std::uint64_t Begin();
    // Undoes Begin when the operation could not be started.
    void Rollback(std::uint64_t ticket) noexcept;
    // True (and idle again) when ticket is the running operation's; false for anything stale.
    bool Complete(std::uint64_t ticket) noexcept;
    bool Busy() const noexcept { return FBusy; }

private:
    bool FBusy = false;
    std::uint64_t FCurrent = 0;
};

}  // namespace tovasen
