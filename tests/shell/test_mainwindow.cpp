// The main window: names, menus, keys, the enabling of commands, the
// document-window list, layout, start-up work, key preview, hand-over while a
// modal window is open, dropped files and closing.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include "MainWindowFixture.h"
#include "shell/MainActions.h"
#include "shell/PaneFrame.h"
#include "shell/Translator.h"

using namespace velto;
using velto::test::MainWindowTest;
using velto::test::StubDesk;

TEST_F(MainWindowTest, EveryCommandMenuBarAndWindowCarriesItsName) {
    for (const ActionSpec& s : MainActionTable()) {
        ASSERT_NE(act(s.name), nullptr) << s.name;
        EXPECT_EQ(main->findChild<QAction*>(s.name), act(s.name)) << s.name;
    }
    for (const QStringList& names :
         {TfrmMain::DocumentActionNames(), TfrmMain::ToolActionNames(), TfrmMain::CommitFirstActionNames()})
        for (const QString& n : names) EXPECT_NE(act(n.toLatin1()), nullptr) << n.toStdString();

    EXPECT_EQ(main->objectName(), "frmMain");
    EXPECT_EQ(main->menuBar()->objectName(), "ActionMainMenuBar1");
    EXPECT_EQ(main->findChild<QToolBar*>("ActionToolBar1"), main->ToolBar());
    EXPECT_EQ(main->statusBar()->objectName(), "StatusBar1");
    EXPECT_EQ(main->findChild<TDocumentArea*>("Panel1"), main->DocumentArea());

    // The 36 windows in creation order; the panes are frames of the main window.
    const QList<QObject*>& forms = main->Forms().All();
    ASSERT_EQ(forms.size(), 36);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(forms[i]->objectName(), kStartupForms[size_t(i)].name);
    EXPECT_EQ(forms[1]->objectName(), "frmPreview");
    EXPECT_EQ(forms[35]->objectName(), "frmDelete");
    for (const auto& [slot, name] : {std::pair{dsPreview, "frmPreview"}, {dsColors, "frmColors"}, {dsTools, "frmTools"},
                                     {dsExplorer, "frmExplorer"}})
        EXPECT_EQ(main->findChild<PaneFrame*>(name, Qt::FindDirectChildrenOnly), main->Forms().Pane(slot)) << name;
    EXPECT_NE(main->Forms().Pane(dsTools), nullptr);
}

TEST_F(MainWindowTest, MenuTreeKeepsThePinnedPlacesAndMenuKeysNumberListsAsEntered) {
    const QList<QAction*> top = main->menuBar()->actions();
    ASSERT_EQ(top.size(), 10);
    EXPECT_EQ(top[8]->menu(), main->WindowMenu());
    QStringList window;
    for (QAction* a : main->WindowMenu()->actions()) window << (a->isSeparator() ? "-" : a->objectName());
    EXPECT_EQ(window, QStringList({"actTile", "actTileHoriz", "actTileVert", "actCascade", "-"}));
    EXPECT_EQ(top[0]->menu()->actions()[12]->menu(), main->RecentFilesMenu());
    EXPECT_EQ(main->RecentFilesMenu()->actions()[0]->objectName(), "actClear");
    EXPECT_EQ(top[7]->menu()->actions()[2]->menu(), main->LanguagesMenu());
    EXPECT_EQ(main->LanguagesMenu()->actions()[0]->objectName(), "actMoreLanguages");
    EXPECT_TRUE(main->findChild<QMenu*>("mnuCursor")->actions().contains(act("actImportImage")));

    // The key takes the running list number when it is formed, so a menu after
    // one with submenus carries the number reached by then.
    QStringList keys;
    TTranslator t([&keys](const QString& section, const QString& key, const QString& def) {
        if (section == "Menu") keys << key + "=" + def;
        return def;
    });
    t.TranslateActionManager({main->menuBar()});
    EXPECT_EQ(keys, QStringList({
                        "1-0.Menu=&File",      "2-12.Menu=Recent Files", "3-1.Menu=&Edit",      "4-2.Menu=V&iew",
                        "5-3.Menu=C&ursor",    "6-4.Menu=Ima&ge",        "7-13.Menu=Data Type", "8-5.Menu=&Adjust",
                        "9-8.Menu=Tint",       "10-9.Menu=Swap Channels", "11-6.Menu=Filte&rs", "12-2.Menu=Blur",
                        "13-3.Menu=Sharpen",   "14-4.Menu=Edges",        "15-5.Menu=Emboss",    "16-6.Menu=Artistic",
                        "17-7.Menu=&Options",  "18-2.Menu=Languages",    "19-8.Menu=&Window",   "20-9.Menu=He&lp",
                    }));
}

