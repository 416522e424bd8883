#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "base/worker.h"

namespace tovasen {

// The most one request may take, whatever the server does (one that trickles its reply a byte
// at a time meets no other limit).
inline constexpr unsigned long kUpdateDeadlineMs = 30000;

// Where and how persistently the update service is asked; tests use a local server and short waits.
struct UpdateService {
    std::wstring url;
    int attempts = 6;
    unsigned long retryDelayMs = 10000;
    // Name resolution, connect, send and receive each (WinHTTP has no limit on resolving).
    unsigned long timeoutMs = 15000;
    unsigned long deadlineMs = kUpdateDeadlineMs;
};

inline constexpr std::size_t kMaxUpdateReply = 1024 * 1024;

// One HTTPS GET with the given extra header lines: the body of a 200 answer, or nothing when
// the address is not https (nothing is sent then), the transport fails, the certificate is not
// trusted, a redirect would leave https, the server answers with another status, the body is
// longer than maxBytes, the whole exchange takes longer than deadlineMs, or stop is asked (seen
// between steps: a step under way ends within its time-out). status, when given, receives the
// status of an answer other than 200, and 0 otherwise.
std::optional<std::string> HttpsGet(const std::wstring& url, const std::wstring& headers, unsigned long timeoutMs,
                                    std::size_t maxBytes, unsigned long deadlineMs = kUpdateDeadlineMs,
                                    unsigned long* status = nullptr, const std::stop_token& stop = {});

// The installation identifier in HKCU\Software\Dravomix "KUID": made and stored once, then
// only read. Empty on any registry error, and for a stored value of the wrong shape, which is
// left as it is.
std::wstring ReadOrMakeKuid();

// The check on its own thread: up to service.attempts requests, with a wait between failed
// ones; then onReply runs on the user-interface thread with the reply (empty when every
// attempt failed, or at once when the service answered with an error status: it is asked again
// at the next start). Freeing the object ends the waits, drops a reply not yet handled and waits
// for the thread, which gives up a request in progress at its next step: timeoutMs bounds that
// wait (deadlineMs at most).
class TUpdateCheck {
public:
    TUpdateCheck(UpdateService service, std::wstring version, std::wstring language,
                 std::function<void(const std::wstring& reply)> onReply);
    TUpdateCheck(const TUpdateCheck&) = delete;
    TUpdateCheck& operator=(const TUpdateCheck&) = delete;
    ~TUpdateCheck();

    struct State;

private:
    std::shared_ptr<State> FState;
    TWorker FWorker;
};

// Tells the service to hold back this update for this user: one request on a thread the program
// owns (it outlives the window that asked), not retried, its reply ignored.
void SendHoldRequest(const std::wstring& url, const std::wstring& version, unsigned long timeoutMs);

}  // namespace tovasen
