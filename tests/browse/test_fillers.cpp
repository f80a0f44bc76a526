// The fillers: folders (names, types by content, order, hidden and special
// files, Escape, a window closed during the fill), animated-cursor and GIF
// frames, document images, the cursor groups and icons of test executables,
// and the cursor files of the resource editor.
#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "../resources/PeTestImage.h"
#include "BrowseTestSupport.h"
#include "Corpus.h"
#include "Sanitizer.h"
#include "browse/FolderFill.h"
#include "browse/TileSources.h"
#include "gif/GifImage.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteWriter.h"
#include "resources/CursorGroups.h"
#include "resources/ResourceUpdate.h"

using namespace velto;
using namespace velto::test;
using restest::Bytes;
using restest::TempDir;

namespace {

std::unique_ptr<TThumbail> Grid(int size = 100) {
    EnsureGuiApp();
    auto g = std::make_unique<TThumbail>();
    g->resize(500, 400);
    g->SetThumbnailSize(size);
    g->SetShowCaption(true);
    return g;
}

// Runs a folder fill to its end.
void Fill(TThumbail& g, const std::string& folder) {
    QSignalSpy done(&g, &TThumbail::fillFinished);
    g.LoadFolder(QString::fromStdString(folder));
    if (done.isEmpty()) {
        ASSERT_TRUE(done.wait(60000));
    }
    EXPECT_FALSE(g.Busy());
}

QStringList Captions(const TThumbail& g) {
    QStringList out;
    for (int i = 0; i < g.Count(); ++i) out << g.Item(i).Caption;
    return out;
}

// A cursor file of one w x h 32-bit image, or of a PNG stream with the hotspot.
Bytes CursorFile(int w, int h, std::uint8_t seed = 1) { return restest::CursorFile({{w, h, 1, 2, {}, seed}}); }

Bytes PngCursorFile(int side, std::uint16_t hotX, std::uint16_t hotY) {
    TmyImagePal img({side, side}, 32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) img.At(x, y) = TmyPixel{0, static_cast<std::uint8_t>(x * 4), 200, 255};
    Bytes png = TmyIcoIO::EncodePNG(img);
    return restest::CursorFile({{0, 0, hotX, hotY, png}});
}

Bytes PngFile(int w, int h) {
    TmyImagePal img({w, h}, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = TmyPixel{50, 60, 70, 255};
    return TmyIcoIO::EncodePNG(img);
}

}  // namespace

TEST(FolderFiller, PictureFilesByContentInNameOrderWithoutHiddenOrSpecialFiles) {
    TempDir dir;
    restest::WriteFile(dir.File("b.txt"), Bytes{'h', 'e', 'l', 'l', 'o'});
    restest::WriteFile(dir.File("a.cur"), CursorFile(32, 32));
    restest::WriteFile(dir.File("C.png"), PngFile(400, 200));
    restest::WriteFile(dir.File("d.bmp"), PngFile(10, 20));  // a PNG by its bytes
    restest::WriteFile(dir.File(".hidden.cur"), CursorFile(16, 16));
    restest::WriteFile(dir.File("e.cur"), Bytes{0, 0, 2, 0, 1, 0, 9, 9});  // a damaged cursor
    std::filesystem::create_directory(dir.File("sub.cur"));
    ASSERT_EQ(::mkfifo(dir.File("pipe.cur").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.File("pipe.cur"), dir.File("link.cur"));
    std::filesystem::create_symlink(dir.File("a.cur"), dir.File("f-link.cur"));

    EXPECT_EQ(ListFolderFiles(dir.Path()),
              (std::vector<std::string>{dir.File("a.cur"), dir.File("b.txt"), dir.File("C.png"), dir.File("d.bmp"),
                                        dir.File("e.cur"), dir.File("f-link.cur")}));
    auto g = Grid();
    QStringList statuses;
    QObject::connect(g.get(), &TThumbail::statusTextChanged, [&](const QString& s) { statuses << s; });
    // A fill never opens the FIFO: it would block here for ever.
    Fill(*g, dir.Path());
    EXPECT_EQ(Captions(*g), (QStringList{"a.cur", "C.png", "d.bmp", "e.cur", "f-link.cur"}));
    for (int i = 0; i < g->Count(); ++i) {
        EXPECT_EQ(g->Item(i).Kind, tkFile);
        EXPECT_EQ(g->Item(i).FileName, QString::fromStdString(dir.File(g->Item(i).Caption.toStdString())));
    }
    EXPECT_EQ(g->Item(0).SourceWidth, 32);
    EXPECT_EQ(g->Item(1).Bitmap.size(), QSize(90, 45));
    EXPECT_EQ(g->Item(2).Bitmap.size(), QSize(10, 20));
    EXPECT_TRUE(g->Item(3).Bitmap.isNull());  // a tile without a picture, not counted
    // Pictures are shown over white.
    EXPECT_EQ(g->Item(2).Bitmap.pixel(0, 0), qRgb(50, 60, 70));
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.front(), "Searching image files... Press Esc to stop");
    EXPECT_EQ(statuses.back(), "4 objects");

    // A second fill replaces the tiles and the selection.
    g->SelectItem(1);
    std::filesystem::remove(dir.File("C.png"));
    Fill(*g, dir.Path());
    EXPECT_EQ(g->Count(), 4);
    EXPECT_TRUE(g->Selection().empty());
    // A missing folder gives an empty grid.
    Fill(*g, dir.File("none"));
    EXPECT_EQ(g->Count(), 0);
    EXPECT_EQ(g->StatusText(), "0 objects");
}

// Files of /proc are regular files that read as empty and then give more:
// neither the folder fill's workers nor the other fillers take them for
// anything, whatever a link to them is called.
TEST(FolderFiller, FilesOfProcAndLinksToThemGiveNoTileOnAnyRoad) {
    TempDir dir;
    restest::WriteFile(dir.File("a.cur"), CursorFile(32, 32));
    for (const char* name : {"x.cur", "y.ani", "z.png"})
        std::filesystem::create_symlink("/proc/self/status", dir.File(name));
    auto g = Grid();
    Fill(*g, dir.Path());
    EXPECT_EQ(Captions(*g), (QStringList{"a.cur"}));
    EXPECT_EQ(g->StatusText(), "1 objects");

    for (const std::string& file : {std::string("/proc/self/status"), dir.File("x.cur")}) {
        SCOPED_TRACE(file);
        const QString name = QString::fromStdString(file);
        g->LoadCursorResources(name, false);
        EXPECT_EQ(g->Count(), 0);
        g->LoadFileIcons(name);
        EXPECT_EQ(g->Count(), 0);
        g->LoadAniFrames(name);
        EXPECT_EQ(g->Count(), 0);
        g->LoadGifFrames(name, false);
        EXPECT_EQ(g->Count(), 0);
        g->AddCursorFiles({name});
        EXPECT_EQ(g->Count(), 0);
    }
}

TEST(FolderFiller, CorpusFoldersGiveTheTilesOfAOneThreadWalkInItsOrder) {
    VELTO_NEED_CORPUS();
    for (const char* folder : {"ani-fixtures/Super_Mario_Amp_2", "pillow", "pngsuite", "pillow/bmp/g"}) {
        SCOPED_TRACE(folder);
        const std::string path = Corpus(folder);
        QStringList expected;
        std::vector<bool> pictures;
        for (const std::string& file : ListFolderFiles(path)) {
            const FileTypeResult t = DetectFileType(file);
            if (!t.ok() || !IsFolderPictureType(t.type)) continue;
            expected << QString::fromStdString(std::filesystem::path(file).filename().string());
            pictures.push_back(PictureOfFile(file, t.type, 100).Ok);
        }
        auto g = Grid();
        Fill(*g, path);
        ASSERT_EQ(Captions(*g), expected);
        int withPicture = 0;
        for (int i = 0; i < g->Count(); ++i) {
            EXPECT_EQ(!g->Item(i).Bitmap.isNull(), pictures[static_cast<std::size_t>(i)])
                << g->Item(i).Caption.toStdString();
            withPicture += pictures[static_cast<std::size_t>(i)];
        }
        EXPECT_EQ(g->StatusText(), QString("%1 objects").arg(withPicture));
        EXPECT_GT(withPicture, 0);
    }
}

TEST(FolderFiller, EscapeAndClosingStopTheFillAndKeepWhatWasMade) {
    TempDir dir;
    const Bytes cursor = CursorFile(128, 128);
    for (int i = 0; i < 3000; ++i)
        restest::WriteFile(dir.File(QString::asprintf("c%05d.cur", i).toStdString()), cursor);
    {
        auto g = Grid();
        g->show();
        QSignalSpy done(g.get(), &TThumbail::fillFinished);
        g->LoadFolder(QString::fromStdString(dir.Path()));
        EXPECT_TRUE(g->Busy());
        // Busy: other fillers refuse.
        TmyIcon doc;
        doc.AddImage({16, 16}, 32);
        g->LoadIconImages(doc, false);
        EXPECT_EQ(g->Count(), 0);
        QTest::keyClick(g.get(), Qt::Key_Escape);
        ASSERT_EQ(done.count(), 1);
        EXPECT_FALSE(g->Busy());
        // Whatever was made is a run from the first file, in order.
        EXPECT_LT(g->Count(), 3000);
        for (int i = 0; i < g->Count(); ++i) EXPECT_EQ(g->Item(i).Caption, QString::asprintf("c%05d.cur", i));
        EXPECT_EQ(g->StatusText(), QString("%1 objects").arg(g->Count()));
        const int made = g->Count();
        QCoreApplication::processEvents();
        EXPECT_EQ(g->Count(), made);  // nothing arrives after the stop
        // The grid works again.
        g->LoadIconImages(doc, false);
        EXPECT_EQ(g->Count(), 1);
    }
    // A window closed, or destroyed, while its grid fills: the workers end first.
    for (int round = 0; round < 2; ++round) {
        auto window = std::make_unique<QWidget>();
        auto* g = new TThumbail(window.get());
        window->show();
        g->LoadFolder(QString::fromStdString(dir.Path()));
        QCoreApplication::processEvents();
        if (round == 0) {
            window->close();
            EXPECT_FALSE(g->Busy());
        }
        window.reset();
        QCoreApplication::processEvents();
    }
}

TEST(FolderFiller, EscapeInAnotherWindowStopsTheFillAndStillReachesThatWindow) {
    TempDir dir;
    const Bytes cursor = CursorFile(128, 128);
    for (int i = 0; i < 300; ++i)
        restest::WriteFile(dir.File(QString::asprintf("c%05d.cur", i).toStdString()), cursor);
    auto g = Grid();
    g->show();
    QDialog other;
    other.show();
    g->LoadFolder(QString::fromStdString(dir.Path()));
    ASSERT_TRUE(g->Busy());
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_FALSE(g->Busy());
    EXPECT_FALSE(other.isVisible());  // the dialog over the explorer closed
}

// The fill's own side: turns posted to an object, results taken in listing
// order, never more tiles per take than asked.
class TurnCounter : public QObject {
public:
    int turns = 0;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == TFolderFill::TurnEvent()) ++turns;
    }
};

