#include "editor/editor_settings.h"

#include <array>
#include <string>

#include "base/config.h"

namespace tovasen {
namespace {

// Registry names, in the order of TTool.
constexpr std::array<const wchar_t*, 12> kToolNames = {L"select", L"rectangle", L"ellipse", L"arrow",
                                                       L"line", L"pen", L"highlighter", L"text",
                                                       L"step", L"pixelate", L"blackout", L"crop"};
constexpr wchar_t kLastTool[] = L"editor_tool";
// The main window's quality lists: their stored index and the entries they hold.
constexpr wchar_t kJpegQuality[] = L"jpeg_quality";
constexpr wchar_t kWebPQuality[] = L"webp_quality";
constexpr std::array<int, 5> kQualities = {100, 90, 80, 70, 60};

std::wstring Name(TTool tool, const wchar_t* what) {
    return std::wstring(L"editor_") + kToolNames[static_cast<std::size_t>(tool)] + L"_" + what;
}

int Quality(const wchar_t* name) {
    const int index = TConfig().ReadInteger(name, 1);
    return index >= 0 && index < static_cast<int>(kQualities.size()) ? kQualities[static_cast<std::size_t>(index)] : 90;
}

}  // namespace

TToolStyle LoadToolStyle(TTool tool) {
    TToolStyle style = DefaultStyle(tool);
    const TConfig config;
    const int color = config.ReadInteger(Name(tool, L"color"), static_cast<int>(style.Color));
    if (color >= 0 && color <= 0xFFFFFF) style.Color = static_cast<std::uint32_t>(color);
    const TShapeKind kind = ToolInfo(tool).Shape.value_or(TShapeKind::Line);
    const int size = config.ReadInteger(Name(tool, L"size"), style.Size);
    if (size == ClampSize(kind, size)) style.Size = size;
    return style;
}

void SaveToolStyle(TTool tool, const TToolStyle& style) {
    TConfig config;
    config.WriteInteger(Name(tool, L"color"), static_cast<int>(style.Color & 0xFFFFFF));
    config.WriteInteger(Name(tool, L"size"), style.Size);
}

TTool LoadLastTool() {
    const int index = TConfig().ReadInteger(kLastTool, static_cast<int>(TTool::Rectangle));
    return index >= 0 && index < static_cast<int>(kToolNames.size()) ? static_cast<TTool>(index) : TTool::Rectangle;
}

void SaveLastTool(TTool tool) { TConfig().WriteInteger(kLastTool, static_cast<int>(tool)); }

int SavedJpegQuality() { return Quality(kJpegQuality); }
int SavedWebPQuality() { return Quality(kWebPQuality); }

}  // namespace tovasen
