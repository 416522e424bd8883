#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovasen {

enum class RemoteCommand { None, About, Capture, Edit, History, RecordPause, RecordResume, HistoryClear };

// What the command boundary takes at most: a WM_COPYDATA above kMaxCommandBytes is refused
// before anything is read from it, and a JSON text nested deeper than kMaxCommandDepth is no
// command at all (the parser never holds a tree, so depth costs nothing but this count).
inline constexpr std::size_t kMaxCommandBytes = 64 * 1024;
inline constexpr int kMaxCommandDepth = 64;
// The largest reply tovasen-cmd takes from Tovasen (its token proves where it came from): a
// history of 100,000 entries with long titles and paths fits.
inline constexpr std::size_t kMaxReplyBytes = 16u << 20;

// The "command" member of a JSON object: "about", "capture", "edit", "history", "record_pause",
// "record_resume" or "history_clear", compared exactly. Anything else
// (other names, no member, valid JSON that is not an object, broken or too deeply nested JSON)
// is None.
RemoteCommand ParseRemoteCommand(std::wstring_view json);

// A command with the window that wants to hear how it ended: "reply_to", a window handle as a
// non-negative JSON integer, and "token", a string the reply echoes so that the requester can
// tell Tovasen's answer from anyone else's. A missing or mistyped member is absent; the command
// itself is read as ParseRemoteCommand reads it.
// Each command's own members: "delay" (capture: seconds of countdown first), "file" (edit: the
// picture to open), "limit" (history: how many entries), each absent when missing or mistyped;
// "mode" (capture: the script name of the mode to take instead of the chosen one), present but
// empty when it is not a string, so that a mistyped mode never becomes the chosen one.
struct RemoteRequest {
    RemoteCommand command = RemoteCommand::None;
    std::optional<std::uint64_t> replyTo;
    std::wstring token;
    std::optional<std::uint64_t> delay;
    std::wstring file;
    std::optional<std::uint64_t> limit;
    std::optional<std::wstring> mode;
};
RemoteRequest ParseRemoteRequest(std::wstring_view json);

// The modes a script may name, as it names them: "full-screen, region, ...".
std::wstring ScriptModeNames();
// What a script hears for a mode name that names no mode.
std::wstring UnknownModeText(std::wstring_view name);

// dwData of a command sent to Tovasen, and of the reply Tovasen sends to "reply_to".
constexpr unsigned kCommandData = 1;
constexpr unsigned kReplyData = 2;

// How a command ended, as sent back: the written file's full path (empty when the target
// writes no file: clipboard, printer, floating window), or the error's text; with the
// request's token when it had one.
struct RemoteReply {
    bool ok = false;
    std::wstring text;
    std::wstring token;
    std::wstring notice;  // on success, what the user would have been told beside it
};
std::wstring RemoteReplyJson(const RemoteReply& reply);
// Nothing when json is not such a reply.
std::optional<RemoteReply> ParseRemoteReply(std::wstring_view json);

// The text a WM_COPYDATA sender passed: UTF-16 units bounded by the byte count it gave, up to
// the first NUL. Never reads past count bytes, so a missing terminator cannot overrun.
std::wstring CopyDataText(const void* data, std::size_t byteCount);

// What the command boundary takes from a WM_COPYDATA message: a command with dwData
// kCommandData, at most kMaxCommandBytes long, that parses as a known command. Nothing (and
// nothing read or allocated) for a message above the limit.
std::optional<RemoteRequest> AcceptCommand(std::uintptr_t kind, const void* data, std::size_t byteCount);

// The message a sender puts in WM_COPYDATA for a command name, with the reply window and the
// token if any.
std::wstring RemoteCommandJson(std::wstring_view command, std::optional<std::uint64_t> replyTo = std::nullopt,
                               std::wstring_view token = {});
// The same with the command's own members.
std::wstring RemoteRequestJson(const RemoteRequest& request);

}  // namespace tovasen
