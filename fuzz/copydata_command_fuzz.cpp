// Feeds arbitrary bytes to what a WM_COPYDATA message reaches: the bounded text reader and the
// JSON command parser and the reader of replies. None may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "app/copydata_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = tovasen::CopyDataText(data, size);
    tovasen::ParseRemoteCommand(text);
    tovasen::ParseRemoteRequest(text);
    // A reply that parses must come back the same through its own encoding.
    if (const auto reply = tovasen::ParseRemoteReply(text)) {
        const auto again = tovasen::ParseRemoteReply(tovasen::RemoteReplyJson(*reply));
        if (!again || again->ok != reply->ok || again->text != reply->text) __builtin_trap();
    }
    return 0;
}
