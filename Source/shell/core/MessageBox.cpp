#include "shell/core/MessageBox.h"

#include "shell/core/Language.h"

namespace velto {
namespace {
MessageSink& sinkRef() {
    static MessageSink sink;
    return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink old = std::move(sinkRef());
    sinkRef() = std::move(sink);
    return old;
}

MessageStyle MessageStyleFor(std::uint16_t b) {
    MessageStyle s = msOK;
    if ((b & mbAbort) && (b & mbRetry) && (b & mbIgnore)) s = msAbortRetryIgnore;
    if (b & mbOK) s = msOK;
    if ((b & mbOK) && (b & mbCancel)) s = msOKCancel;
    if ((b & mbRetry) && (b & mbCancel)) s = msRetryCancel;
    if ((b & mbYes) && (b & mbNo)) s = msYesNo;
    if ((b & mbYes) && (b & mbNo) && (b & mbCancel)) s = msYesNoCancel;
    return s;
}

std::string MessageCaption(int kind) {
    switch (kind) {
    case mkWarning: return Lang().GetMessage("msgCapWarning", "Warning");
    case mkError: return Lang().GetMessage("msgCapError", "Error");
    case mkInformation: return Lang().GetMessage("msgCapInformation", "Information");
    case mkConfirm: return Lang().GetMessage("msgCapConfirmation", "Confirm");
    case mkCustom: return Lang().GetMessage("msgCapCustom", "Custom");
    default: return {};
    }
}

int ShowMessageBox(const std::string& text, int kind, std::uint16_t buttons) {
    MessageRequest req;
    req.text = text;
    req.caption = MessageCaption(kind);
    req.kind = kind;
    req.buttons = buttons;
    req.style = MessageStyleFor(buttons);
    const MessageSink& sink = sinkRef();
    int result = sink ? sink(req) : (req.style == msOK ? idOK : mrNone);
    return (result >= idOK && result <= idNo) ? result : mrNone;
}

}  // namespace velto
