// Costs of the model operations that run on every stroke or over whole documents.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "model/Icon.h"
#include "model/Palette.h"
#include "model/Undo.h"

namespace velto {
namespace {

TmyImagePal NoisyFrame(ImageSize size) {
    TmyImagePal img(size, 32);
    std::uint32_t s = 12345;
    for (TmyPixel& p : img.Pixels()) {
        s = s * 1664525u + 1013904223u;
        p = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                                 static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s));
    }
    return img;
}

// One snapshot per mouse press at the largest frame size; the history is full,
// so every store also drops the oldest snapshot.
void BM_UndoStore256(benchmark::State& state) {
    const TmyImagePal frame = NoisyFrame({.Width = 256, .Height = 256});
    tmyUndo undo;
    for (int i = 0; i < tmyUndo::MaxSnapshots; ++i) undo.Store(frame);
    for (auto _ : state) {
        undo.Store(frame);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 256 * 256 * 4);
}
BENCHMARK(BM_UndoStore256);

TmyANI Animation(int frames) {
    TmyANI ani;
    for (int i = 0; i < frames; ++i) ani.AddImage({.Width = 32, .Height = 32}, 32);
    return ani;
}

void BM_AniInsertAtDelete1000(benchmark::State& state) {
    TmyANI ani = Animation(1000);
    for (auto _ : state) {
        ani.InsertAt({.Width = 32, .Height = 32}, 32, 0);  // worst place: everything moves
        ani.Delete(0);
        benchmark::DoNotOptimize(ani.Count());
    }
}
BENCHMARK(BM_AniInsertAtDelete1000);

void BM_AniDelete1000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TmyANI ani = Animation(1000);
        state.ResumeTiming();
        ani.Delete(0);
        benchmark::DoNotOptimize(ani.Count());
        state.PauseTiming();
        ani = TmyANI();  // free outside the timed part
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AniDelete1000);

void BM_NearestColor65536(benchmark::State& state) {
    const TmyPalette palette(256);
    const TmyImagePal frame = NoisyFrame({.Width = 256, .Height = 256});
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const TmyPixel& p : frame.Pixels()) sum += palette.NearestColor(p).R;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_NearestColor65536)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velto
