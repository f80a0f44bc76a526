// GIF decoding against giflib's DGifSlurp, from memory, of files our encoder
// writes: a large single frame (2048 x 2048, 256 colours, a smooth field with
// noise, as a photograph reduced to a palette compresses) and an animation of
// 100 frames of 256 x 256 (a moving picture with transparency, part of the
// frames interlaced).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "gif/GifImage.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Palette indices of a smooth field with a little noise.
void Field(TGIFSubImage& frame, int phase, std::mt19937& rng) {
    std::uniform_int_distribution<int> noise(-2, 2);
    for (int y = 0; y < frame.Height(); ++y) {
        std::uint8_t* row = frame.Scanline(y);
        for (int x = 0; x < frame.Width(); ++x) {
            const double v = 128 + 60 * std::sin((x + phase) / 90.0) + 60 * std::cos((y - phase) / 70.0);
            row[x] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(v) + noise(rng), 0, 255));
        }
    }
}

Bytes Large() {
    TGIFImage gif;
    for (int i = 0; i < 256; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)));
    auto frame = std::make_unique<TGIFSubImage>(gif);
    frame->SetBounds(0, 0, 2048, 2048);
    std::mt19937 rng(7);
    Field(*frame, 0, rng);
    gif.Images().Add(std::move(frame));
    ByteWriter out;
    gif.SaveToStream(out);
    return out.take();
}

Bytes Animation() {
    TGIFImage gif;
    for (int i = 0; i < 256; ++i) gif.GlobalColorMap().Add(MakeColor(std::uint8_t(i), std::uint8_t(i / 3), std::uint8_t(255 - i)));
    std::mt19937 rng(11);
    for (int i = 0; i < 100; ++i) {
        auto frame = std::make_unique<TGIFSubImage>(gif);
        frame->SetBounds(0, 0, 256, 256);
        Field(*frame, i * 3, rng);
        frame->SetInterlaced(i % 4 == 0);
        auto& gce = frame->Extensions().Add<TGIFGraphicControlExtension>();
        gce.Delay = 4;
        gce.SetDisposal(1);
        gce.SetTransparent(true);
        gce.TransparentIndex = 255;
        gif.Images().Add(std::move(frame));
    }
    ByteWriter out;
    gif.SaveToStream(out);
    return out.take();
}

const Bytes& File(int which) {
    static const Bytes large = Large(), animation = Animation();
    return which == 0 ? large : animation;
}

void Velto(benchmark::State& state, int which) {
    const Bytes& file = File(which);
    for (auto _ : state) {
        TGIFImage gif;
        ByteReader reader(file);
        gif.LoadFromStream(reader);
        benchmark::DoNotOptimize(gif.Images()[0].Data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void Giflib(benchmark::State& state, int which) {
    const Bytes& file = File(which);
    struct Src {
        const Bytes* b;
        std::size_t pos;
    };
    for (auto _ : state) {
        Src src{&file, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&src, [](GifFileType* g, GifByteType* dst, int n) -> int {
            auto* s = static_cast<Src*>(g->UserData);
            const std::size_t k = std::min<std::size_t>(std::size_t(n), s->b->size() - s->pos);
            std::memcpy(dst, s->b->data() + s->pos, k);
            s->pos += k;
            return int(k);
        }, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib refused the file");
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        DGifCloseFile(gif, &error);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

}  // namespace

BENCHMARK_CAPTURE(Velto, large_2048, 0)->Name("GifDecode/velto/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Giflib, large_2048, 0)->Name("GifDecode/giflib/large_2048")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Velto, anim_100x256, 1)->Name("GifDecode/velto/anim_100x256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Giflib, anim_100x256, 1)->Name("GifDecode/giflib/anim_100x256")->Unit(benchmark::kMillisecond);
