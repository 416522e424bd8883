#include "app/copydata_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tovasen {
namespace {

TEST(RemoteCommand, KnowsAboutAndCaptureExactly) {
    EXPECT_EQ(RemoteCommand::Capture, ParseRemoteCommand(L"{\"command\":\"capture\"}"));
    EXPECT_EQ(RemoteCommand::About, ParseRemoteCommand(L" { \"other\": 1, \"command\" : \"about\" } "));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"CAPTURE\"}")) << "case-sensitive";
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":\"record\"}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"Command\":\"capture\"}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{}"));
    EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(L"{\"command\":7}"));
}

TEST(RemoteCommand, AnythingButAnObjectIsNothing) {
    for (const wchar_t* text : {L"[\"capture\"]", L"42", L"\"capture\"", L"null", L"", L"{\"command\":\"capture\"",
                                L"{command:capture}", L"\xFFFF\xD800"}) {
        EXPECT_EQ(RemoteCommand::None, ParseRemoteCommand(text)) << "input #" << std::wstring(text).size();
    }
    std::wstring huge = L"{\"command\":\"capture\",\"pad\":\"" + std::wstring(4'000'000, L'x') + L"\"}";
    EXPECT_EQ(RemoteCommand::Capture, ParseRemoteCommand(huge));
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

}  // namespace
}  // namespace tovasen
