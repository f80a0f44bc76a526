// The delete-images list, the tip of the day, the about window and the cursor
// test in the program: what each shows, and what it changes.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QCheckBox>
#include <QTabWidget>
#include <QTest>

#include <fstream>
#include <sstream>

#include "DocumentDialogsFixture.h"
#include "core/SysUtils.h"
#include "dialogs/FormAbout.h"
#include "dialogs/FormDelete.h"
#include "dialogs/FormTest.h"
#include "dialogs/FormTips.h"
#include "dialogs/ImageView.h"
#include "dialogs/RichEditURL.h"
#include "shell/ModalForms.h"

namespace velto::test {
namespace {

const TmyPixel kRed = TmyPixel::CreateRGBA(255, 0, 0, 255);

// ---------------------------------------------------------------- delete images

class DeleteImagesTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        del = form<TfrmDelete>("frmDelete");
        ASSERT_NE(del, nullptr);
    }
    void TearDown() override {
        if (del && del->isVisible()) del->hide();
        DocumentDialogsTest::TearDown();
    }
    // Four images, sorted on opening: 48x48x32, 32x32x32, 16x16x32, 24x24x8.
    TfrmDesk* openFour(const QString& name) {
        return openIcon({{32, 32, 32, kRed}, {16, 16, 32, kRed}, {48, 48, 32, kRed}, {24, 24, 8, kRed}}, name);
    }
    TfrmDelete* del = nullptr;
};

TEST_F(DeleteImagesTest, TheListShowsEveryImageWithItsLineAndPicture) {
    openFour(QStringLiteral("four.cur"));
    del->show();
    QListWidget* list = del->List();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    const char* lines[] = {"Frame 0 : 48x48 - 32", "Frame 1 : 32x32 - 32", "Frame 2 : 16x16 - 32",
                           "Frame 3 : 24x24 - 8"};
    struct Picture {
        QSize size;
        QPoint offset;
    };
    const Picture pictures[] = {{{32, 32}, {0, 0}}, {{32, 32}, {0, 0}}, {{16, 16}, {8, 8}}, {{24, 24}, {4, 4}}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(list->item(i)->text(), lines[i]);
        const QImage pic = list->item(i)->data(Qt::UserRole).value<QImage>();
        EXPECT_EQ(pic.size(), pictures[i].size);
        EXPECT_EQ(list->item(i)->data(Qt::UserRole + 1).toPoint(), pictures[i].offset);
        // Red over the preview background, resampled or not.
        EXPECT_EQ(pic.pixel(pic.width() / 2, pic.height() / 2), qRgb(255, 0, 0));
        EXPECT_EQ(list->visualItemRect(list->item(i)).height(), 40);
    }
    // The picture a larger image is drawn from is resampled to the box.
    QPoint offset;
    TmyImagePal wide({64, 16}, 32);
    EXPECT_EQ(TfrmDelete::LinePicture(wide, &offset).size(), QSize(32, 32));
    EXPECT_EQ(offset, QPoint(0, 0));
}

TEST_F(DeleteImagesTest, SelectedImagesGoButNeverTheLastOne) {
    struct Row {
        const char* name;
        std::vector<int> selected;
        std::vector<int> widthsLeft;
        bool message;
    };
    const Row rows[] = {
        {"two of four", {1, 3}, {48, 16}, false},
        {"none", {}, {48, 32, 16, 24}, false},
        {"all: the first stays", {0, 1, 2, 3}, {48}, true},
        {"the first alone", {0}, {32, 16, 24}, false},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TfrmDesk* desk = openFour(QStringLiteral("del%1.cur").arg(n++));
        messages.clear();
        del->show();
        for (int i : row.selected) del->List()->item(i)->setSelected(true);
        del->OKButton()->click();
        EXPECT_FALSE(del->isVisible());
        std::vector<int> widths;
        for (int i = 0; i < desk->ImageCount(); ++i) widths.push_back(desk->Document()->Image(i).Width());
        EXPECT_EQ(widths, row.widthsLeft);
        EXPECT_EQ(messages.size(), row.message ? 1u : 0u);
        if (row.message) {
            EXPECT_EQ(messages[0], "Cannot delete last image!");
        }
    }
    // Cancel deletes nothing.
    TfrmDesk* desk = openFour(QStringLiteral("cancel.cur"));
    del->show();
    del->List()->selectAll();
    del->CancelButton()->click();
    EXPECT_EQ(desk->ImageCount(), 4);
    EXPECT_EQ(del->OKButton()->text(), "Delete");
    EXPECT_EQ(del->windowTitle(), "Delete Imges");
}