TEST(FolderFiller, TakesComeInListingOrderWithinTheTileLimit) {
    EnsureGuiApp();
    TempDir dir;
    const Bytes cursor = CursorFile(32, 32);
    for (int i = 0; i < 40; ++i) {
        // Every fifth file is no picture: it is taken but gets no tile.
        if (i % 5 == 4) restest::WriteFile(dir.File(QString::asprintf("f%02d.txt", i).toStdString()), Bytes{'x'});
        else restest::WriteFile(dir.File(QString::asprintf("f%02d.cur", i).toStdString()), cursor);
    }
    TurnCounter turns;
    TFolderFill fill(turns, dir.Path(), 100, 3, 10);
    EXPECT_EQ(fill.FirstScreen(), 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fill.Total() >= 0; }, 10000));
    EXPECT_EQ(fill.Total(), 40);
    // The listing is there before any picture is taken: the first paths, in order.
    const std::vector<std::string> head = fill.ListedHead(3);
    EXPECT_EQ(head, (std::vector<std::string>{dir.File("f00.cur"), dir.File("f01.cur"), dir.File("f02.cur")}));
    EXPECT_EQ(fill.ListedHead(100).size(), 40u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return turns.turns > 0; }, 10000));

    std::vector<TFolderFill::Entry> all;
    bool done = false;
    while (!done) {
        bool more = false;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                fill.BeginTurn();
                std::vector<TFolderFill::Entry> got = fill.Take(3, done, more);
                int tiles = 0;
                for (const TFolderFill::Entry& e : got) tiles += e.Shown;
                EXPECT_LE(tiles, 3);
                for (TFolderFill::Entry& e : got) all.push_back(std::move(e));
                return done || !got.empty();
            },
            10000));
    }
    ASSERT_EQ(all.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        const TFolderFill::Entry& e = all[static_cast<std::size_t>(i)];
        EXPECT_EQ(e.Index, i);
        EXPECT_EQ(e.Shown, i % 5 != 4) << e.Path;
        EXPECT_EQ(e.PictureOk, e.Shown);
        if (e.Shown) {
            EXPECT_EQ(e.Bitmap.size(), QSize(32, 32));
        }
    }
    // Entries taken: their paths are gone from the listing.
    EXPECT_TRUE(fill.ListedHead(3).empty());
    // Every worker told at its end, so a turn says so.
    EXPECT_TRUE(fill.BeginTurn());
}

