// GIF files: every frame as the codec holds it, each rendered on its own (its
// own size, transparent pixels of alpha 0), with its place on the logical
// screen and its graphic control values (null without that extension).
#include "Dump.h"
#include "gif/GifImage.h"
#include "model/Detect.h"

namespace velto::dump {
namespace {

struct FrameFacts {
    int width = 0, height = 0, bitcount = 0, left = 0, top = 0;
    const TGIFGraphicControlExtension* gce = nullptr;
    bool transparent = false;
    std::string rgba;
};

// The frame rendered on its own: colours from its bitmap's palette, alpha 0
// where its mask is set.
FrameFacts Facts(TGIFSubImage& frame) {
    FrameFacts f{frame.Width(), frame.Height(), frame.UsedColorMap().BitsPerPixel(), frame.Left(), frame.Top(),
                 frame.GraphicControlExtension(), frame.Transparent(), {}};
    const TBitmap* bitmap = frame.Bitmap();
    const TBitmap* mask = frame.MaskReady() ? frame.Mask() : nullptr;
    const int h = bitmap ? bitmap->Height() : 0;
    const std::size_t w = bitmap ? static_cast<std::size_t>(bitmap->Width()) : 0;
    f.rgba = RgbaHash(h, w, [&](int y, std::uint8_t* out) {
        const std::uint8_t* row = bitmap->ScanLine(y);
        const std::uint8_t* bits = mask ? mask->ScanLine(y) : nullptr;
        for (std::size_t x = 0; x < w; ++x, out += 4) {
            const TRGBQuad& q = bitmap->ColorTable()[row[x]];
            out[0] = q.Red;
            out[1] = q.Green;
            out[2] = q.Blue;
            out[3] = bits && (bits[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
        }
    });
    return f;
}

void NumberOrNull(JsonWriter& json, const char* key, bool present, std::int64_t value) {
    json.key(key);
    if (present) json.number(value);
    else json.null();
}

bool DumpGif(JsonWriter& json, const DumpInput& in) {
    json.key("kind");
    json.string("gif");
    TGIFImage gif;
    std::vector<FrameFacts> frames;
    // Rendering is part of reading here: a frame that cannot be shown makes the file unreadable.
    try {
        if (!gif.LoadFromFile(in.path)) return NotReadable(json, "gif");
        // Extensions after the last image make a frame without a picture: not
        // an image of the file. A frame's rendering goes once it is hashed,
        // so that a long animation is held once, as its pixels.
        for (const int i : gif.PictureFrames()) {
            frames.push_back(Facts(gif.Images()[i]));
            gif.Images()[i].DropMask();
            gif.Images()[i].DropBitmap();
        }
        if (frames.empty()) return NotReadable(json, "gif");
    } catch (const GIFLimitException&) {
        return TooLargeToRead(json, "gif");
    } catch (const GIFException&) {
        return NotReadable(json, "gif");
    }
    json.key("screen");
    json.beginArray();
    json.number(gif.Width());
    json.number(gif.Height());
    json.endArray();
    json.key("images");
    json.beginArray();
    for (const FrameFacts& f : frames) {
        json.beginObject();
        json.key("width");
        json.number(f.width);
        json.key("height");
        json.number(f.height);
        json.key("bitcount");
        json.number(f.bitcount);
        json.key("position");
        json.beginArray();
        json.number(f.left);
        json.number(f.top);
        json.endArray();
        NumberOrNull(json, "delay", f.gce, f.gce ? f.gce->Delay : 0);
        NumberOrNull(json, "disposal", f.gce, f.gce ? f.gce->Disposal() : 0);
        NumberOrNull(json, "transparent", f.transparent, f.gce ? f.gce->TransparentIndex : 0);
        json.key("rgba_sha256");
        json.string(f.rgba);
        json.endObject();
    }
    json.endArray();
    return true;
}

bool ClaimsGif(const DumpInput& in) { return in.type == ftGif; }

[[maybe_unused]] const int registered = RegisterDumpKind({20, ClaimsGif, DumpGif});

}  // namespace
}  // namespace velto::dump
