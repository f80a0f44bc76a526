// What opening a file tells the user and where it leaves them: animations
// whose frames hold several sizes, empty files, things that are no files (a
// FIFO, a folder, a /proc entry), failed opens among open documents, and web
// pages with no browser to show them; a file a killed save left torn.
#include <QDir>
#include <QFile>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../import/OverLimitPictures.h"
#include "CommandFixture.h"
#include "KilledSave.h"
#include "core/Language.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/IniFile.h"
#include "shell/WebPages.h"

namespace velto::test {
namespace {

// A cursor icon of one image per size, each filled with its own colour.
TmyIcon FrameIcon(const std::vector<int>& sides, std::uint8_t shade) {
    TmyIcon icon;
    icon.IsCursor = true;
    for (int side : sides) {
        TmyImagePal& img = icon.Image(icon.AddImage({side, side}, 32));
        for (TmyPixel& p : img.Pixels()) p = TmyPixel::CreateRGBA(shade, static_cast<std::uint8_t>(side), 40, 255);
        img.SetHotSpotX(side / 2);
    }
    return icon;
}

// An animated cursor as desktop themes ship them: every "icon" chunk a
// cursor file of several images. frames: the sizes of each frame's images.
std::vector<std::uint8_t> MultiSizeAni(const std::vector<std::vector<int>>& frames) {
    ByteWriter w;
    w.text("RIFF"), w.u32le(0), w.text("ACON");
    w.text("anih"), w.u32le(36), w.u32le(36);
    w.u32le(static_cast<std::uint32_t>(frames.size())), w.u32le(static_cast<std::uint32_t>(frames.size()));
    for (int i = 0; i < 4; ++i) w.u32le(0);  // size, depth and planes unused with icon frames
    w.u32le(6), w.u32le(1);                   // display rate, flags: frames are icons
    const std::uint64_t listAt = w.size();
    w.text("LIST"), w.u32le(0), w.text("fram");
    std::uint8_t shade = 10;
    for (const std::vector<int>& sides : frames) {
        ByteWriter icon;
        EXPECT_TRUE(TmyIcoIO(false).SaveToStream(FrameIcon(sides, shade), icon, false));
        shade += 60;
        w.text("icon"), w.u32le(static_cast<std::uint32_t>(icon.size())), w.bytes(icon.buffer());
        if (icon.size() & 1u) w.u8(0);
    }
    w.patchU32le(listAt + 4, static_cast<std::uint32_t>(w.size() - listAt - 8));
    w.patchU32le(4, static_cast<std::uint32_t>(w.size() - 8));
    return w.take();
}

class OpenMessagesTest : public DeskTest {
protected:
    QString writeAni(const QString& name, const std::vector<std::vector<int>>& frames) {
        const QString path = tempPath(name);
        EXPECT_TRUE(WriteWholeFile(path.toStdString(), MultiSizeAni(frames)));
        return path;
    }
    QString writeCursor(const QString& name) {
        const QString path = tempPath(name);
        EXPECT_TRUE(TmyIcoIO(false).SaveToFile(FrameIcon({32}, 1), path.toStdString(), false));
        return path;
    }
};

TEST_F(OpenMessagesTest, AnAnimationOfSeveralSizesPerFrameSaysOnceWhichSizeIsKept) {
    const QString path = writeAni("theme.ani", {{64, 48, 32}, {32, 48, 64}, {48, 64, 32}});
    // The reader itself: every size the frames hold, and the one each keeps.
    TmyANI doc;
    TmyANIIO reader(false);
    ASSERT_TRUE(reader.LoadFromFile(doc, path.toStdString()));
    EXPECT_EQ(reader.FrameSizes.Frames, 3);
    EXPECT_EQ(reader.FrameSizes.Sizes, (std::vector<ImageSize>{{64, 64}, {48, 48}, {32, 32}}));
    EXPECT_EQ(reader.FrameSizes.Kept, (std::vector<ImageSize>{{64, 64}}));
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.Image(2).Width(), 64);

