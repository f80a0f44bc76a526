#pragma once
// The main window with real document windows: message boxes answered from a
// script, file dialogs answered from a script, files written to a temporary
// folder.
#include <QApplication>
#include <QFileInfo>
#include <QList>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <deque>

#include "MainWindowFixture.h"
#include "shell/Desk.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"

namespace velto::test {

struct ShownMessage {
    QString text;
    int kind;
    int buttons;
};

class DeskTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        // A main window of the program's own kind: its document windows and file roads.
        main.reset();
        main = makeMain();
        main->SetSelection(&selection);
        SetMessageSink([this](const MessageRequest& r) {
            shown.push_back({QString::fromStdString(r.text), r.kind, r.buttons});
            messages << QString::fromStdString(r.text);
            if (answers.empty()) return int(idOK);
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
        main->SetFileDialogRunner([this](TFileDialogSpec& spec, QStringList& files) {
            dialogs << spec.objectName();
            lastDialog = {spec.filter, spec.defaultExt, spec.fileName};
            if (dialogAnswers.empty()) return false;
            files = dialogAnswers.front();
            dialogAnswers.pop_front();
            return !files.isEmpty();
        });
        main->resize(1200, 900);
        main->show();
    }

    TfrmDesk* desk(int slot) const { return qobject_cast<TfrmDesk*>(main->Desk(slot)); }
    // The canvas point over the middle of image pixel (x, y).
    static QPoint At(TfrmDesk* d, int x, int y) {
        const TCanvasGeometry g = d->CanvasGeometry();
        return {x * g.zoom - g.hpos + g.zoom / 2, y * g.zoom - g.vpos + g.zoom / 2};
    }
    // A mouse event as the mouse gives it to widget w at its point p.
    static void SendMouse(QWidget* w, QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held,
                          Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(t, QPointF(p), w->mapToGlobal(QPointF(p)), b, held, mods);
        QApplication::sendEvent(w, &e);
    }
    // The Undo command's view of the history: the image before the last change.
    static const TmyImagePal* UndoOnce(TfrmDesk* d) {
        tmyUndo& u = d->UndoStore();
        if (!u.CanUndo()) return nullptr;
        if (u.StoreBeforeUndo()) u.Store(*d->CurrentImage());
        return u.Undo();
    }
    TfrmDesk* active() const { return qobject_cast<TfrmDesk*>(main->ActiveDesk()); }
    // Opens path through the main window's own roads.
    TfrmDesk* open(const QString& path) { return main->OpenFile(path) ? active() : nullptr; }
    QString tempPath(const QString& name) const { return dir.filePath(name); }
    // A document window holding doc, as a file dropped in would give it.
    TfrmDesk* openDocument(const TmyIcon& doc, const QString& name) {
        const QString path = tempPath(name);
        const bool ani = dynamic_cast<const TmyANI*>(&doc) != nullptr;
        const bool written = ani ? TmyANIIO(false).SaveToFile(doc, path.toStdString(), false)
                                 : TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false);
        EXPECT_TRUE(written) << path.toStdString();
        return open(path);
    }

    std::deque<int> answers;             // message-box answers in order (OK when empty)
    std::deque<QStringList> dialogAnswers;  // file-dialog answers (cancel when empty)
    QList<ShownMessage> shown;
    QStringList dialogs;
    struct {
        QString filter, defaultExt, fileName;
    } lastDialog;
};

}  // namespace velto::test
