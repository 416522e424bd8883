#include "app/integrity_level.h"

#include <vector>

#include "app/command_trust.h"
#include "base/handles.h"

namespace tovasen {
namespace {

std::uint32_t ProcessLevel(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return kUntrustedIntegrity;
    const UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return kUntrustedIntegrity;
    std::vector<std::uint8_t> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size)) return kUntrustedIntegrity;
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    PSID sid = label->Label.Sid;
    if (!sid || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return kUntrustedIntegrity;
    return static_cast<std::uint32_t>(*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u));
}

}  // namespace

std::uint32_t OwnIntegrityLevel() { return ProcessLevel(GetCurrentProcess()); }

std::uint32_t WindowIntegrityLevel(HWND window) {
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId) || processId == 0) return kUntrustedIntegrity;
    if (processId == GetCurrentProcessId()) return OwnIntegrityLevel();
    const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return kUntrustedIntegrity;
    return ProcessLevel(process.Get());
}

}  // namespace tovasen
