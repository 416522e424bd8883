#include "app/copydata_command.h"

#include <nlohmann/json.hpp>

#include "base/utf_convert.h"

namespace tovasen {

namespace {

nlohmann::json ParseObject(std::wstring_view json) {
    nlohmann::json parsed = nlohmann::json::parse(WideToUtf8(json), nullptr, /*allow_exceptions=*/false);
    return parsed.is_object() ? parsed : nlohmann::json{};  // also what a parse error gives
}

RemoteCommand CommandOf(const nlohmann::json& object) {
    const auto command = object.find("command");
    if (command == object.end() || !command->is_string()) return RemoteCommand::None;
    const std::string& name = command->get_ref<const std::string&>();
    if (name == "about") return RemoteCommand::About;
    if (name == "capture") return RemoteCommand::Capture;
    return RemoteCommand::None;
}

}  // namespace

RemoteCommand ParseRemoteCommand(std::wstring_view json) { return ParseRemoteRequest(json).command; }

RemoteRequest ParseRemoteRequest(std::wstring_view json) {
    const nlohmann::json object = ParseObject(json);
    RemoteRequest request;
    if (!object.is_object()) return request;
    request.command = CommandOf(object);
    const auto replyTo = object.find("reply_to");
    if (replyTo != object.end() && replyTo->is_number_unsigned()) request.replyTo = replyTo->get<std::uint64_t>();
    return request;
}

std::wstring RemoteReplyJson(const RemoteReply& reply) {
    nlohmann::json object{{"result", reply.ok ? "ok" : "error"}};
    object[reply.ok ? "path" : "error"] = WideToUtf8(reply.text);
    // Replacement characters rather than an exception for a text that is not valid UTF-16.
    return Utf8ToWide(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::optional<RemoteReply> ParseRemoteReply(std::wstring_view json) {
    const nlohmann::json object = ParseObject(json);
    if (!object.is_object()) return std::nullopt;
    const auto result = object.find("result");
    if (result == object.end() || !result->is_string()) return std::nullopt;
    RemoteReply reply;
    const std::string& name = result->get_ref<const std::string&>();
    if (name == "ok") reply.ok = true;
    else if (name != "error") return std::nullopt;
    const auto text = object.find(reply.ok ? "path" : "error");
    if (text == object.end() || !text->is_string()) return std::nullopt;
    reply.text = Utf8ToWide(text->get_ref<const std::string&>());
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

std::wstring RemoteCommandJson(std::wstring_view command, std::optional<std::uint64_t> replyTo) {
    nlohmann::json object{{"command", WideToUtf8(command)}};
    if (replyTo) object["reply_to"] = *replyTo;
    return Utf8ToWide(object.dump());
}

}  // namespace tovasen