TEST_F(MainWindowTest, NoTwoCommandsShareAKeyAndNoMenuTitleShadowsAnAltCommand) {
    QHash<QKeySequence, QString> seen;
    for (QAction* a : main->findChildren<QAction*>())
        for (const QKeySequence& k : a->shortcuts()) {
            EXPECT_FALSE(seen.contains(k)) << k.toString().toStdString() << ": " << a->objectName().toStdString()
                                           << " and " << seen.value(k).toStdString();
            seen.insert(k, a->objectName());
        }
    QSet<QChar> mnemonics;
    for (QAction* a : main->menuBar()->actions()) {
        const QString t = a->text();
        ASSERT_GE(t.indexOf('&'), 0) << t.toStdString();
        const QChar m = t[t.indexOf('&') + 1].toUpper();
        EXPECT_FALSE(mnemonics.contains(m)) << t.toStdString();
        mnemonics.insert(m);
        EXPECT_FALSE(seen.contains(QKeySequence(QStringLiteral("Alt+") + m))) << "Alt+" << QString(m).toStdString();
    }
    EXPECT_EQ(seen.value(QKeySequence("Ctrl+F4")), "actClose");

    // The keys do arrive: Alt+V beside the View menu, Ctrl+W beside a
    // document frame's system menu (which would take Ctrl+W and Ctrl+F4), a
    // tool letter.
    newDesk();
    QStringList ran;
    for (const char* n : {"actTileVert", "actAdvancedShadow", "actnNew", "actpen"})
        main->Actions().setHandler(n, [&ran](QAction* a) { ran << a->objectName(); });
    main->show();
    QApplication::setActiveWindow(main.get());
    main->Desk(1)->Frame()->show();
    QTest::keyClick(main.get(), Qt::Key_V, Qt::AltModifier);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QTest::keyClick(main.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(main.get(), Qt::Key_P, Qt::ShiftModifier);
    EXPECT_EQ(ran, QStringList({"actTileVert", "actAdvancedShadow", "actnNew", "actpen"}));
}

TEST_F(MainWindowTest, CommandStatesWithNoDocument) {
    main->UpdateActions();
    for (const QString& n : TfrmMain::DocumentActionNames()) EXPECT_FALSE(act(n.toLatin1())->isEnabled()) << n.toStdString();
    expectEnabled({"actnSave", "actToolSave", "actFramesReverse", "actndelimage", "actSelectAll", "actFrameUp",
                   "actFrameDown", "actDeleteMore", "actDuplicateImage", "actFitToScreen", "actOriginalSize",
                   "actBringToFront", "actSendToBack", "actOpacity", "actToolCut", "actToolCopy", "actToolPaste",
                   "actToolUndo", "actToolRedo", "actToolHotspot", "actToolTest", "actToolProp"},
                  false);
    expectEnabled({"actnNew", "actnOpen", "actnExit", "actToolNew", "actToolOpen", "actHelp", "actForum",
                   "actMoreLanguages", "actnTools", "actselect", "actopac"},
                  true);
    // Commands that only show a window whose part is not built here (these
    // tests have no dialogs) wait for it like commands without handler.
    expectEnabled({"actPreferences", "actnAbout", "actResEditor"}, false);
    // Switches show their settings, and a menu switch and its tool-bar twin agree.
    EXPECT_TRUE(act("actToolFilter")->isChecked());
    EXPECT_TRUE(act("actTransSel")->isChecked());
    EXPECT_FALSE(act("actToolEffect")->isChecked());
    act("actToolFilter")->trigger();
    EXPECT_FALSE(Options().FilterOnAlpha);
    EXPECT_FALSE(act("actFilterOnAlpha")->isChecked());
    act("actFilterOnAlpha")->trigger();
    EXPECT_TRUE(act("actToolFilter")->isChecked());
    // A command with nothing behind it stays disabled, also after a document
    // window enables its group, and takes its state once a handler comes.
    // (Their handlers are taken away here, whichever are built.)
    for (const char* name : {"actnExtract", "actBatch", "actSnapshot"}) main->Actions().setHandler(name, nullptr);
    main->UpdateActions();
    expectEnabled({"actnExtract", "actBatch"}, false);
    newDesk();
    main->EnableDocumentActions();
    expectEnabled({"actnExtract", "actBatch", "actSnapshot"}, false);
    main->Actions().setHandler("actSnapshot", [](QAction*) {});
    main->Actions().setHandler("actnExtract", [](QAction*) {});
    main->UpdateActions();
    expectEnabled({"actSnapshot", "actnExtract"}, true);
}

TEST_F(MainWindowTest, DocumentWindowsOpenCloseAndFollowTheEnablingRules) {
    StubDesk* a = newDesk();
    StubDesk* b = newDesk();
    StubDesk* c = newDesk();
    EXPECT_EQ(c->windowTitle(), "Untitled - 3");
    EXPECT_TRUE(act("actnFlipHoriz")->isEnabled());
    expectEnabled({"actLast", "actnnext"}, false);  // no last effect yet, no navigation
    // The cascade places each window one frame step further.
    const int step = b->Frame()->y() - a->Frame()->y();
    EXPECT_GT(step, 0);
    EXPECT_EQ(c->Frame()->y() - b->Frame()->y(), step);

    selection.owner = 3;
    selection.empty = false;
    closeDesk(2);
    EXPECT_EQ(c->Tag, 2);
    EXPECT_EQ(selection.owner, 2);
    EXPECT_EQ(main->Desks().ActiveIndex(), 2);
    QStringList items;
    for (QAction* x : main->WindowMenu()->actions().mid(5)) items << x->text() + (x->isChecked() ? "*" : "");
    EXPECT_EQ(items, QStringList({"Untitled - 1", "Untitled - 3*"}));

    // Rules that follow the active document: the last of three images, unsaved, 8 bits.
    c->images = 3;
    c->index = 2;
    c->saved = false;
    c->bits = 8;
    main->UpdateActions();
    main->UpdateImageNavigation();
    expectEnabled({"actnSave", "actToolSave", "actFrameUp", "actnPrev", "actOpacity"}, true);  // opacity: a selection
    expectEnabled({"actFrameDown", "actnnext", "actDuplicateImage"}, false);
    selection.empty = true;
    main->UpdateActions();
    EXPECT_FALSE(act("actOpacity")->isEnabled());
    c->index = 0;  // the first image
    main->UpdateImageNavigation();
    EXPECT_FALSE(act("actnPrev")->isEnabled());
    EXPECT_TRUE(act("actnnext")->isEnabled());

    // Cut, Copy and Delete need the active window's own selection; Paste an image.
    selection.empty = false;
    selection.owner = 1;
    main->UpdateClipboardActions();
    EXPECT_FALSE(act("actnCopy")->isEnabled());
    selection.owner = 2;
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_ARGB32));
    main->UpdateClipboardActions();
    main->UpdateActions();
    expectEnabled({"actnCopy", "actnPaste", "actToolPaste"}, true);
    QGuiApplication::clipboard()->setText("text");
    main->UpdateClipboardActions();
    EXPECT_FALSE(act("actnPaste")->isEnabled());

    // The last window closed: back to the start; Untitled numbers go on.
    closeDesk(2);
    closeDesk(1);
    EXPECT_FALSE(act("actnFlipHoriz")->isEnabled());
    EXPECT_EQ(main->WindowMenu()->actions().size(), 5);
    StubDesk* d = newDesk();
    EXPECT_EQ(d->windowTitle(), "Untitled - 4");
    EXPECT_EQ(d->Frame()->pos(), QPoint(0, 0));
}

