// The GIF reader on arbitrary bytes: a load either raises the codec's error or
// yields frames whose pixels, bitmaps and masks have the frame's size; every
// frame composes onto the logical screen and the animation plays through as
// a player would; what was read writes and reads back to the same frames,
// and writes again unchanged. Reading only the first frame agrees with the
// whole load.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "core/MessageBox.h"
#include "gif/GifCompose.h"
#include "gif/GifImage.h"
#include "gif/GifPlayback.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Tight enough that small inputs reach every cap and a run stays in memory.
velto::ReadLimits Limits() {
    velto::ReadLimits limits;
    limits.pixels = 1u << 20;
    limits.gifFrameBytes = 1u << 20;
    limits.gifFrames = 256;
    limits.gifExtensions = 1024;
    limits.gifExtensionBytes = 1u << 20;
    return limits;
}

void Touch(velto::TGIFSubImage& frame) {
    Check(frame.DataSize() == std::uint64_t(frame.Width()) * std::uint64_t(frame.Height()) || frame.DataSize() == 0);
    if (frame.Empty()) return;
    try {
        const velto::TBitmap* bmp = frame.Bitmap();
        Check(bmp && bmp->Width() == frame.Width() && bmp->Height() == frame.Height());
        if (frame.MaskReady()) Check(frame.Mask()->Width() == frame.Width() && frame.Transparent());
    } catch (const velto::GIFException&) {
        // A frame with no colour map anywhere cannot be shown.
    }
}

// Plays a pass and a half with a clock that keeps time with the waits; every
// frame painted is composed on the screen.
void Play(const velto::TGIFImage& gif) {
    velto::TGIFComposer composer(gif);
    Check(composer.Canvas().Pixels.size() == std::size_t(gif.Width()) * std::size_t(gif.Height()));
    std::int64_t now = 0;
    velto::TGIFPlayback playback(gif, 0x060F, 100);
    playback.Clock = [&] { return now; };
    playback.Paint = [&](int index) {
        Check(index >= 0 && index < gif.Images().Count());
        composer.Step(index);
    };
    std::int64_t wait = playback.Start();
    for (int steps = 0; wait != velto::TGIFPlayback::kEnded && steps < 3 * gif.Images().Count() / 2 + 2; ++steps) {
        Check(wait >= -12000 && wait <= 65535 * 12);
        now += wait;
        wait = playback.Next();
    }
    composer.Compose(gif.Images().Count() - 1);
}

// The frames that hold pixels, in order.
std::vector<const velto::TGIFSubImage*> ImageFrames(const velto::TGIFImage& gif) {
    std::vector<const velto::TGIFSubImage*> out;
    for (int i = 0; i < gif.Images().Count(); ++i)
        if (!gif.Images()[i].Empty()) out.push_back(&gif.Images()[i]);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velto::TGIFImage gif;
    gif.Limits = Limits();
    velto::ByteReader reader(std::span<const std::uint8_t>(data, size));
    try {
        gif.LoadFromStream(reader);
    } catch (const velto::GIFException&) {
        Check(reader.pos() <= size);
        return 0;
    }
    Check(reader.pos() <= size);
    {
        // A tile's road reads frame 0 alone, the same as the whole load's.
        velto::TGIFImage first;
        first.Limits = Limits();
        velto::ByteReader head(std::span<const std::uint8_t>(data, size));
        first.LoadFirstFrame(head);
        Check(first.Images().Count() == std::min(gif.Images().Count(), 1));
        if (first.Images().Count() == 1 && gif.Width() > 0 && gif.Height() > 0)
            Check(velto::ComposeGIFFrame(first, 0).Pixels == velto::ComposeGIFFrame(gif, 0).Pixels);
    }
    for (int i = 0; i < gif.Images().Count(); ++i) Touch(gif.Images()[i]);
    Play(gif);

    velto::ByteWriter out;
    try {
        gif.SaveToStream(out);
    } catch (const velto::GIFException&) {
        // No frames, or pixels beyond their colour map: nothing to compare.
        return 0;
    }
    velto::TGIFImage back;
    back.Limits = Limits();
    velto::ByteReader again(out.buffer());
    back.LoadFromStream(again);  // what we write must read back
    Check(again.atEnd());
    const auto a = ImageFrames(gif), b = ImageFrames(back);
    Check(a.size() == b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        Check(a[i]->BoundsRect().Left == b[i]->BoundsRect().Left && a[i]->BoundsRect().Top == b[i]->BoundsRect().Top);
        Check(a[i]->Width() == b[i]->Width() && a[i]->Height() == b[i]->Height());
        Check(a[i]->DataSize() == b[i]->DataSize() &&
              std::memcmp(a[i]->Data(), b[i]->Data(), a[i]->DataSize()) == 0);
    }
    // What was written once is written again byte for byte: extensions keep
    // their class and content (a file of empty frames only has none to write).
    if (back.Images().Count() == 0) return 0;
    velto::ByteWriter twice;
    back.SaveToStream(twice);
    Check(twice.buffer() == out.buffer());
    return 0;
}
