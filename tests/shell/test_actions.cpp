// The command table against the built window: each row's menu place,
// mirror, pane, setting and flags; the menu tree the language files are keyed
// on; the rules that follow the image count and position; names that no
// command carries.
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "MainWindowFixture.h"
#include "shell/MainActions.h"
#include "shell/PaneFrame.h"

using namespace velto;
using velto::test::MainWindowTest;
using velto::test::StubDesk;

namespace {

// A menu or bar as text: command names, "-" for a separator, ">name(...)" for
// a submenu.
QString Tree(const QWidget* menu) {
    QStringList items;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) items << "-";
        else if (a->menu()) items << ">" + a->menu()->objectName() + "(" + Tree(a->menu()) + ")";
        else items << a->objectName();
    }
    return items.join(' ');
}

bool OnAMenu(QAction* a) {
    for (QObject* o : a->associatedObjects())
        if (qobject_cast<QMenu*>(o)) return true;
    return false;
}

}  // namespace

// Language files key the submenus by their places, and users find the items
// where they were: the table's order gives exactly this tree.
TEST_F(MainWindowTest, MenuTreeAndToolBarKeepEveryItemInItsPlace) {
    const QStringList expected = {
        "actnNew actnOpen actClose actCloseAll - actnSave actnSaveAs - actnImportBMP actexport actnCapture actnExtract "
        ">mnuRecentFiles(actClear -) - actnExit",
        "actnUndo actnRedo - actnCut actnCopy actnPaste actnDel - actSelectAll actDropSelection actFitToScreen "
        "actOriginalSize actBringToFront actSendToBack - actTransSel",
        "actnTools actnPreview actnColors actExplorer - acttoolbar actnStatusbar actnWindowToolbar actSideBar actnGrid "
        "actAutoZoom",
        "actnnewimage actndelimage actDeleteMore actDuplicateImage actImportImage - actnnext actnPrev actFrameUp "
        "actFrameDown actFramesReverse - actHotspot actnProp actTest actSnapshot",
        "actnFlipHoriz actnFlipVert actnRotateLeft actnRotateRight actnRotate actRotateFree actnDim - actnLeft actnRight "
        "actnUp actnDown - >mnuDataType(actn32bit actn24bit actn8bit actn4bit actnWin4bit actn1bit actnWin1bit)",
        "actnBrightness ActnHue actnColor actOpacity actFadeout - actnGrayscale actnInvert >mnuTint(actnRed actnGreen "
        "actnBlue actnYellow actnCyan actnMagenta) >mnuSwap(actnRedGreen actnRedBlue actnBreenBlue)",
        "actLast - >mnuBlur(actBlurNormal actBlurSoft actBlurMore actBlurMotion actAverage) >mnuSharpen(actSharpen "
        "actSharpenLess actSharpenMore actSharpenDir) >mnuEdges(actEdgesVert actEdgesHoriz actEnhanceEdges "
        "actEdgeDetect actEdgeStrong actEdgeWeak actContour) >mnuEmboss(actEmbossColor actEmbossLight actEmboss "
        "actEmbossDark) >mnuArtistic(actGlow actWaggle actPattern actPaintDark actPaintBright actShake actShakeLess "
        "actPale actScene) actShadow actAdvancedShadow actCustom - actFilterOnAlpha actSmooth",
        "actPreferences - >mnuLanguages(actMoreLanguages -) - actResEditor actBatch Action1 actBatch2 "
        "actIconsToLibrary",
        "actTile actTileHoriz actTileVert actCascade -",
        "actHelp actTutorials actTips - actForum actHomepage actDonate actUpdate - actnAbout",
    };
    const QList<QAction*> bar = main->menuBar()->actions();
    ASSERT_EQ(bar.size(), expected.size());
    for (qsizetype i = 0; i < bar.size(); ++i) {
        SCOPED_TRACE(bar[i]->menu()->objectName().toStdString());
        EXPECT_EQ(Tree(bar[i]->menu()), expected[i]);
    }
    EXPECT_EQ(Tree(main->ToolBar()),
              "actToolNew actToolOpen actToolSave - actToolCut actToolCopy actToolPaste - actToolUndo actToolRedo - "
              "actToolHotspot actToolTest actToolProp - actToolFilter actToolAntiAlias actToolTrans actToolAuto "
              "actToolEffect");
}

