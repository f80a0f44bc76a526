// The snapshot sheet: its measures, blending and captions, the tool-bar
// strip with and without transparency, saving in each format the dialog
// offers, and the window with no document open.
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>

#include "DialogsTestSupport.h"
#include "dialogs/FormSnapshot.h"
#include "dialogs/SnapshotSheet.h"
#include "model/Detect.h"
#include "model/Icon.h"
#include "shell/FileDialogs.h"

using namespace velto;
using namespace velto::test;

namespace {

TmyIcon Doc(std::vector<std::array<int, 3>> images, std::uint8_t alpha = 255) {
    TmyIcon doc;
    for (const auto& [w, h, bits] : images) {
        TmyImagePal& image = doc.Image(doc.AddImage(ImageSize{w, h}, bits));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) image.At(x, y) = {200, 100, 50, alpha};
    }
    return doc;
}

TEST(SnapshotSheet, RowsMeasureTheShownImagesWithMarginsAndCaptions) {
    const TmyIcon doc = Doc({{16, 16, 32}, {48, 48, 8}});
    TSnapshotStyle s;
    EXPECT_EQ(MeasureSnapshot({&doc}, &doc, s), QSize(75, 56));
    s.Text = false;
    EXPECT_EQ(MeasureSnapshot({&doc}, &doc, s), QSize(75, 36));
    s.BitCounts = {32, 8};
    s.Text = true;
    EXPECT_EQ(MeasureSnapshot({&doc}, &doc, s), QSize(65 + 65 + 10, 88));
    const TmyIcon other = Doc({{100, 20, 32}});
    s.Type = TSnapshotType::All;
    EXPECT_EQ(MeasureSnapshot({&doc, &other}, &doc, s), QSize(140, 78 + 50 + 10));
    s.Type = TSnapshotType::Toolbar;
    EXPECT_EQ(MeasureSnapshot({&doc}, &doc, s), QSize(96, 48));
    // Nothing to measure without a document.
    s.Type = TSnapshotType::Selected;
    EXPECT_TRUE(MeasureSnapshot({}, nullptr, s).isEmpty());
    EXPECT_TRUE(BuildSnapshot({}, nullptr, s).isNull());
}

TEST(SnapshotSheet, ImagesAreBlendedOntoTheBackgroundWithAShiftByEight) {
    const TmyIcon doc = Doc({{16, 16, 32}}, 128);
    TSnapshotStyle s;
    s.Text = false;
    const QImage sheet = BuildSnapshot({&doc}, &doc, s);
    ASSERT_EQ(sheet.format(), QImage::Format_RGB888);
    // The 16-pixel image sits centred in its 55-pixel cell, 10 from the left.
    const QRgb inside = sheet.pixel(10 + 19 + 3, 10 + 3);
    EXPECT_EQ(qRed(inside), (255 * 127 + 200 * 128) >> 8);
    EXPECT_EQ(qGreen(inside), (255 * 127 + 100 * 128) >> 8);
    EXPECT_EQ(sheet.pixel(12, 12), qRgb(255, 255, 255));
}

TEST(SnapshotSheet, TheStripLeavesCellsOfHiddenDepthsEmptyAndKeepsAlpha) {
    const TmyIcon doc = Doc({{16, 16, 32}, {16, 16, 8}}, 90);
    TSnapshotStyle s;
    s.Type = TSnapshotType::Toolbar;
    s.Background = Qt::green;
    const QImage sheet = BuildSnapshot({&doc}, &doc, s);
    EXPECT_EQ(sheet.size(), QSize(32, 16));
    EXPECT_EQ(sheet.pixel(20, 5), qRgb(0, 255, 0));  // 8 bits not shown
    const QImage strip = TransparentStrip(doc, s);
    EXPECT_EQ(qAlpha(strip.pixel(3, 3)), 90);
    EXPECT_EQ(qAlpha(strip.pixel(20, 3)), 0);
    s.Watermark = true;
    s.WatermarkColor = Qt::blue;
    const QImage lined = TransparentStrip(doc, s);
    EXPECT_EQ(lined.pixel(3, 6), qRgba(0, 0, 255, 90));  // y = 16 - 10: colour only
}

// Images narrower than their captions: each caption stays in its own cell,
// a margin's width of blank sheet between it and the next.
TEST(SnapshotSheet, CaptionsOfNarrowImagesKeepApart) {
    const TmyIcon doc = Doc({{16, 256, 32}, {16, 255, 32}, {16, 16, 32}});
    TSnapshotStyle s;
    const QImage sheet = BuildSnapshot({&doc}, &doc, s);
    ASSERT_FALSE(sheet.isNull());
    // The captions' band: below the line under the images, above the margin.
    const int bottom = sheet.height() - kSnapshotMargin;
    std::vector<int> inked;
    for (int x = 0; x < sheet.width(); ++x)
        for (int y = bottom - kSnapshotCaption + 6; y < bottom; ++y)
            if (sheet.pixel(x, y) != qRgb(255, 255, 255)) {
                inked.push_back(x);
                break;
            }
    ASSERT_FALSE(inked.empty());
    int gaps = 0;
    for (std::size_t i = 1; i < inked.size(); ++i)
        if (inked[i] - inked[i - 1] > kSnapshotMargin) ++gaps;
    EXPECT_EQ(gaps, 2) << "three captions, each apart from the next";
    EXPECT_LT(inked.back(), sheet.width() - kSnapshotMargin) << "the last caption inside the sheet";
}

class SnapshotWindowTest : public ProgramWindowTest {};

