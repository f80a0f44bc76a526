// The pixel engine on the largest document image (256 x 256): what the
// adjustment dialogs' live previews and the tools' mouse events run. Each
// whole-image routine works in place, so every iteration starts from a copy
// (a 256 KB copy, a few microseconds, included in the time).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/Adjust.h"
#include "engine/AlphaEffects.h"
#include "engine/Filter.h"
#include "engine/Line.h"
#include "engine/Painter.h"
#include "engine/TagBitmap.h"
#include "engine/Transform.h"
#include "model/Image.h"

namespace velto {
namespace {

// A photo-like picture: gradients, edges and some noise, partly transparent at 32 bits.
TmyImagePal Picture(int side, bool holes) {
    TmyImagePal img({side, side}, 32);
    std::uint32_t s = 12345;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            s = s * 1664525u + 1013904223u;
            const auto n = static_cast<std::uint8_t>(s >> 28);
            TmyPixel& p = img.At(x, y);
            p = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(x + n), static_cast<std::uint8_t>(y ^ (x > side / 2 ? 90 : 0)),
                                     static_cast<std::uint8_t>((x * y) >> 8), 255);
            if (holes && ((x - side / 2) * (x - side / 2) + (y - side / 2) * (y - side / 2)) > side * side / 5) p.A = 0;
        }
    return img;
}

void Filter5x5(benchmark::State& state) {
    const TmyImagePal src = Picture(256, true);
    const TFilterKernel& kernel = FilterKernels[static_cast<std::size_t>(state.range(0))].Kernel;
    state.SetLabel(FilterKernels[static_cast<std::size_t>(state.range(0))].Name);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        ApplyFilter5x5(img, kernel, true);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(Filter5x5)->Arg(KernelBlur)->Arg(KernelBlurMore)->Arg(22)->Unit(benchmark::kMillisecond);

// The drop shadow of the given size, as its dialog's preview computes it on
// every change: size / 2 passes of "Blur More" and one of "Blur" if odd.
void Shadow(benchmark::State& state) {
    const TmyImagePal src = Picture(256, true);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        MakeShadow(img, MakeColor(0, 0, 0), static_cast<std::uint8_t>(state.range(0)), 3, 4, 60);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(Shadow)->Arg(2)->Arg(20)->Arg(21)->Unit(benchmark::kMillisecond);

// The copy every iteration here starts from, alone: its time, included in the
// others, depends on where the two pixel buffers lie (some processors copy
// many times slower when the target lies a few bytes past the source modulo
// 4 KB, as the heap tends to place the two buffers here).
void ImageCopy(benchmark::State& state) {
    const TmyImagePal src = Picture(256, true);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(ImageCopy)->Unit(benchmark::kMillisecond);

void Resize(benchmark::State& state) {
    const int from = static_cast<int>(state.range(0)), to = static_cast<int>(state.range(1));
    const TmyImagePal src = Picture(from, true);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        ResizeFrame(img, {to, to});
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(Resize)->Args({256, 48})->Args({256, 200})->Args({48, 256})->Args({256, 256})->Unit(benchmark::kMillisecond);

void Rotate(benchmark::State& state) {
    const TmyImagePal src = Picture(256, true);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        RotateImage(img, 128, 128, 33.0);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(Rotate)->Unit(benchmark::kMillisecond);

void HueSaturation(benchmark::State& state) {
    const TmyImagePal src = Picture(256, false);
    TmyImagePal img = src;
    for (auto _ : state) {
        img.Assign(src);
        HueSaturationLightness(img, {30, 20, 0}, nullptr);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(HueSaturation)->Unit(benchmark::kMillisecond);

void PaintImage256(benchmark::State& state) {
    const TmyImagePal src = Picture(256, true);
    TRgbBuffer out;
    for (auto _ : state) {
        PaintImage(src, out, MakeColor(255, 255, 255));
        benchmark::DoNotOptimize(out.Bytes.data());
    }
}
BENCHMARK(PaintImage256)->Unit(benchmark::kMillisecond);

void FloodFillWhole(benchmark::State& state) {
    TmyImagePal img({256, 256}, 32);
    TmyImage snapshot = img;
    const TmyPixel colours[2] = {TmyPixel::CreateRGBA(0, 0, 0, 0), TmyPixel::CreateRGBA(9, 9, 9, 255)};
    int k = 0;
    for (auto _ : state) {
        TPaintTarget target(img, &snapshot);
        FloodFill(target, 128, 128, colours[1 - k], colours[k]);
        k = 1 - k;
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK(FloodFillWhole)->Unit(benchmark::kMillisecond);

// One move event of a size-7 brush along a 255-point segment, as the brush
// tool stamps it: the tip at every point, the diagonal tips twice.
void BrushStroke(benchmark::State& state) {
    const auto shape = static_cast<TBrushShape>(state.range(0));
    const TBrushTips tips;
    const TTagBitmap& tip = tips.Tip(shape, TTagColor::Primary, 7);
    const TStrokeColors colors{TmyPixel::CreateRGBA(200, 30, 30, 160), TmyPixel::CreateRGBA(0, 0, 0, 255)};
    TmyImagePal img = Picture(256, true);
    const TmyImage snapshot = img;
    for (auto _ : state) {
        TPaintTarget target(img, &snapshot);
        Tline line({0, 10}, {255, 200});
        line.Rasterize();
        for (const TPoint& p : line.GetPoints()) {
            PaintTipStroke(target, p.X - 3, p.Y - 3, tip, colors, TBrushEdges::Hard);
            if (shape == TBrushShape::RisingDiagonal || shape == TBrushShape::FallingDiagonal)
                PaintTipStroke(target, p.X - 4, p.Y - 3, tip, colors, TBrushEdges::Hard);
        }
        benchmark::DoNotOptimize(target.Canvas);
    }
}
BENCHMARK(BrushStroke)->Arg(static_cast<int>(TBrushShape::Round))->Arg(static_cast<int>(TBrushShape::RisingDiagonal))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velto
