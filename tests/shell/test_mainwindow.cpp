// The main window: names, menus, keys, the enabling of commands, the
// document-window list, layout, start-up work, key preview, hand-over while a
// modal window is open, and the switch between language files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <memory>

#include "shell/DocumentArea.h"
#include "shell/MainActions.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/PaneFrame.h"
#include "shell/Translator.h"
#include "shell/core/Language.h"
#include "shell/core/MessageBox.h"

using namespace velto;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QApplication* guiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

// A document window with a document of some images.
class StubDesk : public TDeskWindow {
public:
    int images = 1, index = 0, bits = 32;
    bool saved = true, animated = false, canUndo = false, frame = false;
    bool keep = false;  // the close question answers Cancel
    int ImageCount() const override { return images; }
    int ItemIndex() const override { return index; }
    int CurrentBitCount() const override { return bits; }
    bool IsAnimated() const override { return animated; }
    bool Saved() const override { return saved; }
    void SetSaved(bool s) override { saved = s; }
    bool CanUndo() const override { return canUndo; }
    bool SelectionFrameVisible() const override { return frame; }
    bool CloseQuery() override { return !keep; }
};

class FakeSelection : public TSelectionAccess {
public:
    bool empty = true, inFront = false;
    int owner = 0, commits = 0;
    bool Empty() const override { return empty; }
    int Owner() const override { return owner; }
    void SetOwner(int o) override { owner = o; }
    bool InFront() const override { return inFront; }
    void Commit() override { ++commits; }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
        Lang().SetFileName("");
        SetMessageSink([this](const MessageRequest& r) {
            messages << QString::fromStdString(r.text);
            return int(idOK);
        });
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->SetLanguageFolders({dir.filePath("languages")});
        main->SetDeskFactory([this] {
            auto* d = new StubDesk;
            last = d;
            return d;
        });
        main->SetSelection(&selection);
    }
    void TearDown() override {
        main.reset();
        SetMessageSink(nullptr);
        Lang().SetFileName("");
        FreeOptions();
    }
    QAction* act(const char* name) const { return main->Action(name); }
    StubDesk* newDesk() {
        EXPECT_TRUE(main->CreateDocumentWindow("Untitled"));
        return last;
    }
    void writeLanguage(const QString& name, const QByteArray& text) {
        QDir().mkpath(dir.filePath("languages"));
        QFile f(dir.filePath("languages/" + name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void closeDesk(int slot) { main->Desk(slot)->Frame()->close(); }

    QTemporaryDir dir;
    FakeSelection selection;
    std::unique_ptr<TfrmMain> main;
    StubDesk* last = nullptr;
    QStringList messages;
};

// The "Menu" keys of the menu bar with the caption each translates.
QStringList MenuKeys(TfrmMain& main) {
    QStringList keys;
    TTranslator t([&keys](const QString& section, const QString& key, const QString& def) {
        if (section == "Menu") keys << key + "=" + def;
        return def;
    });
    t.TranslateActionManager({main.menuBar()});
    return keys;
}

}  // namespace

TEST_F(MainWindowTest, EveryCommandMenuBarAndWindowCarriesItsName) {
    for (const ActionSpec& s : MainActionTable()) {
        QAction* a = main->findChild<QAction*>(s.name);
        ASSERT_NE(a, nullptr) << s.name;
        EXPECT_EQ(a, act(s.name));
    }
    EXPECT_EQ(TfrmMain::DocumentActionNames().size(), 89);
    const QStringList docs = TfrmMain::DocumentActionNames();
    EXPECT_EQ(QSet<QString>(docs.begin(), docs.end()).size(), 89);
    EXPECT_EQ(TfrmMain::ToolActionNames().size(), 18);
    EXPECT_EQ(TfrmMain::ToolbarActionNames().size(), 16);
    for (const QStringList& names :
         {TfrmMain::DocumentActionNames(), TfrmMain::ToolActionNames(), TfrmMain::CommitFirstActionNames()})
        for (const QString& n : names) EXPECT_NE(act(n.toLatin1()), nullptr) << n.toStdString();

    EXPECT_EQ(main->objectName(), "frmMain");
    EXPECT_EQ(main->menuBar()->objectName(), "ActionMainMenuBar1");
    EXPECT_EQ(main->findChild<QToolBar*>("ActionToolBar1"), main->ToolBar());
    EXPECT_EQ(main->statusBar()->objectName(), "StatusBar1");
    EXPECT_EQ(main->findChild<TDocumentArea*>("Panel1"), main->DocumentArea());
    QStringList toolbar;
    for (QAction* a : main->ToolBar()->actions())
        if (!a->isSeparator()) toolbar << a->objectName();
    EXPECT_EQ(toolbar, TfrmMain::ToolbarActionNames());

    // The 36 windows in creation order; the panes are frames of the main window.
    const QList<QObject*>& forms = main->Forms().All();
    ASSERT_EQ(forms.size(), 36);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(forms[i]->objectName(), kStartupForms[size_t(i)].name);
    EXPECT_EQ(forms[1]->objectName(), "frmPreview");
    EXPECT_EQ(forms[35]->objectName(), "frmDelete");
    for (int slot : {dsPreview, dsColors, dsTools, dsExplorer}) {
        PaneFrame* pane = main->Forms().Pane(slot);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->parentWidget(), main.get());
        EXPECT_EQ(pane->Slot(), slot);
    }
    EXPECT_EQ(main->Forms().Pane(dsTools)->objectName(), "frmTools");
    EXPECT_EQ(main->Forms().Pane(dsExplorer)->objectName(), "frmExplorer");
}

