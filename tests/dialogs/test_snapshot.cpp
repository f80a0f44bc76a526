// The snapshot sheet: its measures, blending and captions, the tool-bar
// strip with and without transparency, saving in each format the dialog
// offers, and the window with no document open.
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
        for (const auto& format : formats) {
            // Plain names: clang 14 does not let a lambda capture a structured binding.
            const int filter = format.first;
            const std::uint8_t type = format.second;
            const QString path = dir.filePath(QString("sheet%1").arg(filter));
            snap->dialogRunner = [&](TFileDialogSpec& spec, QStringList& files) {
                EXPECT_EQ(QtNameFilters(spec.filter).size(), 4);
                spec.filterIndex = filter;
                files = {path};
                return true;
            };
            EXPECT_TRUE(snap->Save()) << filter;
            EXPECT_EQ(DetectFileType(path.toStdString()).type, type) << filter;
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