TEST_F(MainWindowTest, ThirtyFirstWindowIsRefusedAndAFailedWindowGivesItsPlaceBack) {
    // A window not kept at the first place: the next one goes to the last
    // place of the cascade, inside the area.
    main->StepCascadeBack();
    EXPECT_EQ(main->Desks().CascadeIndex(), 10);

    for (int i = 0; i < 30; ++i) ASSERT_TRUE(main->CreateDocumentWindow("x.cur"));
    EXPECT_FALSE(main->CreateDocumentWindow("Untitled"));
    EXPECT_EQ(messages, QStringList({"Too many open windows!"}));
    EXPECT_EQ(main->Desks().UntitledCounter(), 0);
}

TEST_F(MainWindowTest, ToolCommandsLockDuringAStrokeAndOpacityFollowsTheImageDepth) {
    StubDesk* d = newDesk();
    main->LockToolActions();
    for (const QString& n : TfrmMain::ToolActionNames()) EXPECT_FALSE(act(n.toLatin1())->isEnabled()) << n.toStdString();
    main->UnlockToolActions();
    for (const QString& n : TfrmMain::ToolActionNames()) EXPECT_TRUE(act(n.toLatin1())->isEnabled()) << n.toStdString();
    d->bits = 8;
    main->LockToolActions();
    main->UnlockToolActions();
    EXPECT_FALSE(act("actopac")->isEnabled());
    EXPECT_TRUE(act("actpen")->isEnabled());
}

