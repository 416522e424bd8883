#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "editor/annotation.h"

namespace tovasen {

enum class TTool : int { Select, Rectangle, Ellipse, Arrow, Line, Pen, Highlighter, Text, Step, Pixelate, Blackout, Crop };

struct TToolInfo {
    TTool Tool;
    wchar_t Key;          // the letter that picks it
    const wchar_t* Name;  // Korean; shown through Translate
    // The kind of object it draws; none for select and crop.
    std::optional<TShapeKind> Shape;
};

// The tools in toolbar order.
const std::array<TToolInfo, 12>& EditorTools();
const TToolInfo& ToolInfo(TTool tool);
// The tool a letter key picks (either case), if any.
std::optional<TTool> ToolForKey(wchar_t key);

// Colour (0xRRGGBB) and size a tool draws with: a stroke width, or for text a font size.
struct TToolStyle {
    std::uint32_t Color = 0xFF0000;
    int Size = 3;
    friend bool operator==(const TToolStyle&, const TToolStyle&) = default;
};

TToolStyle DefaultStyle(TTool tool);
// Whether colour and size mean anything for the tool (a blackout is always black, a crop has neither).
bool ToolHasColor(TTool tool);
bool ToolHasSize(TTool tool);
// The sizes offered for a tool, smallest first; Bigger/Smaller step through them.
const std::vector<int>& ToolSizes(TTool tool);
int BiggerSize(TTool tool, int size);
int SmallerSize(TTool tool, int size);

}  // namespace tovasen
