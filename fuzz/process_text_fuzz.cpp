// Feeds arbitrary bytes to the readers of child-process output and of server replies: the
// UTF-8 stream decoder and the line splitter (in pieces of every size the input asks for), and
// the text helpers ExtractBetween and JsonUnescape. None may crash or read out of bounds, and
// the splitter must find the same finished lines however the output was cut.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_helpers.h"
#include "base/utf_convert.h"
#include "record/line_splitter.h"
#include "record/stream_decoder.h"

namespace {

// Each piece's partial lines are dropped as the program drops them once handled: a long line
// fed in small pieces is reported whole after every piece, which kept together would be
// quadratic in the line's length.
std::vector<std::wstring> FinishedLines(const std::wstring& text, std::size_t piece) {
    tovasen::TLineSplitter splitter;
    std::vector<tovasen::TSplitLine> out;
    std::vector<std::wstring> lines;
    auto keepEntire = [&] {
        for (const auto& line : out) {
            if (line.Type == tovasen::TOutputType::otEntireLine) lines.push_back(line.Text);
        }
        out.clear();
    };
    for (std::size_t i = 0; i < text.size(); i += piece) {
        splitter.Feed(std::wstring_view(text).substr(i, piece), out);
        keepEntire();
    }
    splitter.Finish(out);
    keepEntire();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t piece = data[0] % 16 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // Decoding in pieces gives what decoding whole gives.
    tovasen::TUtf8StreamDecoder decoder;
    std::wstring pieces;
    for (std::size_t i = 0; i < bytes.size(); i += piece) pieces += decoder.Decode(bytes.substr(i, piece));
    pieces += decoder.Flush();
    const std::wstring text = tovasen::Utf8ToWide(bytes);
    if (pieces != text) std::abort();

    // At most 64 pieces a text: the splitter reports an unfinished line whole after every piece,
    // so smaller pieces of a long line would cost the fuzzer time quadratic in its length.
    const std::size_t linePiece = std::max(piece, text.size() / 64 + 1);
    if (FinishedLines(text, text.size() + 1) != FinishedLines(text, linePiece)) std::abort();

    // The helpers, with markers taken from the input itself.
    const std::size_t cut = text.size() / 3;
    const std::wstring start = text.substr(0, cut % 4);
    const std::wstring ends[] = {L"\"", L"'", L"\"'", L" ", text.substr(cut, cut % 3)};
    for (const std::wstring& end : ends) {
        const std::wstring found = tovasen::ExtractBetween(text, start, end);
        if (found.size() > text.size()) std::abort();
    }
    try {
        tovasen::JsonUnescape(text);
    } catch (const tovasen::EJsonEscape&) {
    }
    return 0;
}
