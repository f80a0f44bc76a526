// Writing animated cursors: 128x128 32-bit frames, all distinct or each shown
// three times, over 100 to 1000 frames; reading one back. Repeated frames are
// found through a hash of their pixels, so writing time should grow linearly
// with the frames, not with their square.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "model/AniIO.h"

namespace velto {
namespace {

// Frames differ only in their last pixel, the costliest case for telling
// them apart; with repeat 3 each frame is shown three times in a row.
TmyANI Animation(int frames, int repeat) {
    TmyImagePal base(ImageSize{.Width = 128, .Height = 128}, 32);
    std::uint32_t s = 12345;
    for (TmyPixel& p : base.Pixels()) {
        s = s * 1664525u + 1013904223u;
        p = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                                 static_cast<std::uint8_t>(s >> 8), 255);
    }
    TmyANI doc;
    for (int i = 0; i < frames; ++i) {
        auto img = std::make_unique<TmyImagePal>(base);
        const int k = i / repeat;
        img->At(127, 127) = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8), 0, 255);
        img->SetRate(0.05 * (1 + i % 4));
        doc.AppendImage(std::move(img));
    }
    return doc;
}

void WriteAni(benchmark::State& state, int repeat) {
    const TmyANI doc = Animation(static_cast<int>(state.range(0)), repeat);
    TmyANIIO io(false);
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        if (!io.SaveToBytes(doc, out)) state.SkipWithError("writing failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 128 * 128 * 4);
}
void BM_WriteAniDistinct128(benchmark::State& state) { WriteAni(state, 1); }
void BM_WriteAniRepeats128(benchmark::State& state) { WriteAni(state, 3); }
BENCHMARK(BM_WriteAniDistinct128)->Arg(100)->Arg(300)->Arg(1000)->Complexity()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAniRepeats128)->Arg(100)->Arg(300)->Arg(1000)->Complexity()->Unit(benchmark::kMillisecond);

void BM_ReadAni300x128(benchmark::State& state) {
    std::vector<std::uint8_t> file;
    TmyANIIO io(false);
    io.SaveToBytes(Animation(300, 3), file);
    for (auto _ : state) {
        TmyANI doc;
        if (!io.LoadFromBytes(doc, file)) state.SkipWithError("reading failed");
        benchmark::DoNotOptimize(doc.Count());
    }
}
BENCHMARK(BM_ReadAni300x128)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velto
