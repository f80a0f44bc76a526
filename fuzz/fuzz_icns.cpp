// The Apple icon reader on arbitrary bytes. A load either fails with an empty
// document or yields images of the element table's formats; what it read
// writes and reads back to as many images. Reading only the first image
// agrees with the whole load.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/MessageBox.h"
#include "icns/MacIcoIO.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velto::TmyIcon doc;
    velto::TmyMacIcoIO io(true);  // the message paths run too; the sink drops them
    const bool ok = io.LoadFromBytes(doc, std::span<const std::uint8_t>(data, size));
    Check(ok == (doc.Count() > 0));
    // A tile's road: the same first image, or none.
    velto::TmyIcon first;
    const bool firstOk = velto::TmyMacIcoIO(false).LoadFirstImage(first, std::span<const std::uint8_t>(data, size));
    Check(firstOk == ok && first.Count() == (ok ? 1 : 0));
    if (!ok) return 0;
    Check(first.CurrentImage().BitCount == doc.Image(0).BitCount && first.CurrentImage().Equals(doc.Image(0)));
    for (int i = 0; i < doc.Count(); ++i) {
        const velto::TmyImagePal& img = doc.Image(i);
        Check(!velto::TmyMacIcoIO::ElementTypeFor(img.Width(), img.Height(), img.BitCount).empty());
    }
    // Writing the 256x256 picture costs far more than reading; the round trip
    // runs on documents without one.
    for (int i = 0; i < doc.Count(); ++i)
        if (doc.Image(i).Width() == 256) return 0;
    velto::TmyIcon prepared;
    std::vector<std::uint8_t> out;
    Check(io.PrepareDocument(doc, prepared));
    Check(io.WriteIcns(prepared, out));
    velto::TmyIcon back;
    Check(velto::TmyMacIcoIO(false).LoadFromBytes(back, out));
    Check(back.Count() == prepared.Count());
    return 0;
}
