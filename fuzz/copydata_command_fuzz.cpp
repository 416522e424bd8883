// Feeds arbitrary bytes to what a WM_COPYDATA message reaches: the bounded text reader and the
// JSON command parser. Neither may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "app/copydata_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tovasen::ParseRemoteCommand(tovasen::CopyDataText(data, size));
    return 0;
}
