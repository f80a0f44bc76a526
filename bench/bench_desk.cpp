// The document window's hot paths: painting the visible part of a zoomed
// image (the pixel loops alone, and a whole redraw of a window whose canvas
// box is 1600 x 1000), a scroll step, and opening a 100-frame animated cursor
// until its side bar holds every frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "BenchGui.h"
#include "browse/ThumbnailGrid.h"
#include "core/MessageBox.h"
#include "model/AniIO.h"
#include "shell/CanvasRender.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

#include <QMdiSubWindow>
#include <QScrollBar>

namespace {

using namespace velto;

QApplication* App() { return bench::GuiApp("bench_desk"); }

// Mixed opaque, transparent and partly transparent pixels.
TmyImagePal SampleImage(int side) {
    TmyImagePal img({side, side}, 32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const auto a = static_cast<std::uint8_t>((x * 7 + y * 3) % 4 == 0 ? 0 : (x + y) % 3 == 0 ? 128 : 255);
            img.At(x, y) = a ? TmyPixel{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 90, a} : TmyPixel{};
        }
    return img;
}

// The loops alone: the canvas of a 1600 x 1000 box showing the image at the
// zoom (at zoom 4 the 256 x 256 image is 1024 x 1024, so 1024 x 1000 show).
void BM_CanvasRepaint(benchmark::State& state) {
    const int zoom = static_cast<int>(state.range(0));
    const TmyImagePal img = SampleImage(256);
    QImage canvas(std::min(1600, 256 * zoom), std::min(1000, 256 * zoom), QImage::Format_RGB32);
    const TCanvasGeometry geo{zoom, (256 * zoom - canvas.width()) / 2, (256 * zoom - canvas.height()) / 2};
    const TGridLook grid{true, GridStyle::Dashed, MakeColor(192, 192, 192)};
    for (auto _ : state) {
        PaintCanvasRect(canvas, img, canvas.rect(), geo, TCheckerboard());
        DrawCanvasGrid(canvas, canvas.rect(), geo, grid);
        benchmark::DoNotOptimize(canvas.constBits());
    }
    state.counters["pixels"] = canvas.width() * canvas.height();
}

struct Program {
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
    Program() {
        App();
        SilenceMessages();
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
        Options().Autozoom = false;
        Options().GridVisible = true;
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->resize(1900, 1300);
        main->show();
    }
    ~Program() {
        main.reset();
        FreeOptions();
    }
};

// A document window showing a 256 x 256 image at zoom in a canvas box of
// 1600 x 1000; null (and the benchmark skipped) when it cannot be had.
TfrmDesk* BigWindow(Program& p, benchmark::State& state, int zoom) {
    TmyIcon doc;
    doc.AppendImage(std::make_unique<TmyImagePal>(SampleImage(256)));
    const QString path = p.dir.filePath("big.cur");
    auto* desk = TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false) && p.main->OpenFile(path)
                     ? qobject_cast<TfrmDesk*>(p.main->ActiveDesk())
                     : nullptr;
    if (desk) {
        desk->Frame()->resize(QSize(1600, 1000) + desk->Frame()->size() - desk->ScrollBox()->size());
        desk->SetZoom(zoom);
    }
    if (!desk || desk->ScrollBox()->size() != QSize(1600, 1000)) {
        state.SkipWithError("no window with a 1600 x 1000 canvas box");
        return nullptr;
    }
    return desk;
}

// A whole redraw of a document window whose canvas box is 1600 x 1000.
void BM_DeskRedraw(benchmark::State& state) {
    Program p;
    TfrmDesk* desk = BigWindow(p, state, static_cast<int>(state.range(0)));
    if (!desk) return;
    for (auto _ : state) desk->RedrawCanvas();
    state.counters["pixels"] = desk->CanvasImage()->Bitmap().width() * desk->CanvasImage()->Bitmap().height();
}

// One step of the scroll bar's arrow (10 pixels): shift and the uncovered strip.
void BM_DeskScrollStep(benchmark::State& state) {
    Program p;
    TfrmDesk* desk = BigWindow(p, state, 10);
    if (!desk) return;
    QScrollBar* bar = desk->VertSB();
    int step = 10;
    for (auto _ : state) {
        if (bar->value() + step > bar->maximum() || bar->value() + step < 0) step = -step;
        bar->setValue(bar->value() + step);
    }
}

// Opening a 100-frame 128 x 128 animated cursor until the side bar is full.
void BM_OpenAnimation(benchmark::State& state) {
    Program p;
    TmyANI ani;
    for (int i = 0; i < 100; ++i) {
        TmyImagePal img = SampleImage(128);
        img.At(i, i) = TmyPixel{255, 0, 0, 255};  // every frame its own
        ani.AppendImage(std::make_unique<TmyImagePal>(img));
    }
    const QString path = p.dir.filePath("hundred.ani");
    if (!TmyANIIO(false).SaveToFile(ani, path.toStdString(), false)) {
        state.SkipWithError("the animation was not written");
        return;
    }
    for (auto _ : state) {
        const bool opened = p.main->OpenFile(path);
        auto* desk = qobject_cast<TfrmDesk*>(p.main->ActiveDesk());
        if (!opened || !desk || desk->SideBar()->Count() != 100) {
            state.SkipWithError("the side bar did not get every frame");
            break;
        }
        state.PauseTiming();
        p.main->DiscardDocumentWindow(desk);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_CanvasRepaint)->Arg(4)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeskRedraw)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeskScrollStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAnimation)->Unit(benchmark::kMillisecond);
