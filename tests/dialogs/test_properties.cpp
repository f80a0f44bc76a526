// The Properties window in the program: the file and size read-outs (equal to
// what the cursor writer writes), one row per image, and for animated cursors
// the title, author and rates, checked before anything is stored and kept
// while the window is open.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include "DocumentDialogsFixture.h"
#include "dialogs/FormProperties.h"
#include "dialogs/KeyFilteredEdit.h"
#include "platform/ByteWriter.h"
#include "shell/ModalForms.h"

namespace velto::test {
namespace {

class PropertiesTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        props = form<TfrmProperties>("frmProperties");
        ASSERT_NE(props, nullptr);
    }
    void TearDown() override {
        if (props && props->isVisible()) props->hide();
        QLocale::setDefault(QLocale::c());
        DocumentDialogsTest::TearDown();
    }
    TfrmProperties* props = nullptr;
};

TEST_F(PropertiesTest, SizesAreThoseOfTheCursorFileTheWriterMakes) {
    struct Row {
        const char* name;
        std::vector<ImageSpec> images;
        std::vector<std::int64_t> sizes;  // per image, in document order
        std::int64_t total;
    };
    const Row rows[] = {
        {"32x32 at 32 bits", {{32, 32, 32}}, {4264}, 4286},
        {"32x32 at 8 bits", {{32, 32, 8}}, {2216}, 2238},
        {"odd widths of every depth",
         {{1, 1, 32}, {5, 3, 24}, {17, 2, 8}, {33, 7, 4}, {256, 1, 1}},
         {4 + 4 + 40, 3 * 16 + 3 * 4 + 40, 1024 + 2 * 20 + 2 * 4 + 40, 64 + 7 * 20 + 7 * 8 + 40, 8 + 32 + 32 + 40},
         0},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TfrmDesk* desk = openIcon(row.images, QStringLiteral("sizes%1.cur").arg(n++));
        ASSERT_NE(desk, nullptr);
        props->show();
        ASSERT_EQ(props->Rows().size(), desk->ImageCount());
        std::int64_t total = 6 + 16 * desk->ImageCount();
        for (int i = 0; i < desk->ImageCount(); ++i) {
            const TmyImagePal& img = desk->Document()->Image(i);
            const TfrmProperties::Row& r = props->Rows()[i];
            EXPECT_EQ(r.type->text(), QStringLiteral("Data Type: %1 bits").arg(img.BitCount));
            EXPECT_EQ(r.dimension->text(), QStringLiteral("Dimension: %1 x %2").arg(img.Width()).arg(img.Height()));
            EXPECT_EQ(r.size->text(), QStringLiteral("Size: %1 bytes").arg(StoredImageSize(img)));
            EXPECT_EQ(r.rate, nullptr);
            total += StoredImageSize(img);
        }
        // The sizes in document order (the reader sorts by depth, then size).
        std::vector<std::int64_t> sizes;
        for (int i = 0; i < desk->ImageCount(); ++i) sizes.push_back(StoredImageSize(desk->Document()->Image(i)));
        std::vector<std::int64_t> expected = row.sizes;
        std::sort(expected.begin(), expected.end());
        std::sort(sizes.begin(), sizes.end());
        EXPECT_EQ(sizes, expected);
        if (row.total) {
            EXPECT_EQ(total, row.total);
        }
        EXPECT_EQ(props->SizeLabel()->text(), QStringLiteral("Size: %1 bytes").arg(total));
        // The writer makes a file of exactly that size.
        ByteWriter out;
        ASSERT_TRUE(TmyIcoIO(false).SaveToStream(*desk->Document(), out, false));
        EXPECT_EQ(static_cast<std::int64_t>(out.size()), total);
        EXPECT_EQ(props->ImageNoLabel()->text(), QStringLiteral("Image Number: %1").arg(desk->ImageCount()));
        props->OKButton()->click();
        EXPECT_FALSE(props->isVisible());
        EXPECT_TRUE(desk->Saved());
    }
}