    shown.clear();
    TfrmDesk* d = open(path);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(shown.size(), 1) << "one message for the whole file, not one per frame";
    EXPECT_EQ(shown[0].text,
              "Each frame of this animated cursor holds images of several sizes (64x64, 48x48, 32x32). Velto keeps "
              "only the 64x64 image of each frame, and saving writes only that size.");
    EXPECT_EQ(shown[0].kind, int(mkInformation));
    EXPECT_EQ(shown[0].buttons, int(mbOK));
    EXPECT_EQ(d->Document()->Count(), 3);
    EXPECT_EQ(active(), d);

    // The report is of the last load only: a plain animation after it says nothing.
    TmyANI plain;
    plain.AppendImage(std::make_unique<TmyImagePal>(FrameIcon({32}, 5).Image(0)));
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(plain, tempPath("plain.ani").toStdString(), false));
    ASSERT_TRUE(reader.LoadFromFile(doc, tempPath("plain.ani").toStdString()));
    EXPECT_TRUE(reader.FrameSizes.Empty());
    EXPECT_TRUE(reader.FrameSizes.Sizes.empty());
    shown.clear();
    ASSERT_NE(open(tempPath("plain.ani")), nullptr);
    EXPECT_TRUE(shown.isEmpty());
    // A failed load leaves no report of an earlier one behind.
    ASSERT_TRUE(reader.LoadFromFile(doc, path.toStdString()));
    EXPECT_FALSE(reader.LoadFromBytes(doc, std::vector<std::uint8_t>(12, 0)));
    EXPECT_TRUE(reader.FrameSizes.Empty());
}

TEST_F(OpenMessagesTest, OnlyFramesOfSeveralSizesCountAndTheMessageComesFromTheLanguageFile) {
    // One frame of two sizes among frames of one: that frame is reported.
    const QString mixed = writeAni("mixed.ani", {{32}, {48, 24}, {32}});
    TmyANI doc;
    TmyANIIO reader(false);
    ASSERT_TRUE(reader.LoadFromFile(doc, mixed.toStdString()));
    EXPECT_EQ(reader.FrameSizes.Frames, 1);
    EXPECT_EQ(reader.FrameSizes.Sizes, (std::vector<ImageSize>{{48, 48}, {24, 24}}));
    EXPECT_EQ(reader.FrameSizes.Kept, (std::vector<ImageSize>{{48, 48}}));

    // The English file holds the built-in texts.
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    EXPECT_EQ(english.ReadString("MSG", "msgAniSizes", ""),
              "Each frame of this animated cursor holds images of several sizes (%s1). Velto keeps only the %s2 "
              "image of each frame, and saving writes only that size.");
    EXPECT_EQ(english.ReadString("MSG", "msgNoBrowser", ""), "No web browser could be started to open %s1");

    QFile lang(tempPath("Test.lng"));
    ASSERT_TRUE(lang.open(QIODevice::WriteOnly));
    lang.write("[MSG]\nmsgAniSizes=Sizes %s1, kept %s2\n");
    lang.close();
    Lang().SetFileName(tempPath("Test.lng").toStdString());
    shown.clear();
    ASSERT_NE(open(mixed), nullptr);
    EXPECT_EQ(messages.last(), "Sizes 48x48, 24x24, kept 48x48");
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(OpenMessagesTest, AnEmptyFileIsAnInvalidFileWhateverItsName) {
    TfrmDesk* kept = open(writeCursor("kept.cur"));
    ASSERT_NE(kept, nullptr);
    for (const char* name : {"empty.cur", "empty.ani", "empty.png", "empty"}) {
        SCOPED_TRACE(name);
        QFile f(tempPath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        shown.clear();
        EXPECT_FALSE(main->OpenFile(tempPath(name)));
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "Invalid File Format!");
        EXPECT_EQ(shown[0].kind, int(mkError));
        EXPECT_EQ(main->Desks().DeskCount(), 1);
        EXPECT_EQ(active(), kept);
        EXPECT_EQ(Options().GetRecentFile(2), "") << "only a file that opened is recorded";
    }
}

TEST_F(OpenMessagesTest, WhatIsNoFileIsRefusedWithTheReasonAndNotRecorded) {
    TfrmDesk* kept = open(writeCursor("kept.cur"));
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(::mkfifo(tempPath("pipe.cur").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/status"), tempPath("status.cur")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.cur")));
    const QStringList refused{QStringLiteral("/proc/self/status"), tempPath("status.cur"), tempPath("pipe.cur"),
                              tempPath("folder.cur")};
    for (const QString& path : refused) {
        SCOPED_TRACE(path.toStdString());
        shown.clear();
        // A FIFO would block an open for ever; a /proc file would never end.
        EXPECT_FALSE(main->OpenFile(path));
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "Invalid File Format!\nnot a regular file");
        EXPECT_EQ(shown[0].kind, int(mkError));
        EXPECT_EQ(main->Desks().DeskCount(), 1);
        EXPECT_EQ(active(), kept);
    }
    for (int slot = 1; slot <= TOptions::kRecentFiles; ++slot)
        EXPECT_FALSE(refused.contains(QString::fromStdString(Options().GetRecentFile(slot)))) << slot;
}