TEST_F(MainWindowTest, ImageCommandsDropTheSelectionFirstAlsoFromTheToolBar) {
    newDesk()->saved = false;
    main->UpdateActions();
    selection.empty = false;
    selection.owner = 1;
    act("actnNew")->trigger();
    EXPECT_EQ(selection.commits, 0);
    act("actToolSave")->trigger();  // runs actnSave
    act("actn8bit")->trigger();
    EXPECT_EQ(selection.commits, 2);
    selection.owner = 0;  // the selection of no window stays
    act("actn8bit")->trigger();
    EXPECT_EQ(selection.commits, 2);
}

TEST_F(MainWindowTest, RecentFilesMenuListsNewestFirstAndOpensTheStoredPath) {
    recordOpens();
    main->AddRecentFile("/a/one.cur");
    main->AddRecentFile("/b/R&D.ani");
    main->AddRecentFile("/a/one.cur");
    QStringList items;
    for (QAction* a : main->RecentFilesMenu()->actions().mid(2)) items << a->text();
    EXPECT_EQ(items, QStringList({"1: /a/one.cur", "2: /b/R&&D.ani"}));
    EXPECT_EQ(Options().GetRecentFile(2), "/a/one.cur");
    main->RecentFilesMenu()->actions()[3]->trigger();
    EXPECT_EQ(opened, QStringList({"/b/R&D.ani"}));
    act("actClear")->trigger();
    EXPECT_EQ(main->RecentFilesMenu()->actions().size(), 2);
    EXPECT_EQ(Options().GetRecentFile(1), "");
}

