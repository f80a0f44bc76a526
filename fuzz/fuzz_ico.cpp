// The icon and cursor reader on arbitrary bytes, from the start and from an
// offset inside a larger buffer (as animated cursors hand it their chunks).
// A load either fails with an empty document or yields images the model can
// hold; the reader never leaves the data; what it read writes and reads back
// to the same pixels.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/IcoIO.h"
#include "core/MessageBox.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void LoadAt(std::span<const std::uint8_t> bytes, std::uint64_t start) {
    velto::TmyIcon doc;
    velto::ByteReader reader(bytes);
    reader.seek(start);
    velto::TmyIcoIO io(true);  // the message paths run too; the sink drops them
    const bool ok = io.LoadFromStream(doc, reader);
    Check(reader.pos() <= bytes.size());
    Check(ok == (doc.Count() > 0));
    if (!ok) return;
    for (int i = 0; i < doc.Count(); ++i) {
        const velto::TmyImagePal& img = doc.Image(i);
        Check(img.Width() >= 1 && img.Width() <= 256 && img.Height() >= 1 && img.Height() <= 256);
        const int bits = img.BitCount;
        Check(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32);
    }
    velto::ByteWriter out;
    Check(io.SaveToStream(doc, out, true));
    velto::TmyIcon back;
    velto::ByteReader again(out.buffer());
    Check(velto::TmyIcoIO(false).LoadFromStream(back, again));
    Check(back.Count() == doc.Count());
    Check(again.pos() == out.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    LoadAt(bytes, 0);
    if (size > 3) LoadAt(bytes, 3);
    return 0;
}
