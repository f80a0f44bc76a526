// Drawing a 256 x 256 RGBA PNG with partial transparency onto a 256 x 256
// bitmap: our exact per-channel blend against QPainter's SourceOver of the
// same pixels, from a straight-alpha QImage (what a PNG loads as) and from a
// premultiplied one (QPainter's own fastest source).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>

#include "png/PngDraw.h"

using namespace velto;

namespace {

constexpr int kSide = 256;

// Colour fields under an alpha that runs from clear to opaque, with clear and
// opaque bands (an icon's edge and body).
struct Source {
    TPNGObject png;
    QImage straight;
    Source() {
        png.CreateBlank(COLOR_RGBALPHA, 8, kSide, kSide);
        straight = QImage(kSide, kSide, QImage::Format_ARGB32);
        for (int y = 0; y < kSide; ++y) {
            std::uint8_t* row = png.Scanline(y);
            std::uint8_t* alpha = png.AlphaScanline(y);
            for (int x = 0; x < kSide; ++x) {
                const auto r = static_cast<std::uint8_t>(128 + 120 * std::sin(x / 20.0));
                const auto g = static_cast<std::uint8_t>(128 + 120 * std::cos(y / 30.0));
                const auto b = static_cast<std::uint8_t>((x + y) / 2);
                const int d = std::abs(x - 128) + std::abs(y - 128);
                const auto a = static_cast<std::uint8_t>(d < 60 ? 255 : d > 200 ? 0 : 255 - (d - 60) * 255 / 140);
                row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
                alpha[x] = a;
                straight.setPixel(x, y, qRgba(r, g, b, a));
            }
        }
    }
};

const Source& Src() {
    static const Source s;
    return s;
}

void Velto(benchmark::State& state) {
    const Source& s = Src();
    TBitmap dest;
    dest.Allocate(kSide, kSide, pf32bit);
    dest.Canvas().Brush.Color = MakeColor(40, 120, 200);
    dest.Canvas().FillRect({0, 0, kSide, kSide});
    for (auto _ : state) {
        DrawPng(s.png, dest.Canvas(), {0, 0, kSide, kSide});
        benchmark::DoNotOptimize(dest.Bits());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void QPainterDraw(benchmark::State& state, QImage::Format sourceFormat) {
    const QImage source = Src().straight.convertToFormat(sourceFormat);
    QImage dest(kSide, kSide, QImage::Format_RGB32);
    dest.fill(QColor(40, 120, 200));
    QPainter p(&dest);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (auto _ : state) {
        p.drawImage(0, 0, source);
        benchmark::DoNotOptimize(dest.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

BENCHMARK(Velto)->Name("PngDraw/velto/rgba_256")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(QPainterDraw, straight, QImage::Format_ARGB32)
    ->Name("PngDraw/qpainter/rgba_256")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(QPainterDraw, premultiplied, QImage::Format_ARGB32_Premultiplied)
    ->Name("PngDraw/qpainter/rgba_256_premultiplied")
    ->Unit(benchmark::kMicrosecond);
