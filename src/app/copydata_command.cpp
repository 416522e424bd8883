#include "app/copydata_command.h"

#include <nlohmann/json.hpp>

#include "base/utf_convert.h"

namespace tovasen {

RemoteCommand ParseRemoteCommand(std::wstring_view json) {
    const nlohmann::json parsed = nlohmann::json::parse(WideToUtf8(json), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return RemoteCommand::None;  // also what a parse error gives
    const auto command = parsed.find("command");
    if (command == parsed.end() || !command->is_string()) return RemoteCommand::None;
    const std::string& name = command->get_ref<const std::string&>();
    if (name == "about") return RemoteCommand::About;
    if (name == "capture") return RemoteCommand::Capture;
    return RemoteCommand::None;
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

std::wstring RemoteCommandJson(std::wstring_view command) {
    return Utf8ToWide(nlohmann::json{{"command", WideToUtf8(command)}}.dump());
}

}  // namespace tovasen
