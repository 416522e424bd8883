// Feeds arbitrary text to the upload reply reader and the web-address gate: neither may crash,
// hang or read out of bounds, and whatever address comes back must pass the gate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/address_gate.h"
#include "output/upload_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const std::wstring address = tovasen::UploadAddressFromReply(200, text);
    if (!address.empty() && !tovasen::IsSafeWebAddress(address)) std::abort();
    tovasen::IsSafeWebAddress(text);
    return 0;
}
