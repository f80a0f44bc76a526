#include "Dialogs.h"

#include "FormAbout.h"
#include "FormAdjust.h"
#include "FormCapture.h"
#include "FormColors.h"
#include "FormDelete.h"
#include "FormFadeout.h"
#include "FormFilter.h"
#include "FormHotspot.h"
#include "FormImport.h"
#include "FormBatch.h"
#include "FormExplorer.h"
#include "FormExtract.h"
#include "FormFrames.h"
#include "FormSnapshot.h"
#include "FormImportGif.h"
#include "ImportHooks.h"
#include "FormNewImage.h"
#include "FormOptions.h"
#include "FormPreview.h"
#include "FormProperties.h"
#include "FormResourceEditor.h"
#include "FormRotate.h"
#include "FormShadow.h"
#include "FormTest.h"
#include "FormText.h"
#include "FormTips.h"
#include "FormTools.h"
#include "PaneServices.h"
#include "QuestionDialogs.h"
#include "core/SysUtils.h"
#include "shell/DocumentArea.h"
#include "shell/Forms.h"
#include "shell/MainWindow.h"
#include "shell/ModalForms.h"
#include "shell/PaneFrame.h"
#include "shell/ToolController.h"

#include <QLabel>
#include <QPointer>

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

// The windows the tools open, found among the program's windows when needed.
void InstallToolWindows(TfrmMain* main) {
    const QPointer<TfrmMain> m(main);
    TToolWindows& w = main->Tools().Windows();
    w.AskText = [m](TTagColor color) -> std::optional<TTextStamp> {
        auto* form = m ? qobject_cast<TfrmText*>(m->Forms().Form(QStringLiteral("frmText"))) : nullptr;
        if (!form) return std::nullopt;
        form->exec();
        const std::optional<int> size = form->Size();
        if (!form->Accepted() || !size) return std::nullopt;
        return RenderTextStamp(form->ChosenFont(), *size, form->Text(), color);
    };
    w.EditHotspot = [m](THotspotRequest& r) {
        auto* form = m ? qobject_cast<TfrmHotspot*>(m->Forms().Form(QStringLiteral("frmHotspot"))) : nullptr;
        if (!form) return false;
        form->SetMaxX(r.MaxX);
        form->SetMaxY(r.MaxY);
        form->SetHotspotX(r.X);
        form->SetHotspotY(r.Y);
        if (form->exec() != QDialog::Accepted) return false;
        r.X = form->X();
        r.Y = form->Y();
        return true;
    };
    w.AskPaletteChoice = [m] {
        auto* form = m ? qobject_cast<TfrmChangePal*>(m->Forms().Form(QStringLiteral("frmChangePal"))) : nullptr;
        if (!form) return TPaletteChoice::Change;
        form->exec();
        return form->Choice == 1 ? TPaletteChoice::Keep : TPaletteChoice::Change;
    };
    w.AskPictureFitting = [m]() -> std::uint8_t {
        auto* form = m ? qobject_cast<TfrmImageBig*>(m->Forms().Form(QStringLiteral("frmImageBig"))) : nullptr;
        if (!form) return 0;
        form->IsImport = false;
        form->exec();
        return form->Choice;
    };
}

// The tool palette works the main window's tools; the colour panel reaches
// it for the palette-cell edit and the depth rule of the opacity tool, the
// keys "1".."7" for the brush size.
QWidget* MakeTools(PaneFrame* frame) {
    auto* main = qobject_cast<TfrmMain*>(frame->parentWidget());
    if (!main) return nullptr;
    auto* palette = new TfrmTools(main->Tools(), frame);
    FitPaneTo(frame, palette->size());
    const QPointer<TfrmTools> p(palette);
    const QPointer<TfrmMain> m(main);
    main->SetBrushSizeHandler([p](int size) { return p && p->ClickBrushSize(size); });
    ToolPaletteLink().ReplacePaletteColor = [m](const TmyPixel& oldColor, const TmyPixel& newColor, int cell) {
        return m && m->Tools().ReplacePaletteColor(oldColor, newColor, cell);
    };
    ToolPaletteLink().SetOpacityToolAvailable = [p](bool available) {
        if (p) p->SetOpacityToolAvailable(available);
    };
    InstallToolWindows(main);
    return palette;
}

// The cursor test window, and the command that writes the document out and
// tries it there.
QWidget* MakeTest(QWidget* mainWindow) {
    auto* form = new TfrmTest(mainWindow);
    if (auto* main = qobject_cast<TfrmMain*>(mainWindow))
        main->Actions().setHandler(QStringLiteral("actTest"), [main, form](QAction*) { RunCursorTest(*main, *form); });
    return form;
}