TEST_F(PropertiesTest, NameAndLocationComeFromTheWindowsCaption) {
    struct Row {
        const char* name;
        QString caption;
        const char* nameText;
        const char* locationText;
    };
    TfrmDesk* desk = openIcon({{16, 16, 32}});
    const Row rows[] = {
        {"a path", dir.filePath("doc.cur"), "Name: doc.cur", nullptr},
        {"no folder", QStringLiteral("Untitled - 3"), "Name: Untitled - 3", "Location: "},
        {"a placeholder in the name is text", QStringLiteral("/x/%i1.cur"), "Name: %i1.cur", "Location: /x/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        desk->setWindowTitle(row.caption);
        props->show();
        EXPECT_EQ(props->NameLabel()->text(), row.nameText);
        const QString location =
            row.locationText ? QString::fromLatin1(row.locationText) : QStringLiteral("Location: ") + dir.path() + '/';
        EXPECT_EQ(props->LocationLabel()->text(), location);
        EXPECT_EQ(props->NameLabel()->toolTip(), props->NameLabel()->text());
        props->hide();
    }
}

TEST_F(PropertiesTest, AnAnimationsTitleAuthorAndRatesAreEditedAndStored) {
    TmyANI ani;
    FillDocument(ani, {{32, 32, 32}, {32, 32, 32}, {32, 32, 32}});
    ani.Title = "Spinner";
    ani.Author = "Me";
    ani.Image(0).SetRate(0.25);
    ani.Image(1).SetRate(1.0 / 3.0);
    TfrmDesk* desk = open(ani, QStringLiteral("spin.ani"));
    props->show();
    ASSERT_TRUE(props->IsAni());
    EXPECT_TRUE(props->AniName()->isVisible());
    EXPECT_EQ(props->AniName()->text(), "Spinner");
    EXPECT_EQ(props->AniName()->toolTip(), "Spinner");
    EXPECT_EQ(props->AniAuthor()->text(), "Me");
    ASSERT_EQ(props->Rows().size(), 3);
    // Rates as stored in jiffies, rounded to three decimals.
    EXPECT_EQ(props->Rows()[0].rate->text(), "0.25");
    EXPECT_EQ(props->Rows()[1].rate->text(), "0.333");
    EXPECT_EQ(props->Rows()[0].rateLabel->text(), "Display rate (sec)");

    // Only digits and the decimal point can be typed.
    TKeyFilteredEdit* rate2 = props->Rows()[2].rate;
    rate2->selectAll();
    QTest::keyClicks(rate2, "1,5x");
    EXPECT_EQ(rate2->text(), "15");
    rate2->clear();
    QTest::keyClicks(rate2, "1.5");
    // "Use this display rate for all images" from the third row copies its text.
    props->SetAll(2);
    for (const auto& r : props->Rows()) EXPECT_EQ(r.rate->text(), "1.5");
    props->Rows()[0].rate->setText("0");
    props->AniName()->setText("Wheel");
    EXPECT_EQ(props->AniName()->toolTip(), "Wheel");
    props->OKButton()->click();
    EXPECT_FALSE(props->isVisible());
    auto* doc = dynamic_cast<TmyANI*>(desk->Document());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Title, "Wheel");
    EXPECT_EQ(doc->Author, "Me");
    EXPECT_DOUBLE_EQ(doc->Image(0).Rate(), 0.1);  // not above 0
    EXPECT_DOUBLE_EQ(doc->Image(1).Rate(), 1.5);
    EXPECT_DOUBLE_EQ(doc->Image(2).Rate(), 1.5);
    EXPECT_FALSE(desk->Saved());
}

TEST_F(PropertiesTest, ABadRateIsMarkedAndNothingIsStoredNorLost) {
    TmyANI ani;
    FillDocument(ani, {{16, 16, 8}, {16, 16, 8}});
    TfrmDesk* desk = open(ani, QStringLiteral("bad.ani"));
    props->show();
    props->AniName()->setText("typed");
    props->Rows()[0].rate->setText("");
    props->Rows()[1].rate->setText("2");
    messages.clear();
    props->OKButton()->click();
    EXPECT_EQ(messages, std::vector<std::string>{"Invalid display rate!"});
    EXPECT_TRUE(props->isVisible());
    EXPECT_EQ(props->Rows()[0].rate->palette().color(QPalette::Base), QColor(255, 102, 102));
    EXPECT_NE(props->Rows()[1].rate->palette().color(QPalette::Base), QColor(255, 102, 102));
    auto* doc = dynamic_cast<TmyANI*>(desk->Document());
    EXPECT_EQ(doc->Title, "");
    EXPECT_DOUBLE_EQ(doc->Image(1).Rate(), TmyImage::DefaultRate);
    EXPECT_TRUE(desk->Saved());
    // The window coming back to the front keeps what was typed and the mark.
    props->activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(props->AniName()->text(), "typed");
    EXPECT_EQ(props->Rows()[1].rate->text(), "2");
    EXPECT_EQ(props->Rows()[0].rate->palette().color(QPalette::Base), QColor(255, 102, 102));
    // A click takes the mark away.
    QTest::mouseClick(props->Rows()[0].rate, Qt::LeftButton);
    EXPECT_NE(props->Rows()[0].rate->palette().color(QPalette::Base), QColor(255, 102, 102));
    props->CancelButton()->click();
    EXPECT_EQ(doc->Title, "");
    EXPECT_TRUE(desk->Saved());
}

