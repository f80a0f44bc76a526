// Colour reduction of a 256 x 256 photograph: the colour-depth change to 8 bits
// (octree palette, dithered), and the octree reduction to 256, 16 and 2 colours
// beside ImageMagick's quantizer (one thread) with the same dithering.
#include <benchmark/benchmark.h>
#include <magick/MagickCore.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>

#include "engine/ColorDepth.h"
#include "gif/ColorReduction.h"
#include "model/IcoIO.h"
#include "model/Icon.h"

using namespace velto;

namespace {

constexpr int kSide = 256;

// The photograph of the sample files, or smooth colour fields with a little
// noise when they are absent.
const TmyImagePal& Photo() {
    static const TmyImagePal photo = [] {
        const std::string file = std::string(VELTO_CORPUS_DIR) + "/pillow/hopper_256x256.ico";
        TmyIcon doc;
        TmyIcoIO io(false);
        if (std::filesystem::exists(file) && io.LoadFromFile(doc, file) && doc.Image(0).Width() == kSide &&
            doc.Image(0).Height() == kSide) {
            TmyImagePal img({kSide, kSide}, 32);
            img.Assign(doc.Image(0));
            img.BitCount = 32;
            return img;
        }
        TmyImagePal img({kSide, kSide}, 32);
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> noise(-6, 6);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const double fx = x / 30.0, fy = y / 20.0;
                auto ch = [&](double v) { return static_cast<std::uint8_t>(std::clamp(static_cast<int>(v) + noise(rng), 0, 255)); };
                img.At(x, y) = {ch(128 + 100 * std::sin(fx) * std::cos(fy)), ch(128 + 90 * std::sin(fx * 0.7 + fy)),
                                ch(128 + 80 * std::cos(fx * 1.3 - fy * 0.5)), 255};
            }
        return img;
    }();
    return photo;
}

const TBitmap& PhotoBitmap() {
    static const TBitmap bitmap = [] {
        TBitmap b;
        b.Allocate(kSide, kSide, pf24bit);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const TmyPixel& p = Photo().At(x, y);
                std::uint8_t* q = b.ScanLine(y) + 3 * x;
                q[0] = p.B, q[1] = p.G, q[2] = p.R;
            }
        return b;
    }();
    return bitmap;
}

void ChangeDepth(benchmark::State& state, TBitDepth bits, TDither dither) {
    for (auto _ : state) {
        TmyImagePal img = Photo();
        ChangeColorDepth(img, bits, TPaletteKind::Optimised, dither);
        benchmark::DoNotOptimize(img.Pixels().data());
    }
}
BENCHMARK_CAPTURE(ChangeDepth, dither8, TBitDepth::Bits8, TDither::On)
    ->Name("ChangeColorDepth/32to8-octree-dither")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChangeDepth, nearest8, TBitDepth::Bits8, TDither::Off)
    ->Name("ChangeColorDepth/32to8-octree")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChangeDepth, dither4, TBitDepth::Bits4, TDither::On)
    ->Name("ChangeColorDepth/32to4-octree-dither")
    ->Unit(benchmark::kMillisecond);

void ReduceVelto(benchmark::State& state, int bits, TDitherKind dither) {
    for (auto _ : state) {
        TBitmap out = ReduceColors(PhotoBitmap(), TReductionMethod::crOctree, dither, bits);
        benchmark::DoNotOptimize(out.Bits());
    }
}

void ReduceImageMagick(benchmark::State& state, int bits, DitherMethod dither) {
    static const bool started = [] {
        MagickCoreGenesis(nullptr, MagickFalse);
        SetMagickResourceLimit(ThreadResource, 1);
        return true;
    }();
    (void)started;
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const TmyPixel& p = Photo().At(x, y);
            rgb.insert(rgb.end(), {p.R, p.G, p.B});
        }
    ExceptionInfo* exception = AcquireExceptionInfo();
    Image* source = ConstituteImage(kSide, kSide, "RGB", CharPixel, rgb.data(), exception);
    QuantizeInfo info;
    GetQuantizeInfo(&info);
    info.number_colors = std::size_t{1} << bits;
    info.dither = dither == NoDitherMethod ? MagickFalse : MagickTrue;
    info.dither_method = dither;
    for (auto _ : state) {
        Image* image = CloneImage(source, 0, 0, MagickTrue, exception);
        QuantizeImage(&info, image);
        DestroyImage(image);
    }
    DestroyImage(source);
    DestroyExceptionInfo(exception);
}

// A pair whose names differ only in the implementation.
#define VELTO_REDUCE_PAIR(id, label, bits, ours, theirs)                                                       \
    BENCHMARK_CAPTURE(ReduceVelto, id, bits, ours)->Name("Reduce/velto/" label)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(ReduceImageMagick, id, bits, theirs)                                                     \
        ->Name("Reduce/imagemagick/" label)                                                                    \
        ->Unit(benchmark::kMillisecond)

VELTO_REDUCE_PAIR(c256, "256", 8, TDitherKind::dtNone, NoDitherMethod);
VELTO_REDUCE_PAIR(c256fs, "256-fs", 8, TDitherKind::dtFloydSteinberg, FloydSteinbergDitherMethod);
VELTO_REDUCE_PAIR(c16, "16", 4, TDitherKind::dtNone, NoDitherMethod);
VELTO_REDUCE_PAIR(c16fs, "16-fs", 4, TDitherKind::dtFloydSteinberg, FloydSteinbergDitherMethod);
VELTO_REDUCE_PAIR(c2, "2", 1, TDitherKind::dtNone, NoDitherMethod);
VELTO_REDUCE_PAIR(c2fs, "2-fs", 1, TDitherKind::dtFloydSteinberg, FloydSteinbergDitherMethod);

}  // namespace
