#pragma once
// The encoder records on its own, outside any job of ours, so that a crash of this program
// does not kill it in the middle of a fragment. But it ignores a broken input pipe: left alone
// it would go on recording, unseen and for ever. A second process of this program, the guard,
// watches both: when this program ends first, it sends the encoder its "q".
#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"

namespace tovasen {

// The first argument that makes the program a guard instead of an instance.
inline constexpr wchar_t kGuardArgument[] = L"/guard";
// How long the guard lets the encoder finish after "q" before it ends it.
constexpr DWORD kGuardGraceMs = 10000;

// How long a guard may take to say that it watches.
constexpr DWORD kGuardReadyTimeoutMs = 15000;

// Starts program (this program's executable) as the guard of an encoder: its process and the
// write end of its input. Returns once the guard has checked what it was handed and watches;
// raises when it could not be started or gave up (its exit code says why).
UniqueKernelHandle StartRecordingGuard(const std::wstring& program, HANDLE encoderProcess, HANDLE encoderInput,
                                       DWORD readyTimeoutMs = kGuardReadyTimeoutMs);

// The guard's life, from the arguments after kGuardArgument; its exit code.
int RunRecordingGuard(const std::vector<std::wstring>& args);

}  // namespace tovasen
