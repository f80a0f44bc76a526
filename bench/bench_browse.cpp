// The thumbnail grid over a folder of 1,000 cursor files of mixed sizes and
// depths (made here): the whole fill until every tile is painted, next to
// the same files only read and decoded by their readers on one thread. The
// counter first_screen_ratio is the part of the whole time after which the
// tiles of the first screen were all there. The "jpeg" pair has one file in
// ten a photo of 1600 x 1200 instead. Thumbnails/stop is the time Stop takes
// while a worker decodes a PNG of 8000 x 8000.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "browse/ThumbnailGrid.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
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

// A picture of the image library, smooth colours with a little noise (a photo's cost to code).
void WritePhoto(const std::string& file, int width, int height, std::uint32_t seed) {
    TImageData image;
    if (!NewImage(width, height, ifA8R8G8B8, image)) return;
    std::uint32_t s = seed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            s = s * 1103515245u + 12345u;
            const int noise = static_cast<int>(s >> 28) - 8;
            const auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
            std::uint8_t* p = image.Bits + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 4;
            p[0] = clamp(x * 255 / width + noise);
            p[1] = clamp((x + y) * 127 / (width + height) + 64 + noise);
            p[2] = clamp(y * 255 / height - noise);
            p[3] = 255;
        }
    SaveImageToFile(file, image);
    FreeImage(image);
}

// 1,000 cursor files: one to three images each, sides 16 to 256, depths 1
// to 32; with photos, every tenth a JPEG photo instead.
struct CursorFolder {
    QTemporaryDir dir;
    std::vector<std::string> files;
    std::vector<std::string> photos;

    explicit CursorFolder(bool withPhotos) {
        static constexpr int kSides[] = {16, 24, 32, 48, 64, 96, 128, 256};
        static constexpr int kDepths[] = {1, 4, 8, 24, 32};
        for (int i = 0; i < 1000; ++i) {
            if (withPhotos && i % 10 == 5) {
                const std::string path = dir.filePath(QString::asprintf("photo%04d.jpg", i)).toStdString();
                WritePhoto(path, 1600, 1200, static_cast<std::uint32_t>(i));
                photos.push_back(path);
                continue;
            }
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

CursorFolder& Folder(bool withPhotos) {
    if (withPhotos) {
        static CursorFolder mixed(true);
        return mixed;
    }
    static CursorFolder cursors(false);
    return cursors;
}

void ThumbnailsVelto(benchmark::State& state, bool withPhotos) {
    App();
    CursorFolder& folder = Folder(withPhotos);
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
        grid->LoadFolder(folder.dir.path());
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
        if (grid->Count() != static_cast<int>(folder.files.size() + folder.photos.size()))
            state.SkipWithError("tiles missing");
        if (firstScreen < 0) firstScreen = whole;
        fillSum += static_cast<double>(filled) / 1e6;
        firstRatioSum += static_cast<double>(firstScreen) / static_cast<double>(whole);
        ++rounds;
    }
    state.counters["first_screen_ratio"] = rounds ? firstRatioSum / rounds : 0;
    state.counters["tiles"] = grid->Count();
    state.counters["fill_ms"] = rounds ? fillSum / rounds : 0;
}

void ThumbnailsDecode(benchmark::State& state, bool withPhotos) {
    CursorFolder& folder = Folder(withPhotos);
    for (auto _ : state) {
        int images = 0;
        for (const std::string& file : folder.files) {
            TmyIcon doc;
            if (TmyIcoIO(false).LoadFromFile(doc, file)) images += doc.Count();
        }
        for (const std::string& file : folder.photos) {
            TImageData photo;
            if (LoadImageFromFile(file, photo)) ++images;
            FreeImage(photo);
        }
        benchmark::DoNotOptimize(images);
    }
}

// Stop while a worker decodes one PNG of 8000 x 8000: the time Stop takes.
void ThumbnailsStop(benchmark::State& state) {
    App();
    static QTemporaryDir dir;
    static const bool made = [] {
        WritePhoto(dir.filePath("large.png").toStdString(), 8000, 8000, 1);
        return true;
    }();
    (void)made;
    auto grid = std::make_unique<TThumbail>();
    grid->resize(1000, 700);
    grid->show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        grid->LoadFolder(dir.path());
        // Well into the decode (which takes seconds) before the stop.
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        grid->Stop();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        // The worker left to finish does not slow the next round.
        QTest::qWait(4000);
    }
}

}  // namespace

BENCHMARK_CAPTURE(ThumbnailsVelto, cursors, false)
    ->Name("Thumbnails/velto/1000")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ThumbnailsDecode, cursors, false)
    ->Name("Thumbnails/decode/1000")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ThumbnailsVelto, photos, true)
    ->Name("Thumbnails/velto/1000jpeg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ThumbnailsDecode, photos, true)
    ->Name("Thumbnails/decode/1000jpeg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ThumbnailsStop)->Name("Thumbnails/stop/8000")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
