// Document windows as a user meets them: opening cursor files three ways,
// the lists and the side bar, zoom, the canvas layout and its pixels, Save and
// Save As with their questions and failures, the close question, Close All,
// the recent files and the Window menu.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusTipEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QUrl>
#include <unistd.h>

#include "Corpus.h"
#include "DeskFixture.h"
#include "browse/ThumbnailGrid.h"
#include "model/Detect.h"
#include "platform/IniFile.h"
#include "shell/DeskText.h"
#include "shell/PaneAccess.h"
#include "shell/Translator.h"

using namespace velto;
using velto::test::DeskTest;

namespace {

void Paint(TmyImagePal& img, int seed) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            if (img.Palette) {
                const int i = (x * 7 + y * 3 + seed) % img.Palette->Count();
                img.At(x, y) = (x + y) % 5 == 0 ? TmyPixel{} : (*img.Palette)[i];
            } else {
                const auto v = static_cast<std::uint8_t>(x * 8 + seed);
                img.At(x, y) = (x + y) % 4 == 0 ? TmyPixel{}
                                                : TmyPixel{v, static_cast<std::uint8_t>(y * 8),
                                                           static_cast<std::uint8_t>(seed * 40),
                                                           static_cast<std::uint8_t>(255 - x)};
            }
        }
}

// A cursor with a 32-bit and an 8-bit image, each with its own hotspot.
TmyIcon MakeCursor() {
    TmyIcon doc;
    doc.IsCursor = true;
    for (const auto& [size, bits] : {std::pair{ImageSize{32, 32}, 32}, std::pair{ImageSize{16, 16}, 8}}) {
        TmyImagePal& img = doc.Image(doc.AddImage(size, bits));
        Paint(img, bits);
        img.SetHotSpotX(bits / 4);
        img.SetHotSpotY(3);
    }
    doc.SetItemIndex(0);
    return doc;
}

// An animated cursor of n 32 x 32 frames with their own rates and hotspots.
TmyANI MakeAnimation(int n) {
    TmyANI doc;
    for (int i = 0; i < n; ++i) {
        TmyImagePal& img = doc.Image(doc.AddImage({32, 32}, 32));
        Paint(img, i);
        img.SetRate(0.5 + i / 6.0);
        img.SetHotSpotX(i);
        img.SetHotSpotY(31 - i);
    }
    doc.SetItemIndex(0);
    return doc;
}

// The same images, hotspots and rates.
void ExpectSameDocument(const TmyIcon& a, const TmyIcon& b) {
    ASSERT_EQ(a.Count(), b.Count());
    for (int i = 0; i < a.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(a.Image(i).Equals(b.Image(i)));
        EXPECT_EQ(a.Image(i).BitCount, b.Image(i).BitCount);
        EXPECT_EQ(a.Image(i).HotSpotX(), b.Image(i).HotSpotX());
        EXPECT_EQ(a.Image(i).HotSpotY(), b.Image(i).HotSpotY());
        EXPECT_EQ(SecondsToJiffies(a.Image(i).Rate()), SecondsToJiffies(b.Image(i).Rate()));
    }
}

bool IsAnimation(const QString& path) { return DetectFileType(path.toStdString()).type == ftAnimatedCursor; }

std::unique_ptr<TmyIcon> ReadBack(const QString& path, bool animated) {
    std::unique_ptr<TmyIcon> doc = animated ? std::make_unique<TmyANI>() : std::make_unique<TmyIcon>();
    const bool ok = animated ? TmyANIIO(false).LoadFromFile(*doc, path.toStdString())
                             : TmyIcoIO(false).LoadFromFile(*doc, path.toStdString());
    return ok ? std::move(doc) : nullptr;
}

QStringList WindowMenuItems(TfrmMain& main) {
    QStringList out;
    const QList<QAction*> items = main.WindowMenu()->actions();
    for (int i = 5; i < items.size(); ++i) out << (items[i]->isChecked() ? "*" : "") + items[i]->text();
    return out;
}

QStringList RecentMenuItems(TfrmMain& main) {
    QStringList out;
    const QList<QAction*> items = main.RecentFilesMenu()->actions();
    for (int i = 2; i < items.size(); ++i) out << items[i]->text();
    return out;
}

}  // namespace

TEST_F(DeskTest, NewWindowShowsZoomTenAndTheSettingsAndClosesWithoutAQuestion) {
    for (const bool flip : {false, true}) {
        SCOPED_TRACE(flip);
        Options().GridVisible = flip;
        Options().SidebarVisible = !flip;
        ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
        TfrmDesk* d = active();
        ASSERT_NE(d, nullptr);
        d->Frame()->show();
        EXPECT_EQ(d->objectName(), "frmCanvas");
        EXPECT_EQ(d->Zoom(), 10);
        ASSERT_EQ(d->ZoomCombo()->count(), 100);
        EXPECT_EQ(d->ZoomCombo()->currentIndex(), 9);
        EXPECT_EQ(d->ZoomCombo()->itemText(0), "100%");
        EXPECT_EQ(d->ZoomCombo()->itemText(99), "10000%");
        EXPECT_EQ(d->GridVisible(), flip);
        EXPECT_EQ(d->LocalAction("actGrid")->isChecked(), flip);
        EXPECT_EQ(d->SidebarVisible(), !flip);
        EXPECT_TRUE(d->Saved());
        EXPECT_FALSE(d->HasImages());
        EXPECT_EQ(d->ImagesCombo()->toolTip(), "Images");
        EXPECT_EQ(d->LocalAction("actZoomIn")->toolTip(), "Zoom In");
        EXPECT_EQ(d->LocalAction("actDuplicateImage")->text(), "Duplicate Image");
        d->Frame()->close();
        EXPECT_TRUE(shown.isEmpty());
        EXPECT_EQ(main->Desks().DeskCount(), 0);
    }
}

