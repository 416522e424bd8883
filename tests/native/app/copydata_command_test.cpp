#include "app/copydata_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "small_stack.h"

namespace tovasen {
namespace {

TEST(RemoteCommand, KnowsItsCommandsExactly) {
    EXPECT_EQ(RemoteCommand::Capture, ParseRemoteCommand(L"{\"command\":\"capture\"}"));
    EXPECT_EQ(RemoteCommand::RecordPause, ParseRemoteCommand(L"{\"command\":\"record_pause\"}"));
    EXPECT_EQ(RemoteCommand::RecordResume, ParseRemoteCommand(L"{\"command\":\"record_resume\"}"));
    EXPECT_EQ(RemoteCommand::Edit, ParseRemoteCommand(L"{\"command\":\"edit\"}"));
    EXPECT_EQ(RemoteCommand::History, ParseRemoteCommand(L"{\"command\":\"history\"}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"record pause\"}"));
    EXPECT_EQ(RemoteCommand::About, ParseRemoteCommand(L" { \"other\": 1, \"command\" : \"about\" } "));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"CAPTURE\"}")) << "case-sensitive";
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"record\"}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"Command\":\"capture\"}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":7}"));
}

// What tovasen-cmd sends for each command reads back as it was meant: the command, and the
// delay, the file or the limit that goes with it (a Korean path included).
TEST(RemoteRequest, EveryCommandReadsBackWithItsArguments) {
    RemoteRequest capture{RemoteCommand::Capture, 42, L"t", 5, {}, {}, {}};
    RemoteRequest inMode{RemoteCommand::Capture, 42, L"t", 5, {}, {}, L"window-control"};
    RemoteRequest edit{RemoteCommand::Edit, 7, L"u", {}, L"C:\\\uCEA1\uCC98\\a \"b\".png", {}, {}};
    RemoteRequest history{RemoteCommand::History, 9, L"v", {}, {}, 3, {}};
    RemoteRequest pause{RemoteCommand::RecordPause, 1, {}, {}, {}, {}, {}};
    RemoteRequest resume{RemoteCommand::RecordResume, 1, {}, {}, {}, {}, {}};
    for (const RemoteRequest& sent : {capture, inMode, edit, history, pause, resume}) {
        const RemoteRequest read = ParseRemoteRequest(RemoteRequestJson(sent));
        EXPECT_EQ(sent.command, read.command);
        EXPECT_EQ(sent.replyTo, read.replyTo);
        EXPECT_EQ(sent.token, read.token);
        EXPECT_EQ(sent.delay, read.delay);
        EXPECT_EQ(sent.file, read.file);
        EXPECT_EQ(sent.limit, read.limit);
        EXPECT_EQ(sent.mode, read.mode);
    }
    // Arguments of the wrong kind are no arguments.
    const RemoteRequest odd = ParseRemoteRequest(L"{\"command\":\"capture\",\"delay\":\"5\",\"limit\":-1,\"file\":3}");
    EXPECT_EQ(RemoteCommand::Capture, odd.command);
    EXPECT_FALSE(odd.delay);
    EXPECT_FALSE(odd.limit);
    EXPECT_TRUE(odd.file.empty());
    EXPECT_FALSE(odd.mode) << "no mode: the chosen one";
    // Except a mode: one of the wrong kind names no mode at all, never the chosen one.
    EXPECT_EQ(std::wstring(), ParseRemoteRequest(L"{\"command\":\"capture\",\"mode\":1}").mode);
}

TEST(RemoteCommand, AnythingButAnObjectIsNothing) {
    for (const wchar_t* text : {L"[\"capture\"]", L"42", L"\"capture\"", L"null", L"", L"{\"command\":\"capture\"",
                                L"{command:capture}", L"\xFFFF\xD800"}) {
        EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(text)) << "input #" << std::wstring(text).size();
    }
    std::wstring huge = L"{\"command\":\"capture\",\"pad\":\"" + std::wstring(4'000'000, L'x') + L"\"}";
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(huge)) << "longer than any command the boundary takes";
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(std::wstring(100000, L'[')));
}

