// The frames window: a GIF opened into a static cursor shows its frames and
// opens the chosen ones as documents (over-imposed or not), an animated
// cursor's frames through the import service's seam, Cancel and an empty
// selection that open nothing, and a file without frames.
#include <QCheckBox>
#include <QPushButton>

#include "../gif/GifTestUtil.h"
#include "../support/Corpus.h"
#include "DialogsTestSupport.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormFrames.h"
#include "dialogs/FormNewImage.h"
#include "engine/ColorDepth.h"
#include "gif/GifImage.h"
#include "import/MyImport.h"
#include "platform/FileWriter.h"

namespace velto::test {
namespace {

class FramesWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        Options().ClipboardAction = 0;  // a large frame is resized, never asked about
        frames = form<TfrmFrames>("frmFrames");
        ASSERT_NE(frames, nullptr);
    }

    // A corpus GIF of at least four frames, or "" (the test then skips).
    std::string FourFrameGif() {
        for (const char* name : {"dispose_none.gif", "dispose_prev.gif", "dispose_bgnd.gif", "iss634.gif"}) {
            const std::string file = Corpus(std::string("pillow/") + name);
            TGIFImage gif;
            if (gif.LoadFromFile(file) && gif.Images().Count() >= 4) return file;
        }
        return {};
    }

    // Opens file like File > Open, accepting the New Image window; work runs
    // while the frames window is modal.
    void OpenGif(const std::string& file, const std::function<void()>& work) {
        auto* newImage = form<TfrmNewImage>("frmNewImage");
        OnNextModal([&](QWidget*) {
            OnNextModal([&](QWidget* w) {
                EXPECT_EQ(w, frames);
                work();
                if (frames->isVisible()) frames->CancelButton()->click();
            });
            newImage->OKButton()->click();
        });
        main->OpenFile(QString::fromStdString(file));
    }

    // What a frame of the GIF becomes in a document of size and depth: the
    // frames drawn in turn onto a transparent black screen, fitted as a paste.
    static TmyImagePal Expected(const std::string& file, int first, int last, ImageSize size, int bits) {
        TGIFImage gif;
        EXPECT_TRUE(gif.LoadFromFile(file));
        TBitmap screen;
        EXPECT_TRUE(screen.Allocate(gif.Width(), gif.Height(), pf32bit));
        for (int k = first; k <= last; ++k) RenderGifFrame(screen, gif, k);
        TmyImagePal image(size, 32);
        EXPECT_TRUE(MyImport().BitmapToImage(screen, image, size, false, false));
        ChangeColorDepth(image, static_cast<TBitDepth>(bits), TPaletteKind::Windows,
                         Options().Dithering ? TDither::On : TDither::Off);
        return image;
    }

    TfrmFrames* frames = nullptr;
};

TEST_F(FramesWindowTest, AGifOpensTheChosenFramesAsDocumentsOverImposed) {
    VELTO_NEED_CORPUS();
    const std::string file = FourFrameGif();
    if (file.empty()) GTEST_SKIP() << "no GIF of four frames among the sample files";
    TGIFImage gif;
    ASSERT_TRUE(gif.LoadFromFile(file));
    const int before = main->Desks().DeskCount();
    OpenGif(file, [&] {
        TThumbail* grid = frames->Grid();
        EXPECT_EQ(frames->windowTitle(), "Frames");
        ASSERT_EQ(grid->Count(), gif.Images().Count());
        EXPECT_EQ(grid->ThumbnailSize(), 150);
        EXPECT_FALSE(grid->ShowCaption());
        EXPECT_FALSE(grid->CanDrag());
        EXPECT_FALSE(frames->OverimposeBox()->isHidden());
        EXPECT_TRUE(frames->OverimposeBox()->isChecked());
        EXPECT_EQ(grid->Selection(), std::vector<int>{0});
        grid->AddToSelection(3);
        frames->OKButton()->click();
        EXPECT_FALSE(frames->isVisible());
    });
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(main->Desks().DeskCount(), before + 2);
    for (int k = 0; k < 2; ++k) {
        auto* desk = qobject_cast<TfrmDesk*>(main->Desk(before + 1 + k));
        ASSERT_NE(desk, nullptr);
        EXPECT_FALSE(desk->IsAnimated());
        ASSERT_EQ(desk->ImageCount(), 1);
        const TmyImagePal& image = desk->Document()->Image(0);
        // The second shows frames 0 to 3 drawn in turn.
        const TmyImagePal expected = Expected(file, 0, k == 0 ? 0 : 3, image.Size(), image.BitCount);
        EXPECT_TRUE(image.Equals(expected)) << k;
        // The sample's later frames cover only part of the screen, so the
        // frames beneath show.
        if (k == 1) {
            EXPECT_FALSE(image.Equals(Expected(file, 3, 3, image.Size(), image.BitCount)));
        }
    }
}

