#include "Dialogs.h"

#include "FormColors.h"
#include "FormPreview.h"
#include "PaneServices.h"
#include "QuestionDialogs.h"
#include "core/SysUtils.h"
#include "shell/DocumentArea.h"
#include "shell/Forms.h"
#include "shell/MainWindow.h"
#include "shell/PaneFrame.h"

#include <QLabel>

namespace velto {

namespace {

// A pane of fixed contents takes their size (the frame adds its border and
// title bar).
void FitPaneTo(PaneFrame* frame, QSize content) {
    const int border = 2 * (frame->frameWidth() + 1);
    const int title = frame->TitleLabel()->parentWidget()->sizeHint().height();
    frame->resize(content.width() + border, content.height() + title + border);
}

QString SettingsFolderOf(TfrmMain* main) {
    return main ? main->SettingsFolder() : QString::fromStdString(GetSettingsFolder());
}

// The colour panel follows the main window: the saved layout, the active
// image's palette and depth, refreshes, and the favourites written at exit.
QWidget* MakeColors(PaneFrame* frame) {
    auto* main = qobject_cast<TfrmMain*>(frame->parentWidget());
    auto* colors = new TfrmColors(SettingsFolderOf(main), frame);
    FitPaneTo(frame, colors->size());
    if (!main) return colors;
    QObject::connect(main, &TfrmMain::layoutRestored, colors, &TfrmColors::RestoreFromOptions);
    QObject::connect(main, &TfrmMain::layoutSaving, colors, &TfrmColors::SaveToOptions);
    QObject::connect(main, &TfrmMain::closing, colors, &TfrmColors::SaveFavorites);
    QObject::connect(main, &TfrmMain::documentsRefreshing, colors, &TfrmColors::RefreshColors);
    // A window becoming active: palette mode and depth of its current image.
    QObject::connect(main, &TfrmMain::activeDeskChanged, colors, [colors](TDeskWindow* desk) {
        const TmyImagePal* image = desk ? DocumentLink().CurrentImage() : nullptr;
        if (!image) return;
        colors->ShowPalette(image->Palette ? &*image->Palette : nullptr);
        colors->SetBitCount(image->BitCount);
    });
    return colors;
}

QWidget* MakePreview(PaneFrame* frame) {
    auto* main = qobject_cast<TfrmMain*>(frame->parentWidget());
    frame->SetResizable(true);
    auto* preview = new TfrmPreview(SettingsFolderOf(main), frame);
    FitPaneTo(frame, preview->size());
    if (!main) return preview;
    QObject::connect(main, &TfrmMain::closing, preview, &TfrmPreview::SaveQuickColors);
    QObject::connect(main, &TfrmMain::documentsRefreshing, preview, [preview] {
        preview->ApplyPrevColor();
        if (const TmyImagePal* image = DocumentLink().CurrentImage()) preview->RefreshPreview(image);
    });
    // The image shown belongs to the active document: another window shows
    // its own, and the last one closing takes its image away.
    QObject::connect(main, &TfrmMain::activeDeskChanged, preview, [preview](TDeskWindow* desk) {
        preview->RefreshPreview(desk ? DocumentLink().CurrentImage() : nullptr);
    });
    return preview;
}

}  // namespace

void RegisterDialogs() {
    SetPaneContentFactory(QStringLiteral("frmColors"), MakeColors);
    SetPaneContentFactory(QStringLiteral("frmPreview"), MakePreview);
    SetFormFactory(QStringLiteral("frmChangePal"), [](QWidget* main) { return new TfrmChangePal(main); });
    SetFormFactory(QStringLiteral("frmImageBig"), [](QWidget* main) { return new TfrmImageBig(main); });
}

}  // namespace velto
