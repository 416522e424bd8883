#include "app/command_trust.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <string>

namespace tovasen {

bool SenderMayRun(RemoteCommand command, std::uint32_t senderLevel, std::uint32_t ownLevel) {
    if (senderLevel >= ownLevel) return true;
    return command == RemoteCommand::About || command == RemoteCommand::Capture ||
           command == RemoteCommand::RecordPause || command == RemoteCommand::RecordResume;
}

bool WindowMayReadReplies(std::uint32_t windowLevel, std::uint32_t ownLevel) { return windowLevel >= ownLevel; }

namespace {

bool IsReservedDeviceName(std::wstring name) {
    // The device names count with any extension and trailing dots or spaces ("nul.png", "CON ").
    name = name.substr(0, name.find(L'.'));
    while (!name.empty() && name.back() == L' ') name.pop_back();
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    static const std::array<std::wstring_view, 4> plain = {L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(plain.begin(), plain.end(), name) != plain.end()) return true;
    if (name == L"CONIN$" || name == L"CONOUT$") return true;
    return name.size() == 4 && (name.compare(0, 3, L"COM") == 0 || name.compare(0, 3, L"LPT") == 0) &&
           name[3] >= L'0' && name[3] <= L'9';
}

}  // namespace

bool IsLocalFilePath(std::wstring_view path) {
    std::wstring p(path);
    std::replace(p.begin(), p.end(), L'/', L'\\');
    if (p.compare(0, 4, L"\\\\?\\") == 0) p.erase(0, 4);  // the long form of a drive path only
    const bool drive = p.size() >= 3 && std::iswalpha(p[0]) && p[0] < 128 && p[1] == L':' && p[2] == L'\\';
    if (!drive) return false;
    const std::size_t name = p.find_last_of(L'\\') + 1;
    if (name == p.size()) return false;  // a folder, not a file
    // A stream name after a colon does not change which file it is.
    const std::wstring file = p.substr(name, p.find(L':', name) - name);
    return !IsReservedDeviceName(file);
}

}  // namespace tovasen
