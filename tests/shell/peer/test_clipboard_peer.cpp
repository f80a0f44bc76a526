// The image clipboard against another program on a real X11 clipboard: a
// virtual X server (Xvfb) and xclip. What the program copies reaches xclip as
// a picture flattened onto white with its opaque colours exact; a picture
// xclip offers is pasted opaque and fitted; the program's own copy served back
// by xclip keeps its alpha, unless a pixel of it changed. A copy is also
// there as GIF bytes ("image/gif"), transparent where the image is; GIF bytes
// another program offers are pasted with their transparency, ours served
// back keep their alpha, and broken ones paste nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWindow>

#include <memory>

#include "XvfbSession.h"
#include "imagingqt/GifGraphic.h"
#include "shell/ClipMngr.h"

using namespace velto;

namespace {

class ClipboardPeer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xclip").isEmpty())
            return;
        static char name[] = "test_shell_peer";
        velto::test::StartXvfbApplication(server_, app_, skip_, name, kDeadlineMs);
    }
    static void TearDownTestSuite() { velto::test::StopXvfbApplication(server_, app_); }
    void SetUp() override {
        if (!app_) GTEST_SKIP() << skip_;
        ASSERT_TRUE(dir.isValid());
    }

    // Runs xclip with args, the event loop turning meanwhile (it may ask us
    // for the clipboard); its output. The deadline only bounds a real failure.
    static QByteArray Xclip(const QStringList& args) {
        QProcess p;
        p.start("xclip", QStringList{"-selection", "clipboard"} + args);
        QElapsedTimer t;
        t.start();
        while (!p.waitForFinished(10) && p.state() != QProcess::NotRunning && t.elapsed() < kDeadlineMs)
            QCoreApplication::processEvents();
        if (p.state() != QProcess::NotRunning) ADD_FAILURE() << "xclip " << args.join(' ').toStdString() << " did not end";
        return p.readAllStandardOutput();
    }
    // xclip takes the clipboard with the file's picture and keeps serving it
    // in the background. Its first process may end before the server has
    // made it the owner, and the xclip of an earlier offer serves its old
    // picture until then: so we wait until the clipboard, as this program
    // reads it, holds this file's bytes. False when it never did.
    [[nodiscard]] static bool Offer(const QString& file, const char* type = "image/png") {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) return false;
        const QByteArray bytes = in.readAll();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start("xclip", {"-selection", "clipboard", "-t", type, "-i", file});
        if (!p.waitForFinished(kDeadlineMs) || p.exitCode() != 0) return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < kDeadlineMs) {
            QCoreApplication::processEvents();
            QClipboard* clipboard = QGuiApplication::clipboard();
            const QMimeData* data = clipboard->mimeData();
            if (!clipboard->ownsClipboard() && data && data->data(type) == bytes) return true;
        }
        return false;
    }
    // A copy is made by a key or a click, whose event brings the X server's
    // time; the copy's claim on the clipboard carries it, and the server
    // ignores a claim older than the last owner's (an xclip of a test before).
    // With no input in a test, a title change of a window of ours brings the
    // time. True once another program sees the copy's GIF.
    [[nodiscard]] static bool CopyAsAUserWould(tmyClipMngr& clip, const TmyImagePal& image) {
        static QWindow* window = nullptr;
        if (!window) {
            window = new QWindow;
            window->resize(10, 10);
            window->show();
        }
        QElapsedTimer t;
        t.start();
        for (int n = 0; t.elapsed() < kDeadlineMs; ++n) {
            window->setTitle(QString::number(n));
            QCoreApplication::processEvents();
            clip.Copy(image);
            if (Xclip({"-t", "TARGETS", "-o"}).contains("image/gif")) return true;
        }
        return false;
    }
    QString SaveBytes(const QByteArray& bytes, const char* name) const {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        return path;
    }
    QString Save(const QImage& image, const char* name) const {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    static TmyImagePal Sample() {
        TmyImagePal img({4, 3}, 32);
        for (TmyPixel& p : img.Pixels()) p = {10, 20, 30, 255};
        img.At(1, 1) = {255, 0, 0, 128};
        img.At(3, 2) = {1, 2, 3, 0};
        return img;
    }

    // Bounds waits for the peers (the X server, xclip) when they fail; never
    // what a test waits for. Generous: a loaded two-core machine is slow.
    static constexpr int kDeadlineMs = 60000;
    inline static QProcess* server_ = nullptr;
    inline static QApplication* app_ = nullptr;
    inline static const char* skip_ = "no Xvfb or xclip";
    QTemporaryDir dir;
};

TEST_F(ClipboardPeer, ACopyReachesAnotherProgramFlattenedOntoWhite) {
    tmyClipMngr clip;
    clip.Copy(Sample());
    QCoreApplication::processEvents();
    EXPECT_TRUE(Xclip({"-t", "TARGETS", "-o"}).contains("image/png"));
    QImage got;
    ASSERT_TRUE(got.loadFromData(Xclip({"-t", "image/png", "-o"}), "PNG"));
    ASSERT_EQ(got.size(), QSize(4, 3));
    EXPECT_EQ(got.pixel(0, 0) & 0xffffff, qRgb(10, 20, 30) & 0xffffffu) << "opaque colours exact";
    EXPECT_EQ(got.pixel(1, 1) & 0xffffff, qRgb(255, 127, 127) & 0xffffffu) << "half red blended onto white";
    EXPECT_EQ(got.pixel(3, 2) & 0xffffff, qRgb(255, 255, 255) & 0xffffffu) << "transparent is white";
}