// The import service's windows: each installs the service's hooks with
// whichever of the two exists by then.
QWidget* MakeImport(QWidget* mainWindow) {
    auto* form = new TfrmImport(mainWindow);
    if (auto* main = qobject_cast<TfrmMain*>(mainWindow)) main->SetCaptureFrameRunner(RunCaptureFrame);
    InstallImportHooks(mainWindow, form, qobject_cast<TfrmImportGif*>(FindForm(QStringLiteral("frmImportGif"))));
    return form;
}

QWidget* MakeImportGif(QWidget* mainWindow) {
    auto* form = new TfrmImportGif(mainWindow);
    InstallImportHooks(mainWindow, qobject_cast<TfrmImport*>(FindForm(QStringLiteral("frmImport"))), form);
    return form;
}

}  // namespace

void RegisterDialogs() {
    SetPaneContentFactory(QStringLiteral("frmColors"), MakeColors);
    SetPaneContentFactory(QStringLiteral("frmPreview"), MakePreview);
    SetPaneContentFactory(QStringLiteral("frmTools"), MakeTools);
    SetPaneContentFactory(QStringLiteral("frmExplorer"), [](PaneFrame* frame) {
        return new TfrmExplorer(qobject_cast<TfrmMain*>(frame->parentWidget()), frame);
    });
    SetFormFactory(QStringLiteral("frmText"), [](QWidget* main) { return new TfrmText(main); });
    SetFormFactory(QStringLiteral("frmHotspot"), [](QWidget* main) { return new TfrmHotspot(main); });
    SetFormFactory(QStringLiteral("frmChangePal"), [](QWidget* main) { return new TfrmChangePal(main); });
    SetFormFactory(QStringLiteral("frmImageBig"), [](QWidget* main) { return new TfrmImageBig(main); });
    SetFormFactory(QStringLiteral("frmBrightness"), [](QWidget* main) { return new TfrmBrightness(main); });
    SetFormFactory(QStringLiteral("frmHue"), [](QWidget* main) { return new TfrmHue(main); });
    SetFormFactory(QStringLiteral("frmColorBalance"), [](QWidget* main) { return new TfrmColorBalance(main); });
    SetFormFactory(QStringLiteral("frmOpacity"), [](QWidget* main) { return new TfrmOpacity(main); });
    SetFormFactory(QStringLiteral("frmFilter"), [](QWidget* main) { return new TfrmFilter(main); });
    SetFormFactory(QStringLiteral("frmFadeout"), [](QWidget* main) { return new TfrmFadeout(main); });
    SetFormFactory(QStringLiteral("frmShadow"), [](QWidget* main) { return new TfrmShadow(main); });
    SetFormFactory(QStringLiteral("frmRotate"), [](QWidget* main) { return new TfrmRotate(main); });
    SetFormFactory(QStringLiteral("frmDimension"), [](QWidget* main) { return new TfrmDimension(main); });
    SetFormFactory(QStringLiteral("frmAbout"), [](QWidget* main) { return new TfrmAbout(main); });
    SetFormFactory(QStringLiteral("frmOptions"), [](QWidget* main) { return new TfrmOptions(main); });
    SetFormFactory(QStringLiteral("frmNewImage"), [](QWidget* main) { return new TfrmNewImage(main); });
    SetFormFactory(QStringLiteral("frmProperties"), [](QWidget* main) { return new TfrmProperties(main); });
    SetFormFactory(QStringLiteral("frmTips"), [](QWidget* main) { return new TfrmTips(main); });
    SetFormFactory(QStringLiteral("frmDelete"), [](QWidget* main) { return new TfrmDelete(main); });
    SetFormFactory(QStringLiteral("frmTest"), MakeTest);
    SetFormFactory(QStringLiteral("frmResourceEditor"), MakeResourceEditor);
    SetFormFactory(QStringLiteral("frmResourceProperties"), MakeResourceProperties);
    SetFormFactory(QStringLiteral("frmImport"), MakeImport);
    SetFormFactory(QStringLiteral("frmImportGif"), MakeImportGif);
    SetFormFactory(QStringLiteral("frmBatch"), [](QWidget* main) { return new TfrmBatch(main); });
    SetFormFactory(QStringLiteral("frmSnapshot"),
                   [](QWidget* main) { return new TfrmSnapshot(qobject_cast<TfrmMain*>(main), main); });
    SetFormFactory(QStringLiteral("frmExtract"),
                   [](QWidget* main) { return new TfrmExtract(qobject_cast<TfrmMain*>(main), main); });
    SetFormFactory(QStringLiteral("frmFrames"),
                   [](QWidget* main) { return new TfrmFrames(qobject_cast<TfrmMain*>(main), main); });
}

}  // namespace velto
