// The Image menu: flips, rotations and moves (one-click effects, see
// MainWindow_Effects.cpp), the rotate and dimension dialogs, and the colour
// depth (Data Type).
#include "MainWindow.h"

#include "Desk.h"
#include "ImageEdit.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"

namespace velto {

namespace {

struct DataTypeCommand {
    const char* action;
    int bits;
    bool fixedPalette;  // the Windows palette of the depth
};
constexpr DataTypeCommand kDataTypes[] = {
    {"actn32bit", 32, false}, {"actn24bit", 24, false}, {"actn8bit", 8, false},   {"actn4bit", 4, false},
    {"actn1bit", 1, false},   {"actnWin4bit", 4, true}, {"actnWin1bit", 1, true},
};

}  // namespace

void TfrmMain::SetupImageActions() {
    for (const DataTypeCommand& c : kDataTypes)
        on(c.action, [this, c] { ChangeColorDepth(c.bits, c.fixedPalette); });
    on("actRotateFree", [] { ShowModalForm(QStringLiteral("frmRotate")); });
    on("actnDim", [] { ShowModalForm(QStringLiteral("frmDimension")); });
}

void TfrmMain::UpdateImageActions() {}

bool TfrmMain::ChangeColorDepth(int bitCount, bool fixedPalette) {
    // Every frame of an animation keeps one format; an icon's image may not
    // take the format of another one (nor the one it has).
    TImageEdit edit(TEditFrames::AllOfAnimation);
    if (!edit.Valid() || edit.OnSelection()) return false;
    if (!edit.AllFrames()) {
        const TmyImagePal& image = *edit.Target();
        if (!edit.Desk()->Document()->CanAdd(image.Size(), bitCount)) {
            ShowMessageBox(Msg("msgNotUnique", "There is already an image with this format in the icon!").toStdString(),
                           mkWarning, mbOK);
            return false;
        }
    }
    if (!edit.Begin()) return false;
    const TPaletteKind kind = fixedPalette ? TPaletteKind::Windows : TPaletteKind::Optimised;
    const TDither dither = Options().Dithering ? TDither::On : TDither::Off;
    edit.Apply([&](TmyImagePal& image, TPaletteRule&) {
        velto::ChangeColorDepth(image, static_cast<TBitDepth>(bitCount), kind, dither);
    });
    edit.Finish();
    return true;
}

}  // namespace velto