TEST_F(MainWindowTest, MenuTreeKeepsThePinnedPlacesAndMenuKeysNumberListsAsEntered) {
    const QList<QAction*> top = main->menuBar()->actions();
    ASSERT_EQ(top.size(), 10);
    EXPECT_EQ(top[8]->menu(), main->WindowMenu());
    QStringList window;
    for (QAction* a : main->WindowMenu()->actions()) window << (a->isSeparator() ? "-" : a->objectName());
    EXPECT_EQ(window, QStringList({"actTile", "actTileHoriz", "actTileVert", "actCascade", "-"}));
    const QList<QAction*> file = top[0]->menu()->actions();
    EXPECT_EQ(file[12]->menu(), main->RecentFilesMenu());
    EXPECT_EQ(main->RecentFilesMenu()->actions()[0]->objectName(), "actClear");
    EXPECT_TRUE(main->RecentFilesMenu()->actions()[1]->isSeparator());
    const QList<QAction*> options = top[7]->menu()->actions();
    EXPECT_EQ(options[2]->menu(), main->LanguagesMenu());
    EXPECT_EQ(main->LanguagesMenu()->actions()[0]->objectName(), "actMoreLanguages");
    EXPECT_TRUE(main->LanguagesMenu()->actions()[1]->isSeparator());
    EXPECT_TRUE(main->findChild<QMenu*>("mnuCursor")->actions().contains(act("actImportImage")));

    // The key takes the running list number when it is formed, so a menu after
    // one with submenus carries the number reached by then.
    const QStringList expected = {
        "1-0.Menu=&File",       "2-12.Menu=Recent Files", "3-1.Menu=&Edit",   "4-2.Menu=V&iew",
        "5-3.Menu=C&ursor",     "6-4.Menu=Ima&ge",        "7-13.Menu=Data Type", "8-5.Menu=&Adjust",
        "9-8.Menu=Tint",        "10-9.Menu=Swap Channels", "11-6.Menu=Filte&rs", "12-2.Menu=Blur",
        "13-3.Menu=Sharpen",    "14-4.Menu=Edges",        "15-5.Menu=Emboss", "16-6.Menu=Artistic",
        "17-7.Menu=&Options",   "18-2.Menu=Languages",    "19-8.Menu=&Window", "20-9.Menu=He&lp",
    };
    EXPECT_EQ(MenuKeys(*main), expected);
}