TEST(FolderFiller, TheFirstScreenComesWholeAndFirst) {
    TempDir dir;
    const Bytes small = CursorFile(32, 32);
    const Bytes large = CursorFile(256, 256);
    for (int i = 0; i < 600; ++i)
        restest::WriteFile(dir.File(QString::asprintf("c%04d.cur", i).toStdString()), i % 7 == 3 ? large : small);
    auto g = Grid();
    g->show();
    const int bar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g.get());
    const TTileLayout l = TTileLayout::Of(g->contentsRect().width(), bar, 100, true);
    const int screen = l.Cols * ((g->viewport()->height() + l.RowHeight() - 1) / l.RowHeight());
    ASSERT_GT(screen, 1);
    // The tiles there whenever the grid says it is still searching: the
    // first time tiles are there, they are the whole first screen.
    std::vector<int> counts;
    QObject::connect(g.get(), &TThumbail::statusTextChanged, [&](const QString& text) {
        if (text.startsWith("Searching") && g->Count() > 0) counts.push_back(g->Count());
    });
    for (int round = 0; round < 2; ++round) {
        counts.clear();
        Fill(*g, dir.Path());
        ASSERT_EQ(g->Count(), 600);
        ASSERT_FALSE(counts.empty());
        EXPECT_EQ(counts.front(), screen) << "round " << round;
        for (int i = 0; i < g->Count(); ++i) ASSERT_EQ(g->Item(i).Caption, QString::asprintf("c%04d.cur", i));
        EXPECT_EQ(g->Item(3).SourceWidth, 256);
        EXPECT_EQ(g->Item(4).SourceWidth, 32);
    }
}

