#pragma once
// A reply too long for one message goes as several: a sent message's data is bounded (the
// receiver takes kMaxCommandBytes per message, and Wine carries little more than 1 MB across
// processes), while a history of 100,000 entries runs to tens of megabytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/copydata_command.h"

namespace tovasen {

// dwData of the parts of a reply that does not fit one message: every part but the last, then
// the last. Each part is a whole reply (RemoteReplyJson) with the same token, carrying a piece
// of the text; the texts in order make the reply's text. A reply that fits one message keeps
// kReplyData, so a receiver that knows no parts never mistakes a piece for the whole.
constexpr unsigned kReplyPartData = 3;
constexpr unsigned kReplyLastPartData = 4;

// The bytes of reply's message as sent (its JSON in UTF-16 and a terminating NUL).
std::size_t ReplyMessageBytes(const RemoteReply& reply);

// The reply as it goes out: one reply when its JSON fits maxMessageBytes of UTF-16, else parts
// whose JSON each fits (cut after a line break where one is near, never inside a surrogate pair).
std::vector<RemoteReply> ReplyParts(const RemoteReply& reply, std::size_t maxMessageBytes = kMaxCommandBytes);

// What a receiver keeps of a reply that comes in parts. Take each message's dwData and reply
// in order: the whole reply once the last part (or a reply that came whole) is in. A part
// beyond maxTextBytes of text in all ends the reply as a failure.
class TReplyAssembler {
public:
    explicit TReplyAssembler(std::size_t maxTextBytes) : FMaxTextBytes(maxTextBytes) {}
    // False for a kind that is no reply.
    bool Take(std::uintptr_t kind, RemoteReply reply);
    const std::optional<RemoteReply>& Whole() const noexcept { return FWhole; }

private:
    std::size_t FMaxTextBytes;
    std::wstring FText;
    std::optional<RemoteReply> FWhole;
};

}  // namespace tovasen