TEST_F(OpenMessagesTest, AFailedOpenLeavesTheActiveDocumentActive) {
    TfrmDesk* first = open(writeCursor("first.cur"));
    TfrmDesk* second = open(writeCursor("second.cur"));
    TfrmDesk* third = open(writeCursor("third.cur"));
    ASSERT_TRUE(first && second && third);
    // Broken files of both readers: real files cut short.
    TmyANI ani;
    ani.AppendImage(std::make_unique<TmyImagePal>(FrameIcon({32}, 5).Image(0)));
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(ani, tempPath("whole.ani").toStdString(), false));
    for (const auto& [from, to] : {std::pair{"whole.ani", "cut.ani"}, std::pair{"first.cur", "bad.cur"}}) {
        QFile whole(tempPath(from));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QFile cut(tempPath(to));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() / 2));
    }
    // With the first, a middle and the last window active.
    for (TfrmDesk* was : {first, second, third})
        for (const char* name : {"cut.ani", "bad.cur"}) {
            SCOPED_TRACE(was->FilePath().toStdString() + " active, opening " + name);
            was->MakeActive();
            ASSERT_EQ(active(), was);
            messages.clear();
            EXPECT_FALSE(main->OpenFile(tempPath(name)));
            EXPECT_EQ(messages.last(), "Invalid File Format!");
            QApplication::processEvents();
            EXPECT_EQ(main->Desks().DeskCount(), 3);
            EXPECT_EQ(active(), was);
            EXPECT_EQ(main->DocumentArea()->activeSubWindow(), was->Frame());
        }
}

TEST_F(OpenMessagesTest, AWebPageNoBrowserCanOpenNamesItsAddress) {
    QStringList asked;
    bool browser = false;
    SetUrlOpener([&](const QUrl& url) {
        asked << url.toString();
        return browser;
    });
    shown.clear();
    main->Action("actForum")->trigger();
    ASSERT_EQ(asked.size(), 1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "No web browser could be started to open " + WebPageUrl(kForumPage).toString());
    EXPECT_EQ(shown[0].kind, int(mkWarning));
    // A local page is named by its path.
    const QUrl local = QUrl::fromLocalFile(tempPath("help/index.html"));
    EXPECT_FALSE(OpenWebPage(local));
    EXPECT_EQ(messages.last(), "No web browser could be started to open " + tempPath("help/index.html"));
    // With a browser nothing is said.
    browser = true;
    shown.clear();
    main->Action("actHomepage")->trigger();
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(shown.isEmpty());
    SetUrlOpener(nullptr);
}

