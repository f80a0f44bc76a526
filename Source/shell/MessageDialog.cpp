#include "shell/MessageDialog.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

namespace velto {
namespace {
struct Layout {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;  // the layout's first button
    QMessageBox::StandardButton escapeButton;
};

Layout layoutFor(MessageStyle style) {
    using B = QMessageBox;
    switch (style) {
    case msOKCancel: return {B::Ok | B::Cancel, B::Ok, B::Cancel};
    case msAbortRetryIgnore: return {B::Abort | B::Retry | B::Ignore, B::Abort, B::Abort};
    case msYesNoCancel: return {B::Yes | B::No | B::Cancel, B::Yes, B::Cancel};
    case msYesNo: return {B::Yes | B::No, B::Yes, B::No};
    case msRetryCancel: return {B::Retry | B::Cancel, B::Retry, B::Cancel};
    case msOK:
    default: return {B::Ok, B::Ok, B::Ok};
    }
}
}  // namespace

std::unique_ptr<QMessageBox> CreateMessageDialog(const MessageRequest& request, QWidget* parent) {
    const Layout layout = layoutFor(request.style);
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QString::fromStdString(request.caption),
                                             QString::fromStdString(request.text), layout.buttons, parent);
    box->setObjectName("MessageBox");
    box->setTextFormat(Qt::PlainText);  // file names may hold "<"
    box->setDefaultButton(layout.defaultButton);
    box->setEscapeButton(layout.escapeButton);
    return box;
}

int MessageResultFor(int standardButton) {
    switch (standardButton) {
    case QMessageBox::Ok: return idOK;
    case QMessageBox::Cancel: return idCancel;
    case QMessageBox::Abort: return idAbort;
    case QMessageBox::Retry: return idRetry;
    case QMessageBox::Ignore: return idIgnore;
    case QMessageBox::Yes: return idYes;
    case QMessageBox::No: return idNo;
    default: return mrNone;
    }
}

int ShowQtMessageBox(const MessageRequest& request) {
    // A window built off the GUI thread crashes or hangs the program: a call
    // from a worker is refused, said on the log, and answered as a box closed
    // without a choice (no caller takes that for a yes).
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        qWarning("Message box asked from a thread other than the GUI thread, not shown: %s",
                 request.text.c_str());
        return mrNone;
    }
    // Guarded: the owner may go away while the box runs its own event loop.
    QPointer<QMessageBox> box = CreateMessageDialog(request, QApplication::activeWindow()).release();
    const int button = box->exec();
    delete box.data();
    return MessageResultFor(button);
}

MessageSink InstallQtMessageSink() { return SetMessageSink(&ShowQtMessageBox); }

}  // namespace velto
