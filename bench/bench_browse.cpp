// The thumbnail grid over a folder of 1,000 cursor files of mixed sizes and
// depths (made here): the whole fill until every tile is painted, next to
// the same files only read and decoded by the cursor reader on one thread.
// The counter first_screen_ratio is the part of the whole time after which
// the tiles of the first screen were all there.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "browse/ThumbnailGrid.h"
#include "model/IcoIO.h"
#include "model/Icon.h"

namespace {

using namespace velto;

QApplication* App() {
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_browse";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return app;
}

// 1,000 cursor files: one to three images each, sides 16 to 256, depths 1 to 32.
struct CursorFolder {
    QTemporaryDir dir;
    std::vector<std::string> files;

    CursorFolder() {
        static constexpr int kSides[] = {16, 24, 32, 48, 64, 96, 128, 256};
        static constexpr int kDepths[] = {1, 4, 8, 24, 32};
        for (int i = 0; i < 1000; ++i) {
            TmyIcon doc;
            doc.IsCursor = true;
            const int images = 1 + i % 3;
            for (int k = 0; k < images; ++k) {
                const int side = kSides[(i * 3 + k * 5) % 8];
                const int depth = kDepths[(i + k * 2) % 5];
                if (!doc.CanAdd({side, side}, depth)) continue;
                TmyImagePal& img = doc.Image(doc.AddImage({side, side}, depth));
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x)
                        img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(x * 7 + i), static_cast<std::uint8_t>(y * 5),
                                                static_cast<std::uint8_t>((x ^ y) + k * 40),
                                                static_cast<std::uint8_t>(depth == 32 ? (x + y) * 3 : 255)};
            }
            const std::string path = dir.filePath(QString::asprintf("cursor%04d.cur", i)).toStdString();
            if (TmyIcoIO(false).SaveToFile(doc, path, true)) files.push_back(path);
        }
    }
};

CursorFolder& Folder() {
    static CursorFolder folder;
    return folder;
}

void ThumbnailsVelto(benchmark::State& state) {
    App();
    CursorFolder& folder = Folder();
    auto grid = std::make_unique<TThumbail>();
    grid->resize(1000, 700);
    grid->SetThumbnailSize(100);
    grid->SetShowCaption(true);
    grid->show();
    QCoreApplication::processEvents();
    double firstRatioSum = 0, fillSum = 0;
    int rounds = 0;
    for (auto _ : state) {
        QSignalSpy done(grid.get(), &TThumbail::fillFinished);
        QElapsedTimer clock;
        qint64 firstScreen = -1;
        const int screen = [&] {
            const TTileLayout l = TTileLayout::Of(grid->contentsRect().width(), 16, 100, true);
            return l.Cols * ((grid->viewport()->height() + l.RowHeight() - 1) / l.RowHeight());
        }();
        auto conn = QObject::connect(grid.get(), &TThumbail::statusTextChanged, [&] {
            if (firstScreen < 0 && grid->Count() >= screen) {
                grid->viewport()->repaint();
                firstScreen = clock.nsecsElapsed();
            }
        });
        clock.start();
        grid->LoadFolder(Folder().dir.path());
        while (done.isEmpty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const qint64 filled = clock.nsecsElapsed();
        // Every tile painted: page by page down the grid.
        QScrollBar* bar = grid->verticalScrollBar();
        for (;;) {
            grid->viewport()->repaint();
            if (bar->value() >= bar->maximum()) break;
            bar->setValue(bar->value() + bar->pageStep());
        }
        const qint64 whole = clock.nsecsElapsed();
        QObject::disconnect(conn);
        bar->setValue(0);
        if (grid->Count() != static_cast<int>(folder.files.size())) state.SkipWithError("tiles missing");
        if (firstScreen < 0) firstScreen = whole;
        fillSum += static_cast<double>(filled) / 1e6;
        firstRatioSum += static_cast<double>(firstScreen) / static_cast<double>(whole);
        ++rounds;
    }
    state.counters["first_screen_ratio"] = rounds ? firstRatioSum / rounds : 0;
    state.counters["tiles"] = grid->Count();
    state.counters["fill_ms"] = rounds ? fillSum / rounds : 0;
}

void ThumbnailsDecode(benchmark::State& state) {
    CursorFolder& folder = Folder();
    for (auto _ : state) {
        int images = 0;
        for (const std::string& file : folder.files) {
            TmyIcon doc;
            if (TmyIcoIO(false).LoadFromFile(doc, file)) images += doc.Count();
        }
        benchmark::DoNotOptimize(images);
    }
}

}  // namespace

BENCHMARK(ThumbnailsVelto)->Name("Thumbnails/velto/1000")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ThumbnailsDecode)->Name("Thumbnails/decode/1000")->Unit(benchmark::kMillisecond)->UseRealTime();