// Each fact of a row holds on the window: where the command sits, what a
// mirror runs, which pane a switch shows, which setting a switch flips,
// which commands drop the floating selection first.
TEST_F(MainWindowTest, EveryRowOfTheTableHoldsOnTheWindow) {
    StubDesk* d = newDesk();
    d->images = 3;
    d->index = 1;
    selection.empty = false;
    selection.owner = 1;
    for (const ActionSpec& row : MainActionTable()) {
        SCOPED_TRACE(row.name);
        QAction* a = act(row.name);
        EXPECT_EQ(a->isCheckable(), row.Has(Checkable));
        EXPECT_EQ(a->property("Tag").isValid() ? a->property("Tag").toInt() : -1, row.tag);
        if (row.menu != MenuId::None) {
            EXPECT_TRUE(main->findChild<QMenu*>(MenuOf(row.menu).name)->actions().contains(a));
        } else {
            EXPECT_FALSE(OnAMenu(a));
        }
        EXPECT_EQ(main->ToolBar()->actions().contains(a), row.group == ActionGroup::Toolbar);

        if (row.setting) {
            // Every switch of the same setting shows the flipped value.
            const bool before = Options().*row.setting;
            a->trigger();
            EXPECT_EQ(Options().*row.setting, !before);
            for (const ActionSpec& twin : MainActionTable())
                if (twin.setting == row.setting) {
                    EXPECT_EQ(act(twin.name)->isChecked(), !before) << twin.name;
                }
        } else if (row.mirrorOf) {
            // The button says what it runs.
            EXPECT_EQ(a->text(), act(row.mirrorOf)->text().remove("..."));
            QStringList ran;
            main->Actions().setHandler(row.mirrorOf, [&ran](QAction* x) { ran << x->objectName(); });
            act(row.mirrorOf)->setEnabled(true);
            a->setEnabled(true);
            a->trigger();
            EXPECT_EQ(ran, QStringList{row.mirrorOf});
        } else if (row.pane) {
            // The switch shows and hides its own pane, and no other.
            static const QHash<QString, QString> paneOf = {
                {"actnTools", "frmTools"}, {"actnPreview", "frmPreview"},
                {"actnColors", "frmColors"}, {"actExplorer", "frmExplorer"}};
            PaneFrame* pane = main->Forms().Pane(row.pane);
            ASSERT_NE(pane, nullptr);
            EXPECT_EQ(pane->objectName(), paneOf.value(row.name));
            for (bool on : {true, false}) {
                a->setChecked(!on);
                a->trigger();
                EXPECT_EQ(pane->isHidden(), !on);
            }
        } else if (row.group == ActionGroup::Main) {
            // Only the table's commit-first commands drop the selection of the
            // active window into its image; the handler is replaced, so that
            // nothing else runs.
            main->Actions().setHandler(row.name, [](QAction*) {});
            a->setEnabled(true);
            const int commits = selection.commits;
            a->trigger();
            EXPECT_EQ(selection.commits - commits, row.Has(CommitFirst) ? 1 : 0);
        }
    }
}

// A command that works on the image but left the floating selection out
// would save, export or convert the image without it.
TEST_F(MainWindowTest, CommandsThatDropTheSelectionFirst) {
    QStringList names = TfrmMain::CommitFirstActionNames();
    names.sort();
    EXPECT_EQ(names.join(' '),
              "actHotspot actImportImage actSnapshot actTest actexport actn1bit actn24bit actn32bit actn4bit actn8bit "
              "actnPaste actnRedo actnSave actnSaveAs actnUndo actnWin1bit actnWin4bit actndelimage actnnewimage");
}

TEST_F(MainWindowTest, ToolBarMirrorsTakeTheEnabledStateOfTheirCommand) {
    auto check = [this](const char* state) {
        SCOPED_TRACE(state);
        main->UpdateActions();
        for (const ActionSpec& row : MainActionTable())
            if (row.mirrorOf) {
                EXPECT_EQ(act(row.name)->isEnabled(), act(row.mirrorOf)->isEnabled()) << row.name;
            }
    };
    check("no document");
    StubDesk* d = newDesk();
    d->saved = false;
    selection.empty = false;
    selection.owner = 1;
    main->UpdateClipboardActions();
    check("an unsaved document with a selection");
    EXPECT_TRUE(act("actToolSave")->isEnabled());
    EXPECT_TRUE(act("actToolCut")->isEnabled());
}

