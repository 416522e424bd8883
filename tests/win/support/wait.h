#pragma once
#include <windows.h>

#include <functional>

namespace tovasen::test {

// Polls condition every 20 ms, pumping this thread's messages meanwhile; true once it holds.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// Handles all pending messages of this thread.
void PumpMessages();

}  // namespace tovasen::test