TEST_F(MainWindowTest, NoTwoCommandsShareAKeyAndNoMenuTitleShadowsAnAltCommand) {
    QHash<QKeySequence, QString> seen;
    for (QAction* a : main->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts()) {
            EXPECT_FALSE(seen.contains(k)) << k.toString().toStdString() << ": " << a->objectName().toStdString()
                                           << " and " << seen.value(k).toStdString();
            seen.insert(k, a->objectName());
        }
    }
    QSet<QChar> mnemonics;
    for (QAction* a : main->menuBar()->actions()) {
        const QString t = a->text();
        const int amp = t.indexOf('&');
        ASSERT_GE(amp, 0) << t.toStdString();
        const QChar m = t[amp + 1].toUpper();
        EXPECT_FALSE(mnemonics.contains(m)) << t.toStdString();
        mnemonics.insert(m);
        EXPECT_FALSE(seen.contains(QKeySequence(QStringLiteral("Alt+") + m)))
            << "Alt+" << QString(m).toStdString() << " is both a menu and a command";
    }
    // The system menu of a document's frame would take Ctrl+F4 and Ctrl+W.
    newDesk();
    for (QAction* a : main->Desk(1)->Frame()->systemMenu()->actions()) EXPECT_TRUE(a->shortcuts().isEmpty());
    // Ctrl+F4 is still the Close command alone.
    EXPECT_EQ(seen.value(QKeySequence("Ctrl+F4")), "actClose");

    // And the keys do arrive: Alt+V beside the View menu, Ctrl+W beside a
    // document's frame, a tool letter.
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
    for (const char* n : {"actnSave", "actToolSave", "actFramesReverse", "actndelimage", "actSelectAll", "actFrameUp",
                          "actFrameDown", "actDeleteMore", "actDuplicateImage", "actFitToScreen", "actOriginalSize",
                          "actBringToFront", "actSendToBack", "actOpacity", "actToolCut", "actToolCopy",
                          "actToolPaste", "actToolUndo", "actToolRedo", "actToolHotspot", "actToolTest", "actToolProp"})
        EXPECT_FALSE(act(n)->isEnabled()) << n;
    for (const char* n : {"actnNew", "actnOpen", "actnExit", "actToolNew", "actToolOpen", "actPreferences", "actnImportBMP",
                          "actnExtract", "actnCapture", "actHelp", "actnAbout", "actnTools", "actselect", "actopac"})
        EXPECT_TRUE(act(n)->isEnabled()) << n;
    // Switches show their settings.
    EXPECT_TRUE(act("actToolFilter")->isChecked());
    EXPECT_TRUE(act("actTransSel")->isChecked());
    EXPECT_FALSE(act("actToolEffect")->isChecked());
    act("actToolFilter")->trigger();
    EXPECT_FALSE(Options().FilterOnAlpha);
    EXPECT_FALSE(act("actFilterOnAlpha")->isChecked());
    act("actFilterOnAlpha")->trigger();
    EXPECT_TRUE(Options().FilterOnAlpha);
    EXPECT_TRUE(act("actToolFilter")->isChecked());
}

