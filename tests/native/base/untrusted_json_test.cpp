#include "base/untrusted_json.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <functional>
#include <string>

#include "base/utf_convert.h"
#include "small_stack.h"

namespace tovasen {
namespace {

std::string Nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

std::string RefusalOf(const std::string& text, const TJsonLimits& limits) {
    try {
        ReadUntrustedJson(text, limits);
    } catch (const EUntrustedJson& e) {
        return WideToUtf8(e.Message());
    }
    return "";
}

// Each limit at its edge: the text at the limit is read, one more is refused, and the refusal
// names the limit that stopped it (so the right check ran, not a later one by chance).
TEST(UntrustedJson, EachLimitHoldsAtItsEdge) {
    const TJsonLimits limits{100, 4, 10, 8};
    struct Row {
        const char* label;
        std::string atLimit, overLimit, named;
    } rows[] = {
        {"depth", Nested(4), Nested(5), "nested deeper than 4"},
        {"values", "[1,2,3,4,5,6,7,8,9]", "[1,2,3,4,5,6,7,8,9,0]", "more than 10 values"},
        {"keys count", R"({"a":1,"b":2,"c":3,"d":4})", R"({"a":1,"b":2,"c":3,"d":4,"e":5})", "more than 10 values"},
        {"string", R"(["12345678"])", R"(["123456789"])", "a string longer than 8 bytes"},
        {"key", R"({"12345678":0})", R"({"123456789":0})", "a string longer than 8 bytes"},
        {"bytes", "[" + std::string(98, ' ') + "]", "[" + std::string(99, ' ') + "]", "longer than 100 bytes"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ("", RefusalOf(row.atLimit, limits)) << row.label;
        EXPECT_NE(std::string::npos, RefusalOf(row.overLimit, limits).find(row.named))
            << row.label << ": " << RefusalOf(row.overLimit, limits);
    }
    EXPECT_NE("", RefusalOf("[1,", limits)) << "a broken text is the same error";
    EXPECT_NE("", RefusalOf("", limits));
}

// The user-interface thread has 2 MiB of stack: a reader that recursed once per level, or a
// tree copied level by level, would overflow there long before 300,000 levels.
TEST(UntrustedJson, DeepTextsAreRefusedOnTheUserInterfaceThreadsStack) {
    const std::string text = std::string(300000, '[') + std::string(300000, ']');
    std::string refusal;
    ASSERT_TRUE(test::RunOnUserInterfaceStack([&] { refusal = RefusalOf(text, TJsonLimits{1u << 20, 64, 1u << 20, 1024}); }));
    EXPECT_NE(std::string::npos, refusal.find("nested deeper than 64")) << refusal;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// 64 MiB of empty objects would be gigabytes as a tree; the value limit stops the reader after
// its first few, so the peak hardly moves.
TEST(UntrustedJson, AHugeCountIsRefusedWithinAMemoryCeiling) {
    std::string text = "[";
    text.reserve(64u << 20);
    while (text.size() < (64u << 20) - 4) text += "{},";
    text += "{}]";
    const long before = PeakKilobytes();
    const std::string refusal = RefusalOf(text, TJsonLimits{64u << 20, 64, 100000, 1024});
    const long grown = PeakKilobytes() - before;
    EXPECT_NE(std::string::npos, refusal.find("more than 100000 values")) << refusal;
    EXPECT_LT(grown, 64 * 1024) << "kilobytes the refused reading added to the peak";
}

TEST(UntrustedJson, AccessorsNameWhatIsWrong) {
    const nlohmann::json tree = ReadUntrustedJson(R"({"n":-3,"big":18446744073709551615,"s":"x","a":[1]})", {});
    EXPECT_EQ(-3, IntegerIn(Member(tree, "n"), "n", -5, 5));
    EXPECT_EQ("x", StringOf(Member(tree, "s"), "s"));
    EXPECT_EQ(1u, ArrayOf(Member(tree, "a"), "a").size());
    EXPECT_EQ(nullptr, OptionalMember(tree, "none"));
    const std::vector<std::pair<std::string, std::function<void()>>> wrong = {
        {"\"none\" is missing", [&] { Member(tree, "none"); }},
        {"n is out of range", [&] { IntegerIn(Member(tree, "n"), "n", 0, 5); }},
        {"big is out of range", [&] { IntegerIn(Member(tree, "big"), "big", 0, 1000); }},
        {"s is not a whole number", [&] { IntegerIn(Member(tree, "s"), "s", 0, 5); }},
        {"a is not a string", [&] { StringOf(Member(tree, "a"), "a"); }},
        {"s is not a list", [&] { ArrayOf(Member(tree, "s"), "s"); }},
        {"no object", [&] { Member(Member(tree, "a"), "x"); }},
    };
    for (const auto& [named, read] : wrong) {
        try {
            read();
            ADD_FAILURE() << named << ": nothing was raised";
        } catch (const EUntrustedJson& e) {
            EXPECT_NE(std::string::npos, WideToUtf8(e.Message()).find(named)) << WideToUtf8(e.Message());
        }
    }
}

}  // namespace
}  // namespace tovasen
