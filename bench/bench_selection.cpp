// The floating selection's hot paths, on a 256 x 256 image (the largest a
// document holds): the composite the canvas shows at every frame move, the
// drop into an 8-bit image (fitted to its palette, or given a new one,
// dithered or not), the palette test, a resize from the stored pixels, the
// clipboard's alpha restore; and on a document window at zoom 4 in a 1600 x
// 1000 canvas box, one move of the frame with the canvas repaint (target:
// under 16 ms, one frame of a 60 Hz screen).
#include <benchmark/benchmark.h>

#include "BenchGui.h"
#include "engine/Clipboard.h"
#include "engine/Selection.h"

namespace {

using namespace velto;

// A photograph-like picture: smooth colours, a third of the pixels half transparent.
TmyImagePal SampleImage(int bits = 32) {
    TmyImagePal img({256, 256}, 32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                    static_cast<std::uint8_t>((x * y) >> 8),
                                    static_cast<std::uint8_t>((x + y) % 3 == 0 ? 128 : 255)};
    if (bits < 32) ChangeColorDepth(img, static_cast<TBitDepth>(bits), TPaletteKind::Optimised, TDither::Off);
    return img;
}

tmyselection FloatingSample() {
    tmyselection sel;
    TmyImagePal pixels = SampleImage();
    // Other colours than the image's: a drop into the 8-bit image brings new ones.
    for (TmyPixel& p : pixels.Pixels()) p.B = static_cast<std::uint8_t>(255 - p.B);
    sel.Take(pixels);
    sel.SetRect(0, 0, 256, 256);
    return sel;
}

void BM_SelectionComposite(benchmark::State& state) {
    tmyselection sel = FloatingSample();
    sel.InFront = state.range(0) != 0;
    const TmyImagePal image = SampleImage();
    TmyImagePal shown = image;
    for (auto _ : state) {
        state.PauseTiming();
        shown.Assign(image);
        state.ResumeTiming();
        benchmark::DoNotOptimize(sel.PasteTo(0, 0, shown, true));
    }
}

void BM_SelectionDrop8Bit(benchmark::State& state) {
    const TDropSettings settings{true, static_cast<std::uint8_t>(state.range(0)),
                                 state.range(1) ? TDither::On : TDither::Off};
    const TmyImagePal image = SampleImage(8);
    for (auto _ : state) {
        state.PauseTiming();
        TmyImagePal target = image;
        tmyselection sel = FloatingSample();
        state.ResumeTiming();
        benchmark::DoNotOptimize(DropSelection(sel, target, 0, 0, settings, {}));
    }
}

void BM_HasColorOutsidePalette(benchmark::State& state) {
    // Every colour of the image is in the palette: the whole image is searched.
    const TmyImagePal image = SampleImage(8);
    for (auto _ : state) benchmark::DoNotOptimize(HasColorOutsidePalette(image, *image.Palette));
}

void BM_SelectionResize(benchmark::State& state) {
    tmyselection sel = FloatingSample();
    const int side = static_cast<int>(state.range(0));
    for (auto _ : state) sel.Resize(side, side);
}

void BM_ClipboardAlphaRestore(benchmark::State& state) {
    TClipboardMemory memory;
    const TRgbBuffer shared = memory.Copy(SampleImage());
    for (auto _ : state) benchmark::DoNotOptimize(memory.Picture(shared));
}

// At zoom 4 in a 1600 x 1000 canvas box, the whole image lifted.
void BM_FrameMoveOnCanvas(benchmark::State& state) {
    bench::TDeskProgram p(state, "bench_selection", SampleImage(), 4);
    if (!p.desk) return;
    p.main->Selection().Lift(0, 0, 255, 255, false);
    if (!p.desk->SelectionFrameVisible()) {
        state.SkipWithError("no floating selection");
        return;
    }
    int step = 4;
    for (auto _ : state) {
        // One image pixel right, then back: the frame moves, the canvas repaints.
        p.desk->NudgeSelection(step, 0);
        step = -step;
        QCoreApplication::processEvents();
    }
}

}  // namespace

// Argument: in front (1) or behind (0).
BENCHMARK(BM_SelectionComposite)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
// Arguments: "PaletteAction" (0 a new palette, 1 the palette kept), dithering.
BENCHMARK(BM_SelectionDrop8Bit)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HasColorOutsidePalette)->Unit(benchmark::kMillisecond);
// Argument: the new side, from 256.
BENCHMARK(BM_SelectionResize)->Arg(48)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClipboardAlphaRestore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameMoveOnCanvas)->Unit(benchmark::kMillisecond);
