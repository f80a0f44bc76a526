#pragma once
// Shared by the GIF tests: files built byte by byte, a neutral description of
// decoded frames (ours or a peer's), and a compositor that plays the frames
// onto the logical screen with their transparency and disposal.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gif/GifImage.h"
#include "gif/GifLzw.h"

namespace giftest {

using Bytes = std::vector<std::uint8_t>;
using namespace velto;

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// "GIF89a", a logical screen and a global map of `colors` entries (0 for none):
// entry i is (i, 255 - i, 2i).
inline Bytes Header(int w, int h, int colors = 4) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8)};
    int n = 0;
    while (colors > (2 << n)) ++n;
    b.push_back(colors ? std::uint8_t(0x80 | 0x70 | n) : 0x70);
    b.push_back(0);
    b.push_back(0);
    for (int i = 0; colors && i < (2 << n); ++i) {
        b.push_back(std::uint8_t(i));
        b.push_back(std::uint8_t(255 - i));
        b.push_back(std::uint8_t(2 * i));
    }
    return b;
}

inline Bytes Descriptor(int left, int top, int w, int h, std::uint8_t packed = 0) {
    return {',', std::uint8_t(left), std::uint8_t(left >> 8), std::uint8_t(top), std::uint8_t(top >> 8), std::uint8_t(w),
            std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8), packed};
}

inline Bytes Gce(std::uint8_t packed, std::uint16_t delay, std::uint8_t index) {
    return {'!', 0xF9, 4, packed, std::uint8_t(delay), std::uint8_t(delay >> 8), index, 0};
}

// Our LZW encoding of indices (minimum code size byte, sub-blocks, terminator).
inline Bytes Lzw(const std::vector<std::uint8_t>& px, int w, int h, int bits = 2, bool interlace = false) {
    ByteWriter out;
    TLZWEncoder().Encode(out, bits, 1 << bits, px.data(), interlace, h, w);
    return out.take();
}

// Data sub-blocks cut from a code stream (minimum code size byte first) into
// blocks of `size` bytes, terminator added.
inline Bytes Reblock(const Bytes& lzw, std::size_t size) {
    // Gather the codes' bytes from the original blocks.
    Bytes data;
    std::size_t at = 1;
    while (at < lzw.size() && lzw[at] != 0) {
        data.insert(data.end(), lzw.begin() + at + 1, lzw.begin() + at + 1 + lzw[at]);
        at += 1 + lzw[at];
    }
    Bytes out = {lzw[0]};
    for (std::size_t i = 0; i < data.size(); i += size) {
        const std::size_t n = std::min(size, data.size() - i);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + i, data.begin() + i + n);
    }
    out.push_back(0);
    return out;
}

// Codes of `bits` bits each packed into one data sub-block stream.
inline Bytes Codes(int minCodeSize, std::initializer_list<std::pair<int, int>> codes) {
    Bytes data;
    std::uint32_t acc = 0;
    int n = 0;
    for (auto [code, bits] : codes) {
        acc |= std::uint32_t(code) << n;
        n += bits;
        while (n >= 8) {
            data.push_back(std::uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n) data.push_back(std::uint8_t(acc));
    Bytes out = {std::uint8_t(minCodeSize)};
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t k = std::min<std::size_t>(255, data.size() - i);
        out.push_back(std::uint8_t(k));
        out.insert(out.end(), data.begin() + i, data.begin() + i + k);
    }
    out.push_back(0);
    return out;
}

// Indices of a w x h frame: a gradient with noise, below `colors`.
inline std::vector<std::uint8_t> Pattern(int w, int h, int colors, unsigned seed = 1) {
    std::vector<std::uint8_t> px(std::size_t(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        px[i] = std::uint8_t(((i / 7) + ((seed >> 16) % 3 == 0 ? (seed >> 20) : 0)) % colors);
    }
    return px;
}

// A frame added to an image: bounds, pixels from Pattern(), a local map of
// `localColors` entries (none for 0), and a graphic control extension when
// disposal >= 0 (transparent index when transparent >= 0).
inline TGIFSubImage& AddFrame(TGIFImage& gif, int left, int top, int w, int h, int localColors, int disposal,
                              int transparent = -1, bool interlaced = false, std::uint16_t delay = 0) {
    auto frame = std::make_unique<TGIFSubImage>(gif);
    frame->SetBounds(left, top, w, h);
    for (int i = 0; i < localColors; ++i)
        frame->ColorMap().Add(MakeColor(std::uint8_t(i * 37), std::uint8_t(255 - i), std::uint8_t(i * 5)));
    const int colors = std::max(1, localColors ? localColors : gif.GlobalColorMap().Count());
    const auto px = Pattern(w, h, colors, unsigned(left * 7 + top));
    std::copy(px.begin(), px.end(), frame->Data());
    frame->SetInterlaced(interlaced);
    if (disposal >= 0) {
        auto& gce = frame->Extensions().Add<TGIFGraphicControlExtension>();
        gce.SetDisposal(std::uint8_t(disposal));
        gce.Delay = delay;
        if (transparent >= 0) {
            gce.SetTransparent(true);
            gce.TransparentIndex = std::uint8_t(transparent);
        }
    }
    return gif.Images()[gif.Images().Add(std::move(frame))];
}

// An animation with what the writer can write: a global map of 16 colours,
// frames on it and with local maps (5 and 256 colours), interlaced and not,
// transparent, every disposal, comments and a loop count.
inline void BuildFeatureGif(TGIFImage& gif) {
    for (int i = 0; i < 16; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i * 16), std::uint8_t(i), 200));
    TGIFSubImage& first = AddFrame(gif, 0, 0, 40, 30, 0, 0, -1, false, 10);
    first.Extensions().Add<TGIFAppExtNSLoop>().Loops = 3;
    first.Extensions().Add<TGIFCommentExtension>().Text = {"first", std::string(255, 'c')};
    AddFrame(gif, 5, 6, 20, 10, 5, 1, 2, true, 20);
    AddFrame(gif, 20, 20, 13, 7, 0, 2, 3, true, 30);
    AddFrame(gif, 1, 1, 9, 5, 256, 3, 200, false, 40).Extensions().Add<TGIFCommentExtension>().Text = {"last"};
    AddFrame(gif, 0, 0, 40, 30, 0, -1);
}

