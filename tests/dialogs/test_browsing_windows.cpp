// The windows built on a thumbnail grid (extraction, frames, resource
// editor) close on Escape as every other dialog, also while the grid has
// the keys.
#include <QPushButton>

#include "../resources/PeTestImage.h"
#include "DialogsTestSupport.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormExtract.h"
#include "dialogs/FormFrames.h"
#include "dialogs/FormResourceEditor.h"
#include "resources/EmptyLibrary.h"
#include "resources/LibrarySave.h"

using namespace velto;
using namespace velto::test;

namespace {

class BrowsingWindowTest : public ProgramWindowTest {
protected:
    std::string WriteFile(const char* name, const restest::Bytes& bytes) {
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        restest::WriteFile(path, bytes);
        return path;
    }

    // Shows the window modally; once its grid has filled and while it holds
    // the keys, Escape closes it.
    void EscapeCloses(QDialog* window, TThumbail* grid) {
        bool closed = false;
        OnNextModal([&](QWidget* w) {
            EXPECT_EQ(w, window);
            // Escape during a fill stops the fill instead (as in the explorer).
            EXPECT_TRUE(QTest::qWaitFor([&] { return !grid->Busy(); }, 10000));
            EXPECT_GT(grid->Count(), 0);
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Escape);
            closed = !window->isVisible();
            if (window->isVisible()) window->reject();
        });
        window->exec();
        EXPECT_TRUE(closed);
    }
};

TEST_F(BrowsingWindowTest, EscapeClosesTheWindowsWhileTheirGridHasTheKeys) {
    const std::string cursor = WriteFile("a.cur", restest::CursorFile({{32, 32, 1, 1, {}, 2}}));
    const std::string lib = dir.filePath("lib.dll").toStdString();
    ASSERT_TRUE(SaveNewLibrary(MakeEmptyLibrary(), lib, {{cursor, ResName::FromId(1), 0}}));
    {
        SCOPED_TRACE("extraction");
        auto* extract = form<TfrmExtract>("frmExtract");
        ASSERT_NE(extract, nullptr);
        extract->SetFileName(QString::fromStdString(lib));
        EscapeCloses(extract, extract->Grid());
    }
    {
        SCOPED_TRACE("frames");
        auto* frames = form<TfrmFrames>("frmFrames");
        ASSERT_NE(frames, nullptr);
        TmyANI ani;
        for (int i = 0; i < 2; ++i) ani.AddImage({32, 32}, 32);
        const std::string file = dir.filePath("two.ani").toStdString();
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(ani, file, false));
        frames->SetFileName(QString::fromStdString(file));
        EscapeCloses(frames, frames->Grid());
        EXPECT_EQ(main->Desks().DeskCount(), 0);  // nothing opened
    }
    {
        SCOPED_TRACE("resource editor");
        auto* editor = form<TfrmResourceEditor>("frmResourceEditor");
        ASSERT_NE(editor, nullptr);
        editor->AddPendingFiles({QString::fromStdString(cursor)});
        answers.push_back(idNo);  // the save question Escape asks: no
        EscapeCloses(editor, editor->Grid());
    }
}

}  // namespace