TEST_F(MainWindowTest, FirstActivationSetsEnglishLabelsRestoresTheLayoutAndOpensUntilAFailure) {
    int filterRuns = 0, tips = 0;
    main->SetFileFilterTranslator([&filterRuns] { ++filterRuns; });
    recordOpens();
    main->Actions().setHandler("actTips", [&tips](QAction*) { ++tips; });
    Options().ToolsVisible = false;
    Options().StatusbarVisible = false;
    Options().GridVisible = true;

    // No language file at all: the labels and filters still get their English texts.
    main->FirstActivation({"/x/a.cur", "/x/bad.cur", "/x/c.cur"});
    EXPECT_EQ(filterRuns, 1);
    const std::array<QString, 9> english = {"R", "G", "B", "H", "S", "B", "Opacity", "H", "W"};
    EXPECT_EQ(main->StatusLabels(), english);
    EXPECT_EQ(opened, QStringList({"/x/a.cur", "/x/bad.cur"}));
    EXPECT_EQ(tips, 0);  // files were given
    EXPECT_FALSE(act("actnTools")->isChecked());
    EXPECT_TRUE(main->Forms().Pane(dsTools)->isHidden());
    EXPECT_FALSE(main->Forms().Pane(dsPreview)->isHidden());
    EXPECT_TRUE(main->statusBar()->isHidden());
    EXPECT_TRUE(act("actnGrid")->isChecked());
    EXPECT_NE(main->ToolCursor(crPencil), nullptr);
    EXPECT_EQ(main->ToolCursor(crCross)->shape(), Qt::CrossCursor);

    main->FirstActivation({"/x/again.cur"});  // once only
    EXPECT_EQ(opened.size(), 2);

    auto second = makeMain();
    second->Actions().setHandler("actTips", [&tips](QAction*) { ++tips; });
    second->FirstActivation({});
    EXPECT_EQ(tips, 1);
}

TEST_F(MainWindowTest, LayoutSurvivesARestartThroughTheSettingsFile) {
    main->FirstActivation({});
    main->Forms().Pane(dsPreview)->move(300, 120);
    act("actnColors")->trigger();  // hide the colour panel
    act("acttoolbar")->trigger();
    main->SaveLayout();
    ASSERT_TRUE(Options().SaveTo(configPath()));

    main.reset();
    FreeOptions();
    CreateOptions(800, configPath());
    auto again = makeMain();
    again->FirstActivation({});
    EXPECT_TRUE(again->Forms().Pane(dsColors)->isHidden());
    EXPECT_FALSE(again->Action("actnColors")->isChecked());
    EXPECT_TRUE(again->ToolBar()->isHidden());
    EXPECT_EQ(again->Forms().Pane(dsPreview)->pos(), QPoint(300, 120));
    EXPECT_TRUE(again->isMaximized());
}

TEST_F(MainWindowTest, KeyPreviewActsOnlyWithADocumentAndNeverInATextEntry) {
    QList<int> sizes;
    main->SetBrushSizeHandler([&sizes](int n) {
        sizes << n;
        return true;
    });
    QLineEdit edit(main.get());
    QPushButton button(main.get());
    EXPECT_FALSE(main->KeyPreview(&button, "5", Qt::Key_5));  // no document
    newDesk();
    EXPECT_TRUE(main->KeyPreview(&button, "5", Qt::Key_5));
    EXPECT_FALSE(main->KeyPreview(&button, "8", Qt::Key_8));
    EXPECT_EQ(sizes, QList<int>({5}));
    EXPECT_TRUE(main->KeyPreview(&button, QString(QChar(27)), Qt::Key_Escape));
    EXPECT_FALSE(main->KeyPreview(&edit, QString(QChar(27)), Qt::Key_Escape));
    EXPECT_EQ(selection.commits, 1);
    // "+" runs the document's own zoom command when it is enabled.
    auto* zoomIn = new QAction(main->Desk(1));
    zoomIn->setObjectName("actZoomIn");
    int zooms = 0;
    QObject::connect(zoomIn, &QAction::triggered, [&zooms] { ++zooms; });
    EXPECT_TRUE(main->KeyPreview(&button, "+", Qt::Key_Plus));
    zoomIn->setEnabled(false);
    EXPECT_FALSE(main->KeyPreview(&button, "+", Qt::Key_Plus));
    EXPECT_EQ(zooms, 1);

    // Through real key events: a digit typed into a pane's edit field goes there alone.
    main->show();
    QApplication::setActiveWindow(main.get());
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_4);
    EXPECT_EQ(edit.text(), "4");
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_2);
    EXPECT_EQ(sizes, QList<int>({5, 2}));
}

