// The preview pane in the program shows the active window's floating
// selection at its place, though the document's image holds a hole there
// until the drop, and follows the frame when it moves.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>

#include <memory>

#include "DialogsTestSupport.h"
#include "core/Language.h"
#include "dialogs/Dialogs.h"
#include "dialogs/FormPreview.h"
#include "dialogs/ImageView.h"
#include "dialogs/PreviewFrame.h"
#include "model/IcoIO.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/PaneFrame.h"

namespace velto::test {
namespace {

TEST(SelectionPreview, ThePreviewShowsTheFloatingSelectionWhereItFloats) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    FreeOptions();
    CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
    Options().Autozoom = false;
    Options().ShowTips = false;
    Options().PrevColor = MakeColor(255, 255, 255);
    Lang().SetFileName("");
    SilenceMessages();
    SetDocumentLink(nullptr);
    RegisterDialogs();
    auto main = std::make_unique<TfrmMain>();
    main->CreateForms();
    main->resize(1000, 800);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    main->FirstActivation({});

    TmyIcon doc;
    TmyImagePal& img = doc.Image(doc.AddImage({16, 16}, 32));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) img.At(x, y) = Px(x * 15, y * 15, 77, 255);
    const QString path = dir.filePath("p.ico");
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false));
    ASSERT_TRUE(main->OpenFile(path));
    auto* d = qobject_cast<TfrmDesk*>(main->ActiveDesk());
    ASSERT_NE(d, nullptr);
    d->SetZoom(10);
    auto* pane = qobject_cast<TfrmPreview*>(main->Forms().Pane(dsPreview)->Content());
    ASSERT_NE(pane, nullptr);
    const QImage& shown = pane->Preview()->Image1()->Picture();
    auto at = [&](int x, int y) { return shown.pixel(x, y) & 0xffffff; };
    auto rgb = [](int x, int y) { return qRgb(x * 15, y * 15, 77) & 0xffffff; };

    main->Selection().Lift(2, 3, 5, 6, false);
    ASSERT_FALSE(main->Selection().Empty());
    EXPECT_EQ(d->CurrentImage()->At(3, 4), TmyPixel{});
    EXPECT_EQ(at(3, 4), rgb(3, 4)) << "the selection shows over its hole";
    main->Selection().MoveBy(6, 1);
    EXPECT_EQ(at(9, 5), rgb(3, 4)) << "it follows the frame";
    EXPECT_EQ(at(3, 4), qRgb(255, 255, 255) & 0xffffffu) << "the hole shows the background";
    main->Actions().execute("actDropSelection");
    EXPECT_EQ(at(9, 5), rgb(3, 4));
    EXPECT_EQ(d->CurrentImage()->At(9, 5), Px(45, 60, 77, 255));

    main.reset();
    SetMessageSink(nullptr);
    FreeOptions();
}

}  // namespace
}  // namespace velto::test
