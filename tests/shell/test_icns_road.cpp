// Apple icon files in the main window: opened as documents by their content,
// saved in place through their own writer, which may change the document
// only when the file was written.
#include <QFile>

#include "DeskFixture.h"
#include "browse/ThumbnailGrid.h"
#include "icns/MacIcoIO.h"
#include "model/Detect.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto::test {
namespace {

// A 32x32 8-bit image over the Macintosh table and a 16x16 32-bit one.
TmyIcon MakeAppleIcon() {
    TmyIcon doc;
    TmyImagePal indexed({32, 32}, 8);
    indexed.Palette->SetMac256();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) indexed.At(x, y) = (*indexed.Palette)[(x + 3 * y) % 256];
    doc.AppendImage(std::make_unique<TmyImagePal>(indexed));
    TmyImagePal colour({16, 16}, 32);
    for (TmyPixel& p : colour.Pixels()) p = TmyPixel::CreateRGBA(10, 200, 30, 255);
    doc.AppendImage(std::make_unique<TmyImagePal>(colour));
    doc.SortImages();
    return doc;
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class IcnsRoadTest : public DeskTest {};

TEST_F(IcnsRoadTest, AppleIconsOpenAsDocumentsByTheirContent) {
    // Named like a picture: the content decides.
    const QString path = tempPath("mac.png");
    ASSERT_TRUE(TmyMacIcoIO(false).SaveToFile(MakeAppleIcon(), path.toStdString(), false));
    messages.clear();
    TfrmDesk* d = open(path);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(d->IsAnimated());
    EXPECT_EQ(d->FilePath(), path);
    // As written: the 8-bit image, the 16x16 colour one and the 1-bit image added for 32x32.
    ASSERT_EQ(d->Document()->Count(), 3);
    EXPECT_EQ(d->Document()->ItemIndex(), 0);
    EXPECT_EQ(d->CurrentImage()->BitCount, 32);
    EXPECT_EQ(QString::fromStdString(Options().GetRecentFile(1)), path);

    // Only unknown elements: the reader's warning, then the road's error, no window.
    const int before = main->Desks().DeskCount();
    ByteWriter w;
    w.text("icns"), w.u32be(16), w.text("ic09"), w.u32be(8);
    ASSERT_TRUE(WriteWholeFile(tempPath("unknown.icns").toStdString(), w.buffer()));
    messages.clear();
    EXPECT_FALSE(main->OpenFile(tempPath("unknown.icns")));
    EXPECT_EQ(messages, QStringList({"The following unknown images were found inside the icon: 512x512. If you save "
                                     "the icon this images will be lost!",
                                     "Invalid File Format!"}));
    EXPECT_EQ(main->Desks().DeskCount(), before);
}

TEST_F(IcnsRoadTest, SaveWritesAppleIconsInPlaceAndKeepsTheDocumentUntilWritten) {
    const QString path = tempPath("mac.icns");
    ASSERT_TRUE(TmyMacIcoIO(false).SaveToFile(MakeAppleIcon(), path.toStdString(), false));
    TfrmDesk* d = open(path);
    ASSERT_NE(d, nullptr);
    // An image no element can hold.
    d->Document()->AddImage({24, 24}, 32);
    d->UpdateImageList(true);
    d->SetSaved(false);
    main->UpdateActions();
    const QByteArray original = Contents(path);

    // Declined: nothing written, nothing dropped, no error box, still unsaved.
    dialogs.clear();
    messages.clear();
    answers = {idNo};
    main->Actions().execute("actnSave");
    EXPECT_TRUE(dialogs.isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith("The icon contains images that are not compatible"));
    EXPECT_EQ(d->Document()->Count(), 4);
    EXPECT_FALSE(d->Saved());
    EXPECT_EQ(Contents(path), original);

    // Accepted: written in place; the window holds what was written.
    messages.clear();
    answers = {idYes};
    main->Actions().execute("actnSave");
    EXPECT_TRUE(dialogs.isEmpty());
    EXPECT_TRUE(d->Saved());
    EXPECT_EQ(d->Document()->Count(), 3);
    EXPECT_EQ(d->SideBar()->Count(), 3);
    EXPECT_EQ(DetectFileType(path.toStdString()).type, ftIcns);
    TmyIcon back;
    ASSERT_TRUE(TmyMacIcoIO(false).LoadFromFile(back, path.toStdString()));
    EXPECT_EQ(back.Count(), 3);

    // Nothing writable: the writer's warning alone, the document untouched.
    d->Document()->Delete(0);
    d->Document()->Delete(0);
    d->Document()->Delete(0);
    d->Document()->AddImage({64, 64}, 32);
    d->UpdateImageList(true);
    d->SetSaved(false);
    main->UpdateActions();
    messages.clear();
    main->Actions().execute("actnSave");
    EXPECT_EQ(messages, QStringList({"The icon contains no images!"}));
    EXPECT_EQ(d->Document()->Count(), 1);
    EXPECT_EQ(d->CurrentImage()->Width(), 64);
    EXPECT_FALSE(d->Saved());
}

// A cursor saved under a name ending in ".icns" becomes an Apple icon.
TEST_F(IcnsRoadTest, SaveAsUnderAnAppleIconNameUsesItsWriter) {
    TmyIcon cursor;
    cursor.AddImage({32, 32}, 32);
    TfrmDesk* d = openDocument(cursor, "c.cur");
    ASSERT_NE(d, nullptr);
    dialogAnswers.push_back({tempPath("as.icns")});
    main->Actions().execute("actnSaveAs");
    EXPECT_EQ(d->FilePath(), tempPath("as.icns"));
    EXPECT_TRUE(d->Saved());
    EXPECT_EQ(DetectFileType(tempPath("as.icns").toStdString()).type, ftIcns);
}

}  // namespace
}  // namespace velto::test