TEST_F(ClipboardPeer, PicturesOfAnotherProgramArePastedOpaqueAndOurOwnKeepTheirAlpha) {
    tmyClipMngr clip;
    const TFitRule resize{0, true, {}};
    {
        SCOPED_TRACE("a foreign picture larger than the image, with alpha, resized and opaque");
        QImage foreign(300, 200, QImage::Format_ARGB32);
        foreign.fill(qRgba(20, 40, 60, 100));
        ASSERT_TRUE(Offer(Save(foreign, "foreign.png"))) << "the clipboard never held the offered picture";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.Size(), (ImageSize{32, 32}));
        EXPECT_EQ(target.At(0, 5).A, 255);
        EXPECT_EQ(target.At(0, 4), TmyPixel{});
        EXPECT_TRUE(mirror.Equals(target));
    }
    // Our copy, taken by xclip and served back unchanged.
    clip.Copy(Sample());
    QCoreApplication::processEvents();
    const QByteArray served = Xclip({"-t", "image/png", "-o"});
    QImage ours;
    ASSERT_TRUE(ours.loadFromData(served, "PNG"));
    {
        SCOPED_TRACE("our own copy back from another program");
        ASSERT_TRUE(Offer(Save(ours, "ours.png"))) << "the clipboard never held the offered picture";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.At(1, 1), (TmyPixel{255, 0, 0, 128}));
        EXPECT_EQ(target.At(3, 2), TmyPixel{});
    }
    {
        SCOPED_TRACE("one pixel of it changed: a foreign picture");
        QImage changed = ours;
        changed.setPixel(0, 0, qRgb(0, 0, 0));
        ASSERT_TRUE(Offer(Save(changed, "changed.png"))) << "the clipboard never held the offered picture";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.At(1, 1), (TmyPixel{255, 127, 127, 255}));
        EXPECT_EQ(target.At(3, 2), (TmyPixel{255, 255, 255, 255}));
    }
}

TEST_F(ClipboardPeer, ACopyReachesAnotherProgramAsGif) {
    tmyClipMngr clip;
    ASSERT_TRUE(CopyAsAUserWould(clip, Sample())) << "another program never saw the copy's GIF";
    const QByteArray served = Xclip({"-t", "image/gif", "-o"});
    EXPECT_EQ(std::vector<std::uint8_t>(served.begin(), served.end()), clip.LastGif());
    QImage got;
    ASSERT_TRUE(got.loadFromData(served, "GIF"));
    got = got.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(got.size(), QSize(4, 3));
    EXPECT_EQ(got.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(got.pixel(1, 1), qRgb(255, 127, 127)) << "half red as on the plain picture";
    EXPECT_EQ(qAlpha(got.pixel(3, 2)), 0) << "transparent";
}

TEST_F(ClipboardPeer, GifBytesOfAnotherProgramAndOurOwnBack) {
    tmyClipMngr clip;
    const TFitRule resize{0, true, {}};
    {
        SCOPED_TRACE("another program's GIF keeps its transparency");
        QImage picture(2, 1, QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(0, 0, 0, 0));
        picture.setPixel(1, 0, qRgb(0, 200, 0));
        TGIFGraphic gif;
        ASSERT_TRUE(gif.AssignPicture(picture));
        const std::vector<std::uint8_t> b = gif.SaveToBytes();
        const QByteArray bytes(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
        ASSERT_TRUE(Offer(SaveBytes(bytes, "foreign.gif"), "image/gif")) << "the clipboard never held the offered GIF";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.Size(), (ImageSize{2, 1}));
        EXPECT_EQ(target.At(0, 0), TmyPixel{});
        EXPECT_EQ(target.At(1, 0), (TmyPixel{0, 200, 0, 255}));
    }
    ASSERT_TRUE(CopyAsAUserWould(clip, Sample())) << "another program never saw the copy's GIF";
    const QByteArray served = Xclip({"-t", "image/gif", "-o"});
    {
        SCOPED_TRACE("our own GIF back from another program keeps its alpha");
        ASSERT_TRUE(Offer(SaveBytes(served, "ours.gif"), "image/gif")) << "the clipboard never held the offered GIF";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.At(1, 1), (TmyPixel{255, 0, 0, 128}));
        EXPECT_EQ(target.At(3, 2), TmyPixel{});
    }
    {
        SCOPED_TRACE("GIF bytes the codec refuses paste nothing, though Qt would read a picture from them");
        QByteArray huge = served;
        huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);  // a 65535 x 65535 screen
        ASSERT_TRUE(Offer(SaveBytes(huge, "huge.gif"), "image/gif")) << "the clipboard never held the offered GIF";
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        EXPECT_FALSE(clip.Paste(target, mirror, 32, 32, resize));
        EXPECT_EQ(target.Size(), (ImageSize{1, 1}));
    }
}

}  // namespace