TEST_F(FramesWindowTest, WithoutOverImposingAFrameComesAlone) {
    VELTO_NEED_CORPUS();
    const std::string file = FourFrameGif();
    if (file.empty()) GTEST_SKIP() << "no GIF of four frames among the sample files";
    const int before = main->Desks().DeskCount();
    OpenGif(file, [&] {
        frames->OverimposeBox()->click();
        EXPECT_FALSE(frames->OverimposeBox()->isChecked());
        // Reloaded: the first tile is selected again.
        ASSERT_GE(frames->Grid()->Count(), 4);
        EXPECT_EQ(frames->Grid()->Selection(), std::vector<int>{0});
        frames->Grid()->ClearSelection();
        frames->Grid()->AddToSelection(3);
        frames->OKButton()->click();
    });
    ASSERT_EQ(main->Desks().DeskCount(), before + 1);
    const TmyImagePal& image = qobject_cast<TfrmDesk*>(main->Desk(before + 1))->Document()->Image(0);
    EXPECT_TRUE(image.Equals(Expected(file, 3, 3, image.Size(), image.BitCount)));
    frames->OverimposeBox()->setChecked(true);
}

TEST_F(FramesWindowTest, CancelAndAnEmptySelectionOpenNothing) {
    VELTO_NEED_CORPUS();
    const std::string file = FourFrameGif();
    if (file.empty()) GTEST_SKIP() << "no GIF of four frames among the sample files";
    const int before = main->Desks().DeskCount();
    OpenGif(file, [&] { frames->CancelButton()->click(); });
    EXPECT_EQ(main->Desks().DeskCount(), before);
    OpenGif(file, [&] {
        frames->Grid()->ClearSelection();
        EXPECT_EQ(frames->ImportSelected(), 0);
        // Nothing happened: the window is still there to choose in.
        EXPECT_TRUE(frames->isVisible());
    });
    EXPECT_EQ(main->Desks().DeskCount(), before);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FramesWindowTest, AnAnimatedCursorShowsSmallerTilesWithoutTheOverImposeBox) {
    TmyANI ani;
    const TmyPixel colours[] = {Px(255, 0, 0, 255), Px(0, 255, 0, 255), Px(0, 0, 255, 255)};
    for (const TmyPixel& c : colours) {
        TmyImagePal& image = ani.Image(ani.AddImage({16, 16}, 32));
        for (auto& p : image.Pixels()) p = c;
    }
    const QString file = dir.filePath("three.ani");
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(ani, file.toStdString(), false));
    const int before = main->Desks().DeskCount();
    OnNextModal([&](QWidget* w) {
        EXPECT_EQ(w, frames);
        ASSERT_EQ(frames->Grid()->Count(), 3);
        EXPECT_EQ(frames->Grid()->ThumbnailSize(), 70);
        EXPECT_TRUE(frames->OverimposeBox()->isHidden());
        frames->Grid()->ClearSelection();
        frames->Grid()->AddToSelection(2);
        frames->Grid()->AddToSelection(0);
        frames->OKButton()->click();
    });
    const TmyImagePal target({16, 16}, 32);
    EXPECT_EQ(MyImport().ImportFromFrames(file.toStdString(), target, 32), 0);
    ASSERT_EQ(main->Desks().DeskCount(), before + 2);
    // In selection order: the blue frame first.
    for (int k = 0; k < 2; ++k) {
        const TmyImagePal& image = qobject_cast<TfrmDesk*>(main->Desk(before + 1 + k))->Document()->Image(0);
        EXPECT_EQ(image.Size(), (ImageSize{16, 16}));
        EXPECT_EQ(image.At(8, 8), colours[k == 0 ? 2 : 0]) << k;
    }
}