TEST_F(PropertiesTest, RatesFollowTheLocalesDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TmyANI ani;
    FillDocument(ani, {{16, 16, 32}});
    ani.Image(0).SetRate(0.5);
    TfrmDesk* desk = open(ani, QStringLiteral("de.ani"));
    props->show();
    TKeyFilteredEdit* rate = props->Rows()[0].rate;
    EXPECT_EQ(rate->text(), "0,5");
    rate->clear();
    QTest::keyClicks(rate, "1.2,5");
    EXPECT_EQ(rate->text(), "12,5");
    props->OKButton()->click();
    EXPECT_DOUBLE_EQ(desk->Document()->Image(0).Rate(), 12.5);
}

TEST_F(PropertiesTest, RowsAreBuiltAnewForEachShowingOnly) {
    TfrmDesk* icon = openIcon({{32, 32, 32}, {16, 16, 4}}, QStringLiteral("two.cur"));
    ASSERT_NE(icon, nullptr);
    props->show();
    const int widgets = props->findChildren<QLabel*>().size();
    const QLabel* first = props->Rows()[0].type;
    props->hide();
    EXPECT_TRUE(props->Rows().isEmpty());
    // The rows of an earlier showing are gone, not piled up.
    props->show();
    EXPECT_EQ(props->findChildren<QLabel*>().size(), widgets);
    EXPECT_NE(props->Rows()[0].type, first);
    EXPECT_FALSE(props->AniName()->isVisible());
    props->hide();
    TmyANI ani;
    FillDocument(ani, {{32, 32, 32}});
    open(ani, QStringLiteral("one.ani"));
    props->show();
    EXPECT_TRUE(props->AniName()->isVisible());
    EXPECT_EQ(props->Rows().size(), 1);
    props->hide();
}

TEST_F(PropertiesTest, TheWindowNeverOpensTallerThanTheScreen) {
    openIcon({{32, 32, 32}, {16, 16, 4}}, QStringLiteral("tall.cur"));
    const int screen = props->screen()->availableGeometry().height();
    struct Row {
        const char* name;
        int height;
        bool kept;  // the size stays as the user left it
    };
    for (const Row& row : {Row{"twice the screen", 2 * screen, false}, Row{"a usual size", 400, true}}) {
        SCOPED_TRACE(row.name);
        props->resize(360, row.height);
        props->show();
        EXPECT_LE(props->height(), screen);
        EXPECT_GE(props->height(), props->minimumHeight());
        EXPECT_EQ(props->height() == row.height, row.kept);
        props->hide();
    }
}

TEST_F(PropertiesTest, TheWindowRunsModallyWithItsEnglishTexts) {
    openIcon({{32, 32, 32}});
    OnNextModal([](QWidget* w) {
        auto* p = qobject_cast<TfrmProperties*>(w);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Rows().size(), 1);
        QTest::keyClick(p, Qt::Key_Return);
    });
    EXPECT_EQ(ShowModalForm(QStringLiteral("frmProperties")), int(QDialog::Accepted));
    EXPECT_EQ(props->windowTitle(), "Properties");
    EXPECT_EQ(props->FileGroup()->title(), " File ");
    EXPECT_EQ(props->ImagesGroup()->title(), " Images ");
    EXPECT_EQ(props->SetAllAction()->text(), "Use this display rate for all images");
    EXPECT_GE(props->minimumWidth(), 300);
    EXPECT_GE(props->minimumHeight(), 350);
}

}  // namespace
}  // namespace velto::test