// ---- the commands that follow the image count and the current image

struct PositionCase {
    const char* name;
    int images, index;  // images 0: no document open
    bool next, previous, up, down, deleteOne, severalImages;
};

void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.name; }

class ImagePositionTest : public MainWindowTest, public ::testing::WithParamInterface<PositionCase> {};

TEST_P(ImagePositionTest, CommandsFollowTheCountAndTheCurrentImage) {
    const PositionCase& c = GetParam();
    if (c.images > 0) {
        StubDesk* d = newDesk();
        d->images = c.images;
        d->index = c.index;
    }
    main->UpdateActions();
    main->UpdateImageNavigation();
    const std::pair<const char*, bool> expected[] = {
        {"actnnext", c.next},       {"actnPrev", c.previous},           {"actFrameUp", c.up},
        {"actFrameDown", c.down},   {"actndelimage", c.deleteOne},      {"actFramesReverse", c.severalImages},
        {"actDeleteMore", c.severalImages},
    };
    for (const auto& [name, on] : expected) EXPECT_EQ(act(name)->isEnabled(), on) << name;
}

INSTANTIATE_TEST_SUITE_P(Positions, ImagePositionTest,
                         ::testing::Values(
                             // name, images, index: next, previous, up, down, delete, several
                             PositionCase{"NoDocument", 0, 0, false, false, false, false, false, false},
                             PositionCase{"SingleImage", 1, 0, false, false, false, false, false, false},
                             PositionCase{"FirstOfThree", 3, 0, true, false, false, true, true, true},
                             PositionCase{"SecondOfThree", 3, 1, true, true, true, true, true, true},
                             PositionCase{"LastOfThree", 3, 2, false, true, true, false, true, true},
                             PositionCase{"SecondAndLastOfTwo", 2, 1, false, true, true, false, true, true}),
                         [](const ::testing::TestParamInfo<PositionCase>& info) { return std::string(info.param.name); });

// ---- names that no command carries

TEST_F(MainWindowTest, AnUnknownNameIsReportedAndGivesAnInertAction) {
    QStringList misses;
    TActionRegistry::SetMissHandler([&misses](const QString& name) { misses << name; });
    QAction* known = act("actnNew");
    EXPECT_TRUE(misses.isEmpty());
    EXPECT_TRUE(main->Actions().contains("actnNew"));
    EXPECT_FALSE(main->Actions().contains("actNoSuch"));
    EXPECT_TRUE(misses.isEmpty());  // asking is no miss

    QAction* inert = main->Action("actNoSuch");
    ASSERT_NE(inert, nullptr);
    EXPECT_NE(inert, known);
    EXPECT_FALSE(inert->isEnabled());
    EXPECT_FALSE(inert->isVisible());
    EXPECT_TRUE(inert->objectName().isEmpty());
    EXPECT_FALSE(OnAMenu(inert));
    // Whatever a caller did to it, the next miss gets it disabled again.
    inert->setEnabled(true);
    EXPECT_FALSE(main->Action("actNoSuch2")->isEnabled());

    // A handler for a missing name and a run of one are misses, and nothing runs.
    int runs = 0;
    main->Actions().setHandler("actMisspelt", [&runs](QAction*) { ++runs; });
    main->Actions().execute("actMisspelt");
    inert->trigger();
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(misses, QStringList({"actNoSuch", "actNoSuch2", "actMisspelt", "actMisspelt"}));
}

// Without a handler installed: release builds log the name and go on, debug
// builds stop on it.
TEST(ActionRegistryMiss, TheDefaultIsLoud) {
    test::EnsureGuiApp();
    const auto previous = TActionRegistry::SetMissHandler({});
#ifdef NDEBUG
    static QString logged;
    logged.clear();
    const QtMessageHandler oldLog = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg) logged += text;
        });
    TActionRegistry registry(nullptr);
    EXPECT_FALSE(registry.action("actNoSuch")->isEnabled());
    qInstallMessageHandler(oldLog);
    EXPECT_TRUE(logged.contains("actNoSuch")) << logged.toStdString();
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(TActionRegistry(nullptr).action("actNoSuch"), "actNoSuch");
#endif
    TActionRegistry::SetMissHandler(previous);
}
