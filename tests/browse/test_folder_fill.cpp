// The folder fill's order and its stop: names that differ only in case, the
// first screen counted in tiles (not in files), the last tile when its file
// is the last one ready, and a stop (Escape, a closed window, another
// folder) that never waits for a file still being read.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStyle>

#include <atomic>
#include <future>
#include <thread>

#include "../resources/PeTestImage.h"
#include "BrowseTestSupport.h"
#include "browse/FolderFill.h"
#include "browse/ThumbnailGrid.h"

using namespace velto;
using namespace velto::test;
using restest::Bytes;
using restest::TempDir;

namespace {

const Bytes& SmallCursor() {
    static const Bytes bytes = restest::CursorFile({{32, 32, 1, 1, {}, 7}});
    return bytes;
}

// Counts the turns posted to it.
class Turns : public QObject {
public:
    std::atomic<int> count{0};

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == TFolderFill::TurnEvent()) ++count;
    }
};

// A gate a worker waits at until the test opens it (or, should the code
// under test wait for that worker, a watchdog does, so that the test fails
// rather than hangs).
class Gate {
public:
    ~Gate() {
        Open();
        if (watchdog_.joinable()) watchdog_.join();
    }
    void Arm() {
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            cv_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
            open_ = true;
            cv_.notify_all();
        });
    }
    void Wait() {
        ++waiting;
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    std::atomic<int> waiting{0};

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
    std::thread watchdog_;
};

// The grid's workers make entries with `maker` while the scope lives.
struct MakerScope {
    explicit MakerScope(TFolderFill::EntryMaker maker) : previous(TThumbail::SetFolderEntryMaker(std::move(maker))) {}
    ~MakerScope() {
        TThumbail::SetFolderEntryMaker(previous);
        TFolderFill::JoinAllWorkers();
    }
    TFolderFill::EntryMaker previous;
};

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

QStringList TileNames(const TThumbail& g) {
    QStringList out;
    for (int i = 0; i < g.Count(); ++i) out << g.Item(i).Caption;
    return out;
}

std::unique_ptr<TThumbail> ShownGrid() {
    EnsureGuiApp();
    auto g = std::make_unique<TThumbail>();
    g->resize(500, 400);
    g->SetThumbnailSize(100);
    g->SetShowCaption(true);
    g->show();
    return g;
}

void FillToEnd(TThumbail& g, const std::string& folder) {
    QSignalSpy done(&g, &TThumbail::fillFinished);
    g.LoadFolder(QString::fromStdString(folder));
    if (done.isEmpty()) {
        ASSERT_TRUE(done.wait(60000));
    }
}

}  // namespace

TEST(FolderFillOrder, NamesThatDifferOnlyInCaseKeepTheirByteOrder) {
    TempDir dir;
    for (const char* name : {"b.cur", "B.cur", "a.cur", "A.cur", "a.CUR", "ab.cur", "Aa.cur"})
        restest::WriteFile(dir.File(name), SmallCursor());
    std::vector<std::string> names;
    for (const std::string& path : ListFolderFiles(dir.Path())) names.push_back(NameOf(path));
    // Case ignored first ("aa" before "ab" before "b"); equal so, the bytes decide.
    EXPECT_EQ(names, (std::vector<std::string>{"A.cur", "a.CUR", "a.cur", "Aa.cur", "ab.cur", "B.cur", "b.cur"}));
    auto g = ShownGrid();
    FillToEnd(*g, dir.Path());
    EXPECT_EQ(TileNames(*g), QStringList({"A.cur", "a.CUR", "a.cur", "Aa.cur", "ab.cur", "B.cur", "b.cur"}));
}

TEST(FolderFillOrder, TheFirstScreenCountsTilesNotFiles) {
    EnsureGuiApp();
    TempDir dir;
    // Every other file is no picture: the 4 tiles of the first screen lie in the first 7 files.
    for (int i = 0; i < 16; ++i)
        restest::WriteFile(dir.File(QString::asprintf("f%02d.%s", i, i % 2 ? "txt" : "cur").toStdString()),
                           i % 2 ? Bytes{'x'} : SmallCursor());
    Gate gate;
    gate.Arm();
    Turns turns;
    // One worker, held at file 4 (the 5th): the files before it hold 2 tiles.
    QElapsedTimer clock;
    clock.start();
    TFolderFill fill(turns, dir.Path(), 100, 1, 4, [&](TFolderFill::Entry& e, int size) {
        if (e.Index == 4) gate.Wait();
        TFolderFill::MakeEntry(e, size);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.waiting.load() == 1; }, 20000));
    // Four files are ready, but only two tiles: the first screen is not told
    // (unless the long wait for it passed, on a machine that slow).
    if (clock.elapsed() < TFolderFill::kFirstScreenWait.count()) {
        EXPECT_FALSE(fill.BeginTurn());
    }
    gate.Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fill.BeginTurn(); }, 20000));
    bool done = false, more = false;
    const std::vector<TFolderFill::Entry> first = fill.Take(4, done, more);
    int tiles = 0;
    for (const TFolderFill::Entry& e : first) tiles += e.Shown;
    EXPECT_EQ(tiles, 4);
    EXPECT_EQ(first.back().Index, 6);

    // The grid: the first tiles it shows are a whole screen.
    auto g = ShownGrid();
    const int bar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g.get());
    const TTileLayout l = TTileLayout::Of(g->contentsRect().width(), bar, 100, true);
    const int screen = l.Cols * ((g->viewport()->height() + l.RowHeight() - 1) / l.RowHeight());
    TempDir mixed;
    for (int i = 0; i < 6 * screen; ++i)
        restest::WriteFile(mixed.File(QString::asprintf("m%03d.%s", i, i % 3 ? "txt" : "cur").toStdString()),
                           i % 3 ? Bytes{'x'} : SmallCursor());
    std::vector<int> seen;
    QObject::connect(g.get(), &TThumbail::statusTextChanged, [&](const QString& text) {
        if (text.startsWith("Searching") && g->Count() > 0) seen.push_back(g->Count());
    });
    FillToEnd(*g, mixed.Path());
    EXPECT_EQ(g->Count(), 2 * screen);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), screen);
}

