// Detection over arbitrary bytes: always a valid code, and the leading
// kDetectHeadSize bytes alone (all the file variant reads) decide it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/Detect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> all(data, size);
    const std::uint8_t type = velto::DetectFileType(all, size);
    if (type > velto::ftJ2k) __builtin_trap();
    const std::uint8_t fromHead = velto::DetectFileType(all.first(std::min(size, velto::kDetectHeadSize)), size);
    if (fromHead != type) __builtin_trap();
    if (velto::FileCategoryOf(type) > velto::fcMacContainer) __builtin_trap();
    // A head that claims a larger file must still only read what it holds.
    if (size >= 4) {
        std::uint64_t claimed = 0;
        for (int i = 0; i < 4; ++i) claimed = claimed << 8 | data[i];
        if (velto::DetectFileType(all.subspan(4), claimed) > velto::ftJ2k) __builtin_trap();
    }
    return 0;
}
