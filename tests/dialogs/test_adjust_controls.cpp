// Controls of the adjustment dialogs: the colour box (named colours, the
// custom entry picked in the colour dialog, changes reported for the user's
// choices only), the edit that takes only some typed characters, and the
// spin button.
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "DialogsTestSupport.h"
#include "dialogs/ColorBox.h"
#include "dialogs/KeyFilteredEdit.h"
#include "dialogs/SpinButton.h"

namespace velto::test {
namespace {

TEST_F(PaneTest, ColorBoxNamedAndCustomColours) {
    TColorBox box;
    QSignalSpy changed(&box, &TColorBox::changed);
    ASSERT_EQ(box.count(), 21);
    EXPECT_EQ(box.itemText(0), "Custom...");
    EXPECT_EQ(box.itemText(1), "Black");
    EXPECT_EQ(box.itemText(16), "White");
    EXPECT_EQ(box.Selected(), clBlack);
    EXPECT_EQ(box.currentIndex(), 1);

    struct Row {
        const char* name;
        std::function<void()> act;
        TColor selected;
        int index;
        int changes;  // reported so far
        int offered;  // colour dialogs opened so far
    };
    const Row rows[] = {
        {"set a named colour", [&] { box.SetSelected(MakeColor(0, 0, 128)); }, MakeColor(0, 0, 128), 5, 0, 0},
        {"set another colour: the custom entry", [&] { box.SetSelected(MakeColor(1, 2, 3)); }, MakeColor(1, 2, 3), 0, 0, 0},
        {"the user picks Red", [&] {
             box.setCurrentIndex(10);
             emit box.activated(10);
         },
         MakeColor(255, 0, 0), 10, 1, 0},
        {"the user picks Custom, the dialog answers", [&] {
             colors.push_back(QColor(10, 20, 30));
             box.setCurrentIndex(0);
             emit box.activated(0);
         },
         MakeColor(10, 20, 30), 0, 2, 1},
        {"Custom again, cancelled: the colour stays", [&] {
             box.setCurrentIndex(0);
             emit box.activated(0);
         },
         MakeColor(10, 20, 30), 0, 2, 2},
        {"Custom cancelled over a named colour: back to its entry", [&] {
             box.SetSelected(clWhite);
             box.setCurrentIndex(0);
             emit box.activated(0);
         },
         clWhite, 16, 2, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.act();
        EXPECT_EQ(box.Selected(), r.selected);
        EXPECT_EQ(box.currentIndex(), r.index);
        EXPECT_EQ(changed.count(), r.changes);
        EXPECT_EQ(int(offered.size()), r.offered);
    }
    EXPECT_EQ(offered[0], QColor(255, 0, 0)) << "the dialog opens on the colour shown";
}

TEST_F(PaneTest, KeyFilteredEditTypesOnlyItsCharacters) {
    struct Row {
        const char* name;
        QString allowed;
        const char* keys;
        const char* text;
    };
    const Row rows[] = {
        {"digits", TKeyFilteredEdit::Digits(), "1a2 b3", "123"},
        {"digits refuse a minus", TKeyFilteredEdit::Digits(), "-4", "4"},
        {"digits and minus anywhere", TKeyFilteredEdit::Digits() + "-", "1-2--", "1-2--"},
        {"no letters", TKeyFilteredEdit::Digits() + "-", "x+y=1", "1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TKeyFilteredEdit e(r.allowed);
        QTest::keyClicks(&e, r.keys);
        EXPECT_EQ(e.text(), r.text);
    }
    // Keys that type nothing still edit.
    TKeyFilteredEdit e(TKeyFilteredEdit::Digits());
    e.setText("12345");
    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Delete);
    EXPECT_EQ(e.text(), "234");
    QTest::keyClick(&e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&e, "7");
    EXPECT_EQ(e.text(), "7") << "select all, then typed over";
    QSignalSpy clicked(&e, &TKeyFilteredEdit::clicked);
    QTest::mouseClick(&e, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(PaneTest, SpinButtonReportsItsClicks) {
    TSpinButton spin;
    QSignalSpy up(&spin, &TSpinButton::upClicked);
    QSignalSpy down(&spin, &TSpinButton::downClicked);
    spin.UpButton()->click();
    spin.UpButton()->click();
    spin.DownButton()->click();
    EXPECT_EQ(up.count(), 2);
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(spin.UpButton()->arrowType(), Qt::UpArrow);
    EXPECT_EQ(spin.DownButton()->arrowType(), Qt::DownArrow);
}

}  // namespace
}  // namespace velto::test
