// The keys of the drawing tools (on no menu): each presses its tool's button;
// locked while a stroke is drawn. The tools' cursors, and the hotspot command.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "ToolArt.h"
#include "ToolController.h"

#include <QAction>

namespace velto {

namespace {

struct ToolKey {
    const char* action;
    TToolId tool;
};
constexpr ToolKey kToolKeys[] = {
    {"actselect", TToolId::Selection}, {"actcrop", TToolId::Crop},      {"acttext", TToolId::Text},
    {"acterase", TToolId::Eraser},     {"actfill", TToolId::Fill},      {"actspray", TToolId::Spray},
    {"actbrush", TToolId::Brush},      {"actpen", TToolId::Pencil},     {"actline", TToolId::Line},
    {"actrect", TToolId::Rectangle},   {"actround", TToolId::RoundRect}, {"actell", TToolId::Ellipse},
    {"actopac", TToolId::Opacity},     {"actgrad", TToolId::Gradient},  {"actpick", TToolId::Picker},
    {"actzoom", TToolId::Zoom},        {"actbright", TToolId::Brighten}, {"actblur", TToolId::Blur},
};

}  // namespace

void TfrmMain::SetupToolActions() {
    for (const ToolKey& k : kToolKeys) on(k.action, [this, tool = k.tool] { tools_->PressToolButton(tool); });
    on("actHotspot", [this] { tools_->HotspotCommand(); });
}

void TfrmMain::LockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(false);
}

void TfrmMain::UnlockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(true);
    // The opacity tool works on 32-bit images only, as when the image was chosen.
    TDeskWindow* d = ActiveDesk();
    Action("actopac")->setEnabled(!d || d->CurrentBitCount() == 32);
}

void TfrmMain::loadToolCursors() {
    for (int n = crFirstTool; n <= crLastTool; ++n) {
        QCursor c;
        if (MakeToolCursor(n, &c)) cursors_[static_cast<size_t>(n)] = new QCursor(c);
    }
    cursors_[crCross] = new QCursor(Qt::CrossCursor);
}

const QCursor* TfrmMain::ToolCursor(int number) const {
    return number >= 0 && number < static_cast<int>(cursors_.size()) ? cursors_[static_cast<size_t>(number)] : nullptr;
}

}  // namespace velto
