#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovasen {

enum class RemoteCommand { None, About, Capture };

// The "command" member of a JSON object: "about" or "capture", compared exactly. Anything else
// (other names, no member, valid JSON that is not an object, broken JSON) is None.
RemoteCommand ParseRemoteCommand(std::wstring_view json);

// A command with the window that wants to hear how it ended: "reply_to", a window handle as a
// non-negative JSON integer. A missing, negative, fractional or non-number member is no reply
// window; the command itself is read as ParseRemoteCommand reads it.
struct RemoteRequest {
    RemoteCommand command = RemoteCommand::None;
    std::optional<std::uint64_t> replyTo;
};
RemoteRequest ParseRemoteRequest(std::wstring_view json);

// dwData of a command sent to Tovasen, and of the reply Tovasen sends to "reply_to".
constexpr unsigned kCommandData = 1;
constexpr unsigned kReplyData = 2;

// How a command ended, as sent back: the written file's full path (empty when the target
// writes no file: clipboard, printer, floating window), or the error's text.
struct RemoteReply {
    bool ok = false;
    std::wstring text;
};
std::wstring RemoteReplyJson(const RemoteReply& reply);
// Nothing when json is not such a reply.
std::optional<RemoteReply> ParseRemoteReply(std::wstring_view json);

// The text a WM_COPYDATA sender passed: UTF-16 units bounded by the byte count it gave, up to
// the first NUL. Never reads past count bytes, so a missing terminator cannot overrun.
std::wstring CopyDataText(const void* data, std::size_t byteCount);

// The message a sender puts in WM_COPYDATA for a command name, with the reply window if any.
std::wstring RemoteCommandJson(std::wstring_view command, std::optional<std::uint64_t> replyTo = std::nullopt);

}  // namespace tovasen