TEST(FolderFillOrder, TheLastTileComesWhenItsFileIsTheLastReady) {
    EnsureGuiApp();
    // Fewer files than the first screen, and more than it and a batch.
    for (const int n : {5, 300}) {
        SCOPED_TRACE(n);
        TempDir dir;
        for (int i = 0; i < n; ++i)
            restest::WriteFile(dir.File(QString::asprintf("c%03d.cur", i).toStdString()), SmallCursor());
        // The last file is made only once every other was taken by the grid.
        std::atomic<int> taken{0};
        Turns turns;
        TFolderFill fill(turns, dir.Path(), 100, 3, 20, [&](TFolderFill::Entry& e, int size) {
            if (e.Index == n - 1)
                while (taken.load() < n - 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            TFolderFill::MakeEntry(e, size);
        });
        std::vector<int> indices;
        bool done = false;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                fill.BeginTurn();
                bool more = false;
                for (const TFolderFill::Entry& e : fill.Take(7, done, more)) indices.push_back(e.Index);
                taken = static_cast<int>(indices.size());
                return done;
            },
            30000));
        ASSERT_EQ(static_cast<int>(indices.size()), n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(indices[static_cast<std::size_t>(i)], i);

        // The grid, its last worker held until every other file was made.
        std::atomic<int> made{0};
        MakerScope maker([&](TFolderFill::Entry& e, int size) {
            if (NameOf(e.Path) == QString::asprintf("c%03d.cur", n - 1).toStdString())
                while (made.load() < n - 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            TFolderFill::MakeEntry(e, size);
            ++made;
        });
        auto g = ShownGrid();
        FillToEnd(*g, dir.Path());
        ASSERT_EQ(g->Count(), n);
        EXPECT_EQ(g->Item(n - 1).Caption, QString::asprintf("c%03d.cur", n - 1));
        EXPECT_FALSE(g->Item(n - 1).Bitmap.isNull());
        EXPECT_EQ(g->StatusText(), QString("%1 objects").arg(n));
    }
}

TEST(FolderFillStop, AStopNeverWaitsForAFileStillBeingRead) {
    EnsureGuiApp();
    TempDir dir;
    for (int i = 0; i < 6; ++i)
        restest::WriteFile(dir.File(QString::asprintf("c%d.cur", i).toStdString()), SmallCursor());
    {
        Gate gate;
        gate.Arm();
        Turns turns;
        TFolderFill fill(turns, dir.Path(), 100, 2, 3, [&](TFolderFill::Entry& e, int size) {
            if (e.Index == 2) gate.Wait();
            TFolderFill::MakeEntry(e, size);
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.waiting.load() == 1; }, 20000));
        QElapsedTimer clock;
        clock.start();
        fill.Stop();
        // Taken at once: what is ready before the file held, never it.
        bool done = false, more = false;
        std::vector<int> got;
        for (const TFolderFill::Entry& e : fill.Take(10, done, more)) got.push_back(e.Index);
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_TRUE(done);
        EXPECT_LE(got.size(), 2u);
        QCoreApplication::processEvents();
        const int before = turns.count.load();
        // The worker finishes its file unseen: no turn, no entry.
        gate.Open();
        TFolderFill::JoinAllWorkers();
        QCoreApplication::processEvents();
        EXPECT_EQ(turns.count.load(), before);
        EXPECT_TRUE(fill.Take(10, done, more).empty());
    }

    // The grid: Escape, another folder and a closed window, each while a
    // worker is held in a file.
    TempDir other;
    for (int i = 0; i < 3; ++i)
        restest::WriteFile(other.File(QString::asprintf("o%d.cur", i).toStdString()), SmallCursor());
    Gate gate;
    gate.Arm();
    MakerScope maker([&](TFolderFill::Entry& e, int size) {
        if (NameOf(e.Path) == "c2.cur") gate.Wait();
        TFolderFill::MakeEntry(e, size);
    });
    auto g = ShownGrid();
    QSignalSpy finished(g.get(), &TThumbail::fillFinished);
    for (int road = 0; road < 3; ++road) {
        SCOPED_TRACE(road);
        const int held = gate.waiting.load();
        g->LoadFolder(QString::fromStdString(dir.Path()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.waiting.load() == held + 1; }, 20000));
        finished.clear();
        QElapsedTimer clock;
        clock.start();
        if (road == 0) {
            QTest::keyClick(g.get(), Qt::Key_Escape);
        } else if (road == 1) {
            g->Stop();
            FillToEnd(*g, other.Path());
        } else {
            g->close();
        }
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_FALSE(g->Busy());
        EXPECT_GE(finished.count(), 1);
        if (road == 1) {
            EXPECT_EQ(TileNames(*g), QStringList({"o0.cur", "o1.cur", "o2.cur"}));
        } else {
            ASSERT_LE(g->Count(), 2);
            for (int i = 0; i < g->Count(); ++i) EXPECT_EQ(g->Item(i).Caption, QString("c%1.cur").arg(i));
        }
        const QStringList shown = TileNames(*g);
        QCoreApplication::processEvents();
        EXPECT_EQ(TileNames(*g), shown);  // nothing arrives after the stop
        if (road == 2) g->show();
    }
    gate.Open();
    TFolderFill::JoinAllWorkers();
    QCoreApplication::processEvents();
    EXPECT_FALSE(g->Busy());
}