TEST(FolderFiller, AHundredThousandFilesKeepTheWindowResponsive) {
    TempDir dir;
    const Bytes cursor = CursorFile(32, 32);
    const Bytes text{'x'};
    for (int i = 0; i < 100000; ++i) {
        const std::string name = QString::asprintf("f%06d.%s", i, i % 50 == 0 ? "cur" : "txt").toStdString();
        std::ofstream(dir.File(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(i % 50 == 0 ? cursor.data() : text.data()),
                   static_cast<std::streamsize>(i % 50 == 0 ? cursor.size() : text.size()));
    }
    auto g = Grid(65);
    g->show();
    QSignalSpy done(g.get(), &TThumbail::fillFinished);
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
        ++ticks;
    });
    clock.start();
    tick.start(5);
    g->LoadFolder(QString::fromStdString(dir.Path()));
    ASSERT_TRUE(done.wait(120000));
    tick.stop();
    EXPECT_EQ(g->Count(), 2000);
    EXPECT_EQ(g->StatusText(), "2000 objects");
    EXPECT_EQ(g->Item(1999).Caption, "f099950.cur");
    // The scroll range, held back while tiles arrive in batches, reaches the last row.
    const int bar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g.get());
    const TTileLayout l = TTileLayout::Of(g->contentsRect().width(), bar, 65, true);
    EXPECT_EQ(g->verticalScrollBar()->maximum(), l.ContentHeight(2000) - g->viewport()->height());
    // The event loop kept turning throughout.
    EXPECT_GT(ticks, 0);
    VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER("the event loop's longest wait");
    EXPECT_LT(worst, 400) << "longest wait of the event loop in ms over " << ticks << " ticks";
}