std::vector<unsigned char> Utf16Bytes(const std::u16string& text) {
    std::vector<unsigned char> bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

TEST(RemoteCommand, CopyDataTextStaysWithinTheSendersBytes) {
    const std::vector<unsigned char> terminated = Utf16Bytes(std::u16string(u"{\"command\":\"about\"}") + u'\0' + u"junk");
    EXPECT_EQ(L"{\"command\":\"about\"}", CopyDataText(terminated.data(), terminated.size()));
    // No terminator: the text ends where the sender's bytes end, even mid-unit.
    const std::vector<unsigned char> bare = Utf16Bytes(u"abc");
    EXPECT_EQ(L"abc", CopyDataText(bare.data(), bare.size()));
    EXPECT_EQ(L"ab", CopyDataText(bare.data(), 5));
    EXPECT_EQ(L"", CopyDataText(bare.data(), 1));
    EXPECT_EQ(L"", CopyDataText(nullptr, 10));
    const std::vector<unsigned char> camera = Utf16Bytes(u"\U0001F4F7");
    EXPECT_EQ(L"\U0001F4F7", CopyDataText(camera.data(), camera.size()));
}

TEST(RemoteCommand, SendersMessageParsesBack) {
    EXPECT_EQ(RemoteCommand::Capture, ParseRemoteCommand(RemoteCommandJson(L"capture")));
    EXPECT_EQ(RemoteCommand::About, ParseRemoteCommand(RemoteCommandJson(L"about")));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(RemoteCommandJson(L"quit\"}")));
}

TEST(RemoteRequest, ReplyWindowIsAnOptionalNonNegativeInteger) {
    const RemoteRequest plain = ParseRemoteRequest(L"{\"command\":\"capture\"}");
    EXPECT_EQ(RemoteCommand::Capture, plain.command);
    EXPECT_FALSE(plain.replyTo) << "a command without the member is taken as before";
    const RemoteRequest with = ParseRemoteRequest(L"{\"command\":\"capture\",\"reply_to\":4063298}");
    EXPECT_EQ(RemoteCommand::Capture, with.command);
    ASSERT_TRUE(with.replyTo);
    EXPECT_EQ(4063298u, *with.replyTo);
    const RemoteRequest big = ParseRemoteRequest(L"{\"reply_to\":18446744073709551615,\"command\":\"about\"}");
    EXPECT_EQ(RemoteCommand::About, big.command);
    EXPECT_EQ(18446744073709551615u, big.replyTo.value_or(0));
    for (const wchar_t* bad : {L"-5", L"1.5", L"\"123\"", L"null", L"[1]", L"{}", L"true", L"18446744073709551616"}) {
        const RemoteRequest r = ParseRemoteRequest(std::wstring(L"{\"command\":\"capture\",\"reply_to\":") + bad + L"}");
        EXPECT_EQ(RemoteCommand::Capture, r.command) << "reply_to " << std::wstring(bad).size();
        EXPECT_FALSE(r.replyTo) << "reply_to of length " << std::wstring(bad).size();
    }
    EXPECT_FALSE(ParseRemoteRequest(L"[{\"reply_to\":1}]").replyTo);
    const RemoteRequest sent = ParseRemoteRequest(RemoteCommandJson(L"capture", 0x1234));
    EXPECT_EQ(RemoteCommand::Capture, sent.command);
    EXPECT_EQ(0x1234u, sent.replyTo.value_or(0));
    EXPECT_EQ(RemoteCommandJson(L"capture"), L"{\"command\":\"capture\"}") << "old senders' exact message";
}

TEST(RemoteReply, PathsAndErrorsComeBackAsSent) {
    const RemoteReply cases[] = {{true, L"C:\\Users\\김\\T-001.png", L"", L""},
                                 {true, L"", L"5f0c", L""},
                                 {false, L"캡쳐가 실패하였습니다.\r\r\"x\"\n", L"a\"b", L""},
                                 {true, L"\U0001F4F7.png", L"", L"The picture reached the largest size."}};
    for (const RemoteReply& sent : cases) {
        const std::optional<RemoteReply> got = ParseRemoteReply(RemoteReplyJson(sent));
        ASSERT_TRUE(got) << "text of length " << sent.text.size();
        EXPECT_EQ(sent.ok, got->ok);
        EXPECT_EQ(sent.text, got->text);
        EXPECT_EQ(sent.token, got->token);
        EXPECT_EQ(sent.notice, got->notice);
    }
    for (const wchar_t* bad : {L"{\"result\":\"ok\"}", L"{\"result\":\"error\",\"path\":\"x\"}", L"{\"result\":\"maybe\",\"path\":\"x\"}",
                               L"{\"result\":1,\"path\":\"x\"}", L"{\"command\":\"capture\"}", L"\"ok\"", L"{broken"}) {
        EXPECT_FALSE(ParseRemoteReply(bad)) << "input of length " << std::wstring(bad).size();
    }
}

