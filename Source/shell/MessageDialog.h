#pragma once
// The Qt face of ShowMessageBox: a modal box without icon, captioned by the
// message kind, with the buttons of the chosen layout. The default button is
// the layout's first (OK, Yes, Abort or Retry), so Enter answers it; Escape
// answers Cancel where there is one, else No (yes/no), Abort (abort, retry,
// ignore) or OK.
#include <QMessageBox>
#include <memory>

#include "core/MessageBox.h"

class QWidget;

namespace velto {

// The box for a request; its exec() result goes through MessageResultFor.
std::unique_ptr<QMessageBox> CreateMessageDialog(const MessageRequest& request, QWidget* parent);

// The result code (idOK..idNo) of a standard button; 0 for any other.
int MessageResultFor(int standardButton);

// Shows the box modally, owned by the active window, and returns idOK..idNo or 0.
// Asked from any thread but the GUI thread (or without an application), it
// shows nothing, writes the text to the Qt log and returns 0.
int ShowQtMessageBox(const MessageRequest& request);

// Makes ShowQtMessageBox the program's message sink; returns the previous one.
MessageSink InstallQtMessageSink();

}  // namespace velto