TEST(FrameFillers, AnimatedCursorAndDocumentImages) {
    VELTO_NEED_CORPUS();
    auto g = Grid();
    const std::string piano = Corpus("ani-fixtures/piano.ani");
    TmyANI doc;
    TmyANIIO reader(false);
    ASSERT_TRUE(reader.LoadFromFile(doc, piano));
    g->LoadAniFrames(QString::fromStdString(piano));
    ASSERT_EQ(g->Count(), doc.Count());
    for (int i = 0; i < g->Count(); ++i) {
        EXPECT_EQ(g->Item(i).Caption, QString("Frame %1").arg(i + 1));
        EXPECT_EQ(g->Item(i).Kind, tkDocumentImage);
        EXPECT_EQ(g->Item(i).SourceWidth, doc.Image(i).Width());
        EXPECT_FALSE(g->Item(i).Bitmap.isNull());
    }
    EXPECT_EQ(g->StatusText(), QString("%1 objects").arg(doc.Count()));
    // A file that is no animated cursor gives no frames.
    g->LoadAniFrames(QString::fromStdString(Corpus("pillow/hopper.gif")));
    EXPECT_EQ(g->Count(), 0);

    // Document images: frames counted from 0, else size and depth.
    g->LoadIconImages(doc, true);
    EXPECT_EQ(g->Item(0).Caption, "Frame 0");
    TmyIcon icon;
    icon.AddImage({48, 32}, 32);
    icon.AddImage({16, 16}, 4);
    icon.AddImage({20, 20}, 16);
    g->LoadIconImages(icon, false);
    EXPECT_EQ(Captions(*g), (QStringList{"48x32 - 32", "16x16 - 4", "20x20"}));
    // Rendered over white: an empty 32-bit image shows white.
    EXPECT_EQ(g->Item(0).Bitmap.pixel(3, 3), qRgb(255, 255, 255));
}

TEST(FrameFillers, GifFramesOverWhiteOrOverEachOther) {
    VELTO_NEED_CORPUS();
    auto g = Grid();
    int partialFrames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Corpus("pillow"))) {
        if (entry.path().extension() != ".gif" || entry.path().filename().string().find("bomb") != std::string::npos)
            continue;
        const std::string file = entry.path().string();
        SCOPED_TRACE(file);
        TGIFImage gif;
        std::vector<int> pictures;
        try {
            if (gif.LoadFromFile(file)) pictures = gif.PictureFrames();
        } catch (...) {
            continue;  // damaged on purpose: the filler's own guard is tested below
        }
        // A frame of extensions alone (after the last image) gets no tile.
        int frames = static_cast<int>(pictures.size());
        if (gif.Width() == 0 || gif.Height() == 0) frames = 0;
        g->LoadGifFrames(QString::fromStdString(file), false);
        ASSERT_EQ(g->Count(), frames);
        for (int i = 0; i < frames; ++i) {
            EXPECT_EQ(g->Item(i).Caption, QString("Frame %1").arg(i + 1));
            EXPECT_EQ(g->Item(i).Kind, tkGifFrame);
            EXPECT_EQ(QSize(g->Item(i).SourceWidth, g->Item(i).SourceHeight), QSize(gif.Width(), gif.Height()));
        }
        // Without Overimpose a frame that leaves part of a small screen free
        // shows white there.
        if (gif.Width() > 90 || gif.Height() > 90) continue;
        for (int i = 0; i < frames; ++i) {
            const TGIFSubImage& f = gif.Images()[pictures[static_cast<std::size_t>(i)]];
            if (f.Left() > 0) {
                ++partialFrames;
                EXPECT_EQ(g->Item(i).Bitmap.pixel(0, 0), qRgb(255, 255, 255));
            }
        }
    }
    g->LoadGifFrames(QString::fromStdString(Corpus("pillow/multiple_comments.gif")), false);
    EXPECT_EQ(g->Count(), 5) << "five images, then comments";
    // Not a GIF: refused, the grid as it was.
    const int before = g->Count();
    g->LoadGifFrames(QString::fromStdString(Corpus("ani-fixtures/piano.ani")), false);
    EXPECT_EQ(g->Count(), before);
    // Overimpose draws every frame over the ones before: the last frame of
    // an animation differs where earlier frames left something.
    const QString anim = QString::fromStdString(Corpus("pillow/dispose_none.gif"));
    g->LoadGifFrames(anim, false);
    std::vector<QImage> plain;
    for (int i = 0; i < g->Count(); ++i) plain.push_back(g->Item(i).Bitmap);
    g->LoadGifFrames(anim, true);
    ASSERT_EQ(static_cast<std::size_t>(g->Count()), plain.size());
    ASSERT_GT(plain.size(), 1u);
    EXPECT_EQ(g->Item(0).Bitmap, plain[0]);
    (void)partialFrames;
}

