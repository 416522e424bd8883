#include "record/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/stream_decoder.h"

namespace tovasen {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::wstring>;

// Finished lines as text, unfinished tails marked with a leading '~'.
Lines Show(const std::vector<TSplitLine>& lines) {
    Lines out;
    for (const TSplitLine& line : lines) {
        out.push_back((line.Type == TOutputType::otBeginningOfLine ? L"~" : L"") + line.Text);
    }
    return out;
}

Lines Feed(const std::vector<std::wstring>& chunks, bool finish = true) {
    TLineSplitter splitter;
    std::vector<TSplitLine> out;
    for (const std::wstring& chunk : chunks) splitter.Feed(chunk, out);
    if (finish) splitter.Finish(out);
    return Show(out);
}

Lines FinishedOnly(const Lines& lines) {
    Lines out;
    for (const std::wstring& line : lines) {
        if (line.empty() || line[0] != L'~') out.push_back(line);
    }
    return out;
}

TEST(LineSplitter, EndsLinesAtCrLfAndCrLfAndReportsEmptyOnes) {
    EXPECT_EQ((Lines{L"a", L"b"}), Feed({L"a\r\nb\n"}));
    EXPECT_EQ((Lines{L"a", L""}), Feed({L"a\r\r"}));
    EXPECT_EQ((Lines{L"a", L"", L"b"}), Feed({L"a\n\nb\r"}));
    EXPECT_EQ((Lines{L"", L"", L""}), Feed({L"\n\r\n\r"}));
    EXPECT_EQ((Lines{}), Feed({L""}));
}

TEST(LineSplitter, ACrAndAnLfInDifferentChunksEndOneLine) {
    EXPECT_EQ((Lines{L"a", L"b"}), Feed({L"a\r", L"\nb\n"}));
    EXPECT_EQ((Lines{L"a", L""}), Feed({L"a\r", L"\r", L"\n"}));
    // NULs are dropped and do not part a CR LF pair.
    EXPECT_EQ((Lines{L"ab", L"c"}), Feed({L"a\0b\r"s, L"\0\nc\0\n"s}));
    EXPECT_EQ((Lines{}), Feed({L"\0\0"s}));
}

TEST(LineSplitter, ReportsTheUnfinishedTailAfterEachChunkAndOnceMoreWhole) {
    // "abc" without a line end, then "def" CR: the tail twice, then the whole line once.
    EXPECT_EQ((Lines{L"~abc", L"abcdef"}), Feed({L"abc", L"def\r"}));
    EXPECT_EQ((Lines{L"~abc", L"~abcdef", L"abcdef"}), Feed({L"abc", L"def"}));
    EXPECT_EQ((Lines{L"~abc"}), Feed({L"abc"}, false));
    EXPECT_EQ((Lines{L"x", L"~ab", L"~abc", L"abc"}), Feed({L"x\nab", L"c"}));
}

TEST(LineSplitter, SplitsTheSameWhateverTheChunkBoundaries) {
    const std::wstring text = L"frame=1 time=00:00:01.00 \r\n\rtwo\n\nthree\r\r\nfour \x00e9\xd55c"s;
    const Lines whole = FinishedOnly(Feed({text}));
    for (std::size_t size = 1; size <= 5; ++size) {
        std::vector<std::wstring> chunks;
        for (std::size_t i = 0; i < text.size(); i += size) chunks.push_back(text.substr(i, size));
        EXPECT_EQ(whole, FinishedOnly(Feed(chunks))) << "chunk size " << size;
    }
    EXPECT_EQ((Lines{L"frame=1 time=00:00:01.00 ", L"", L"two", L"", L"three", L"", L"four \x00e9\xd55c"}), whole);
}

TEST(LineSplitter, EchoedInputFinishesThePendingLine) {
    TLineSplitter splitter;
    std::vector<TSplitLine> out;
    splitter.Feed(L"prompt> ", out);
    splitter.Echo(L"dir", out);
    splitter.Feed(L"ok\n", out);
    EXPECT_EQ((Lines{L"~prompt> ", L"prompt> dir", L"ok"}), Show(out));
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

TEST(Utf8StreamDecoder, KeepsACharacterCutBetweenReadsWhole) {
    // Hangul (3 bytes) and an emoji (4 bytes), fed whole, in pieces and byte by byte.
    const std::string text = "a\xed\x95\x9c" "b\xf0\x9f\x98\x80" "c";
    const std::wstring expected = L"a\xd55c" L"b" L"\U0001F600" L"c";
    for (std::size_t size = 1; size <= text.size(); ++size) {
        TUtf8StreamDecoder decoder;
        std::wstring got;
        for (std::size_t i = 0; i < text.size(); i += size) got += decoder.Decode(std::string_view(text).substr(i, size));
        got += decoder.Flush();
        EXPECT_EQ(expected, got) << "piece size " << size;
    }
}

TEST(Utf8StreamDecoder, MalformedAndUnfinishedBytesBecomeReplacements) {
    TUtf8StreamDecoder decoder;
    EXPECT_EQ(L"x\xfffd", decoder.Decode(Bytes({'x', 0x80})));
    EXPECT_EQ(L"", decoder.Decode(Bytes({0xed, 0x95})));  // held back
    EXPECT_EQ(L"\xfffd", decoder.Flush());               // never finished
    EXPECT_EQ(L"\xfffdy", decoder.Decode(Bytes({0xff, 'y'})));
    EXPECT_EQ(L"", decoder.Flush());
}

TEST(Utf8StreamDecoder, FindsTheIncompleteTail) {
    EXPECT_EQ(0u, IncompleteUtf8Tail(""));
    EXPECT_EQ(0u, IncompleteUtf8Tail("abc"));
    EXPECT_EQ(1u, IncompleteUtf8Tail(Bytes({'a', 0xed})));
    EXPECT_EQ(2u, IncompleteUtf8Tail(Bytes({'a', 0xed, 0x95})));
    EXPECT_EQ(0u, IncompleteUtf8Tail(Bytes({'a', 0xed, 0x95, 0x9c})));
    EXPECT_EQ(3u, IncompleteUtf8Tail(Bytes({0xf0, 0x9f, 0x98})));
    EXPECT_EQ(0u, IncompleteUtf8Tail(Bytes({0x80, 0x80, 0x80, 0x80})));  // no lead byte: nothing to wait for
}

}  // namespace
}  // namespace tovasen
