// The picture commands of the program: Import Image opens several pictures
// as documents and stops at a broken one, the Cursor menu's Import Image adds
// pictures as images and takes a failed one out again, Export writes the
// formats it offers after asking about an existing file, Capture makes a
// document of a screen area, and a picture on the command line opens.
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

#include <sys/stat.h>

#include "Corpus.h"
#include "DialogsTestSupport.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormImport.h"
#include "dialogs/FormImportGif.h"
#include "dialogs/FormNewImage.h"
#include "dialogs/QuestionDialogs.h"
#include "import/MyImport.h"

namespace velto::test {
namespace {

// 64 x 48, left half red, right half blue, opaque.
QImage Halves() {
    QImage img(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) img.setPixel(x, y, x < 32 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return img;
}

// 20 x 10, each pixel its own colour.
QImage Small() {
    QImage img(20, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) img.setPixel(x, y, qRgb(x * 10, y * 20, 100));
    return img;
}

TmyPixel Opaque(QRgb c) { return Px(qRed(c), qGreen(c), qBlue(c), 255); }

// Presses OK in the New Image window each time it opens, times times (an
// animated cursor when ani), with the side chosen when given.
void AcceptNewImage(int times, bool ani = false) {
    if (times <= 0) return;
    OnNextModal([times, ani](QWidget* w) {
        auto* form = qobject_cast<TfrmNewImage*>(w);
        ASSERT_NE(form, nullptr) << w->objectName().toStdString();
        if (ani) form->AniButton()->setChecked(true);
        AcceptNewImage(times - 1, ani);
        form->OKButton()->click();
    });
}

class ImportCommandsTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        Options().ImportAction = 0;  // resize, unless a test asks for more
        Options().KeepAspectRatio = true;
        ASSERT_TRUE(Halves().save(path("halves.png")));
        ASSERT_TRUE(Small().save(path("small.bmp")));
        QFile bad(path("broken.png"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        bad.close();
        main->SetFileDialogRunner([this](TFileDialogSpec& spec, QStringList& files) {
            asked.push_back(spec.objectName());
            offeredFilter = spec.filter;
            if (chosen.empty()) return false;
            files = chosen.front();
            spec.filterIndex = filterIndex;
            chosen.pop_front();
            return true;
        });
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    std::deque<QStringList> chosen;
    int filterIndex = 1;
    QStringList asked;
    QString offeredFilter;
};

TEST_F(ImportCommandsTest, ImportImageOpensEachPictureAsADocumentUntilOneFails) {
    chosen.push_back({path("halves.png"), path("small.bmp")});
    AcceptNewImage(2);
    main->Action("actnImportBMP")->trigger();
    EXPECT_EQ(asked, QStringList({"dlgOpenImage"}));
    ASSERT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_TRUE(messages.empty());
    // The small picture fits: centred in 32 x 32, exactly its pixels.
    TfrmDesk* small = active();
    ASSERT_NE(small, nullptr);
    const TmyImagePal& s = *small->CurrentImage();
    EXPECT_EQ(s.Size(), (ImageSize{32, 32}));
    EXPECT_EQ(s.At(6, 11), Opaque(Small().pixel(0, 0)));
    EXPECT_EQ(s.At(25, 20), Opaque(Small().pixel(19, 9)));
    EXPECT_EQ(s.At(5, 11).A, 0);
    EXPECT_FALSE(small->Saved());
    // The larger one is resized keeping its proportions: 32 x 24 in the middle.
    auto* halves = qobject_cast<TfrmDesk*>(main->Desk(1));
    ASSERT_NE(halves, nullptr);
    const TmyImagePal& h = *halves->CurrentImage();
    EXPECT_EQ(h.At(0, 4), Px(255, 0, 0, 255));
    EXPECT_EQ(h.At(31, 27), Px(0, 0, 255, 255));
    EXPECT_EQ(h.At(0, 3).A, 0);
    EXPECT_EQ(h.At(0, 28).A, 0);

    // A broken picture in the middle: said once, no window left, the rest not opened.
    chosen.push_back({path("small.bmp"), path("broken.png"), path("halves.png")});
    AcceptNewImage(2);
    main->Action("actnImportBMP")->trigger();
    EXPECT_EQ(main->Desks().DeskCount(), 3);
    EXPECT_EQ(messages, std::vector<std::string>({"Invalid png file!"}));
    EXPECT_EQ(main->Desks().CascadeIndex(), 3);
}

TEST_F(ImportCommandsTest, WhatIsNoFileIsRefusedWithTheReasonOnBothImportRoads) {
    ASSERT_EQ(::mkfifo(path("pipe.png").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/status"), path("status.png")));
    // As new documents, through the opening road: refused before any window is made.
    for (const QString& file : {QStringLiteral("/proc/self/status"), path("status.png"), path("pipe.png")}) {
        SCOPED_TRACE(file.toStdString());
        messages.clear();
        chosen.push_back({file});
        main->Action("actnImportBMP")->trigger();
        EXPECT_EQ(messages, std::vector<std::string>({"Invalid File Format!\nnot a regular file"}));
        EXPECT_EQ(main->Desks().DeskCount(), 0);
    }
    // As a frame of an animated cursor: the frame made for it goes again.
    TmyANI ani;
    ASSERT_GE(ani.InsertSorted({16, 16}, 32), 0);
    TfrmDesk* desk = open(ani, "anim.ani");
    ASSERT_NE(desk, nullptr);
    messages.clear();
    for (const QString& file : {path("status.png"), path("pipe.png")}) {
        SCOPED_TRACE(file.toStdString());
        messages.clear();
        EXPECT_FALSE(main->AddImagesFromFiles({file}));
        EXPECT_EQ(messages, std::vector<std::string>({"Unknown file type!\nnot a regular file"}));
        EXPECT_EQ(desk->ImageCount(), 1);
    }
}

TEST_F(ImportCommandsTest, AGifOpenedIntoAnAnimatedCursorBringsEveryFrame) {
    // Three frames of two colours written by the test's own toolkit are not
    // an animation; the service's GIF writer makes one of a document.
    TmyANI doc;
    for (int i = 0; i < 3; ++i) {
        ASSERT_GE(doc.InsertSorted({8, 8}, 32), 0);
    }
    for (int i = 0; i < 3; ++i)
        for (auto& p : doc.Image(i).Pixels()) p = Px(i * 100, 50, 0, 255);
    ASSERT_TRUE(MyImport().SaveAnimationAsGif(path("three.gif").toStdString(), doc));
    AcceptNewImage(1, true);
    EXPECT_TRUE(main->OpenFile(path("three.gif")));
    ASSERT_NE(active(), nullptr);
    EXPECT_TRUE(active()->IsAnimated());
    EXPECT_EQ(active()->ImageCount(), 3);
    // 8 x 8 frames centred in the 32 x 32 frames the New Image window asked for.
    EXPECT_EQ(active()->Document()->Image(2).At(12, 12), Px(200, 50, 0, 255));
    EXPECT_EQ(active()->Document()->Image(0).At(19, 19), Px(0, 50, 0, 255));
    EXPECT_EQ(active()->Document()->Image(0).At(11, 11).A, 0);
}

TEST_F(ImportCommandsTest, TheAdvancedWindowDecidesForALargePicture) {
    Options().ImportAction = 2;
    // The advanced window opens after the New Image window: crop there.
    bool advancedShown = false;
    auto* newImage = form<TfrmNewImage>("frmNewImage");
    OnNextModal([&](QWidget*) {
        OnNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<TfrmImport*>(w);
            ASSERT_NE(dlg, nullptr) << w->objectName().toStdString();
            advancedShown = true;
            dlg->findChild<QRadioButton*>("rbCrop")->click();
            dlg->findChild<QPushButton*>("btnOK")->click();
        });
        newImage->OKButton()->click();
    });
    EXPECT_TRUE(main->OpenFile(path("halves.png")));
    EXPECT_TRUE(advancedShown);
    ASSERT_NE(active(), nullptr);
    // The top-left 32 x 32: red throughout.
    EXPECT_EQ(active()->CurrentImage()->At(31, 31), Px(255, 0, 0, 255));

    // Cancelling it leaves no document.
    OnNextModal([&](QWidget*) {
        OnNextModal([](QWidget* w) { w->findChild<QPushButton*>("btnCancel")->click(); });
        newImage->OKButton()->click();
    });
    EXPECT_FALSE(main->OpenFile(path("halves.png")));
    EXPECT_EQ(main->Desks().DeskCount(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ImportCommandsTest, AskingLetsTheUserChooseForALargePicture) {
    Options().ImportAction = 3;
    auto* newImage = form<TfrmNewImage>("frmNewImage");
    bool asked = false;
    OnNextModal([&](QWidget*) {
        OnNextModal([&](QWidget* w) {
            auto* question = qobject_cast<TfrmImageBig*>(w);
            ASSERT_NE(question, nullptr) << w->objectName().toStdString();
            asked = true;
            EXPECT_TRUE(question->IsImport);
            question->rbCrop->click();
            question->OKButton()->click();
        });
        newImage->OKButton()->click();
    });
    EXPECT_TRUE(main->OpenFile(path("halves.png")));
    EXPECT_TRUE(asked);
    ASSERT_NE(active(), nullptr);
    // Cropped: the top-left 32 x 32, all red; the setting is asked again next time.
    EXPECT_EQ(active()->CurrentImage()->At(31, 31), Px(255, 0, 0, 255));
    EXPECT_EQ(Options().ImportAction, 3);
}

TEST_F(ImportCommandsTest, AddedPicturesBecomeImagesAndAFailedOneGoesAgain) {
    TmyIcon icon;
    icon.IsCursor = true;
    ASSERT_GE(icon.InsertSorted({48, 48}, 32), 0);
    TfrmDesk* desk = open(icon, "one.cur");
    ASSERT_NE(desk, nullptr);
    auto* newImage = form<TfrmNewImage>("frmNewImage");
    bool typeHidden = false;
    chosen.push_back({path("small.bmp")});
    OnNextModal([&](QWidget*) {
        typeHidden = !newImage->TypeGroup()->isVisible();
        newImage->OKButton()->click();
    });
    main->Action("actImportImage")->trigger();
    EXPECT_TRUE(typeHidden);
    ASSERT_EQ(desk->ImageCount(), 2);
    EXPECT_EQ(desk->CurrentImage()->Size(), (ImageSize{32, 32}));
    EXPECT_EQ(desk->CurrentImage()->At(6, 11), Opaque(Small().pixel(0, 0)));
    EXPECT_FALSE(desk->Saved());

    // A broken picture: the image made for it goes, the former one is current.
    desk->SetSaved(true);
    desk->SetCurrentImage(0);
    chosen.push_back({path("broken.png")});
    OnNextModal([&](QWidget*) {
        newImage->SizeButton(0)->click();  // 16 x 16: the document has none yet
        newImage->OKButton()->click();
    });
    main->Action("actImportImage")->trigger();
    EXPECT_EQ(messages, std::vector<std::string>({"Invalid png file!"}));
    EXPECT_EQ(desk->ImageCount(), 2);
    EXPECT_EQ(desk->ItemIndex(), 0);
    EXPECT_TRUE(desk->Saved());

    // An animated cursor gets a frame of its format, and loses it again the same way.
    TmyANI ani;
    ASSERT_GE(ani.InsertSorted({16, 16}, 32), 0);
    TfrmDesk* anim = open(ani, "anim.ani");
    ASSERT_NE(anim, nullptr);
    messages.clear();
    chosen.push_back({path("halves.png"), path("broken.png"), path("small.bmp")});
    main->AddImagesFromFiles(chosen.front());
    chosen.clear();
    EXPECT_EQ(anim->ImageCount(), 2);
    EXPECT_EQ(messages, std::vector<std::string>({"Invalid png file!"}));
    EXPECT_EQ(anim->ItemIndex(), 1);
    EXPECT_EQ(anim->CurrentImage()->At(0, 2), Px(255, 0, 0, 255));
}

TEST_F(ImportCommandsTest, ExportOffersThePictureFormatsAndAsksBeforeOverwriting) {
    TmyIcon icon;
    icon.IsCursor = true;
    ASSERT_GE(icon.InsertSorted({16, 16}, 32), 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) icon.Image(0).At(x, y) = Px(x * 16, y * 16, 77, 255);
    TfrmDesk* desk = open(icon, "pic.cur");
    ASSERT_NE(desk, nullptr);

    // A name without extension takes the filter's: PNG is the third.
    chosen.push_back({path("out")});
    filterIndex = 3;
    EXPECT_TRUE(main->ExportImage());
    EXPECT_FALSE(offeredFilter.contains("*.ico"));
    EXPECT_FALSE(offeredFilter.contains("*.icns"));
    EXPECT_EQ(offeredFilter.count('|'), 9);  // five formats
    QImage back(path("out.png"));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(16, 16));
    EXPECT_EQ(back.pixel(5, 9), qRgba(80, 144, 77, 255));
    EXPECT_TRUE(messages.empty());

    // The same name again: No leaves the file as it was, Yes writes it anew.
    QFile::remove(path("out.png"));
    QFile keep(path("out.png"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("keep me");
    keep.close();
    chosen.push_back({path("out.png")});
    answers.push_back(idNo);
    EXPECT_FALSE(main->ExportImage());
    EXPECT_EQ(messages, std::vector<std::string>({"out.png already exists! Overwrite?"}));
    ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
    EXPECT_EQ(keep.readAll(), QByteArray("keep me"));
    keep.close();
    chosen.push_back({path("out.png")});
    answers.push_back(idYes);
    EXPECT_TRUE(main->ExportImage());
    EXPECT_EQ(QImage(path("out.png")).pixel(15, 0), qRgba(240, 0, 77, 255));

    // Each offered filter writes its own kind; a typed icon name is refused.
    const struct {
        int filter;
        const char* file;
        QByteArray format;
    } kinds[] = {{1, "k", "bmp"}, {2, "k", "jpeg"}, {4, "k", "gif"}, {5, "k", ""}, {1, "k2.j2k", ""}};
    for (const auto& k : kinds) {
        filterIndex = k.filter;
        chosen.push_back({path(k.file)});
        EXPECT_TRUE(main->ExportImage()) << k.filter;
    }
    EXPECT_EQ(QImageReader(path("k.bmp")).format(), "bmp");
    EXPECT_EQ(QImageReader(path("k.jpg")).format(), "jpeg");
    EXPECT_EQ(QImageReader(path("k.gif")).format(), "gif");
    EXPECT_TRUE(QFile::exists(path("k.jp2")));
    EXPECT_TRUE(QFile::exists(path("k2.j2k")));
    messages.clear();
    chosen.push_back({path("icon.ico")});
    EXPECT_FALSE(main->ExportImage());
    EXPECT_EQ(messages, std::vector<std::string>({"Invalid file type!"}));
    EXPECT_FALSE(QFile::exists(path("icon.ico")));
}

TEST_F(ImportCommandsTest, AnAnimationExportsEveryFrameAsGif) {
    TmyANI ani;
    for (int i = 0; i < 3; ++i) ASSERT_GE(ani.InsertSorted({16, 16}, 32), 0);
    for (int i = 0; i < 3; ++i)
        for (auto& p : ani.Image(i).Pixels()) p = Px(255, i * 80, 0, 255);
    ASSERT_NE(open(ani, "anim.ani"), nullptr);
    chosen.push_back({path("anim.gif")});
    EXPECT_TRUE(main->ExportImage());
    QImageReader reader(path("anim.gif"));
    EXPECT_EQ(reader.imageCount(), 3);
}

TEST_F(ImportCommandsTest, CaptureMakesADocumentOfTheScreenArea) {
    // The frame's place and the screen's pixels, as the capture window and
    // the display would give them.
    ImageSize askedArea;
    main->SetCaptureFrameRunner([&](ImageSize area) -> std::optional<QPoint> {
        askedArea = area;
        return QPoint(40, 30);
    });
    int grabLeft = -1, grabTop = -1;
    MyImport().Hooks.GrabScreen = [&](TBitmap& out, int left, int top, int w, int h) {
        grabLeft = left;
        grabTop = top;
        out.Allocate(w, h, pf32bit);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = out.ScanLine(y) + 4 * x;
                p[0] = static_cast<std::uint8_t>(x);  // blue
                p[1] = static_cast<std::uint8_t>(y);  // green
                p[2] = 200;                           // red
                p[3] = 255;
            }
        return true;
    };
    AcceptNewImage(1);
    EXPECT_TRUE(main->CaptureToNewDocument());
    EXPECT_EQ(askedArea, (ImageSize{32, 32}));
    EXPECT_EQ(grabLeft, 40);
    EXPECT_EQ(grabTop, 30);
    ASSERT_NE(active(), nullptr);
    EXPECT_EQ(active()->CurrentImage()->At(7, 9), Px(200, 9, 7, 255));
    EXPECT_FALSE(active()->Saved());
    EXPECT_FALSE(main->isMinimized());

    // A display that gives nothing: said, and no document stays.
    MyImport().Hooks.GrabScreen = [](TBitmap&, int, int, int, int) { return false; };
    AcceptNewImage(1);
    EXPECT_FALSE(main->CaptureToNewDocument());
    EXPECT_EQ(main->Desks().DeskCount(), 1);
    ASSERT_EQ(messages.size(), 1u);
    // Given up with Escape: nothing said, nothing left.
    main->SetCaptureFrameRunner([](ImageSize) { return std::optional<QPoint>(); });
    AcceptNewImage(1);
    EXPECT_FALSE(main->CaptureToNewDocument());
    EXPECT_EQ(main->Desks().DeskCount(), 1);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(ImportCommandsTest, CancellingTheGifProgressKeepsTheFramesAlreadyAdded) {
    TmyANI gifDoc;
    for (int i = 0; i < 6; ++i) ASSERT_GE(gifDoc.InsertSorted({8, 8}, 32), 0);
    for (int i = 0; i < 6; ++i)
        for (auto& p : gifDoc.Image(i).Pixels()) p = Px(i * 40, 0, 0, 255);
    ASSERT_TRUE(MyImport().SaveAnimationAsGif(path("six.gif").toStdString(), gifDoc));
    auto* progress = form<TfrmImportGif>("frmImportGif");
    // Cancel as soon as the bar has made its first step.
    int maximum = 0;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (!progress->isVisible() || progress->ProgressBar()->value() < 1) return;
        maximum = progress->ProgressBar()->maximum();
        cancel.stop();
        progress->CancelButton()->click();
    });
    cancel.start(0);
    AcceptNewImage(1, true);
    EXPECT_TRUE(main->OpenFile(path("six.gif")));
    EXPECT_EQ(maximum, 6);
    EXPECT_FALSE(progress->isVisible());
    ASSERT_NE(active(), nullptr);
    const int frames = active()->ImageCount();
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 6);
    EXPECT_EQ(active()->Document()->Image(0).At(15, 15), Px(0, 0, 0, 255));
}

TEST_F(ImportCommandsTest, PictureFilesDroppedOnTheSideBarBecomeImages) {
    TmyANI ani;
    ASSERT_GE(ani.InsertSorted({16, 16}, 32), 0);
    TfrmDesk* desk = open(ani, "drop.ani");
    ASSERT_NE(desk, nullptr);
    ASSERT_TRUE(desk->IsAnimated());
    QWidget* target = desk->SideBar()->viewport();
    QMimeData data;
    // A name that is no UTF-8 comes as its bytes, percent-encoded.
    const std::string raw = dir.path().toStdString() + "/\xff\xfe small.bmp";
    const RawNamesRemoved removed{{raw}};
    std::filesystem::copy_file(path("small.bmp").toStdString(), raw);
    const QByteArray rawUrl = "file://" + QByteArray::fromStdString(raw).toPercentEncoding("/");
    data.setUrls({QUrl::fromLocalFile(path("small.bmp")), QUrl::fromLocalFile(path("halves.png")),
                  QUrl::fromEncoded(rawUrl)});
    // To the side bar as the system's drag and drop delivers it there.
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    // The pictures come in once the drop has ended.
    // Waited for with the test's own assertion: a toolkit wait macro that
    // runs out only returns, and the test would pass.
    ASSERT_TRUE(QTest::qWaitFor([&] { return desk->ImageCount() == 4 || !messages.empty(); }, kModalLimitMs));
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(desk->ImageCount(), 4);
    EXPECT_EQ(desk->Document()->Image(2).At(0, 2), Px(255, 0, 0, 255));
}

TEST_F(ImportCommandsTest, ATargaThatBeginsLikeACursorOpensAsAPicture) {
    VELTO_NEED_CORPUS();
    // 128 x 128, its first bytes those of a cursor file.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Corpus("pillow/p_16.tga")), path("p_16.cur")));
    AcceptNewImage(1);
    EXPECT_TRUE(main->OpenFile(path("p_16.cur")));
    EXPECT_EQ(messages, std::vector<std::string>());
    ASSERT_NE(active(), nullptr);
    const TmyImagePal& image = *active()->CurrentImage();
    int opaque = 0;
    for (const TmyPixel& p : image.Pixels()) opaque += p.A == 255;
    EXPECT_EQ(opaque, 32 * 32);
    // 2 x 1, its first bytes those of a cursor as well: centred.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Corpus("pillow/rgba16.tga")), path("rgba16.tga")));
    AcceptNewImage(1);
    EXPECT_TRUE(main->OpenFile(path("rgba16.tga")));
    EXPECT_EQ(messages, std::vector<std::string>());
    EXPECT_EQ(main->Desks().DeskCount(), 2);
}

TEST_F(ImportCommandsTest, EveryTextOfTheImportWindowsIsInTheEnglishLanguageFile) {
    EXPECT_GT(ExpectEnglishTexts(main->Forms().All(), {"frmImport", "frmImportGif"}), 25);
}

// Started with a picture: it opens as a document once the New Image window
// is confirmed.
class CommandLinePictureTest : public ProgramWindowTest {
protected:
    QStringList CommandLine() override {
        Options().ImportAction = 0;
        const QString file = dir.filePath("start.png");
        EXPECT_TRUE(Small().save(file));
        AcceptNewImage(1);
        return {file};
    }
};

TEST_F(CommandLinePictureTest, APictureOnTheCommandLineOpensAsADocument) {
    // The first activation opens it, once the window shows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->Desks().DeskCount() == 1; }, kModalLimitMs));
    ASSERT_NE(active(), nullptr);
    EXPECT_EQ(active()->CurrentImage()->At(6, 11), Opaque(Small().pixel(0, 0)));
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace velto::test
