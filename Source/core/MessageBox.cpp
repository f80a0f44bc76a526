#include "core/MessageBox.h"

#include <mutex>

#include "core/Language.h"

namespace velto {
namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
MessageSink& sinkRef() {
    static MessageSink sink;
    return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard lock(sinkMutex());
    MessageSink old = std::move(sinkRef());
    sinkRef() = std::move(sink);
    return old;
}

void SilenceMessages() { SetMessageSink([](const MessageRequest&) { return int{mrNone}; }); }

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
    // A copy: the sink may replace itself (or be replaced) while a box is open.
    MessageSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = sinkRef();
    }
    const int result = sink ? sink(req) : (req.style == msOK ? idOK : mrNone);
    return (result >= idOK && result <= idNo) ? result : mrNone;
}

}  // namespace velto