TEST(RemoteRequest, TheTokenComesBackInTheReply) {
    const RemoteRequest request = ParseRemoteRequest(RemoteCommandJson(L"capture", 77, L"9c2e11"));
    EXPECT_EQ(L"9c2e11", request.token);
    EXPECT_EQ(77u, request.replyTo.value_or(0));
    EXPECT_EQ(L"", ParseRemoteRequest(L"{\"command\":\"capture\"}").token) << "senders without a token";
    EXPECT_EQ(L"", ParseRemoteRequest(L"{\"command\":\"capture\",\"token\":12}").token);
    EXPECT_EQ(L"", ParseRemoteRequest(L"{\"command\":\"capture\",\"token\":[\"x\"]}").token);
    // The last of two members of the same name counts, whatever its kind.
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"capture\",\"command\":{}}"));
    EXPECT_EQ(RemoteCommand::About, ParseRemoteCommand(L"{\"command\":[],\"command\":\"about\"}"));
}

// Nesting, whole and cut off, at the limit and far beyond it: what a hostile sender can send.
std::wstring Nested(int depth, bool closed) {
    std::wstring text = L"{\"command\":\"capture\",\"a\":" + std::wstring(static_cast<std::size_t>(depth), L'[');
    if (closed) text += std::wstring(static_cast<std::size_t>(depth), L']') + L"}";
    return text;
}

TEST(RemoteRequest, NestingBeyondTheLimitIsNoCommand) {
    EXPECT_EQ(RemoteCommand::Capture, ParseRemoteCommand(Nested(kMaxCommandDepth - 1, true)));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(Nested(kMaxCommandDepth, true)));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(Nested(300000, true)));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(Nested(300000, false)));
    EXPECT_FALSE(ParseRemoteReply(L"{\"result\":\"ok\",\"path\":\"x\",\"z\":" + std::wstring(300000, L'{')));
}

// The same, on a thread with the stack the program's user-interface thread has (2 MiB), where
// a parser that recursed once per level would overflow.
TEST(RemoteRequest, DeepPayloadsFitTheUserInterfaceThreadsStack) {
    const std::wstring text = Nested(300000, true);
    RemoteCommand command = RemoteCommand::Capture;
    ASSERT_TRUE(test::RunOnUserInterfaceStack([&] { command = ParseRemoteCommand(text); }));
    EXPECT_EQ(RemoteCommand::None, command);
}

TEST(AcceptCommand, TakesOnlyKnownCommandsWithinTheSizeLimit) {
    const std::u16string capture = u"{\"command\":\"capture\",\"reply_to\":5}";
    const std::vector<unsigned char> bytes = Utf16Bytes(capture + u'\0');
    const auto taken = AcceptCommand(kCommandData, bytes.data(), bytes.size());
    ASSERT_TRUE(taken);
    EXPECT_EQ(RemoteCommand::Capture, taken->command);
    EXPECT_EQ(5u, taken->replyTo.value_or(0));
    EXPECT_FALSE(AcceptCommand(kReplyData, bytes.data(), bytes.size())) << "dwData must be 1";
    const std::vector<unsigned char> unknown = Utf16Bytes(u"{\"command\":\"quit\"}");
    EXPECT_FALSE(AcceptCommand(kCommandData, unknown.data(), unknown.size()));

    // At the limit a padded command is read; one byte more and nothing is read at all (the
    // pointer says there is far less than the count claims, as a hostile sender might).
    std::u16string padded = u"{\"command\":\"capture\",\"pad\":\"";
    padded += std::u16string(kMaxCommandBytes / 2 - padded.size() - 2, u'x') + u"\"}";
    const std::vector<unsigned char> limit = Utf16Bytes(padded);
    ASSERT_EQ(kMaxCommandBytes, limit.size());
    EXPECT_TRUE(AcceptCommand(kCommandData, limit.data(), limit.size()));
    EXPECT_FALSE(AcceptCommand(kCommandData, bytes.data(), kMaxCommandBytes + 1));
    EXPECT_FALSE(AcceptCommand(kCommandData, bytes.data(), 500u * 1024 * 1024));
}

}  // namespace
}  // namespace tovasen
