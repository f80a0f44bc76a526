// The palette question and the image-size question: the answer in Choice,
// the default stored only when asked, and no way out but OK.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "DialogsTestSupport.h"
#include "dialogs/QuestionDialogs.h"

namespace velto::test {
namespace {

using QuestionTest = PaneTest;

// Runs the dialog modally; while it is open, act runs and OK is pressed by Enter.
template <class Dialog, class Act>
int RunModal(Dialog& d, Act act) {
    bool stillOpen = false;
    QTimer::singleShot(0, &d, [&] {
        act(d);
        // Escape does not close a question.
        QTest::keyClick(&d, Qt::Key_Escape);
        stillOpen = d.isVisible();
        QTest::keyClick(d.OKButton(), Qt::Key_Return);
    });
    const int rc = d.exec();
    EXPECT_TRUE(stillOpen);
    return rc;
}

TEST_F(QuestionTest, ThePaletteQuestion) {
    TfrmChangePal dlg;
    EXPECT_EQ(dlg.objectName(), "frmChangePal");
    EXPECT_EQ(dlg.windowTitle(), "Warning");
    EXPECT_EQ(dlg.Choice, 0);
    struct Row {
        const char* name;
        bool notChange, asDefault;
        int choice, setting;
    };
    const Row rows[] = {
        {"change, asked again next time", false, false, 0, 2},
        {"keep, asked again next time", true, false, 1, 2},
        {"keep as the default", true, true, 1, 1},
        {"change as the default", false, true, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options().PaletteAction = 2;
        const int rc = RunModal(dlg, [&](TfrmChangePal& d) {
            (r.notChange ? d.rbNotChange : d.rbChange)->click();
            d.DefaultBox()->setChecked(r.asDefault);
        });
        EXPECT_EQ(rc, QDialog::Accepted);
        EXPECT_EQ(dlg.Choice, r.choice);
        EXPECT_EQ(Options().PaletteAction, r.setting);
    }
    // The choice is kept between showings.
    RunModal(dlg, [](TfrmChangePal& d) { d.rbNotChange->click(); });
    RunModal(dlg, [](TfrmChangePal&) {});
    EXPECT_EQ(dlg.Choice, 1);
}

TEST_F(QuestionTest, TheImageSizeQuestion) {
    TfrmImageBig dlg;
    EXPECT_EQ(dlg.objectName(), "frmImageBig");
    EXPECT_EQ(dlg.Choice, 0);
    struct Row {
        const char* name;
        bool import, asDefault;
        int pick, importAction, clipboardAction;
    };
    const Row rows[] = {
        {"a paste, not as default", false, false, 1, 2, 3},
        {"a paste as default goes to the clipboard setting", false, true, 1, 2, 1},
        {"an import as default goes to the import setting", true, true, 2, 2, 3},
        {"an import resized as default", true, true, 0, 0, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options().ImportAction = 2;
        Options().ClipboardAction = 3;
        dlg.IsImport = r.import;
        RunModal(dlg, [&](TfrmImageBig& d) {
            QRadioButton* rb[] = {d.rbResize, d.rbCrop, d.rbAdvanced};
            rb[r.pick]->click();
            d.DefaultBox()->setChecked(r.asDefault);
        });
        EXPECT_EQ(dlg.Choice, r.pick);
        EXPECT_EQ(Options().ImportAction, r.importAction);
        EXPECT_EQ(Options().ClipboardAction, r.clipboardAction);
    }
}

}  // namespace
}  // namespace velto::test