// A window narrower than its tool bar (tiled on a small screen) cuts the bar
// off at its edge; the lists keep their width and show their texts.
TEST_F(DeskTest, ANarrowWindowCutsItsToolBarRatherThanSqueezingTheLists) {
    ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
    TfrmDesk* d = active();
    ASSERT_NE(d, nullptr);
    d->Frame()->show();
    QApplication::processEvents();
    const int images = d->ImagesCombo()->width(), zoom = d->ZoomCombo()->width();
    ASSERT_GE(images, d->ImagesCombo()->minimumSizeHint().width());
    d->Frame()->resize(200, 300);
    QApplication::processEvents();
    ASSERT_LT(d->width(), d->LocalToolBar()->sizeHint().width());
    EXPECT_EQ(d->ImagesCombo()->width(), images);
    EXPECT_EQ(d->ZoomCombo()->width(), zoom);
    EXPECT_EQ(d->LocalToolBar()->x(), 0);
    d->Frame()->close();
}

// Every icon, cursor and animated cursor of the samples, from the command
// line, through Open and dropped on the document area: the canvas, both
// lists and the side bar show the images our reader finds.
TEST_F(DeskTest, OpensEveryCursorFileOfTheSamplesThreeWays) {
    VELTO_NEED_CORPUS();
    QStringList files;
    for (QDirIterator it(QString::fromStdString(velto::test::CorpusDir().string()), {"*.cur", "*.ico", "*.ani"},
                         QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    files.sort();
    ASSERT_GE(files.size(), 15);
    QStringList valid;
    for (const QString& f : files)
        if (ReadBack(f, IsAnimation(f))) valid << f;
    ASSERT_GE(valid.size(), 10);

    auto check = [&](const QString& road, const QString& f) {
        SCOPED_TRACE((road + " " + f).toStdString());
        // The leading bytes decide: some ".cur" samples are animations.
        std::unique_ptr<TmyIcon> expected = ReadBack(f, IsAnimation(f));
        TfrmDesk* d = nullptr;
        for (int i = 1; i <= main->Desks().DeskCount(); ++i)
            if (desk(i)->FilePath() == f) d = desk(i);
        if (!expected) {
            EXPECT_EQ(d, nullptr);
            return;
        }
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), f);
        EXPECT_EQ(d->ImageCount(), expected->Count());
        ASSERT_EQ(d->ImagesCombo()->count(), expected->Count());
        ASSERT_EQ(d->SideBar()->Count(), expected->Count());
        for (int i = 0; i < expected->Count(); ++i) {
            EXPECT_TRUE(d->Document()->Image(i).Equals(expected->Image(i)));
            EXPECT_EQ(d->ImagesCombo()->itemText(i), ImageListText(i, expected->Image(i)));
            EXPECT_EQ(d->SideBar()->Item(i).Caption, ThumbnailCaption(d->IsAnimated(), i, expected->Image(i)));
        }
        EXPECT_EQ(d->ImagesCombo()->currentIndex(), 0);
        EXPECT_FALSE(d->CanvasImage()->Bitmap().isNull());
        EXPECT_EQ(d->Zoom(), d->CurrentImage()->Zoom);
        EXPECT_EQ(d->CanvasImage()->width(),
                  std::min(d->CurrentImage()->Width() * d->Zoom(),
                           d->ScrollBox()->width() - (d->VertSB()->isVisible() ? d->VertSB()->width() : 0)));
        EXPECT_TRUE(d->Saved());
        EXPECT_EQ(d->IsAnimated(), IsAnimation(f));
        EXPECT_EQ(d->DragItems(), d->IsAnimated());
    };
    auto closeAll = [&] {
        EXPECT_TRUE(main->CloseAllDocuments());
        EXPECT_EQ(main->Desks().DeskCount(), 0);
    };

    // The command line stops at the first failure: only readable files here.
    main->FirstActivation(valid);
    for (const QString& f : valid) check("command line", f);
    EXPECT_EQ(main->Desks().DeskCount(), valid.size());
    closeAll();

    dialogAnswers.push_back(files);
    shown.clear();
    main->Actions().execute("actnOpen");
    ASSERT_FALSE(dialogs.isEmpty());
    EXPECT_EQ(dialogs.last(), "dlgOpenIcon");
    // Open stops at the first file that fails, with its message.
    const qsizetype firstBad = std::find_if(files.begin(), files.end(), [&](const QString& f) {
                                   return !valid.contains(f);
                               }) - files.begin();
    EXPECT_EQ(main->Desks().DeskCount(), firstBad);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last().text, "Invalid File Format!");
    EXPECT_EQ(shown.last().kind, int(mkError));
    for (const QString& f : files.mid(0, firstBad)) check("open", f);
    closeAll();

    for (const QString& f : files) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(f)});
        // The drop goes where the drag entered.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main->DocumentArea()->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main->DocumentArea()->viewport(), &drop);
        check("drop", f);
    }
    EXPECT_EQ(main->Desks().DeskCount(), valid.size());

    // Saved again as cursors and animations, each reads back the same.
    for (int i = 1; i <= main->Desks().DeskCount(); ++i) {
        TfrmDesk* d = desk(i);
        SCOPED_TRACE(d->FilePath().toStdString());
        main->ActivateDesk(i);
        dialogAnswers.push_back({tempPath(QString("saved%1").arg(i))});
        main->Actions().execute("actnSaveAs");
        ASSERT_EQ(d->FilePath(), tempPath(QString("saved%1.%2").arg(i).arg(d->IsAnimated() ? "ani" : "cur")));
        std::unique_ptr<TmyIcon> back = ReadBack(d->FilePath(), d->IsAnimated());
        ASSERT_NE(back, nullptr);
        ExpectSameDocument(*back, *d->Document());
    }
    closeAll();
}