// Comments after the last image are no frame: no tile, and the last tile
// is the last image.
TEST_F(FramesWindowTest, ExtensionsAfterTheLastImageGetNoTile) {
    VELTO_NEED_CORPUS();
    const std::string file = Corpus("pillow/multiple_comments.gif");
    const int before = main->Desks().DeskCount();
    OpenGif(file, [&] {
        ASSERT_EQ(frames->Grid()->Count(), 5);
        frames->Grid()->ClearSelection();
        frames->Grid()->AddToSelection(4);
        frames->OKButton()->click();
    });
    ASSERT_EQ(main->Desks().DeskCount(), before + 1);
    const TmyImagePal& image = qobject_cast<TfrmDesk*>(main->Desk(before + 1))->Document()->Image(0);
    EXPECT_TRUE(image.Equals(Expected(file, 0, 4, image.Size(), image.BitCount)));
}

// A GIF holding extensions but no image opens nothing and says so.
TEST_F(FramesWindowTest, AGifWithoutAnImageIsRefusedAndLeavesNoDocument) {
    TGIFImage gif;
    gif.Header().Width = 4;
    gif.Header().Height = 4;
    gif.GlobalColorMap().Add(MakeColor(1, 2, 3));
    auto extensions = std::make_unique<TGIFSubImage>(gif);
    extensions->Extensions().Add<TGIFGraphicControlExtension>();
    gif.Images().Add(std::move(extensions));
    const QString file = dir.filePath("none.gif");
    ASSERT_TRUE(gif.SaveToFile(file.toStdString()));
    const int before = main->Desks().DeskCount();
    OnNextModal([&](QWidget*) { form<TfrmNewImage>("frmNewImage")->OKButton()->click(); });
    EXPECT_FALSE(main->OpenFile(file));
    EXPECT_EQ(messages, std::vector<std::string>{"Invalid gif file!"});
    EXPECT_EQ(main->Desks().DeskCount(), before);
    EXPECT_FALSE(frames->isVisible());
}

TEST_F(FramesWindowTest, AGifBeyondTheFramesBudgetSaysItIsTooLarge) {
    const QString file = dir.filePath("long.gif");
    ASSERT_TRUE(WriteWholeFile(file.toStdString(), giftest::Clip(int(ReadLimits{}.gifFrameBytes / (640 * 480)) + 1)));
    OnNextModal([&](QWidget*) { form<TfrmNewImage>("frmNewImage")->OKButton()->click(); });
    EXPECT_FALSE(main->OpenFile(file));
    EXPECT_EQ(messages, std::vector<std::string>{"The gif animation is too large to be opened!"});
}

TEST_F(FramesWindowTest, AFileWithoutFramesFailsWithoutShowingTheWindow) {
    QFile junk(dir.filePath("junk.gif"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("GIF89a\x01");
    junk.close();
    const TmyImagePal target({32, 32}, 32);
    EXPECT_EQ(MyImport().ImportFromFrames(junk.fileName().toStdString(), target, 32), 2);
    EXPECT_FALSE(frames->isVisible());
}

}  // namespace
}  // namespace velto::test