TEST_F(MainWindowTest, DocumentWindowsOpenCloseAndFollowTheEnablingRules) {
    StubDesk* a = newDesk();
    StubDesk* b = newDesk();
    StubDesk* c = newDesk();
    EXPECT_EQ(a->windowTitle(), "Untitled - 1");
    EXPECT_EQ(c->windowTitle(), "Untitled - 3");
    EXPECT_EQ(main->Desks().ActiveIndex(), 3);
    // Every document command but the navigation and the last effect.
    EXPECT_TRUE(act("actnFlipHoriz")->isEnabled());
    EXPECT_TRUE(act("actClose")->isEnabled());
    EXPECT_FALSE(act("actLast")->isEnabled());
    EXPECT_FALSE(act("actnnext")->isEnabled());
    // The cascade places each window one frame step further.
    const int step = b->Frame()->y() - a->Frame()->y();
    EXPECT_GT(step, 0);
    EXPECT_EQ(c->Frame()->y() - b->Frame()->y(), step);

    QStringList items;
    for (QAction* x : main->WindowMenu()->actions().mid(5)) items << x->text() + (x->isChecked() ? "*" : "");
    EXPECT_EQ(items, QStringList({"Untitled - 1", "Untitled - 2", "Untitled - 3*"}));

    selection.owner = 3;
    selection.empty = false;
    closeDesk(2);
    EXPECT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_EQ(c->Tag, 2);
    EXPECT_EQ(selection.owner, 2);
    EXPECT_EQ(main->Desks().ActiveIndex(), 2);

    // Rules that follow the active document.
    c->images = 3;
    c->index = 2;
    c->saved = false;
    c->bits = 8;
    main->UpdateActions();
    main->UpdateImageNavigation();
    EXPECT_TRUE(act("actnSave")->isEnabled());
    EXPECT_TRUE(act("actToolSave")->isEnabled());
    EXPECT_TRUE(act("actFrameUp")->isEnabled());
    EXPECT_FALSE(act("actFrameDown")->isEnabled());
    EXPECT_TRUE(act("actnPrev")->isEnabled());
    EXPECT_FALSE(act("actnnext")->isEnabled());
    EXPECT_FALSE(act("actDuplicateImage")->isEnabled());
    EXPECT_TRUE(act("actOpacity")->isEnabled());  // the selection is not empty
    selection.empty = true;
    main->UpdateActions();
    EXPECT_FALSE(act("actOpacity")->isEnabled());  // 8 bits

    // Cut, Copy and Delete need the active window's own selection; Paste an image.
    selection.empty = false;
    selection.owner = 1;
    main->UpdateClipboardActions();
    EXPECT_FALSE(act("actnCopy")->isEnabled());
    selection.owner = 2;
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_ARGB32));
    main->UpdateClipboardActions();
    EXPECT_TRUE(act("actnCopy")->isEnabled());
    EXPECT_TRUE(act("actnPaste")->isEnabled());
    main->UpdateActions();
    EXPECT_TRUE(act("actToolPaste")->isEnabled());
    QGuiApplication::clipboard()->setText("text");
    main->UpdateClipboardActions();
    EXPECT_FALSE(act("actnPaste")->isEnabled());

    // The last window closed: back to the start; Untitled numbers go on.
    closeDesk(2);
    closeDesk(1);
    EXPECT_EQ(main->Desks().DeskCount(), 0);
    EXPECT_FALSE(act("actnFlipHoriz")->isEnabled());
    EXPECT_EQ(main->WindowMenu()->actions().size(), 5);
    StubDesk* d = newDesk();
    EXPECT_EQ(d->windowTitle(), "Untitled - 4");
    EXPECT_EQ(d->Frame()->pos(), QPoint(0, 0));
}

TEST_F(MainWindowTest, ThirtyFirstWindowIsRefusedAndAFailedWindowGivesItsPlaceBack) {
    newDesk();
    EXPECT_EQ(main->Desks().CascadeIndex(), 1);
    closeDesk(1);
    EXPECT_EQ(main->Desks().CascadeIndex(), 0);
    // A window not kept at the first place: the next one goes to the last
    // place of the cascade, inside the area.
    main->StepCascadeBack();
    EXPECT_EQ(main->Desks().CascadeIndex(), 10);

    for (int i = 0; i < 30; ++i) ASSERT_TRUE(main->CreateDocumentWindow("x.cur"));
    EXPECT_FALSE(main->CreateDocumentWindow("Untitled"));
    EXPECT_EQ(messages, QStringList({"Too many open windows!"}));
    EXPECT_EQ(main->Desks().UntitledCounter(), 1);
}

TEST_F(MainWindowTest, ToolCommandsLockDuringAStrokeAndOpacityFollowsTheImageDepth) {
    StubDesk* d = newDesk();
    d->bits = 32;
    main->LockToolActions();
    for (const QString& n : TfrmMain::ToolActionNames()) EXPECT_FALSE(act(n.toLatin1())->isEnabled());
    main->UnlockToolActions();
    for (const QString& n : TfrmMain::ToolActionNames()) EXPECT_TRUE(act(n.toLatin1())->isEnabled()) << n.toStdString();
    d->bits = 8;
    main->LockToolActions();
    main->UnlockToolActions();
    EXPECT_FALSE(act("actopac")->isEnabled());
    EXPECT_TRUE(act("actpen")->isEnabled());
}

TEST_F(MainWindowTest, ImageCommandsDropTheSelectionFirstAlsoFromTheToolBar) {
    StubDesk* d = newDesk();
    d->saved = false;
    main->UpdateActions();
    selection.empty = false;
    selection.owner = 1;
    act("actnNew")->trigger();
    EXPECT_EQ(selection.commits, 0);
    act("actToolSave")->trigger();  // runs actnSave
    EXPECT_EQ(selection.commits, 1);
    act("actn8bit")->trigger();
    EXPECT_EQ(selection.commits, 2);
    selection.owner = 0;  // the selection of no window stays
    act("actn8bit")->trigger();
    EXPECT_EQ(selection.commits, 2);

    int ran = 0;
    main->Actions().setHandler("actnRotateLeft", [&ran](QAction*) { ++ran; });
    act("actnRotateLeft")->trigger();
    EXPECT_EQ(ran, 1);
    main->SetLastEffect(act("actRotateFree"));
    EXPECT_TRUE(act("actLast")->isEnabled());
    EXPECT_EQ(act("actLast")->text(), "Last Effect (Rotate)");
}

