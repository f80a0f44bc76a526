// Brush strokes, the drawing tools' hot path: one mouse move of a size-7
// brush along a 255-point segment (the dispatcher and the pixel writers
// alone), and the same moves on a document window at zoom 10 with the canvas
// repaint and the widget's paint (target: under 4 ms a move). Level and
// diagonal segments, a square tip and a diagonal tip (stamped twice a point).
#include <benchmark/benchmark.h>

#include <QMouseEvent>

#include "BenchGui.h"
#include "engine/ToolDispatch.h"
#include "shell/ToolController.h"

namespace {

using namespace velto;

TmyImagePal SampleImage() {
    TmyImagePal img({256, 256}, 32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 90,
                                    static_cast<std::uint8_t>((x + y) % 3 == 0 ? 128 : 255)};
    return img;
}

// Segment ends: level (row 128) or diagonal (255 x 128).
TPoint SegmentEnd(bool diagonal, bool back) {
    if (!diagonal) return back ? TPoint{0, 128} : TPoint{255, 128};
    return back ? TPoint{0, 64} : TPoint{255, 192};
}

// The engine alone: every move is a 255-point segment of size-7 dabs.
void BM_BrushMove(benchmark::State& state) {
    const bool diagonal = state.range(0) != 0;
    TmyImagePal image = SampleImage();
    const TmyImagePal start = image;
    TToolState tools;
    tools.SetTool(TToolId::Brush);
    tools.SetBrushSize(7);
    tools.SetBrushShape(static_cast<int>(state.range(1)));
    TStrokeColors colors{TmyPixel{200, 20, 20, 160}, TmyPixel{}};
    TToolHost host;
    TToolContext ctx(image, &start, 1, colors, host);
    const TPoint from = SegmentEnd(diagonal, true);
    ApplyToolAt(tools, ctx, {from.X, from.Y, TMouseButton::Left, false, TPhase::Press});
    bool back = false;
    for (auto _ : state) {
        // Fresh pixels every move: a stroke paints each pixel once only.
        state.PauseTiming();
        image.Assign(start);
        state.ResumeTiming();
        const TPoint to = SegmentEnd(diagonal, back);
        back = !back;
        benchmark::DoNotOptimize(ApplyToolAt(tools, ctx, {to.X, to.Y, TMouseButton::Left, false, TPhase::Move}));
    }
    state.counters["points"] = 255;
}

// A document window with a 1600 x 1000 canvas box showing the image at zoom 10.
struct Program : bench::TDeskProgram {
    explicit Program(benchmark::State& state) : TDeskProgram(state, "bench_tools", SampleImage(), 10) {}
    // A mouse event on the canvas at image pixel p.
    void Send(QEvent::Type type, TPoint p, Qt::MouseButtons held) const {
        const TCanvasGeometry g = desk->CanvasGeometry();
        const QPointF at(p.X * 10 - g.hpos + 5, p.Y * 10 - g.vpos + 5);
        QMouseEvent e(type, at, desk->CanvasImage()->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(desk->CanvasImage(), &e);
    }
};

void BM_BrushMoveOnCanvas(benchmark::State& state) {
    Program p(state);
    if (!p.desk) return;
    const bool diagonal = state.range(0) != 0;
    TToolController& tools = p.main->Tools();
    tools.SetTool(TToolId::Brush);
    tools.State().SetBrushSize(7);
    tools.State().SetBrushShape(static_cast<int>(state.range(1)));
    Options().ForeColor = TmyPixel{200, 20, 20, 160};
    p.Send(QEvent::MouseButtonPress, SegmentEnd(diagonal, true), Qt::LeftButton);
    const TmyImagePal start = *p.desk->CurrentImage();
    bool back = false;
    for (auto _ : state) {
        state.PauseTiming();
        p.desk->CurrentImage()->Assign(start);
        state.ResumeTiming();
        p.Send(QEvent::MouseMove, SegmentEnd(diagonal, back), Qt::LeftButton);
        back = !back;
        // The canvas widget paints what the move changed.
        QCoreApplication::processEvents();
    }
    p.Send(QEvent::MouseButtonRelease, SegmentEnd(diagonal, back), Qt::NoButton);
    state.counters["points"] = 255;
}

}  // namespace

// Arguments: diagonal segment (0 level, 1 diagonal), brush shape (1 square, 3 diagonal tip).
BENCHMARK(BM_BrushMove)->ArgsProduct({{0, 1}, {1, 3}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushMoveOnCanvas)->ArgsProduct({{0, 1}, {1, 3}})->Unit(benchmark::kMillisecond);