TEST_F(SnapshotWindowTest, SavesInEveryFormatItsDialogOffers) {
    TmyIcon doc = Doc({{32, 32, 32}}, 200);
    open(doc, "s.cur");
    auto* snap = form<TfrmSnapshot>("frmSnapshot");
    ASSERT_NE(snap, nullptr);
    const std::pair<int, std::uint8_t> formats[] = {{1, ftBmp}, {2, ftJpeg}, {3, ftPng}, {4, ftJp2}};
    OnNextModal([&](QWidget* w) {
        EXPECT_EQ(w, snap);
        EXPECT_EQ(snap->Sheet().size(), QSize(75, 72));
        // A name typed without an extension takes the filter's.
        const char* extensions[] = {".bmp", ".jpg", ".png", ".jp2"};
        for (const auto& format : formats) {
            // Plain names: clang 14 does not let a lambda capture a structured binding.
            const int filter = format.first;
            const std::uint8_t type = format.second;
            const QString path = dir.filePath(QString("sheet%1").arg(filter));
            snap->dialogRunner = [&](TFileDialogSpec& spec, QStringList& files) {
                EXPECT_EQ(QtNameFilters(spec.filter).size(), 4);
                EXPECT_TRUE(spec.defaultExt.isEmpty()) << "the filter gives the extension, not a default";
                spec.filterIndex = filter;
                files = {path};
                return true;
            };
            EXPECT_TRUE(snap->Save()) << filter;
            EXPECT_EQ(DetectFileType((path + extensions[filter - 1]).toStdString()).type, type) << filter;
        }
        snap->close();
    });
    main->Action("actSnapshot")->trigger();
}

// The extension typed decides the format whatever the filter says; a name
// no writer takes is refused before anything is asked or written.
TEST_F(SnapshotWindowTest, TheTypedExtensionDecidesTheFormat) {
    TmyIcon doc = Doc({{32, 32, 32}}, 200);
    open(doc, "s.cur");
    auto* snap = form<TfrmSnapshot>("frmSnapshot");
    ASSERT_NE(snap, nullptr);
    struct Case {
        const char* name;
        int filter;
        std::uint8_t type;
    } cases[] = {{"a.png", 1, ftPng}, {"b.JPG", 3, ftJpeg}, {"c.bmp", 4, ftBmp}, {"d.gif", 1, ftGif}};
    OnNextModal([&](QWidget*) {
        for (const Case& c : cases) {
            const QString path = dir.filePath(c.name);
            snap->dialogRunner = [&](TFileDialogSpec& spec, QStringList& files) {
                spec.filterIndex = c.filter;
                files = {path};
                return true;
            };
            EXPECT_TRUE(snap->Save()) << c.name;
            EXPECT_EQ(DetectFileType(path.toStdString()).type, c.type) << c.name;
        }
        // The tool-bar strip on the checkerboard keeps its alpha in a PNG
        // named so, even with the JPEG filter chosen.
        snap->findChild<QRadioButton*>("rbToolbar")->click();
        snap->findChild<QRadioButton*>("rbTransparent")->click();
        const QString strip = dir.filePath("strip.png");
        snap->dialogRunner = [&](TFileDialogSpec& spec, QStringList& files) {
            spec.filterIndex = 2;
            files = {strip};
            return true;
        };
        EXPECT_TRUE(snap->Save());
        EXPECT_EQ(QImage(strip).pixelColor(0, 0).alpha(), 200);
        const QString text = dir.filePath("e.txt");
        snap->dialogRunner = [&](TFileDialogSpec&, QStringList& files) {
            files = {text};
            return true;
        };
        EXPECT_FALSE(snap->Save());
        EXPECT_FALSE(QFileInfo::exists(text));
        EXPECT_EQ(messages, std::vector<std::string>{"Invalid file type!"});
        snap->close();
    });
    main->Action("actSnapshot")->trigger();
}

// Enter never opens a colour chooser: the swatches are no buttons a dialog
// may make its default.
TEST_F(SnapshotWindowTest, NoColourSwatchIsTheDefaultButton) {
    TmyIcon doc = Doc({{32, 32, 32}}, 200);
    open(doc, "s.cur");
    auto* snap = form<TfrmSnapshot>("frmSnapshot");
    ASSERT_NE(snap, nullptr);
    OnNextModal([&](QWidget*) {
        for (const char* swatch : {"pnlColor", "pnlWaterColor", "pnlTextColor"}) {
            auto* b = snap->findChild<QPushButton*>(swatch);
            ASSERT_NE(b, nullptr) << swatch;
            b->setFocus();
            QApplication::processEvents();
            EXPECT_FALSE(b->isDefault()) << swatch;
        }
        snap->close();
    });
    main->Action("actSnapshot")->trigger();
}

TEST_F(SnapshotWindowTest, WithNoDocumentTheCommandIsOffAndTheWindowHasNothingToSave) {
    main->UpdateActions();
    EXPECT_FALSE(main->Action("actSnapshot")->isEnabled());
    auto* snap = form<TfrmSnapshot>("frmSnapshot");
    snap->show();
    EXPECT_TRUE(snap->Sheet().isNull());
    EXPECT_FALSE(snap->SaveButton()->isEnabled());
    EXPECT_FALSE(snap->Save());
    snap->findChild<QRadioButton*>("rbToolbar")->click();
    EXPECT_TRUE(snap->Sheet().isNull());
    EXPECT_TRUE(messages.empty());
    snap->close();
}

}  // namespace

namespace {

TEST_F(SnapshotWindowTest, EveryTextOfTheWindowIsInTheEnglishLanguageFile) {
    EXPECT_GE(ExpectEnglishTexts({form<TfrmSnapshot>("frmSnapshot")}, {"frmSnapshot"}), 18);
}

}  // namespace
