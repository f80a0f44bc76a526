// Every command of the menus and the tool bar, run in a few typical states
// (no document; an icon of two images; an animated cursor with a floating
// selection and a step to undo): a command that is enabled somewhere must
// change something somewhere. What counts as a change is what a user could
// notice: a window or message shown, a web page opened, the documents, their
// windows, the panes and bars, the settings, the clipboard, the selection,
// the program closing.
#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QImage>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QToolBar>

#include <map>
#include <set>

#include "CommandFixture.h"
#include "shell/MainActions.h"
#include "shell/PaneFrame.h"

using namespace velto;

namespace {

// A selection that counts every change asked of it.
struct RecordingSelection : TSelectionAccess {
    bool empty = true, front = false;
    int owner = 0, calls = 0;
    bool Empty() const override { return empty; }
    int Owner() const override { return owner; }
    void SetOwner(int o) override {
        owner = o;
        ++calls;
    }
    bool InFront() const override { return front; }
    void SetInFront(bool f) override {
        front = f;
        ++calls;
    }
    void Commit() override {
        empty = true;
        ++calls;
    }
    void Clear() override {
        empty = true;
        ++calls;
    }
    void Lift(int, int, int, int, bool) override { ++calls; }
    bool Float(TmyImagePal&&, int, int) override { return ++calls, true; }
    void Resize(int, int) override { ++calls; }
    void MoveBy(int, int) override { ++calls; }
    void Copy() override { ++calls; }
    void Cut() override { ++calls; }
    bool Paste() override { return ++calls, true; }
    void MoveToWindow(int, int, int) override { ++calls; }
    void DropImage(const TmyImagePal&, int) override { ++calls; }
};

class CommandWalk : public velto::test::CommandTest {
protected:
    void SetUp() override {
        // The language window is real in the shell; here it is a scripted one too.
        SetFormFactory("frmLanguage", [this](QWidget* parent) {
            auto* d = new velto::test::ScriptedDialog(parent);
            d->runs = &runs;
            return d;
        });
        CommandTest::SetUp();
        main->SetSelection(&recorder);
        SetWebServer("http://127.0.0.1:9");  // never the internet
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, main.get(),
                         [this] { ++clipboardChanges; });
        QObject::connect(main.get(), &TfrmMain::closing, main.get(), [this] { ++closings; });
        settingsFile = dir.filePath("walk.cfg").toStdString();
    }
    void TearDown() override {
        main->SetSelection(&selection);
        SetWebServer({});
        CommandTest::TearDown();
        SetFormFactory("frmLanguage", {});
    }
    // What a user could notice, as lines of text.
    QStringList observe() {
        QStringList out;
        out << QString("shown %1 %2 %3 %4 %5 %6").arg(messages.size()).arg(dialogs.size()).arg(runs.size())
                   .arg(urls.size()).arg(clipboardChanges).arg(closings);
        out << QString("main %1 selection %2").arg(main->isVisible()).arg(recorder.calls);
        out << QString("bars %1 %2").arg(main->ToolBar()->isVisible()).arg(main->statusBar()->isVisible());
        for (int slot = dsPreview; slot <= dsExplorer; ++slot)
            if (PaneFrame* p = main->Forms().Pane(slot)) out << QString("pane %1 %2").arg(slot).arg(p->isHidden());
        for (const ActionSpec& s : MainActionTable())
            if (act(s.name)->isCheckable()) out << QString("%1 %2").arg(s.name).arg(act(s.name)->isChecked());
        Options().SaveTo(settingsFile);
        QFile cfg(QString::fromStdString(settingsFile));
        out << "settings " + (cfg.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(cfg.readAll(), QCryptographicHash::Md5).toHex() : "");
        out << QString("desks %1 active %2").arg(main->Desks().DeskCount()).arg(main->Desks().ActiveIndex());
        for (int i = 1; i <= main->Desks().DeskCount(); ++i) {
            auto* d = qobject_cast<TfrmDesk*>(main->Desk(i));
            if (!d) continue;
            QCryptographicHash h(QCryptographicHash::Md5);
            if (TmyIcon* doc = d->Document())
                for (int k = 0; k < doc->Count(); ++k) {
                    const TmyImagePal& img = doc->Image(k);
                    h.addData(QByteArray::number(img.Width()) + 'x' + QByteArray::number(img.Height()) + ' ' +
                              QByteArray::number(img.BitCount) + ' ' + QByteArray::number(img.HotSpotX()) + ',' +
                              QByteArray::number(img.HotSpotY()) + ' ' + QByteArray::number(img.Rate()));
                    for (const TmyPixel& p : img.Pixels())
                        h.addData(QByteArrayView(reinterpret_cast<const char*>(&p), sizeof p));
                }
            const QMdiSubWindow* frame = d->Frame();
            out << QString("desk %1 \"%2\" saved %3 item %4 zoom %5 undo %6 %7 frame %8 %9 grid %10 side %11 %12")
                       .arg(i).arg(d->windowTitle()).arg(d->Saved()).arg(d->ItemIndex()).arg(d->Zoom())
                       .arg(d->CanUndo()).arg(d->CanRedo())
                       .arg(frame ? QString("%1,%2 %3x%4").arg(frame->x()).arg(frame->y()).arg(frame->width()).arg(frame->height()) : "")
                       .arg(frame ? int(frame->windowState()) : -1).arg(d->GridVisible()).arg(d->SidebarVisible())
                       .arg(QString::fromLatin1(h.result().toHex()));
        }
        return out;
    }