TEST(ResourceFillers, CursorGroupsOfTestExecutables) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    restest::WriteFile(lib, restest::BuildPe({}));
    const std::string one = dir.File("one.cur"), three = dir.File("three.cur"), png = dir.File("png.cur");
    restest::WriteFile(one, CursorFile(32, 32));
    restest::WriteFile(three,
                       restest::CursorFile({{48, 48, 1, 1, {}, 1}, {32, 32, 1, 1, {}, 2}, {16, 16, 1, 1, {}, 3}}));
    // Hotspot Y 7: this program's groups hold 7 where others hold the depth.
    restest::WriteFile(png, PngCursorFile(40, 3, 7));
    TResourceEditor editor(lib);
    ASSERT_TRUE(editor.SaveGroups({{one, ResName::FromId(1), 0},
                                   {png, ResName::FromId(2), 0},
                                   {three, ResName::FromId(3), 1033},
                                   {one, ResName::FromString(u"ARROW"), 0}}));
    auto g = Grid(65);
    QStringList statuses;
    QObject::connect(g.get(), &TThumbail::statusTextChanged, [&](const QString& s) { statuses << s; });
    g->LoadCursorResources(QString::fromStdString(lib), false);
    EXPECT_EQ(Captions(*g), (QStringList{"Cursor 1 (1)", "Cursor 2 (1)", "Cursor 3 (1)", "Cursor 4 (3)"}));
    EXPECT_EQ(g->Item(0).ResourceName, "ARROW");
    EXPECT_EQ(g->Item(3).ResourceName, "#3");
    EXPECT_EQ(g->Item(3).LanguageId, 1033);
    for (int i = 0; i < g->Count(); ++i) {
        EXPECT_EQ(g->Item(i).Kind, tkCursorGroup);
        EXPECT_FALSE(g->Item(i).Bitmap.isNull()) << i;
    }
    // The PNG image of the group (hint 7) has the depth the PNG declares.
    EXPECT_EQ(g->Item(2).SourceWidth, 40);
    // The largest image stands for a group sorted largest first.
    EXPECT_EQ(g->Item(3).SourceWidth, 48);
    EXPECT_TRUE(statuses.contains("Reading object 4 from 4"));
    EXPECT_EQ(statuses.back(), "4 objects");
    g->LoadCursorResources(QString::fromStdString(lib), true);
    EXPECT_EQ(Captions(*g), (QStringList{"ARROW", "#1", "#2", "#3"}));

    // A group in the compilers' layout (planes and depth where ours has the
    // hotspot) and one with a bad header, which is skipped.
    {
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
        ASSERT_NE(h, nullptr);
        const Bytes image = restest::CursorImageBytes(24, 24, 5);
        Bytes leaf{1, 0, 2, 0};
        leaf.insert(leaf.end(), image.begin(), image.end());
        ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_CURSOR), ResName::FromId(90), 0, leaf.data(),
                                        static_cast<std::uint32_t>(leaf.size())));
        Bytes group{0, 0, 2, 0, 1, 0, 24, 48, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 90, 0};
        restest::Put32(group, 6 + 8, static_cast<std::uint32_t>(leaf.size()));
        ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_GROUP_CURSOR), ResName::FromId(9), 0, group.data(),
                                        static_cast<std::uint32_t>(group.size())));
        Bytes bad = group;
        bad[0] = 1;
        ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_GROUP_CURSOR), ResName::FromId(10), 0, bad.data(),
                                        static_cast<std::uint32_t>(bad.size())));
        ASSERT_TRUE(EndUpdateResourceFile(h, false));
    }
    g->LoadCursorResources(QString::fromStdString(lib), true);
    EXPECT_EQ(Captions(*g), (QStringList{"ARROW", "#1", "#2", "#3", "#9"}));
    EXPECT_EQ(g->Item(4).SourceWidth, 24);
    EXPECT_FALSE(g->Item(4).Bitmap.isNull());
    EXPECT_EQ(g->StatusText(), "6 objects");  // names, not tiles

    // No cursor groups: an empty grid, 0 objects.
    const std::string bare = dir.File("bare.dll");
    restest::PeSpec plus;
    plus.pe32plus = true;
    restest::WriteFile(bare, restest::BuildPe(plus));
    g->LoadCursorResources(QString::fromStdString(bare), false);
    EXPECT_EQ(g->Count(), 0);
    EXPECT_EQ(g->StatusText(), "0 objects");
}

