#include "editor/editor_tools.h"

#include <algorithm>

namespace tovasen {
namespace {

const std::vector<int> kStrokeSizes = {1, 2, 3, 5, 8, 12, 16, 24};
const std::vector<int> kFontSizes = {10, 12, 14, 16, 20, 24, 32, 40, 48, 64, 96};

}  // namespace

const std::vector<int>& ToolSizes(TTool tool) { return tool == TTool::Text ? kFontSizes : kStrokeSizes; }

const std::array<TToolInfo, 12>& EditorTools() {
    static const std::array<TToolInfo, 12> tools = {{
        {TTool::Select, L'V', L"선택/이동", std::nullopt},
        {TTool::Rectangle, L'R', L"사각형", TShapeKind::Rectangle},
        {TTool::Ellipse, L'E', L"타원", TShapeKind::Ellipse},
        {TTool::Arrow, L'A', L"화살표", TShapeKind::Arrow},
        {TTool::Line, L'L', L"직선", TShapeKind::Line},
        {TTool::Pen, L'P', L"펜", TShapeKind::Pen},
        {TTool::Highlighter, L'H', L"형광펜", TShapeKind::Highlighter},
        {TTool::Text, L'T', L"텍스트", TShapeKind::Text},
        {TTool::Step, L'N', L"번호", TShapeKind::Step},
        {TTool::Pixelate, L'X', L"모자이크", TShapeKind::Pixelate},
        {TTool::Blackout, L'B', L"가리기", TShapeKind::Blackout},
        {TTool::Crop, L'C', L"자르기", std::nullopt},
    }};
    return tools;
}

const TToolInfo& ToolInfo(TTool tool) { return EditorTools()[static_cast<std::size_t>(tool)]; }

std::optional<TTool> ToolForKey(wchar_t key) {
    if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
    for (const TToolInfo& info : EditorTools()) {
        if (info.Key == key) return info.Tool;
    }
    return std::nullopt;
}

TToolStyle DefaultStyle(TTool tool) {
    TToolStyle style;
    if (tool == TTool::Text) style.Size = 20;  // 3 px letters could not be read
    if (tool == TTool::Blackout) style.Color = 0x000000;
    return style;
}

bool ToolHasColor(TTool tool) {
    return tool != TTool::Select && tool != TTool::Crop && tool != TTool::Pixelate && tool != TTool::Blackout;
}

bool ToolHasSize(TTool tool) { return tool != TTool::Select && tool != TTool::Crop && tool != TTool::Blackout; }

int BiggerSize(TTool tool, int size) {
    const std::vector<int>& sizes = ToolSizes(tool);
    const auto next = std::upper_bound(sizes.begin(), sizes.end(), size);
    return next == sizes.end() ? sizes.back() : *next;
}

int SmallerSize(TTool tool, int size) {
    const std::vector<int>& sizes = ToolSizes(tool);
    auto below = std::lower_bound(sizes.begin(), sizes.end(), size);
    return below == sizes.begin() ? sizes.front() : *std::prev(below);
}

}  // namespace tovasen