    enum class State { NoDocument, Icon, Animation };
    void prepare(State state) {
        main->show();
        main->Actions().execute("actCloseAll");
        while (main->Desks().DeskCount() > 0) main->DiscardDocumentWindow(main->Desk(1));
        recorder.empty = true;
        recorder.front = false;
        recorder.owner = 0;
        if (state == State::Icon) {
            TfrmDesk* d = openIcon({Pattern({16, 16}, 32), Pattern({8, 8}, 8)});
            ASSERT_NE(d, nullptr);
            d->SetSaved(false);
        } else if (state == State::Animation) {
            TfrmDesk* d = openAnimation(3, {16, 16}, 32, "walk.ani");
            ASSERT_NE(d, nullptr);
            main->Actions().execute("actnnext");
            main->Actions().execute("actnFlipHoriz");  // a step to undo
            recorder.empty = false;
            recorder.owner = main->Desks().ActiveIndex();
            QImage picture(4, 4, QImage::Format_ARGB32);
            picture.fill(Qt::red);
            QGuiApplication::clipboard()->setImage(picture);
        }
        main->UpdateActions();
        main->UpdateClipboardActions();
        main->UpdateImageNavigation();
    }

    RecordingSelection recorder;
    std::string settingsFile;
    int clipboardChanges = 0, closings = 0;
};

TEST_F(CommandWalk, EveryEnabledCommandDoesSomething) {
    std::set<std::string> enabled, effective;
    for (State state : {State::NoDocument, State::Icon, State::Animation}) {
        bool dirty = true;
        for (const ActionSpec& s : MainActionTable()) {
            if (s.group == ActionGroup::Tools) continue;  // tool keys: no menu, no button
            if (dirty) prepare(state);
            dirty = false;
            main->UpdateActions();
            if (!act(s.name)->isEnabled() || !act(s.name)->isVisible()) continue;
            enabled.insert(s.name);
            const QStringList before = observe();
            main->Actions().execute(s.name);
            QCoreApplication::processEvents();
            if (observe() != before) {
                effective.insert(s.name);
                dirty = true;
            }
        }
    }
    for (const std::string& name : enabled) EXPECT_TRUE(effective.count(name)) << name << " is enabled and does nothing";
    // The walk saw the commands of every menu.
    EXPECT_GT(enabled.size(), 100u);
    for (const char* n : {"actnExit", "actnFlipHoriz", "actnPaste", "actnCopy", "actnnext", "actnPrev", "actUpdate",
                          "actMoreLanguages", "actToolAuto", "actTile"})
        EXPECT_TRUE(enabled.count(n)) << n;
}

// The walk tells a handler that does nothing from one that does something.
TEST_F(CommandWalk, AHandlerThatDoesNothingIsSeen) {
    prepare(State::Icon);
    main->Actions().setHandler("actForum", [](QAction*) {});
    const QStringList before = observe();
    main->Actions().execute("actForum");
    EXPECT_EQ(observe(), before);
    main->Actions().setHandler("actForum", [this](QAction*) { main->ToolBar()->hide(); });
    main->Actions().execute("actForum");
    EXPECT_NE(observe(), before);
}

}  // namespace
