#include "app/copydata_command.h"

#include <nlohmann/json.hpp>

#include "base/capture_kinds.h"
#include "base/log_event.h"
#include "base/untrusted_json.h"
#include "base/utf_convert.h"

namespace tovasen {

namespace {

// A command is a flat object of a few scalars; anything bigger is not one of ours. The byte
// limit is the UTF-8 of the largest message the boundary takes (kMaxCommandBytes of UTF-16,
// each unit at most three bytes).
const TJsonLimits kCommandLimits{kMaxCommandBytes / 2 * 3, kMaxCommandDepth, 4096, kMaxCommandBytes};
// A reply is as flat, and only as long as the largest one tovasen-cmd takes.
const TJsonLimits kReplyLimits{kMaxReplyBytes / 2 * 3, kMaxCommandDepth, 4096, kMaxReplyBytes / 2 * 3};

using FlatObject = nlohmann::json;

// The object, or nothing when the text is not a JSON object within the command limits.
std::optional<FlatObject> ParseFlatObject(std::wstring_view json, const TJsonLimits& limits = kCommandLimits) {
    try {
        FlatObject object = ReadUntrustedJson(WideToUtf8(json), limits);
        if (!object.is_object()) return std::nullopt;
        return object;
    } catch (const EUntrustedJson&) {
        LogCaught(L"command", std::current_exception());
        return std::nullopt;
    }
}

const std::string* StringMember(const FlatObject& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() || !found->is_string() ? nullptr : &found->get_ref<const std::string&>();
}

std::optional<std::uint64_t> CountMember(const FlatObject& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_number_unsigned()) return std::nullopt;
    return found->get<std::uint64_t>();
}

RemoteCommand CommandOf(const FlatObject& object) {
    const std::string* name = StringMember(object, "command");
    if (!name) return RemoteCommand::None;
    if (*name == "about") return RemoteCommand::About;
    if (*name == "capture") return RemoteCommand::Capture;
    if (*name == "edit") return RemoteCommand::Edit;
    if (*name == "history") return RemoteCommand::History;
    if (*name == "record_pause") return RemoteCommand::RecordPause;
    if (*name == "record_resume") return RemoteCommand::RecordResume;
    if (*name == "history_clear") return RemoteCommand::HistoryClear;
    return RemoteCommand::None;
}

}  // namespace

RemoteCommand ParseRemoteCommand(std::wstring_view json) { return ParseRemoteRequest(json).command; }

RemoteRequest ParseRemoteRequest(std::wstring_view json) {
    RemoteRequest request;
    const std::optional<FlatObject> object = ParseFlatObject(json);
    if (!object) return request;
    request.command = CommandOf(*object);
    request.replyTo = CountMember(*object, "reply_to");
    if (const std::string* token = StringMember(*object, "token")) request.token = Utf8ToWide(*token);
    request.delay = CountMember(*object, "delay");
    if (const std::string* file = StringMember(*object, "file")) request.file = Utf8ToWide(*file);
    request.limit = CountMember(*object, "limit");
    if (object->contains("mode")) {
        const std::string* mode = StringMember(*object, "mode");
        request.mode = mode ? Utf8ToWide(*mode) : std::wstring();
    }
    return request;
}

std::wstring ScriptModeNames() {
    std::wstring names;
    for (const TModeInfo& row : kCaptureModes) names += (names.empty() ? L"" : L", ") + std::wstring(row.scriptName);
    return names;
}

std::wstring UnknownModeText(std::wstring_view name) {
    return L"There is no capture mode \"" + std::wstring(name) + L"\". The modes are: " + ScriptModeNames() + L".";
}

std::wstring RemoteReplyJson(const RemoteReply& reply) {
    nlohmann::json object{{"result", reply.ok ? "ok" : "error"}};
    object[reply.ok ? "path" : "error"] = WideToUtf8(reply.text);
    if (!reply.token.empty()) object["token"] = WideToUtf8(reply.token);
    if (!reply.notice.empty()) object["notice"] = WideToUtf8(reply.notice);
    // Replacement characters rather than an exception for a text that is not valid UTF-16.
    return Utf8ToWide(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::optional<RemoteReply> ParseRemoteReply(std::wstring_view json) {
    const std::optional<FlatObject> object = ParseFlatObject(json, kReplyLimits);
    if (!object) return std::nullopt;
    const std::string* result = StringMember(*object, "result");
    if (!result) return std::nullopt;
    RemoteReply reply;
    if (*result == "ok") reply.ok = true;
    else if (*result != "error") return std::nullopt;
    const std::string* text = StringMember(*object, reply.ok ? "path" : "error");
    if (!text) return std::nullopt;
    reply.text = Utf8ToWide(*text);
    if (const std::string* token = StringMember(*object, "token")) reply.token = Utf8ToWide(*token);
    if (const std::string* notice = StringMember(*object, "notice")) reply.notice = Utf8ToWide(*notice);
    return reply;
}

std::wstring CopyDataText(const void* data, std::size_t byteCount) {
    if (!data) return {};
    std::u16string units;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t at = 0; at + 1 < byteCount; at += 2) {
        const auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
        if (unit == 0) break;
        units += unit;
    }
    return Utf16ToWide(units);
}

std::optional<RemoteRequest> AcceptCommand(std::uintptr_t kind, const void* data, std::size_t byteCount) {
    if (kind != kCommandData || byteCount > kMaxCommandBytes) return std::nullopt;
    RemoteRequest request = ParseRemoteRequest(CopyDataText(data, byteCount));
    if (request.command == RemoteCommand::None) return std::nullopt;
    return request;
}

std::wstring RemoteCommandJson(std::wstring_view command, std::optional<std::uint64_t> replyTo,
                               std::wstring_view token) {
    nlohmann::json object{{"command", WideToUtf8(command)}};
    if (replyTo) object["reply_to"] = *replyTo;
    if (!token.empty()) object["token"] = WideToUtf8(token);
    return Utf8ToWide(object.dump());
}

std::wstring RemoteRequestJson(const RemoteRequest& request) {
    static constexpr const char* kNames[] = {"",           "about",        "capture",        "edit",
                                             "history",    "record_pause", "record_resume",  "history_clear"};
    nlohmann::json object{{"command", kNames[static_cast<int>(request.command)]}};
    if (request.replyTo) object["reply_to"] = *request.replyTo;
    if (!request.token.empty()) object["token"] = WideToUtf8(request.token);
    if (request.delay) object["delay"] = *request.delay;
    if (!request.file.empty()) object["file"] = WideToUtf8(request.file);
    if (request.limit) object["limit"] = *request.limit;
    if (request.mode) object["mode"] = WideToUtf8(*request.mode);
    return Utf8ToWide(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace tovasen