TEST(ResourceFillers, IconsOfExecutablesAndIconFiles) {
    TempDir dir;
    const std::string lib = dir.File("icons.dll");
    restest::WriteFile(lib, restest::BuildPe({}));
    {
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
        ASSERT_NE(h, nullptr);
        for (std::uint16_t id : {1, 2}) {
            const Bytes image = restest::CursorImageBytes(32, 32, static_cast<std::uint8_t>(id));
            ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_ICON), ResName::FromId(id), 0, image.data(),
                                            static_cast<std::uint32_t>(image.size())));
            Bytes group{0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0};
            restest::Put32(group, 6 + 8, static_cast<std::uint32_t>(image.size()));
            group[6 + 12] = static_cast<std::uint8_t>(id);
            ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_GROUP_ICON), ResName::FromId(100u + id), 0,
                                            group.data(), static_cast<std::uint32_t>(group.size())));
        }
        ASSERT_TRUE(EndUpdateResourceFile(h, false));
    }
    auto g = Grid(65);
    g->LoadFileIcons(QString::fromStdString(lib));
    EXPECT_EQ(Captions(*g), (QStringList{"Icon 1", "Icon 2"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g->Item(i).Kind, tkIcon);
        EXPECT_EQ(g->Item(i).Bitmap.size(), QSize(32, 32));
    }
    EXPECT_NE(g->Item(0).Bitmap, g->Item(1).Bitmap);
    // A file that is no executable: LoadCursorResources shows its icons.
    const std::string ico = dir.File("one.ico");
    Bytes icoBytes = CursorFile(16, 16);
    icoBytes[2] = 1;  // type 1: an icon file
    restest::WriteFile(ico, icoBytes);
    g->LoadCursorResources(QString::fromStdString(ico), false);
    EXPECT_EQ(Captions(*g), (QStringList{"Icon 1"}));
    EXPECT_EQ(g->Item(0).Kind, tkIcon);
    const std::string text = dir.File("t.txt");
    restest::WriteFile(text, Bytes{'a', 'b'});
    g->LoadCursorResources(QString::fromStdString(text), false);
    EXPECT_EQ(g->Count(), 0);
}

TEST(ResourceFillers, AddedAndReplacedCursorFiles) {
    TempDir dir;
    const std::string a = dir.File("a.cur"), b = dir.File("b.cur"), t = dir.File("t.png");
    restest::WriteFile(a, CursorFile(32, 32));
    restest::WriteFile(b, CursorFile(16, 16));
    restest::WriteFile(t, PngFile(8, 8));
    auto g = Grid(65);
    g->Add().Caption = "#1";
    g->Add().Caption = "#3";
    g->SelectItem(1);
    g->AddCursorFiles({QString::fromStdString(a), QString::fromStdString(t), QString::fromStdString(b)});
    EXPECT_EQ(Captions(*g), (QStringList{"#1", "#3", "#2", "#4"}));
    EXPECT_TRUE(g->Selection().empty());
    EXPECT_EQ(g->Item(2).Kind, tkFile);
    EXPECT_EQ(g->Item(2).FileName, QString::fromStdString(a));
    EXPECT_EQ(g->Item(3).SourceWidth, 16);
    // Replacing keeps the caption and takes the file's first image.
    g->SelectItem(0);
    g->ReplaceSelectedFromFile(QString::fromStdString(a));
    EXPECT_EQ(g->Item(0).Caption, "#1");
    EXPECT_EQ(g->Item(0).FileName, QString::fromStdString(a));
    EXPECT_EQ(g->Item(0).Kind, tkFile);
    EXPECT_EQ(g->Item(0).SourceWidth, 32);
}
