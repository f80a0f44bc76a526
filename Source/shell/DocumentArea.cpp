#include "DocumentArea.h"

#include "MainWindow.h"
#include "Options.h"
#include "browse/FileNames.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QLayout>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace velto {

TDeskWindow::TDeskWindow(QWidget* parent) : QWidget(parent) {}

void TDeskWindow::SetFilePath(const QString& path) {
    filePath_ = path;
    if (!path.isEmpty()) setWindowTitle(path);
}

void TDeskWindow::closeEvent(QCloseEvent* event) {
    TfrmMain* main = frmMain();
    if (!CloseQuery()) {
        event->ignore();
        if (main) main->SetClosingAllCancelled();
        return;
    }
    event->accept();
    closing_ = true;
    if (main && Tag) main->RemoveDocumentWindow(Tag);
}

void TDeskWindow::MakeActive() {
    TfrmMain* main = frmMain();
    if (!main || closing_ || !Tag || main->Desks().ActiveIndex() == Tag) return;
    main->ActivateDesk(Tag);
}

QMdiSubWindow* TDeskWindow::Frame() const { return qobject_cast<QMdiSubWindow*>(parentWidget()); }

TDocumentArea::TDocumentArea(QWidget* parent) : QMdiArea(parent) {
    setObjectName("Panel1");
    setAcceptDrops(true);
    viewport()->setMouseTracking(true);
}

QMdiSubWindow* TDocumentArea::AddDesk(TDeskWindow* desk) {
    QMdiSubWindow* sw = addSubWindow(desk);
    if (QMenu* menu = sw->systemMenu())
        for (QAction* a : menu->actions()) a->setShortcuts({});
    sw->setMinimumSize(120, 120);
    return sw;
}

int CascadeStep(QMdiSubWindow* frame) {
    if (frame->layout()) frame->layout()->activate();
    const QWidget* client = frame->widget();
    return std::max(0, frame->height() - (client ? client->height() : 0) - 4);
}

QStringList DroppedFiles(const QMimeData* data) {
    QStringList out;
    if (!data) return out;
    for (const QUrl& url : data->urls())
        if (const QString name = FileNameOfUrl(url); !name.isEmpty())
            out << QDir::cleanPath(name);  // a string's work: the name may hold kept bytes
    return out;
}

bool TDocumentArea::TakesSelection(const QDropEvent* event) const {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kSelectionMimeType)) || !Options().AllowDragAndDrop)
        return false;
    const QPoint at = event->position().toPoint();
    for (const QMdiSubWindow* sw : subWindowList())
        if (sw->isVisible() && sw->geometry().contains(at)) return false;
    return true;
}

void TDocumentArea::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
    else if (TakesSelection(event)) event->accept();
    else QMdiArea::dragEnterEvent(event);
}

void TDocumentArea::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
    else if (TakesSelection(event)) event->accept();
    else QMdiArea::dragMoveEvent(event);
}

void TDocumentArea::dropEvent(QDropEvent* event) {
    if (TakesSelection(event)) {
        event->accept();
        emit selectionDropped();
        return;
    }
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) {
        QMdiArea::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(files);
}

bool TDocumentArea::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseMove) emit mouseMoved();
    return QMdiArea::viewportEvent(event);
}

}  // namespace velto
