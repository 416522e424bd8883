#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tovasen {

// Whether a reported line is finished or the still unfinished text at the end of what the child
// has written so far.
enum class TOutputType { otEntireLine, otBeginningOfLine };

struct TSplitLine {
    std::wstring Text;
    TOutputType Type;
};

// Cuts a child's decoded output into lines. CR, LF and CR LF each end one line, also when the CR
// and the LF arrive in different chunks; NUL characters are dropped. After each chunk that leaves
// a line unfinished, its text so far is reported as a beginning of line; it is reported once
// more, whole, when its end arrives (or at Finish).
class TLineSplitter {
public:
    // Appends the lines the chunk finishes, then the unfinished tail when there is one.
    void Feed(std::wstring_view chunk, std::vector<TSplitLine>& out);
    // The end of the output: the unfinished line, if any, becomes a finished one.
    void Finish(std::vector<TSplitLine>& out);
    // Text that is to show as a finished line of its own, after whatever is pending (input that
    // is echoed into the output).
    void Echo(std::wstring_view text, std::vector<TSplitLine>& out);

private:
    std::wstring FPending;
    bool FAfterCR = false;  // the last character seen was a CR: an LF next belongs to it
};

}  // namespace tovasen