TEST_F(MainWindowTest, RecentFilesMenuListsNewestFirstAndOpensTheStoredPath) {
    QStringList opened;
    main->SetFileOpener([&opened](const QString& p) {
        opened << p;
        return true;
    });
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
    int filterRuns = 0;
    main->SetFileFilterTranslator([&filterRuns] { ++filterRuns; });
    QStringList opened;
    main->SetFileOpener([&opened](const QString& p) {
        opened << p;
        return !p.contains("missing");
    });
    int tips = 0;
    main->Actions().setHandler("actTips", [&tips](QAction*) { ++tips; });
    Options().ToolsVisible = false;
    Options().StatusbarVisible = false;
    Options().GridVisible = true;
    Options().ShowTips = true;

    // No language file at all: the labels and filters still get their English texts.
    main->FirstActivation({"/x/a.cur", "/x/missing.cur", "/x/c.cur"});
    EXPECT_EQ(filterRuns, 1);
    const std::array<QString, 9> english = {"R", "G", "B", "H", "S", "B", "Opacity", "H", "W"};
    EXPECT_EQ(main->StatusLabels(), english);
    EXPECT_EQ(opened, QStringList({"/x/a.cur", "/x/missing.cur"}));
    EXPECT_EQ(tips, 0);  // files were given
    EXPECT_FALSE(act("actnTools")->isChecked());
    EXPECT_TRUE(main->Forms().Pane(dsTools)->isHidden());
    EXPECT_FALSE(main->Forms().Pane(dsPreview)->isHidden());
    EXPECT_TRUE(main->statusBar()->isHidden());
    EXPECT_TRUE(act("actnGrid")->isChecked());
    EXPECT_NE(main->ToolCursor(crPencil), nullptr);
    EXPECT_EQ(main->ToolCursor(crCross)->shape(), Qt::CrossCursor);
    EXPECT_EQ(main->ToolCursor(crTestCursor), nullptr);

    // Once only.
    main->FirstActivation({"/x/again.cur"});
    EXPECT_EQ(opened.size(), 2);

    TfrmMain second;
    second.CreateForms();
    second.SetLanguageFolders({dir.filePath("languages")});
    second.Actions().setHandler("actTips", [&tips](QAction*) { ++tips; });
    second.FirstActivation({});
    EXPECT_EQ(tips, 1);
}

TEST_F(MainWindowTest, LayoutSurvivesARestartThroughTheSettingsFile) {
    main->FirstActivation({});
    main->Forms().Pane(dsPreview)->move(300, 120);
    act("actnColors")->trigger();  // hide the colour panel
    act("acttoolbar")->trigger();
    EXPECT_TRUE(main->Forms().Pane(dsColors)->isHidden());
    main->SaveLayout();
    EXPECT_FALSE(Options().ColorsVisible);
    EXPECT_FALSE(Options().ToolbarVisible);
    EXPECT_EQ(Options().PrevLeft, 300);
    const std::string path = dir.filePath("config/Velto/config.cfg").toStdString();
    ASSERT_TRUE(Options().SaveTo(path));

    main.reset();
    FreeOptions();
    CreateOptions(800, path);
    TfrmMain again;
    again.CreateForms();
    again.SetLanguageFolders({dir.filePath("languages")});
    again.FirstActivation({});
    EXPECT_TRUE(again.Forms().Pane(dsColors)->isHidden());
    EXPECT_FALSE(again.Action("actnColors")->isChecked());
    EXPECT_TRUE(again.ToolBar()->isHidden());
    EXPECT_EQ(again.Forms().Pane(dsPreview)->pos(), QPoint(300, 120));
    EXPECT_TRUE(again.isMaximized());
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
    // Typing a number into an edit field of a pane only types it.
    EXPECT_FALSE(main->KeyPreview(&edit, "3", Qt::Key_3));
    EXPECT_EQ(sizes, QList<int>({5}));
    EXPECT_TRUE(main->KeyPreview(&button, QString(QChar(27)), Qt::Key_Escape));
    EXPECT_EQ(selection.commits, 1);
    EXPECT_FALSE(main->KeyPreview(&edit, QString(QChar(27)), Qt::Key_Escape));
    // "+" runs the document's own zoom command when it is enabled.
    auto* zoomIn = new QAction(main->Desk(1));
    zoomIn->setObjectName("actZoomIn");
    int zooms = 0;
    QObject::connect(zoomIn, &QAction::triggered, [&zooms] { ++zooms; });
    EXPECT_TRUE(main->KeyPreview(&button, "+", Qt::Key_Plus));
    zoomIn->setEnabled(false);
    EXPECT_FALSE(main->KeyPreview(&button, "+", Qt::Key_Plus));
    EXPECT_EQ(zooms, 1);

    // Through real key events: the digit typed into the edit goes there alone.
    main->show();
    QApplication::setActiveWindow(main.get());
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_4);
    EXPECT_EQ(edit.text(), "4");
    EXPECT_EQ(sizes, QList<int>({5}));
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_2);
    EXPECT_EQ(sizes, QList<int>({5, 2}));
}

