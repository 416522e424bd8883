// The README as users read it: "tovasen-cmd --help" and its scripting section describe the same
// commands, options and exit codes, and every picture it shows is in docs/ and small.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "app/tovasen_cmd_help.h"
#include "base/utf_convert.h"

namespace tovasen {
namespace {

std::string Readme() {
    std::ifstream file(TOVASEN_SOURCE_DIR "/README.md", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string ScriptingSection() {
    const std::string readme = Readme();
    const std::size_t start = readme.find("## Scripting a running Tovasen");
    if (start == std::string::npos) return {};
    return readme.substr(start, readme.find("\n## ", start + 1) - start);
}

TEST(Readme, SaysWhatTheHelpOfTovasenCmdSays) {
    const std::string help = WideToUtf8(kTovasenCmdHelp);
    const std::string readme = ScriptingSection();
    ASSERT_FALSE(readme.empty()) << "the README has no scripting section";

    int commands = 0, options = 0, codes = 0;
    // A command: two spaces, then its words (and its arguments) as a script types them.
    const std::regex command(R"(\n  ([a-z]+(?: (?:pause|resume|FILE))?)(?: \[[^\]]*\])*  )");
    for (std::sregex_iterator it(help.begin(), help.end(), command), end; it != end; ++it) {
        const std::string words = (*it)[1];
        EXPECT_NE(std::string::npos, readme.find("tovasen-cmd " + words)) << words;
        ++commands;
    }
    const std::regex option(R"(--[a-z0-9]+)");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
        EXPECT_NE(std::string::npos, readme.find(it->str())) << it->str();
        ++options;
    }
    // Exit codes: the number and the first word of what it means.
    const std::regex code(R"(\n  ([0-9]+) +([A-Za-z]+))");
    const std::size_t exitCodes = help.find("Exit codes:");
    ASSERT_NE(std::string::npos, exitCodes);
    const std::string codeLines = help.substr(exitCodes);
    for (std::sregex_iterator it(codeLines.begin(), codeLines.end(), code), end; it != end; ++it) {
        const std::string said = (*it)[1].str() + " " + (*it)[2].str();
        EXPECT_NE(std::string::npos, readme.find(said)) << said;
        ++codes;
    }
    EXPECT_EQ(6, commands) << "capture, edit, history, record pause, record resume and about";
    EXPECT_LE(6, options);
    EXPECT_EQ(5, codes);
}

TEST(Readme, EveryPictureItShowsIsInDocsAndSmall) {
    const std::string readme = Readme();
    const std::regex picture(R"(!\[[^\]]+\]\((docs/[^)]+\.png)\))");
    int pictures = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), picture), end; it != end; ++it) {
        const std::filesystem::path path = std::filesystem::path(TOVASEN_SOURCE_DIR) / (*it)[1].str();
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_LT(std::filesystem::file_size(path), 100u * 1024) << path;
        ++pictures;
    }
    EXPECT_LE(8, pictures);
}

}  // namespace
}  // namespace tovasen
