// Who may ask for what, and what reaches a script's reply window: the decisions that the Win32
// side feeds with integrity levels and paths, and the parts a long reply travels in.
#include "app/command_trust.h"
#include "app/reply_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovasen {
namespace {

TEST(CommandTrust, BelowOurLevelNothingThatReadsOrOpens) {
    const RemoteCommand all[] = {RemoteCommand::About, RemoteCommand::Capture, RemoteCommand::Edit,
                                 RemoteCommand::History, RemoteCommand::RecordPause, RemoteCommand::RecordResume,
                                 RemoteCommand::None};
    struct Case {
        std::uint32_t sender, own;
        bool everything;
    } cases[] = {
        {kMediumIntegrity, kMediumIntegrity, true},  {kHighIntegrity, kMediumIntegrity, true},
        {kLowIntegrity, kMediumIntegrity, false},    {kUntrustedIntegrity, kMediumIntegrity, false},
        {kMediumIntegrity, kHighIntegrity, false},   {kLowIntegrity, kLowIntegrity, true},
    };
    for (const Case& c : cases) {
        for (const RemoteCommand command : all) {
            const bool expected = c.everything || (command != RemoteCommand::Edit && command != RemoteCommand::History &&
                                                   command != RemoteCommand::None);
            EXPECT_EQ(expected, SenderMayRun(command, c.sender, c.own))
                << "sender " << c.sender << ", own " << c.own << ", command " << static_cast<int>(command);
        }
        EXPECT_EQ(c.everything, WindowMayReadReplies(c.sender, c.own)) << "sender " << c.sender << ", own " << c.own;
    }
}

TEST(CommandTrust, ScriptsOpenOnlyLocalDrivePaths) {
    const std::pair<const wchar_t*, bool> paths[] = {
        {L"C:\\Users\\a\\Pictures\\T-001.png", true},
        {L"d:/shots/a.png", true},
        {L"\\\\?\\C:\\very\\long\\a.png", true},
        {L"C:\\a.png:stream", true},
        {L"C:\\console.png", true},
        {L"\\\\server\\share\\a.png", false},
        {L"//server/share/a.png", false},
        {L"\\\\?\\UNC\\server\\share\\a.png", false},
        {L"\\\\.\\PhysicalDrive0", false},
        {L"\\\\.\\C:", false},
        {L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share\\a.png", false},
        {L"\\??\\C:\\a.png", false},
        {L"\\a.png", false},
        {L"a.png", false},
        {L"C:a.png", false},
        {L"C:\\", false},
        {L"C:\\dir\\NUL", false},
        {L"C:\\dir\\con.png", false},
        {L"C:\\dir\\COM1.txt", false},
        {L"C:\\dir\\lpt9 ", false},
        {L"", false},
    };
    for (const auto& [path, local] : paths) {
        EXPECT_EQ(local, IsLocalFilePath(path)) << std::string(path, path + std::wcslen(path));
    }
}

// A history line of tabs, a Korean title and a path, as the reply carries it.
std::wstring Lines(int count) {
    std::wstring text;
    for (int i = 0; i < count; ++i) {
        text += L"2026-12-09T10:00:00Z\tpng\tC:\\\uCEA1\uCC98\\T-" + std::to_wstring(i) + L".png\t\"title\" \U0001F600\n";
    }
    return text;
}

TEST(ReplyParts, ALongReplyGoesInPartsThatEachFitAMessageAndJoinAsSent) {
    for (const int lines : {0, 10, 400, 5000}) {
        const RemoteReply reply{true, Lines(lines), L"0123456789abcdef0123456789abcdef", L"a notice"};
        const std::vector<RemoteReply> parts = ReplyParts(reply);
        ASSERT_FALSE(parts.empty());
        if (ReplyMessageBytes(reply) <= kMaxCommandBytes) {
            EXPECT_EQ(1u, parts.size()) << lines << " lines";
        } else {
            EXPECT_LT(1u, parts.size()) << lines << " lines";
        }
        TReplyAssembler assembler(64u << 20);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            EXPECT_LE(ReplyMessageBytes(parts[i]), kMaxCommandBytes) << lines << " lines, part " << i;
            const std::optional<RemoteReply> read = ParseRemoteReply(RemoteReplyJson(parts[i]));
            ASSERT_TRUE(read) << lines << " lines, part " << i;
            EXPECT_FALSE(assembler.Whole()) << "whole before the last part";
            const unsigned kind = parts.size() == 1 ? kReplyData
                                  : i + 1 == parts.size() ? kReplyLastPartData
                                                          : kReplyPartData;
            EXPECT_TRUE(assembler.Take(kind, *read));
            if (i + 1 < parts.size() && !parts[i].text.empty()) {
                EXPECT_EQ(L'\n', parts[i].text.back()) << "a part ends with a whole line";
            }
        }
        ASSERT_TRUE(assembler.Whole()) << lines << " lines";
        EXPECT_TRUE(reply.text == assembler.Whole()->text) << lines << " lines: the parts do not join to the text";
        EXPECT_EQ(reply.notice, assembler.Whole()->notice);
        EXPECT_TRUE(assembler.Whole()->ok);
    }
}

TEST(ReplyParts, PiecesNeverSplitACharacterAndTheAssemblerKeepsItsBounds) {
    // No line breaks at all, and characters of two units: each cut falls between characters.
    std::wstring emoji;
    for (int i = 0; i < 40000; ++i) emoji += L"\U0001F600";
    const std::vector<RemoteReply> parts = ReplyParts({true, emoji, L"t", {}});
    ASSERT_LT(1u, parts.size());
    std::wstring joined;
    for (const RemoteReply& part : parts) {
        if constexpr (sizeof(wchar_t) == 2) EXPECT_EQ(0u, part.text.size() % 2) << "a surrogate pair was cut";
        joined += part.text;
    }
    EXPECT_TRUE(emoji == joined);

    TReplyAssembler small(100);
    EXPECT_FALSE(small.Take(7, {true, L"x", L"t", {}})) << "no reply kind";
    EXPECT_TRUE(small.Take(kReplyPartData, {true, std::wstring(40, L'a'), L"t", {}}));
    EXPECT_TRUE(small.Take(kReplyPartData, {true, std::wstring(40, L'b'), L"t", {}}));
    ASSERT_TRUE(small.Whole()) << "past its bound it ends the reply";
    EXPECT_FALSE(small.Whole()->ok);
}

}  // namespace
}  // namespace tovasen