// ---------------------------------------------------------------- tips

class TipsTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        tips = form<TfrmTips>("frmTips");
        ASSERT_NE(tips, nullptr);
    }
    void TearDown() override {
        if (tips && tips->isVisible()) tips->hide();
        Lang().SetFileName("");
        DocumentDialogsTest::TearDown();
    }
    void language(const std::string& msg) {
        const std::string path = dir.filePath("tips.lng").toStdString();
        std::ofstream(path) << "[General]\nAuthor=Tester\nWebAddress=www.example.com\n[MSG]\n" << msg;
        Lang().SetFileName(path);
    }
    TfrmTips* tips = nullptr;
};

TEST_F(TipsTest, TipsAreCountedFromTheLanguageFileAndWalkedRoundTheCircle) {
    struct Row {
        const char* name;
        std::string msg;
        int count;
        int drawn;       // what the random source answers
        std::vector<std::string> shown;  // first, then after Next, Next, Previous, Previous
    };
    const Row rows[] = {
        {"none", "", 0, 0, {"...", "...", "...", "...", "..."}},
        {"three", "msgTip1=one\nmsgTip2=two\nmsgTip3=three\n", 3, 1, {"two", "three", "one", "three", "two"}},
        {"a gap ends the count", "msgTip1=one\nmsgTip2=two\nmsgTip4=four\n", 2, 0, {"one", "two", "one", "two", "one"}},
        {"an empty one ends it", "msgTip1=one\nmsgTip2=\nmsgTip3=three\n", 1, 0, {"one", "one", "one", "one", "one"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        language(row.msg);
        int bound = -1;
        tips->SetRandomSource([&](int b) {
            bound = b;
            return row.drawn;
        });
        tips->show();
        EXPECT_EQ(tips->TipCount(), row.count);
        EXPECT_EQ(bound, row.count > 0 ? row.count : -1);
        std::vector<std::string> shown{tips->TipLabel()->text().toStdString()};
        tips->NextButton()->click();
        shown.push_back(tips->TipLabel()->text().toStdString());
        tips->NextClick();
        shown.push_back(tips->TipLabel()->text().toStdString());
        tips->PrevButton()->click();
        shown.push_back(tips->TipLabel()->text().toStdString());
        tips->PrevClick();
        shown.push_back(tips->TipLabel()->text().toStdString());
        EXPECT_EQ(shown, row.shown);
        tips->CloseButton()->click();
        EXPECT_FALSE(tips->isVisible());
    }
    // The English language file has tips.
    tips->SetRandomSource(nullptr);
    Lang().SetFileName(VELTO_SOURCE_DIR "/lang/English.lng");
    EXPECT_GE(TfrmTips::CountTips(), 10);
    tips->show();
    EXPECT_GE(tips->CurrentTip(), 1);
    EXPECT_LE(tips->CurrentTip(), tips->TipCount());
    EXPECT_NE(tips->TipLabel()->text(), "...");
}

TEST_F(TipsTest, TheStartupBoxShowsAndSetsTheSetting) {
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        Options().ShowTips = on;
        tips->show();
        EXPECT_EQ(tips->StartupBox()->isChecked(), on);
        tips->StartupBox()->click();
        EXPECT_EQ(Options().ShowTips, !on);
        tips->hide();
    }
    // Enter walks nothing and closes nothing.
    language("msgTip1=one\nmsgTip2=two\n");
    tips->SetRandomSource([](int) { return 0; });
    tips->show();
    QTest::keyClick(tips, Qt::Key_Return);
    EXPECT_EQ(tips->CurrentTip(), 1);
    OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    tips->hide();
    EXPECT_EQ(ShowModalForm(QStringLiteral("frmTips")), int(QDialog::Rejected));
    EXPECT_EQ(tips->windowTitle(), "Tip Of The Day");
}

// ---------------------------------------------------------------- about

class AboutTest : public DocumentDialogsTest {
protected:
    void TearDown() override {
        Lang().SetFileName("");
        QLocale::setDefault(QLocale::c());
        DocumentDialogsTest::TearDown();
    }
};

TEST_F(AboutTest, TheVersionCreditsAndMachineAreShown) {
    auto* about = form<TfrmAbout>("frmAbout");
    ASSERT_NE(about, nullptr);
    struct Row {
        const char* name;
        const char* languageFile;
        const char* author;
        const char* web;
    };
    const Row rows[] = {
        {"no language file", "", "\tAuthor: Anonymous", "\tWeb: "},
        {"English", VELTO_SOURCE_DIR "/lang/English.lng", "\tAuthor: Velto", "\tWeb: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Lang().SetFileName(row.languageFile);
        about->Pages()->setCurrentIndex(3);
        about->show();
        EXPECT_EQ(about->Pages()->currentIndex(), 0);
        EXPECT_EQ(about->VersionLabel()->text(), "Version 1.0");
        const QStringList lines = about->Acknowledgements()->Lines();
        ASSERT_GE(lines.size(), 5);
        EXPECT_EQ(lines[0], "Language file translation");
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines[2], row.author);
        EXPECT_EQ(lines[3], row.web);
        EXPECT_EQ(about->SizeLabel()->text(), MemoryText(TotalPhysicalMemory()));
        EXPECT_FALSE(about->SystemLabel()->text().isEmpty());
        about->OKButton()->click();
        EXPECT_FALSE(about->isVisible());
    }
    const QStringList tabs{"About", "Acknowledgments", "Licence", "History", "Shortcuts"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(about->Pages()->tabText(i), tabs[i]);
    EXPECT_EQ(about->MemoryLabel()->text(), "Total Memory:");
}

TEST_F(AboutTest, MemoryIsTheMachinesInGroupedKilobytes) {
    struct Row {
        const char* name;
        QLocale locale;
        std::uint64_t bytes;
        const char* text;
    };
    const Row rows[] = {
        {"English", QLocale(QLocale::English, QLocale::UnitedStates), 16303520ull << 10, "16,303,520 KB"},
        {"German", QLocale(QLocale::German, QLocale::Germany), 16303520ull << 10, "16.303.520 KB"},
        {"below a kilobyte", QLocale(QLocale::English, QLocale::UnitedStates), 1023, "0 KB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QLocale::setDefault(row.locale);
        EXPECT_EQ(MemoryText(row.bytes), row.text);
    }
    // The machine's own figure, as the kernel reports it.
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kb = 0;
    while (meminfo >> key && key != "MemTotal:") meminfo.ignore(1 << 10, '\n');
    meminfo >> kb;
    ASSERT_GT(kb, 0u);
    EXPECT_EQ(TotalPhysicalMemory() >> 10, kb);
}

TEST(AboutShortcuts, ThePageListsTheToolsKeysAndEveryMenusShortcuts) {
    const QStringList lines = ShortcutLines();
    const char* expected[] = {"Tools", "\tS\tSelection", "\t]\tBlur/Sharpen", "File", "\tCtrl+N\tNew",
                              "\tCtrl+O\tOpen...", "Edit", "\tCtrl+Z\tUndo", "View", "Help", "General"};
    for (const char* e : expected) {
        SCOPED_TRACE(e);
        EXPECT_TRUE(lines.contains(QString::fromLatin1(e)));
    }
    // Commands without keys are not listed.
    for (const QString& l : lines) EXPECT_FALSE(l.endsWith("Tip of the Day"));
}

// ---------------------------------------------------------------- cursor test

class CursorTestTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        test = form<TfrmTest>("frmTest");
        ASSERT_NE(test, nullptr);
    }
    void TearDown() override {
        if (test && test->isVisible()) test->hide();
        DocumentDialogsTest::TearDown();
    }
    QString write(const TmyIcon& doc, const QString& name) {
        const QString path = dir.filePath(name);
        const bool ani = dynamic_cast<const TmyANI*>(&doc) != nullptr;
        EXPECT_TRUE(ani ? TmyANIIO(false).SaveToFile(doc, path.toStdString(), false)
                        : TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false));
        return path;
    }
    TfrmTest* test = nullptr;
};

