#include "app/copydata_command.h"

#include <map>
#include <variant>

#include <nlohmann/json.hpp>

#include "base/utf_convert.h"

namespace tovasen {

namespace {

// The scalar members of a JSON object's top level; nested values are stepped over unread.
using Scalar = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string>;
using FlatObject = std::map<std::string, Scalar>;

// Reads a JSON text as events instead of building a tree: a tree of depth n costs n frames of
// stack to copy or compare, and the message comes from anyone. Stops at the first value nested
// deeper than kMaxCommandDepth.
class FlatObjectReader : public nlohmann::json_sax<nlohmann::json> {
public:
    FlatObject members;
    bool isObject = false;

    bool null() override { return Keep(std::monostate{}); }
    bool boolean(bool value) override { return Keep(value); }
    bool number_integer(number_integer_t value) override { return Keep(std::int64_t{value}); }
    bool number_unsigned(number_unsigned_t value) override { return Keep(std::uint64_t{value}); }
    bool number_float(number_float_t value, const string_t&) override { return Keep(double{value}); }
    bool string(string_t& value) override { return Keep(std::move(value)); }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override {
        if (depth_ == 0) isObject = true;
        return Enter();
    }
    bool key(string_t& name) override {
        if (depth_ == 1) key_ = std::move(name);
        return true;
    }
    bool end_object() override { return Leave(); }
    bool start_array(std::size_t) override { return Enter(); }
    bool end_array() override { return Leave(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    template <class T>
    bool Keep(T value) {
        if (depth_ == 1) members[key_] = std::move(value);
        return true;
    }
    bool Enter() {
        // A member whose value is an object or an array has no scalar value, even if an earlier
        // member of the same name had one: the last one counts.
        if (depth_ == 1) members.erase(key_);
        return ++depth_ <= kMaxCommandDepth;
    }
    bool Leave() {
        --depth_;
        return true;
    }

    int depth_ = 0;
    std::string key_;
};

std::optional<FlatObject> ParseFlatObject(std::wstring_view json) {
    const std::string text = WideToUtf8(json);
    FlatObjectReader reader;
    if (!nlohmann::json::sax_parse(text, &reader) || !reader.isObject) return std::nullopt;
    return std::move(reader.members);
}

const std::string* StringMember(const FlatObject& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : std::get_if<std::string>(&found->second);
}

std::optional<std::uint64_t> CountMember(const FlatObject& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end()) return std::nullopt;
    if (const auto* count = std::get_if<std::uint64_t>(&found->second)) return *count;
    return std::nullopt;
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
    return request;
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
    const std::optional<FlatObject> object = ParseFlatObject(json);
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
    return Utf8ToWide(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace tovasen
