#include "record/line_splitter.h"

namespace tovasen {

void TLineSplitter::Feed(std::wstring_view chunk, std::vector<TSplitLine>& out) {
    std::size_t runStart = 0;
    // Plain characters are appended in runs: a flood of output is mostly text between breaks.
    auto flushRun = [&](std::size_t end) {
        if (end > runStart) FPending.append(chunk.substr(runStart, end - runStart));
    };
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const wchar_t c = chunk[i];
        if (c != L'\r' && c != L'\n' && c != L'\0') {
            FAfterCR = false;
            continue;
        }
        flushRun(i);
        runStart = i + 1;
        if (c == L'\0') continue;  // a NUL neither ends a line nor breaks a CR LF pair
        if (c == L'\n' && FAfterCR) {
            FAfterCR = false;
            continue;
        }
        FAfterCR = c == L'\r';
        out.push_back({std::move(FPending), TOutputType::otEntireLine});
        FPending.clear();
    }
    flushRun(chunk.size());
    if (!FPending.empty()) out.push_back({FPending, TOutputType::otBeginningOfLine});
}

void TLineSplitter::Finish(std::vector<TSplitLine>& out) {
    if (!FPending.empty()) out.push_back({std::move(FPending), TOutputType::otEntireLine});
    FPending.clear();
    FAfterCR = false;
}

void TLineSplitter::Echo(std::wstring_view text, std::vector<TSplitLine>& out) {
    FPending.append(text);
    out.push_back({std::move(FPending), TOutputType::otEntireLine});
    FPending.clear();
}

}  // namespace tovasen