TEST_F(MainWindowTest, FilesHandedOverWhileAModalWindowIsOpenWaitForIt) {
    recordOpens();
    main->FirstActivation({});
    main->show();
    QDialog modal(main.get());
    modal.setModal(true);
    modal.show();
    ASSERT_NE(QApplication::activeModalWidget(), nullptr);
    main->InstanceDenied({"/d/a.cur", "/d/b.ani"});
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(main->isMaximized());
    modal.close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return opened.size() >= 2; }, 10000));  // waits, no speed asked
    EXPECT_EQ(opened, QStringList({"/d/a.cur", "/d/b.ani"}));
    main->InstanceDenied({"/d/c.cur"});  // without a modal window they open at once
    EXPECT_EQ(opened.size(), 3);
}

TEST_F(MainWindowTest, DroppedFilesOpenInOrderUntilOneFailsWithNamesUncut) {
    recordOpens();
    const QString longName = "/d/" + QString(300, 'n') + ".ani";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/d/a.cur"), QUrl("https://example.org/x.cur"), QUrl::fromLocalFile(longName),
                  QUrl::fromLocalFile("/d/bad.cur"), QUrl::fromLocalFile("/d/after.cur")});
    const std::pair<const char*, QWidget*> targets[] = {{"document area", main->DocumentArea()->viewport()},
                                                        {"main window", main.get()}};
    for (const auto& [where, target] : targets) {
        SCOPED_TRACE(where);
        opened.clear();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(opened, QStringList({"/d/a.cur", longName, "/d/bad.cur"}));
    }
}

TEST_F(MainWindowTest, ClosingAskEachWindowAndExitClearsOnlyAPicture) {
    // A document whose file vanished asks to be saved again.
    const QString kept = dir.filePath("kept.cur");
    QFile(kept).open(QIODevice::WriteOnly);
    for (const QString& path : {kept, dir.filePath("gone.cur")}) {
        ASSERT_TRUE(main->CreateDocumentWindow(path));
        last->SetFilePath(path);
    }
    main->CheckDocumentFiles();
    EXPECT_TRUE(main->Desk(1)->Saved());
    EXPECT_FALSE(main->Desk(2)->Saved());

    // Close All stops at the first window that is kept.
    StubDesk* keep = newDesk();
    newDesk();
    keep->keep = true;
    EXPECT_FALSE(main->CloseAllDocuments());
    EXPECT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_EQ(main->Desk(1), keep);
    keep->keep = false;
    EXPECT_TRUE(main->CloseAllDocuments());
    EXPECT_EQ(main->Desks().DeskCount(), 0);

    // At exit a picture on the clipboard is cleared (unless the setting says
    // otherwise), text is left alone.
    QClipboard* cb = QGuiApplication::clipboard();
    cb->setText("kept");
    main->FormClose();
    EXPECT_EQ(cb->text(), "kept");
    cb->setImage(QImage(2, 2, QImage::Format_ARGB32));
    main->FormClose();
    EXPECT_TRUE(!cb->mimeData() || !cb->mimeData()->hasImage());
    Options().ClearClipboard = false;
    cb->setImage(QImage(2, 2, QImage::Format_ARGB32));
    main->FormClose();
    ASSERT_NE(cb->mimeData(), nullptr);
    EXPECT_TRUE(cb->mimeData()->hasImage());
}