TEST_F(DeskTest, SaveAsCursorAndAnimationThenReopenGivesTheSameImagesHotspotsAndRates) {
    struct Row {
        const char* name;
        bool animated;
        const char* typed;
        const char* saved;
    };
    for (const Row& r : {Row{"cursor", false, "copy", "copy.cur"}, Row{"animation", true, "anim", "anim.ani"},
                         Row{"cursor with own extension", false, "mine.cur", "mine.cur"}}) {
        SCOPED_TRACE(r.name);
        const TmyANI ani = MakeAnimation(3);
        const TmyIcon cur = MakeCursor();
        const TmyIcon& source = r.animated ? static_cast<const TmyIcon&>(ani) : cur;
        TfrmDesk* d = openDocument(source, QString("source_%1.%2").arg(r.typed, r.animated ? "ani" : "cur"));
        ASSERT_NE(d, nullptr);
        dialogAnswers.push_back({tempPath(r.typed)});
        main->Actions().execute("actnSaveAs");
        EXPECT_EQ(dialogs.last(), "dlgSaveIcon");
        // The filter and extension of the document's kind; the proposal is the
        // caption without its extension.
        EXPECT_EQ(lastDialog.filter, r.animated ? "Animated cursor file (*.ani)|*.ani" : "Windows Cursor (*.cur)|*.cur");
        EXPECT_EQ(lastDialog.defaultExt, r.animated ? "ani" : "cur");
        EXPECT_EQ(lastDialog.fileName, tempPath(QString("source_%1").arg(r.typed)));
        const QString saved = tempPath(r.saved);
        EXPECT_EQ(d->FilePath(), saved);
        EXPECT_EQ(d->windowTitle(), saved);
        EXPECT_TRUE(d->Saved());
        EXPECT_EQ(RecentMenuItems(*main).first(), "1: " + saved);
        EXPECT_EQ(WindowMenuItems(*main).last(), QString("*") + r.saved);
        std::unique_ptr<TmyIcon> back = ReadBack(saved, r.animated);
        ASSERT_NE(back, nullptr);
        ExpectSameDocument(*back, source);
        // Reopened through the program it is the same again.
        d->Frame()->close();
        TfrmDesk* again = open(saved);
        ASSERT_NE(again, nullptr);
        ExpectSameDocument(*again->Document(), source);
        again->Frame()->close();
    }
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(DeskTest, SaveAsAsksBeforeOverwritingWithTheNameAloneAndNoChangesNothing) {
    TfrmDesk* d = openDocument(MakeCursor(), "a.cur");
    ASSERT_NE(d, nullptr);
    QFile other(tempPath("b.cur"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("keep me");
    other.close();
    for (const int answer : {int(idNo), int(idYes)}) {
        SCOPED_TRACE(answer);
        shown.clear();
        answers.push_back(answer);
        dialogAnswers.push_back({tempPath("b.cur")});
        main->Actions().execute("actnSaveAs");
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "b.cur already exists! Overwrite?");
        EXPECT_EQ(shown[0].kind, int(mkConfirm));
        EXPECT_EQ(shown[0].buttons, int(mbYes | mbNo));
        QFile f(tempPath("b.cur"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll() == "keep me", answer == idNo);
        EXPECT_EQ(d->FilePath(), tempPath(answer == idNo ? "a.cur" : "b.cur"));
    }
}

// A failed write shows an error and leaves the file, the caption and the
// saved flag as they were.
TEST_F(DeskTest, AFailedSaveShowsAnErrorAndLeavesFileCaptionAndFlag) {
    TfrmDesk* d = openDocument(MakeCursor(), "keep.cur");
    ASSERT_NE(d, nullptr);
    QFile f(tempPath("keep.cur"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    f.close();

    // An image the cursor format cannot hold: nothing is written.
    d->Document()->AppendImage(std::make_unique<TmyImagePal>(ImageSize{300, 300}, 32));
    d->SetSaved(false);
    main->UpdateActions();
    main->Actions().execute("actnSave");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "The file " + tempPath("keep.cur") + " could not be saved!");
    EXPECT_EQ(shown[0].kind, int(mkError));
    EXPECT_FALSE(d->Saved());
    EXPECT_EQ(d->windowTitle(), tempPath("keep.cur"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), original);
    f.close();

    // A folder that does not exist: the new name is not taken.
    d->Document()->Delete(d->Document()->Count() - 1);
    shown.clear();
    dialogAnswers.push_back({tempPath("missing/folder/x.cur")});
    main->Actions().execute("actnSaveAs");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, int(mkError));
    EXPECT_EQ(d->windowTitle(), tempPath("keep.cur"));
    EXPECT_FALSE(d->Saved());
    EXPECT_TRUE(act("actnSave")->isEnabled());
    EXPECT_FALSE(QFile::exists(tempPath("missing/folder/x.cur")));
}

// A save the system refuses says the message, then on its own line why, for
// cursors, animated cursors and Apple icons alike.
TEST_F(DeskTest, AFailedSaveSaysWhyTheSystemRefusedIt) {
    QDir().mkpath(tempPath("folder.cur"));
    struct Row {
        const char* name;
        bool animated;
        const char* saveAs;  // under the temporary folder
        const char* reason;
    } rows[] = {
        {"cursor into a missing folder", false, "missing/x.cur", "No such file or directory"},
        {"animation into a missing folder", true, "missing/x.ani", "No such file or directory"},
        {"Apple icon into a missing folder", false, "missing/x.icns", "No such file or directory"},
        {"cursor onto a folder", false, "folder.cur", "not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TfrmDesk* d = row.animated ? openDocument(MakeAnimation(2), "r.ani") : openDocument(MakeCursor(), "r.cur");
        ASSERT_NE(d, nullptr);
        shown.clear();
        answers.push_back(idYes);  // the overwrite question, where the target exists
        dialogAnswers.push_back({tempPath(row.saveAs)});
        main->Actions().execute("actnSaveAs");
        ASSERT_FALSE(shown.isEmpty());
        const QString expected = "The file " + tempPath(row.saveAs) + " could not be saved!\n" + row.reason;
        EXPECT_EQ(shown.back().text, expected);
        EXPECT_EQ(shown.back().kind, int(mkError));
        EXPECT_TRUE(shown.back().text.endsWith(row.reason));
        answers.clear();
        d->SetSaved(true);
        closeDesk(d->Tag);
    }
    // As an ordinary user, a read-only target is refused as the system refuses it.
    if (::geteuid() != 0) {
        TfrmDesk* d = openDocument(MakeCursor(), "locked.cur");
        ASSERT_NE(d, nullptr);
        QFile::setPermissions(tempPath("locked.cur"), QFileDevice::ReadOwner);
        shown.clear();
        main->Actions().execute("actnSave");
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].text.endsWith("could not be saved!\nPermission denied")) << shown[0].text.toStdString();
        QFile::setPermissions(tempPath("locked.cur"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// A document opened through a link (say, into a shared theme folder) is saved
// into the file the link leads to; the link stays as it was.
TEST_F(DeskTest, SavingADocumentOpenedThroughALinkChangesItsFileAndKeepsTheLink) {
    QDir().mkpath(tempPath("theme"));
    for (const bool animated : {false, true}) {
        SCOPED_TRACE(animated ? "animation" : "cursor");
        const QString name = animated ? "busy.ani" : "arrow.cur";
        const QString real = tempPath("theme/" + name), link = tempPath(name);
        const TmyANI ani = MakeAnimation(2);
        const TmyIcon cur = MakeCursor();
        const TmyIcon& source = animated ? static_cast<const TmyIcon&>(ani) : cur;
        ASSERT_TRUE(animated ? TmyANIIO(false).SaveToFile(source, real.toStdString(), false)
                             : TmyIcoIO(false).SaveToFile(source, real.toStdString(), false));
        ASSERT_TRUE(QFile::link("theme/" + name, link));
        TfrmDesk* d = open(link);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->FilePath(), link);
        d->Document()->Delete(d->Document()->Count() - 1);
        d->SetSaved(false);
        main->UpdateActions();
        main->Actions().execute("actnSave");
        EXPECT_TRUE(d->Saved());
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), real);
        std::unique_ptr<TmyIcon> back = ReadBack(real, animated);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->Count(), 1);
        ExpectSameDocument(*back, *d->Document());
        d->Frame()->close();
    }
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(QDir(tempPath("theme")).entryList(QDir::Files | QDir::Hidden), QStringList({"arrow.cur", "busy.ani"}));
}

// After Yes the window closes only when it is saved; otherwise the answer
// counts as Cancel and the changes stay.
TEST_F(DeskTest, CloseQuestionYesClosesOnlyASavedWindow) {
    QDir().mkpath(tempPath("ro"));
    struct Row {
        const char* name;
        bool untitled;
        std::vector<int> answers;
        QStringList dialog;  // the Save As answer, empty: cancelled
        bool closes;
        bool written;
    };
    const QString target = tempPath("row.cur");
    for (const Row& r : {
             Row{"No", false, {idNo}, {}, true, false},
             Row{"Cancel", false, {idCancel}, {}, false, false},
             Row{"BoxClosedWithoutAChoice", false, {0}, {}, false, false},
             Row{"YesSavesInPlace", false, {idYes}, {}, true, true},
             Row{"YesSaveAsCancelled", true, {idYes}, {}, false, false},
             Row{"YesSaveAsChosen", true, {idYes}, {target}, true, true},
             Row{"YesSaveAsIntoAMissingFolder", true, {idYes, idOK}, {tempPath("none/x.cur")}, false, false},
         }) {
        SCOPED_TRACE(r.name);
        QFile::remove(target);
        QPointer<TfrmDesk> d;
        if (r.untitled) {
            ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
            d = active();
            auto doc = std::make_unique<TmyIcon>(MakeCursor());
            d->SetDocument(std::move(doc));
            d->Frame()->show();
            d->UpdateImageList(true);
        } else {
            d = openDocument(MakeCursor(), "row.cur");
            ASSERT_TRUE(QFile::remove(target));
        }
        ASSERT_NE(d, nullptr);
        d->CurrentImage()->At(0, 0) = TmyPixel{1, 2, 3, 255};
        d->SetSaved(false);
        const QString caption = d->windowTitle();
        shown.clear();
        answers.assign(r.answers.begin(), r.answers.end());
        if (!r.dialog.isEmpty()) dialogAnswers.push_back(r.dialog);
        d->Frame()->close();
        ASSERT_GE(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "Save changes to " + caption + " ?");
        EXPECT_EQ(shown[0].kind, int(mkConfirm));
        EXPECT_EQ(shown[0].buttons, int(mbYes | mbNo | mbCancel));
        ASSERT_EQ(main->Desks().DeskCount(), r.closes ? 0 : 1);
        EXPECT_EQ(QFile::exists(target), r.written);
        if (!r.closes) {
            ASSERT_TRUE(d);
            EXPECT_FALSE(d->Saved());
            EXPECT_EQ(d->CurrentImage()->At(0, 0), (TmyPixel{1, 2, 3, 255}));
            d->SetSaved(true);
            d->Frame()->close();
        }
        EXPECT_EQ(main->Desks().DeskCount(), 0);
    }
}

TEST_F(DeskTest, CloseAllAndExitStopAtTheFirstCancel) {
    for (int i = 0; i < 3; ++i) {
        TfrmDesk* d = openDocument(MakeCursor(), QString("w%1.cur").arg(i));
        ASSERT_NE(d, nullptr);
        d->SetSaved(false);
    }
    answers = {idNo, idCancel};
    main->Actions().execute("actCloseAll");
    EXPECT_FALSE(main->ClosingAll());
    ASSERT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_EQ(desk(1)->FilePath(), tempPath("w1.cur"));
    EXPECT_EQ(desk(2)->FilePath(), tempPath("w2.cur"));
    EXPECT_EQ(shown.size(), 2);
    // Leaving the program asks again and stays at a Cancel.
    answers = {idCancel};
    EXPECT_FALSE(main->close());
    EXPECT_EQ(main->Desks().DeskCount(), 2);
    answers = {idNo, idNo};
    EXPECT_TRUE(main->close());
    EXPECT_EQ(main->Desks().DeskCount(), 0);
}

TEST_F(DeskTest, OpeningRoadsLinksAndNames) {
    const TmyANI ani = MakeAnimation(2);
    ASSERT_TRUE(TmyANIIO(false).SaveToFile(ani, tempPath("real.ani").toStdString(), false));

    // A Windows shortcut cannot be followed: it is reported under its own
    // name, and not recorded.
    QFile lnk(tempPath("broken.lnk"));
    ASSERT_TRUE(lnk.open(QIODevice::WriteOnly));
    lnk.write("L\0\0\0", 4);
    lnk.close();
    EXPECT_FALSE(main->OpenFile(tempPath("broken.lnk")));
    EXPECT_EQ(messages.last(), "The file " + tempPath("broken.lnk") + " does not exist!");
    EXPECT_TRUE(RecentMenuItems(*main).isEmpty());
    // A link so named that can be followed opens its target, under the target's name.
    ASSERT_TRUE(QFile::link(tempPath("real.ani"), tempPath("Shortcut.LNK")));
    TfrmDesk* d = open(tempPath("Shortcut.LNK"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->FilePath(), tempPath("real.ani"));
    EXPECT_EQ(RecentMenuItems(*main), QStringList({"1: " + tempPath("real.ani")}));
    EXPECT_EQ(d->SideBar()->Item(1).Caption, "Frame 1");

    // A name relative to the working folder is kept absolute.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(MakeCursor(), tempPath("rel.cur").toStdString(), false));
    TfrmDesk* rel = open("rel.cur");
    QDir::setCurrent(cwd);
    ASSERT_NE(rel, nullptr);
    EXPECT_EQ(rel->FilePath(), tempPath("rel.cur"));
    EXPECT_EQ(RecentMenuItems(*main).first(), "1: " + tempPath("rel.cur"));
    rel->Frame()->close();

    // Already open: that window comes forward, the path becomes the newest.
    TfrmDesk* other = openDocument(MakeCursor(), "other.cur");
    ASSERT_NE(other, nullptr);
    messages.clear();
    EXPECT_FALSE(main->OpenFile(tempPath("real.ani")));
    EXPECT_EQ(messages, QStringList({"The file is already open!"}));
    EXPECT_EQ(active(), d);
    EXPECT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_EQ(RecentMenuItems(*main).first(), "1: " + tempPath("real.ani"));

    // A missing file; the leading bytes decide, not the name; roads not built
    // yet say so.
    messages.clear();
    EXPECT_FALSE(main->OpenFile(tempPath("nothing.cur")));
    EXPECT_EQ(messages, QStringList({"The file " + tempPath("nothing.cur") + " does not exist!"}));
    ASSERT_TRUE(QFile::copy(tempPath("other.cur"), tempPath("looks.png")));
    TfrmDesk* png = open(tempPath("looks.png"));
    ASSERT_NE(png, nullptr);
    EXPECT_FALSE(png->IsAnimated());
    QFile pic(tempPath("picture.cur"));
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    pic.close();
    messages.clear();
    // A picture takes the picture road: without the New Image window (not
    // in this test program) no document is made and no window stays.
    const int desks = main->Desks().DeskCount();
    EXPECT_FALSE(main->OpenFile(tempPath("picture.cur")));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(main->Desks().DeskCount(), desks);
    EXPECT_EQ(RecentMenuItems(*main).first(), "1: " + tempPath("looks.png")) << "only a file that opened is recorded";
    // Executables wait for the extraction window.
    QFile exe(tempPath("program.cur"));
    ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    exe.write("MZ\x90\0\3\0\0\0", 8);
    exe.close();
    EXPECT_FALSE(main->OpenFile(tempPath("program.cur")));
    EXPECT_EQ(messages, QStringList({"This kind of file cannot be opened yet!"}));
    // A truncated animation leaves no window behind.
    QFile full(tempPath("real.ani"));
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    QFile cut(tempPath("cut.ani"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(full.read(full.size() / 2));
    cut.close();
    const int before = main->Desks().DeskCount();
    EXPECT_FALSE(main->OpenFile(tempPath("cut.ani")));
    EXPECT_EQ(main->Desks().DeskCount(), before);
    EXPECT_EQ(messages.last(), "Invalid File Format!");
}

// A document whose name is not a cursor's goes to Save As, so its file is not
// overwritten with another format; a name typed without extension gets the
// document's.
TEST_F(DeskTest, SaveOfAForeignNameGoesToSaveAs) {
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(MakeCursor(), tempPath("looks.png").toStdString(), false));
    QFile f(tempPath("looks.png"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    f.close();
    TfrmDesk* d = open(tempPath("looks.png"));
    ASSERT_NE(d, nullptr);
    d->SetSaved(false);
    main->UpdateActions();
    dialogs.clear();
    dialogAnswers.push_back({tempPath("fixed")});
    main->Actions().execute("actnSave");
    EXPECT_EQ(dialogs, QStringList({"dlgSaveIcon"}));
    EXPECT_EQ(lastDialog.fileName, tempPath("looks"));
    EXPECT_EQ(d->FilePath(), tempPath("fixed.cur"));
    EXPECT_TRUE(QFile::exists(tempPath("fixed.cur")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), original);
    // Now a cursor's name: Save writes in place, without a dialog, and the
    // command is off until the next change.
    d->SetSaved(false);
    main->UpdateActions();
    EXPECT_TRUE(act("actToolSave")->isEnabled());
    main->Actions().execute("actToolSave");
    EXPECT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(d->Saved());
    EXPECT_FALSE(act("actnSave")->isEnabled());
    EXPECT_FALSE(act("actToolSave")->isEnabled());
    // An untitled window proposes its caption.
    ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
    active()->SetDocument(std::make_unique<TmyIcon>(MakeCursor()));
    main->Actions().execute("actnSaveAs");
    EXPECT_EQ(lastDialog.fileName, "Untitled - 1");
}

TEST_F(DeskTest, RecentFilesAndTheWindowMenuFollowTheWindows) {
    for (const char* n : {"one.cur", "two.cur", "three.cur"}) ASSERT_NE(openDocument(MakeCursor(), n), nullptr);
    EXPECT_EQ(WindowMenuItems(*main), QStringList({"one.cur", "two.cur", "*three.cur"}));
    EXPECT_EQ(RecentMenuItems(*main), QStringList({"1: " + tempPath("three.cur"), "2: " + tempPath("two.cur"),
                                                   "3: " + tempPath("one.cur")}));
    main->WindowMenu()->actions()[5]->trigger();
    EXPECT_EQ(active()->FilePath(), tempPath("one.cur"));
    EXPECT_EQ(WindowMenuItems(*main), QStringList({"*one.cur", "two.cur", "three.cur"}));
    // Closing the active window makes the last one active.
    active()->Frame()->close();
    EXPECT_EQ(WindowMenuItems(*main), QStringList({"two.cur", "*three.cur"}));
    // A recent file opens again (here: it is still open).
    messages.clear();
    main->RecentFilesMenu()->actions()[3]->trigger();
    EXPECT_EQ(messages, QStringList({"The file is already open!"}));
    EXPECT_EQ(RecentMenuItems(*main).first(), "1: " + tempPath("two.cur"));
    QApplication::processEvents();
    main->RecentFilesMenu()->actions()[4]->trigger();
    EXPECT_EQ(WindowMenuItems(*main), QStringList({"two.cur", "three.cur", "*one.cur"}));
}

TEST_F(DeskTest, ZoomListAndStepsImageListAndUndo) {
    Options().Autozoom = false;
    TfrmDesk* d = openDocument(MakeCursor(), "z.cur");
    ASSERT_NE(d, nullptr);
    d->SetZoom(10);
    QAction* in = d->LocalAction("actZoomIn");
    QAction* out = d->LocalAction("actZoomOut");
    for (const auto& [action, zoom] : {std::pair{in, 14}, std::pair{in, 20}, std::pair{out, 14}, std::pair{out, 10},
                                       std::pair{out, 7}}) {
        action->trigger();
        EXPECT_EQ(d->Zoom(), zoom);
        EXPECT_EQ(d->ZoomCombo()->currentIndex(), zoom - 1);
        EXPECT_EQ(d->CurrentImage()->Zoom, zoom);
    }
    d->SetZoom(100);
    EXPECT_FALSE(in->isEnabled());
    EXPECT_TRUE(out->isEnabled());
    in->trigger();
    EXPECT_EQ(d->Zoom(), 100);
    d->SetZoom(1);
    EXPECT_FALSE(out->isEnabled());
    // "+" typed anywhere in the program zooms the active window.
    EXPECT_TRUE(main->KeyPreview(nullptr, "+", Qt::Key_Plus));
    EXPECT_EQ(d->Zoom(), 2);

    // Another image from the list: undo does not cross it.
    d->UndoStore().Store(*d->CurrentImage());
    main->UpdateUndoActions();
    EXPECT_TRUE(act("actnUndo")->isEnabled());
    QSignalSpy changed(d, &TfrmDesk::currentImageChanged);
    d->ImagesCombo()->setCurrentIndex(1);
    emit d->ImagesCombo()->activated(1);
    EXPECT_EQ(d->Document()->ItemIndex(), 1);
    EXPECT_EQ(d->SideBar()->FirstSelected(), 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(d->CanUndo());
    EXPECT_FALSE(act("actnUndo")->isEnabled());
    EXPECT_TRUE(act("actnPrev")->isEnabled());
    EXPECT_FALSE(act("actnnext")->isEnabled());
    // Choosing a tile does the same.
    QTest::mouseClick(d->SideBar()->viewport(), Qt::LeftButton, {}, d->SideBar()->ItemRect(0).center());
    EXPECT_EQ(d->Document()->ItemIndex(), 0);
    EXPECT_EQ(d->ImagesCombo()->currentIndex(), 0);
    EXPECT_EQ(changed.count(), 2);
}

// The canvas at zoom 1, 2 and 10: centred when it fits, scroll bars that start
// centred and keep their place, pixels and grid as the settings say.
TEST_F(DeskTest, CanvasLayoutPixelsAndGrid) {
    Options().Autozoom = false;
    Options().GridColor = MakeColor(9, 8, 7);
    TmyIcon doc;
    TmyImagePal& small = doc.Image(doc.AddImage({16, 16}, 32));
    small.At(0, 0) = TmyPixel{10, 20, 30, 255};
    small.At(1, 0) = TmyPixel{10, 20, 30, 0};
    doc.SetItemIndex(0);
    TfrmDesk* d = openDocument(doc, "small.cur");
    ASSERT_NE(d, nullptr);
    const QColor opaque(10, 20, 30), second(235, 235, 235), first(255, 255, 255);
    for (const int zoom : {1, 2, 10}) {
        for (const int style : {0, 1, 2}) {
            SCOPED_TRACE(QString("zoom %1 style %2").arg(zoom).arg(style).toStdString());
            Options().GridStyle = static_cast<std::uint8_t>(style);
            d->SetGridVisible(true);
            d->SetZoom(zoom);
            const QImage& c = d->CanvasImage()->Bitmap();
            ASSERT_EQ(c.size(), QSize(16 * zoom, 16 * zoom));
            EXPECT_FALSE(d->HorizSB()->isVisible());
            EXPECT_EQ(d->CanvasImage()->x(), (d->ScrollBox()->width() - 16 * zoom) / 2);
            EXPECT_EQ(d->CanvasImage()->y(), (d->ScrollBox()->height() - 16 * zoom) / 2);
            EXPECT_EQ(QColor(c.pixel(zoom - 1, zoom - 1)), opaque);
            EXPECT_EQ(QColor(c.pixel(zoom, 0)), zoom > 1 && style == 0 ? QColor(9, 8, 7) : second);
            const QPoint onFirstColour = zoom == 10 ? QPoint(17, 5) : QPoint(5, 1);  // a transparent pixel
            EXPECT_EQ(QColor(c.pixel(onFirstColour)), first);
            // The grid line between the first two pixels, none at zoom 1.
            int gridPixels = 0;
            for (int y = 0; y < c.height(); ++y) gridPixels += c.pixel(zoom, y) == qRgb(9, 8, 7) ? 1 : 0;
            const int expected = zoom == 1 ? 0 : style == 0 ? 16 * zoom : style == 1 ? 8 * zoom - 1 : 15;
            EXPECT_EQ(gridPixels, expected);
            d->SetGridVisible(false);
            EXPECT_EQ(QColor(c.pixel(zoom, 0)), second);
        }
    }
    // A pixel painted alone shows as it will after a redraw.
    d->SetZoom(10);
    d->CurrentImage()->At(3, 3) = TmyPixel{200, 0, 0, 128};
    d->PaintPixel(3, 3, true, d->CurrentImage()->At(3, 3));
    const QImage alone = d->CanvasImage()->Bitmap().copy();
    d->RedrawCanvas();
    EXPECT_EQ(alone, d->CanvasImage()->Bitmap());

    // Larger than the window: the bars start centred and keep their place.
    TmyIcon big;
    big.Image(big.AddImage({256, 256}, 32));
    big.SetItemIndex(0);
    TfrmDesk* b = openDocument(big, "big.cur");
    ASSERT_NE(b, nullptr);
    b->SetZoom(10);
    ASSERT_TRUE(b->HorizSB()->isVisible());
    ASSERT_TRUE(b->VertSB()->isVisible());
    EXPECT_EQ(b->HorizSB()->value(), b->HorizSB()->maximum() / 2);
    EXPECT_EQ(b->CanvasImage()->width(), b->ScrollBox()->width() - b->VertSB()->width());
    b->HorizSB()->setValue(b->HorizSB()->maximum() / 4);
    const int oldMax = b->HorizSB()->maximum(), oldPos = b->HorizSB()->value();
    b->SetZoom(20);
    EXPECT_EQ(b->HorizSB()->value(), b->HorizSB()->maximum() * oldPos / oldMax);
    // Scrolled, the canvas shows what a redraw shows.
    b->CurrentImage()->At(100, 100) = TmyPixel{1, 2, 3, 255};
    b->RedrawCanvas();
    for (const auto& [bar, by] : {std::pair{b->HorizSB(), 37}, std::pair{b->HorizSB(), -50},
                                  std::pair{b->VertSB(), -21}, std::pair{b->VertSB(), 8}}) {
        bar->setValue(bar->value() + by);
        const QImage scrolled = b->CanvasImage()->Bitmap().copy();
        b->RedrawCanvas();
        EXPECT_EQ(scrolled, b->CanvasImage()->Bitmap()) << by;
    }
}

TEST_F(DeskTest, StatusReadOutsAndStatusTips) {
    TfrmDesk* d = openDocument(MakeCursor(), "s.cur");
    ASSERT_NE(d, nullptr);
    main->TranslateStatusLabels();
    d->CurrentImage()->At(4, 5) = TmyPixel{255, 0, 0, 255};
    d->ShowToolStatus(0, 0, 4, 5, tbNone, 13);
    EXPECT_EQ(main->StatusLabel()->text(), "(4,5)  R:255 G:0 B:0   H:0 S:100 B:100   Opacity:255");
    d->ShowToolStatus(1, 1, 4, 5, tbLeft, 1);
    EXPECT_EQ(main->StatusLabel()->text(), "(1,1)-(5,6) W:4 H:5");
    d->ShowToolStatus(1, 1, 4, 5, tbLeft, 14);
    EXPECT_EQ(main->StatusLabel()->text(), ZoomStatusText(d->Zoom()));
    // Outside the canvas the read-out is emptied.
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(d->ScrollBox(), &move);
    EXPECT_EQ(main->StatusLabel()->text(), "");

    // A command's status tip shows over the first panel while it is pointed at.
    main->StatusLabel()->setText("(4,5)");
    QStatusTipEvent tip(act("actnOpen")->statusTip());
    QApplication::sendEvent(main.get(), &tip);
    EXPECT_EQ(main->statusBar()->currentMessage(), "Open");
    EXPECT_FALSE(main->StatusLabel()->isVisible());
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(main.get(), &none);
    EXPECT_TRUE(main->StatusLabel()->isVisible());
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_FALSE(main->windowIcon().isNull());
}

// The window's own texts come from section "frmCanvas", and a language
// switch reaches its hints, its image list and its tile captions.
TEST_F(DeskTest, TextsComeFromTheLanguageFile) {
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
    QStringList keys;
    TTranslator walk([&](const QString& section, const QString& key, const QString& def) {
        if (key.contains(".Item")) return def;  // the zoom percentages and image names
        EXPECT_EQ(section, "frmCanvas");
        EXPECT_EQ(QString::fromStdString(english.ReadString("frmCanvas", key.toStdString(), "\x01")), def) << key.toStdString();
        keys << key;
        return def;
    });
    walk.TranslateForm("frmCanvas", active());
    EXPECT_EQ(keys.size(), 11);
    for (const char* key : {"msgSave", "msgAlreadyOpen", "msgInvalidFormat", "msgFrame", "msg2Col", "msg16Col",
                            "msg256Col", "msgTrueCol", "msgTrauColAlpha", "msgSaveError", "msgNotAvailable",
                            "msgAlredyExists", "msgFileNotFound", "msgAni", "msgCur"})
        EXPECT_TRUE(english.ValueExists("MSG", key)) << key;
    active()->Frame()->close();

    TfrmDesk* d = openDocument(MakeAnimation(2), "lang.ani");
    ASSERT_NE(d, nullptr);
    writeLanguage("Deutsch.lng", "[frmCanvas]\nactZoomIn.Hint=Vergr\xc3\xb6\xc3\x9f\x65rn\n"
                                 "[MSG]\nmsgFrame=Bild %i1\nmsgTrauColAlpha=Echtfarben+Alpha\n");
    Options().Language = "Deutsch";
    main->FillLanguageMenu();
    EXPECT_EQ(d->LocalAction("actZoomIn")->toolTip(), QString::fromUtf8("Vergr\xc3\xb6\xc3\x9f\x65rn"));
    EXPECT_EQ(d->LocalAction("actZoomOut")->toolTip(), "Zoom Out");
    EXPECT_EQ(d->SideBar()->Item(1).Caption, "Bild 1");
    EXPECT_EQ(d->ImagesCombo()->itemText(0), "0: 32x32 - Echtfarben+Alpha");
}

// A new current image goes to the preview pane and the colour panel.
TEST_F(DeskTest, PanesFollowTheCurrentImage) {
    struct Panes : TColorPanelAccess, TPreviewAccess {
        QStringList calls;
        TmyPixel fore, back;
        TmyPixel& ForeColor() override { return fore; }
        TmyPixel& BackColor() override { return back; }
        void ShowPalette(const TmyPalette* p) override { calls << (p ? "palette" : "no palette"); }
        void SetBitCount(int bits) override { calls << QString("bits %1").arg(bits); }
        void SyncWithPalette(const TmyPalette&) override { calls << "sync"; }
        void SelectPaletteCell(int) override {}
        void RefreshColors() override {}
        void DrawPrimaryColor() override {}
        void DrawSecondaryColor() override {}
        void UpdateRGBSliders() override {}
        void UpdateHSBSliders() override {}
        void RefreshPreview(const TmyImagePal* image) override {
            calls << QString("preview %1").arg(image ? image->Width() : 0);
        }
        void PlotPixel(int, int, bool, const TmyPixel&) override {}
    } panes;
    SetColorPanel(&panes);
    SetPreviewPane(&panes);
    TfrmDesk* d = openDocument(MakeCursor(), "p.cur");
    ASSERT_NE(d, nullptr);
    panes.calls.clear();
    d->SetCurrentImage(1);
    EXPECT_TRUE(panes.calls.contains("preview 16"));
    EXPECT_TRUE(panes.calls.contains("palette"));
    EXPECT_EQ(panes.calls.last(), "bits 8");
    panes.calls.clear();
    d->SetCurrentImage(0);
    EXPECT_TRUE(panes.calls.contains("no palette"));
    EXPECT_EQ(panes.calls.last(), "bits 32");
    SetColorPanel(nullptr);
    SetPreviewPane(nullptr);
}