// The animation above in gif, written with an encoder (Compression 0 or 1).
inline Bytes FeatureFile(TGIFImage& gif, std::uint8_t compression);

// ---------------------------------------------------------------------------
// Frames as any decoder gives them.

struct RawFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;             // width x height, top row first
    std::vector<std::array<std::uint8_t, 3>> map;  // the frame's active colour map
    int transparent = -1;
    int disposal = 0;
};

struct RawGif {
    int width = 0, height = 0;
    std::vector<RawFrame> frames;
};

// Our image's frames that hold pixels.
inline RawGif FromOurs(const TGIFImage& gif) {
    RawGif out{gif.Width(), gif.Height(), {}};
    for (int i = 0; i < gif.Images().Count(); ++i) {
        const TGIFSubImage& f = gif.Images()[i];
        if (f.Empty()) continue;
        RawFrame r{f.Left(), f.Top(), f.Width(), f.Height(), {f.Data(), f.Data() + f.DataSize()}, {}, -1, 0};
        for (const TGIFColor& c : f.UsedColorMap().Entries()) r.map.push_back({c.Red, c.Green, c.Blue});
        if (const auto* g = f.GraphicControlExtension()) {
            r.disposal = g->Disposal();
            if (f.Transparent()) r.transparent = g->TransparentIndex;
        }
        out.frames.push_back(std::move(r));
    }
    return out;
}

// The screen after each frame, as straight RGBA with transparent pixels
// 0, 0, 0, 0: the screen starts transparent; a frame's transparent pixels
// leave what is below; an index beyond the map shows opaque black; disposal 2
// clears the frame's area, 3 restores the screen from before the frame.
inline std::vector<Bytes> Compose(const RawGif& gif) {
    const std::size_t w = std::size_t(gif.width), h = std::size_t(gif.height);
    Bytes screen(w * h * 4, 0);
    std::vector<Bytes> shots;
    for (const RawFrame& f : gif.frames) {
        const Bytes before = screen;
        auto each = [&](auto&& fn) {
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x) {
                    const long sx = long(f.left) + x, sy = long(f.top) + y;
                    if (sx < 0 || sy < 0 || std::size_t(sx) >= w || std::size_t(sy) >= h) continue;
                    fn(&screen[(std::size_t(sy) * w + std::size_t(sx)) * 4], f.indices[std::size_t(y) * f.width + x]);
                }
        };
        each([&](std::uint8_t* px, std::uint8_t i) {
            if (int(i) == f.transparent) return;
            const std::array<std::uint8_t, 3> c = i < f.map.size() ? f.map[i] : std::array<std::uint8_t, 3>{};
            px[0] = c[0], px[1] = c[1], px[2] = c[2], px[3] = 255;
        });
        shots.push_back(screen);
        if (f.disposal == 2) each([](std::uint8_t* px, std::uint8_t) { px[0] = px[1] = px[2] = px[3] = 0; });
        else if (f.disposal == 3) screen = before;
    }
    return shots;
}

// A fingerprint of bytes (FNV-1a, 64 bits) as hex.
inline std::string Hash(const Bytes& b) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t c : b) h = (h ^ c) * 1099511628211ull;
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

// `frames` frames of one colour filling a 640 x 480 screen: a long clip, small.
inline Bytes Clip(int frames) {
    const Bytes frame = Concat({Descriptor(0, 0, 640, 480), Lzw(std::vector<std::uint8_t>(640 * 480, 1), 640, 480)});
    Bytes out = Header(640, 480);
    for (int i = 0; i < frames; ++i) out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

// Loads bytes; the GIFException's text, or "" on success.
inline std::string Load(TGIFImage& gif, const Bytes& bytes) {
    ByteReader reader(bytes);
    try {
        gif.LoadFromStream(reader);
    } catch (const GIFException& e) {
        return e.what();
    }
    return "";
}

inline Bytes Save(TGIFImage& gif) {
    ByteWriter out;
    gif.SaveToStream(out);
    return out.take();
}

inline Bytes FeatureFile(TGIFImage& gif, std::uint8_t compression) {
    BuildFeatureGif(gif);
    gif.Compression = compression;
    return Save(gif);
}

// Warnings an image reports, in order.
struct WarningLog {
    std::vector<std::string> texts;
    void Attach(TGIFImage& gif) {
        gif.OnWarning = [this](const void*, int, const std::string& m) { texts.push_back(m); };
    }
};

}  // namespace giftest
