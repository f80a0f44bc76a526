// "colors.dat" and "quickcolors.dat" against ImageMagick: the files we write
// decode to the same pixels there, and bitmaps of every depth it writes
// (and a 32-bit one as the Windows display layer writes it, alpha bytes 0)
// load here as the colours it decodes.
#include <gtest/gtest.h>

#include <QByteArray>
#include <algorithm>
#include <cstdlib>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "../DialogsTestSupport.h"
#include "dialogs/FormColors.h"
#include "dialogs/FormPreview.h"
#include "dialogs/PersistedBitmap.h"

namespace velto::test {
namespace {

class PeerTest : public PaneTest {
protected:
    void SetUp() override {
        PaneTest::SetUp();
        convert = QStandardPaths::findExecutable("convert");
        if (convert.isEmpty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    }
    // Runs convert; false (with its output reported) when it fails.
    bool run(const QStringList& args, QByteArray* out = nullptr) {
        QProcess p;
        p.start(convert, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            ADD_FAILURE() << "convert " << args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
            return false;
        }
        if (out) *out = p.readAllStandardOutput();
        return true;
    }
    // The picture as ImageMagick decodes the bitmap file at path.
    QImage decoded(const QString& path) {
        QByteArray ppm;
        if (!run({"bmp:" + path, "-depth", "8", "ppm:-"}, &ppm)) return {};
        return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
    }
    QString convert;
};

TEST_F(PeerTest, OurFilesDecodeTheSameInImageMagick) {
    TfrmColors colors(dir.path());
    colors.ForeColor() = Px(1, 2, 3, 255);
    colors.SetCustomColorIndex(17);
    colors.DrawPrimaryColor();
    TfrmPreview preview(dir.path());
    preview.SetQuickColor(5, qRgb(250, 128, 7));
    ASSERT_TRUE(colors.SaveFavorites(dir.path()));
    ASSERT_TRUE(preview.SaveQuickColors(dir.path()));
    struct Row {
        const char* file;
        QImage ours;
    };
    for (const Row& r : {Row{"colors.dat", colors.Favorites()}, Row{"quickcolors.dat", preview.QuickColorBitmap()}}) {
        SCOPED_TRACE(r.file);
        const QString path = dir.filePath(r.file);
        QByteArray id;
        ASSERT_TRUE(run({"bmp:" + path, "-format", "%m %w %h", "info:"}, &id));
        EXPECT_EQ(id.toStdString(), QString("BMP3 %1 %2").arg(r.ours.width()).arg(r.ours.height()).toStdString());
        EXPECT_EQ(decoded(path), r.ours.convertToFormat(QImage::Format_RGB32));
    }
}

TEST_F(PeerTest, BitmapsOfEveryDepthLoadAsImageMagickDecodesThem) {
    // The favourites as a picture, and one of two colours for one bit.
    const QString source = dir.filePath("source.ppm");
    ASSERT_TRUE(TfrmColors::DefaultFavorites().save(source, "PPM"));
    QImage bw(60, 72, QImage::Format_RGB32);
    bw.fill(Qt::white);
    for (int y = 0; y < 72; y += 12)
        for (int x = (y / 12 % 2) * 12; x < 60; x += 24)
            for (int i = 0; i < 144; ++i) bw.setPixel(x + i % 12, y + i / 12, qRgb(0, 0, 0));
    const QString bwSource = dir.filePath("bw.ppm");
    ASSERT_TRUE(bw.save(bwSource, "PPM"));
    struct Row {
        const char* name;
        QStringList args;  // source first, written to the target after them
        int tolerance;     // per channel
    };
    // 5- and 6-bit channels are widened by a shift here (as the Windows
    // display layer does: white is 248, 252, 248) and scaled by ImageMagick.
    const Row rows[] = {
        {"24 bits", {source, "-type", "truecolor"}, 0},
        {"8-bit palette", {source, "-type", "palette"}, 0},
        {"4-bit palette", {source, "-colors", "16", "-type", "palette", "-define", "bmp:format=bmp3"}, 0},
        {"1 bit", {bwSource, "-type", "bilevel", "-define", "bmp:format=bmp3"}, 0},
        {"16-bit 565", {source, "-define", "bmp:subtype=RGB565"}, 7},
        {"32 bits with alpha", {source, "-alpha", "on", "-define", "bmp:format=bmp4"}, 0},
        {"OS/2 header", {source, "-type", "truecolor", "-define", "bmp:format=bmp2"}, 0},
    };
    const QString target = dir.filePath("colors.dat");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QFile::remove(target);
        QStringList args = r.args;
        args << "bmp:" + target;
        ASSERT_TRUE(run(args));
        const QImage peer = decoded(target);
        ASSERT_EQ(peer.size(), QSize(60, 72));
        TfrmColors colors(dir.path());
        const QImage& ours = colors.Favorites();
        ASSERT_EQ(ours.size(), peer.size());
        int worst = 0;
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 60; ++x) {
                const QRgb a = ours.pixel(x, y), b = peer.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        EXPECT_LE(worst, r.tolerance);
        if (r.tolerance == 0) {
            EXPECT_EQ(ours, peer);
        }
    }
}

TEST_F(PeerTest, ADisplayLayerBitmapWithAlphaBytesZero) {
    // 32 bits, BI_RGB, bottom-up, every fourth byte 0: opaque colours.
    QByteArray file("BM", 2);
    const int w = 60, h = 72;
    auto le32 = [](QByteArray& b, quint32 v) {
        for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [](QByteArray& b, quint16 v) {
        b.append(char(v & 0xFF));
        b.append(char(v >> 8));
    };
    le32(file, 54 + w * h * 4);
    le32(file, 0);
    le32(file, 54);
    le32(file, 40);
    le32(file, w);
    le32(file, h);
    le16(file, 1);
    le16(file, 32);
    for (int i = 0; i < 6; ++i) le32(file, 0);
    const QImage fav = TfrmColors::DefaultFavorites();
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = fav.pixel(x, y);
            file.append(char(qBlue(c)));
            file.append(char(qGreen(c)));
            file.append(char(qRed(c)));
            file.append('\0');
        }
    const QString target = dir.filePath("colors.dat");
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    const QImage peer = decoded(target);
    TfrmColors colors(dir.path());
    EXPECT_EQ(colors.Favorites(), fav);
    ASSERT_EQ(peer.size(), QSize(w, h));
    EXPECT_EQ(colors.Favorites(), peer);
}

}  // namespace
}  // namespace velto::test