// What a save killed while it wrote the file in place left goes back before
// the file is read: the window shows the document of before that save, and
// the user is told. Where it cannot go back now (a program reading the file
// holds a lock on it), the document of before is read from the copy all the
// same, and the file and its copy stay as they are for a later put-back.
TEST_F(OpenMessagesTest, AFileAKilledSaveLeftTornOpensAsItWasBeforeThatSave) {
    for (const bool reader : {false, true}) {
        SCOPED_TRACE(reader ? "a reader holds a lock" : "alone");
        const QString path = writeCursor(reader ? "held.cur" : "torn.cur");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        const std::string copy = KillSaveAfterFirstPage(path.toStdString());
        ASSERT_FALSE(copy.empty());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray torn = file.readAll();
        file.close();
        const int held = ::open(path.toStdString().c_str(), O_RDONLY | O_CLOEXEC);
        struct flock lock {};
        lock.l_type = F_RDLCK;
        ASSERT_TRUE(!reader || ::fcntl(held, F_OFD_SETLK, &lock) == 0);
        shown.clear();
        messages.clear();
        TfrmDesk* d = open(path);
        ::close(held);
        EXPECT_EQ(messages, QStringList{reader ? path + " is shown as it was before an unfinished save that left it "
                                                         "torn.\nits earlier content, kept in " +
                                                         QString::fromStdString(copy) +
                                                         ", could not be put back into it (a program reading the file "
                                                         "holds a lock on it)"
                                                : "An unfinished save of " + path +
                                                      " was undone: the file holds what it held before that save again."});
        EXPECT_EQ(shown.value(0).kind, int(reader ? mkWarning : mkInformation));
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(d->Document()->Count(), 1);
        EXPECT_EQ(d->Document()->Image(0).At(3, 3), FrameIcon({32}, 1).Image(0).At(3, 3));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), reader ? torn : before);
        file.close();
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(copy)), reader);
        d->Frame()->close();
    }
}

// A cursor its reader refuses is a picture only if the import reads it as one:
// cut to 90 bytes (a size that names a format) it is refused at once.
using CutCursorOpenTest = CommandTest;

TEST_F(CutCursorOpenTest, ACursorCutTo90BytesIsRefusedWithoutTheNewImageWindow) {
    const QString path = tempPath("cut.cur");
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(FrameIcon({32}, 7), path.toStdString(), false));
    ASSERT_TRUE(QFile::resize(path, 90));
    EXPECT_FALSE(main->OpenFile(path));
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_EQ(messages, QStringList{"Invalid File Format!"});
    EXPECT_EQ(Options().GetRecentFile(1), "") << "only a file that opened is recorded";
}

// A valid picture beyond what a load may decode cannot be opened, for that
// reason, whatever its kind; cut short it is damaged, in its road's words (a
// Targa, which detection does not name, is then no picture).
TEST_F(CutCursorOpenTest, APictureBeyondTheLimitsCannotBeOpenedBecauseItIsTooLarge) {
    forms["frmNewImage"]->onExec = [this](ScriptedDialog& self) {
        self.added = qobject_cast<TfrmDesk*>(main->ActiveDesk())->Document()->InsertSorted({32, 32}, 32) >= 0;
    };
    for (const overlimit::Picture& p : overlimit::Pictures()) {
        const QString whole = tempPath(p.name), cut = tempPath(QStringLiteral("cut-") + p.name);
        ASSERT_TRUE(WriteWholeFile(whole.toStdString(), p.bytes) && WriteWholeFile(cut.toStdString(), {p.bytes.data(), p.cut}));
        messages.clear();
        EXPECT_FALSE(main->OpenFile(whole) || main->OpenFile(cut) || main->Desks().DeskCount());
        const char* damaged = whole.endsWith(".tga") ? "This kind of file cannot be opened yet!" : p.damaged;
        EXPECT_EQ(messages, QStringList({"Cannot open file\nfile too large", damaged}));
    }
}

}  // namespace
}  // namespace velto::test
