// Feeds arbitrary text to the update reply reader and the server-text cleaner: neither may
// crash, hang or read out of bounds, and cleaned text never holds a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/update_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    const std::wstring& input = text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const tovasen::UpdateReply reply = tovasen::ParseUpdateReply(text);
    for (const std::wstring* value : {&reply.text, &reply.update, &input}) {
        const std::wstring clean = tovasen::CleanServerText(*value);
        if (clean.size() > tovasen::kMaxServerText) std::abort();
        for (wchar_t c : clean) {
            if (c < 0x20) std::abort();
        }
    }
    tovasen::IsValidKuid(text);
    return 0;
}