TEST_F(MainWindowTest, FilesHandedOverWhileAModalWindowIsOpenWaitForIt) {
    QStringList opened;
    main->SetFileOpener([&opened](const QString& p) {
        opened << p;
        return true;
    });
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
    for (int i = 0; i < 40 && opened.size() < 2; ++i) QTest::qWait(50);
    EXPECT_EQ(opened, QStringList({"/d/a.cur", "/d/b.ani"}));
    // Without a modal window they open at once.
    main->InstanceDenied({"/d/c.cur"});
    EXPECT_EQ(opened.size(), 3);
}

TEST_F(MainWindowTest, DroppedFilesOpenInOrderUntilOneFails) {
    QStringList opened;
    main->SetFileOpener([&opened](const QString& p) {
        opened << p;
        return !p.endsWith("bad.cur");
    });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/d/a.cur"), QUrl("https://example.org/x.cur"), QUrl::fromLocalFile("/d/bad.cur"),
                  QUrl::fromLocalFile("/d/" + QString(300, 'n') + ".ani")});
    auto dropOn = [&data](QWidget* target) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    };
    for (QWidget* target : {main->DocumentArea()->viewport(), static_cast<QWidget*>(main.get())}) {
        opened.clear();
        dropOn(target);
        EXPECT_EQ(opened, QStringList({"/d/a.cur", "/d/bad.cur"}));
    }
    data.setUrls({QUrl::fromLocalFile("/d/" + QString(300, 'n') + ".ani")});
    opened.clear();
    dropOn(main->DocumentArea()->viewport());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].size(), 3 + 300 + 4);  // no truncation of long names
}

TEST_F(MainWindowTest, DocumentsWhoseFileVanishedAskToBeSaved) {
    const QString path = dir.filePath("kept.cur");
    QFile(path).open(QIODevice::WriteOnly);
    ASSERT_TRUE(main->CreateDocumentWindow(path));
    last->SetFilePath(path);
    StubDesk* kept = last;
    ASSERT_TRUE(main->CreateDocumentWindow(dir.filePath("gone.cur")));
    last->SetFilePath(dir.filePath("gone.cur"));
    main->CheckDocumentFiles();
    EXPECT_TRUE(kept->Saved());
    EXPECT_FALSE(last->Saved());
}

TEST_F(MainWindowTest, CloseAllStopsAtTheFirstWindowThatIsKeptAndExitClearsAPicture) {
    newDesk();
    StubDesk* keep = newDesk();
    newDesk();
    keep->keep = true;
    EXPECT_FALSE(main->CloseAllDocuments());
    EXPECT_EQ(main->Desks().DeskCount(), 2);
    EXPECT_EQ(main->Desk(1), keep);
    keep->keep = false;
    EXPECT_TRUE(main->CloseAllDocuments());
    EXPECT_EQ(main->Desks().DeskCount(), 0);

    // At exit a picture on the clipboard is cleared, text is left alone.
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