TEST_F(CursorTestTest, ThePointerIsTheCursorsOwnPictureAndHotspot) {
    TmyIcon cur;
    FillDocument(cur, {{16, 16, 32, kRed}, {32, 32, 8, kRed}, {32, 32, 32, kRed}, {48, 48, 32, kRed}});
    for (int i = 0; i < cur.Count(); ++i) {
        cur.Image(i).SetHotSpotX(cur.Image(i).Width() / 4);
        cur.Image(i).SetHotSpotY(3);
    }
    // One pixel of the chosen image half transparent.
    for (int i = 0; i < cur.Count(); ++i)
        if (cur.Image(i).Width() == 32 && cur.Image(i).BitCount == 32) cur.Image(i).At(1, 2) = TmyPixel::CreateRGBA(0, 0, 255, 128);
    test->SetFileName(write(cur, QStringLiteral("pointer.cur")));
    test->show();
    ASSERT_EQ(test->Frames().size(), 1);
    const QCursor& c = test->Frames()[0].cursor;
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    EXPECT_EQ(c.hotSpot(), QPoint(8, 3));
    const QImage pic = c.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(pic.size(), QSize(32, 32));
    EXPECT_EQ(pic.pixel(0, 0), qRgba(255, 0, 0, 255));
    EXPECT_EQ(pic.pixel(1, 2), qRgba(0, 0, 255, 128));
    for (QWidget* w : test->CursorControls()) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(w->cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(w->cursor().hotSpot(), QPoint(8, 3));
    }
    // The pad takes the panel's pointer.
    EXPECT_EQ(test->Pad()->cursor().shape(), Qt::BitmapCursor);
    test->hide();

    // A file that is no cursor: the ordinary pointer.
    QFile junk(dir.filePath("junk.cur"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a cursor");
    junk.close();
    test->SetFileName(junk.fileName());
    test->show();
    EXPECT_TRUE(test->Frames().isEmpty());
    EXPECT_EQ(test->Panel()->cursor().shape(), Qt::ArrowCursor);
    test->hide();
}

TEST_F(CursorTestTest, AnAnimatedCursorStepsThroughItsFramesAtTheirRates) {
    TmyANI ani;
    FillDocument(ani, {{32, 32, 32, kRed}, {32, 32, 32, kRed}, {32, 32, 32, kRed}});
    const double rates[] = {0.1, 0.5, 2.0};
    for (int i = 0; i < 3; ++i) {
        ani.Image(i).SetRate(rates[i]);
        ani.Image(i).SetHotSpotX(i);
    }
    test->SetFileName(write(ani, QStringLiteral("spin.cur")));
    test->show();
    ASSERT_EQ(test->Frames().size(), 3);
    EXPECT_EQ(test->Frames()[0].duration, 100);
    EXPECT_EQ(test->Frames()[1].duration, 500);
    EXPECT_EQ(test->Frames()[2].duration, 2000);
    for (int step : {1, 2, 0, 1}) {
        test->StepFrame();
        EXPECT_EQ(test->FrameIndex(), step);
        EXPECT_EQ(test->Panel()->cursor().hotSpot(), QPoint(step, 0));
    }
    test->hide();
}

TEST_F(CursorTestTest, ThePadIsAScribblePad) {
    test->SetFileName(QString());
    test->show();
    ImageView* pad = test->Pad();
    EXPECT_EQ(pad->size(), QSize(219, 127));
    EXPECT_EQ(pad->Picture().pixel(10, 10), qRgb(255, 255, 255));
    QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(pad, QPoint(30, 10));
    QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(30, 10));
    QTest::mouseMove(pad, QPoint(30, 40));
    for (int x : {10, 20, 30}) EXPECT_EQ(pad->Picture().pixel(x, 10), qRgb(0, 0, 0));
    // Moved without a button: no line.
    EXPECT_EQ(pad->Picture().pixel(30, 25), qRgb(255, 255, 255));
    // Shown again: a clean pad.
    test->hide();
    test->show();
    EXPECT_EQ(pad->Picture().pixel(20, 10), qRgb(255, 255, 255));
}

TEST_F(CursorTestTest, TheCommandTriesTheDocumentAndDeletesItsFile) {
    struct Row {
        const char* name;
        bool animated;
    };
    for (const Row row : {Row{"static", false}, Row{"animated: its own format under .cur", true}}) {
        SCOPED_TRACE(row.name);
        if (row.animated) openAni({{32, 32, 32, kRed}, {32, 32, 32, kRed}}, QStringLiteral("t.ani"));
        else openIcon({{32, 32, 32, kRed}}, QStringLiteral("t.cur"));
        const QString path = QString::fromStdString(GetSettingsFolder()) + QStringLiteral("/test.cur");
        bool seen = false;
        OnNextModal([&](QWidget* w) {
            EXPECT_EQ(w, test);
            EXPECT_EQ(test->FileName(), path);
            EXPECT_TRUE(QFile::exists(path));
            EXPECT_EQ(test->Frames().size(), row.animated ? 2 : 1);
            seen = true;
            test->CloseButton()->click();
        });
        main->Actions().execute("actTest");
        EXPECT_TRUE(seen);
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_EQ(test->windowTitle(), "Cursor Test");
}

}  // namespace
}  // namespace velto::test
