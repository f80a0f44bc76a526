// The animated-cursor reader on arbitrary bytes: a refused file leaves the
// document untouched, an accepted one holds at least one frame, and what was
// loaded saves and reloads to the same steps, sizes, depths and hotspots.
// Reading only the first frame agrees with the whole load.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "model/AniIO.h"
#include "core/MessageBox.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velto::TmyANIIO io(false);
    velto::TmyANI doc;
    const bool ok = io.LoadFromBytes(doc, std::span<const std::uint8_t>(data, size));
    if (ok != (doc.Count() > 0)) __builtin_trap();
    // A tile's road gives the same first frame wherever the whole load succeeds.
    velto::TmyANI first;
    const bool firstOk = velto::TmyANIIO(false).LoadFirstFrame(first, std::span<const std::uint8_t>(data, size));
    if (firstOk != (first.Count() == 1)) __builtin_trap();
    if (ok && (!firstOk || !first.Image(0).Equals(doc.Image(0)) || first.Image(0).Rate() != doc.Image(0).Rate()))
        __builtin_trap();
    if (!ok) return 0;
    // The round trip holds a second document: only for the smaller ones, so
    // the run stays within its memory limit.
    std::uint64_t bytes = 0;
    for (int i = 0; i < doc.Count(); ++i)
        bytes += static_cast<std::uint64_t>(doc.Image(i).Width()) * static_cast<std::uint64_t>(doc.Image(i).Height()) * 4;
    if (bytes > (64u << 20)) return 0;

    std::vector<std::uint8_t> saved;
    if (!io.SaveToBytes(doc, saved)) __builtin_trap();
    velto::TmyANI again;
    if (!io.LoadFromBytes(again, saved) || again.Count() != doc.Count()) __builtin_trap();
    // Texts survive whole when they fit the sub-chunk's 2000 bytes (UTF-8 room included).
    for (const auto& [before, after] : {std::pair(&doc.Title, &again.Title), std::pair(&doc.Author, &again.Author)})
        if (before->size() + 3 <= velto::ReadLimits{}.textLength && *before != *after) __builtin_trap();
    for (int i = 0; i < doc.Count(); ++i) {
        const velto::TmyImagePal& a = doc.Image(i);
        const velto::TmyImagePal& b = again.Image(i);
        if (a.Size() != b.Size() || a.BitCount != b.BitCount || a.HotSpotX() != b.HotSpotX() ||
            a.HotSpotY() != b.HotSpotY())
            __builtin_trap();
        if (velto::SecondsToJiffies(a.Rate()) != velto::SecondsToJiffies(b.Rate())) __builtin_trap();
    }
    return 0;
}
