#pragma once
// The program's one message box. The text and caption are decided here; how
// the box is shown is up to the installed sink (the Qt dialog in the editor, a
// script in tests, nothing at all in headless tools).
#include <cstdint>
#include <functional>
#include <string>

namespace velto {

// Kinds of message box; the caption is the translation of the kind's key.
enum MessageKind : std::uint8_t {
    mkWarning = 0,
    mkError = 1,
    mkInformation = 2,
    mkConfirm = 3,
    mkCustom = 4,
};

// Button set, as bits.
enum MessageButton : std::uint16_t {
    mbYes = 1,
    mbNo = 2,
    mbOK = 4,
    mbCancel = 8,
    mbAbort = 16,
    mbRetry = 32,
    mbIgnore = 64,
};

// Results: the dialog result codes callers compare with (6 Yes, 7 No).
enum MessageResult : int {
    mrNone = 0,
    idOK = 1,
    idCancel = 2,
    idAbort = 3,
    idRetry = 4,
    idIgnore = 5,
    idYes = 6,
    idNo = 7,
};

// The button layouts a box can have, chosen from the requested set.
enum MessageStyle : int {
    msOK = 0,
    msOKCancel = 1,
    msAbortRetryIgnore = 2,
    msYesNoCancel = 3,
    msYesNo = 4,
    msRetryCancel = 5,
};

struct MessageRequest {
    std::string text;
    std::string caption;
    int kind = mkWarning;
    std::uint16_t buttons = 0;  // as asked by the caller
    MessageStyle style = msOK;  // the layout actually shown
};

// Shows the box and returns the code of the button chosen (1..7), or 0.
using MessageSink = std::function<int(const MessageRequest&)>;

// Installs the sink and returns the previous one. With no sink, every box
// answers as if closed at once: OK for OK-only boxes, else 0.
MessageSink SetMessageSink(MessageSink sink);

// For headless programs (fuzz targets, command-line tools): installs a sink
// that shows nothing and answers every box as closed without a choice (0).
void SilenceMessages();

// The layout chosen for a button set: later matches replace earlier ones.
MessageStyle MessageStyleFor(std::uint16_t buttons);

// The translated caption of a kind; empty for an unknown kind.
std::string MessageCaption(int kind);

int ShowMessageBox(const std::string& text, int kind, std::uint16_t buttons);

}  // namespace velto
