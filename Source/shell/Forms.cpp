#include "Forms.h"

#include "FormLanguage.h"
#include "FormUpdate.h"
#include "ModalForms.h"
#include "PaneFrame.h"
#include "Translator.h"

#include <QDialog>
#include <QHash>

namespace velto {

const std::array<FormInfo, 36> kStartupForms = {{
    {"frmMain", "Velto", 0},
    {"frmPreview", "Preview", dsPreview},
    {"frmTools", "Tools", dsTools},
    {"frmAbout", "About", 0},
    {"frmColors", "Colors", dsColors},
    {"frmOptions", "Preferences", 0},
    {"frmBrightness", "Brightness/Contrast", 0},
    {"frmColorBalance", "Color Balance", 0},
    {"frmHue", "Hue/Saturation", 0},
    {"frmFilter", "Custom Filter", 0},
    {"frmNewImage", "New Image", 0},
    {"frmProperties", "Properties", 0},
    {"frmDimension", "Dimension", 0},
    {"frmChangePal", "Warning", 0},
    {"frmRotate", "Free Rotate", 0},
    {"frmHotspot", "Cursor Hot Spot", 0},
    {"frmText", "Text", 0},
    {"frmImageBig", "Warning", 0},
    {"frmTips", "Tip Of The Day", 0},
    {"frmImport", "Import", 0},
    {"frmLanguage", "Download Languages", 0},
    {"frmUpdate", "Check For Update", 0},
    {"frmResourceEditor", "Resource Editor", 0},
    {"frmResourceProperties", "Resource Properties", 0},
    {"frmSnapshot", "Snapshot", 0},
    {"frmTest", "Cursor Test", 0},
    {"frmImportGif", "Import", 0},
    {"frmBrush", "", 0},
    {"frmExtract", "Extract", 0},
    {"frmOpacity", "Opacity", 0},
    {"frmShadow", "Shadow", 0},
    {"frmFrames", "Frames", 0},
    {"frmFadeout", "Fadeout", 0},
    {"frmBatch", "Batch Process", 0},
    {"frmExplorer", "Explorer", dsExplorer},
    {"frmDelete", "Delete Imges", 0},
}};

namespace {

QHash<QString, FormFactory>& Factories() {
    static QHash<QString, FormFactory> f;
    return f;
}

QHash<QString, PaneContentFactory>& PaneFactories() {
    static QHash<QString, PaneContentFactory> f;
    return f;
}

// The glue recomputed after a pane is dragged, its own slot first.
std::vector<int> GlueOrder(int slot) {
    switch (slot) {
        case dsTools: return {dsTools, dsColors, dsPreview, dsExplorer};
        case dsColors: return {dsColors, dsPreview, dsTools, dsExplorer};
        case dsPreview: return {dsPreview, dsTools, dsColors, dsExplorer};
        default: return {dsExplorer, dsPreview, dsColors, dsTools};
    }
}

// The windows the shell builds itself; a registered factory still wins.
FormFactory BuiltInFactory(const QString& name) {
    if (name == QLatin1String("frmLanguage")) return [](QWidget* main) { return new TfrmLanguage(main); };
    if (name == QLatin1String("frmUpdate")) return [](QWidget* main) { return new TfrmUpdate(main); };
    return {};
}

}  // namespace

void SetFormFactory(const QString& name, FormFactory factory) { Factories().insert(name, std::move(factory)); }

void SetPaneContentFactory(const QString& name, PaneContentFactory factory) {
    PaneFactories().insert(name, std::move(factory));
}

void TApplicationForms::CreateAll(QWidget* mainWindow, TDockMngr* dockMngr) {
    all_.clear();
    panes_.fill(nullptr);
    all_.append(mainWindow);
    for (size_t i = 1; i < kStartupForms.size(); ++i) {
        const FormInfo& info = kStartupForms[i];
        const QString name = QString::fromLatin1(info.name);
        QWidget* form = nullptr;
        if (info.paneSlot) {
            auto* pane = new PaneFrame(mainWindow, dockMngr, info.paneSlot, GlueOrder(info.paneSlot));
            pane->hide();
            panes_[static_cast<size_t>(info.paneSlot)] = pane;
            pane->setWindowTitle(QString::fromUtf8(info.caption));
            // The explorer is sized by the user, like the preview pane.
            if (info.paneSlot == dsExplorer) pane->SetResizable(true);
            if (auto f = PaneFactories().value(name)) {
                if (QWidget* content = f(pane)) pane->SetContent(content);
            } else {
                // Until its contents come, an empty pane keeps the size it will have.
                static const QSize sizes[6] = {{}, {}, {235, 170}, {171, 330}, {64, 330}, {244, 400}};
                pane->resize(sizes[info.paneSlot]);
            }
            form = pane;
        } else if (FormFactory f = Factories().value(name); f || (f = BuiltInFactory(name))) {
            form = f(mainWindow);
        }
        if (!form) {
            if (name == QLatin1String("frmBrush")) {
                // The brush outline floats over the canvas as a child window.
                form = new QWidget(mainWindow);
            } else {
                auto* dlg = new QDialog(mainWindow);
                dlg->setWindowTitle(QString::fromUtf8(info.caption));
                // Commands do not show it (ShowModalForm).
                MarkStandInForm(dlg);
                form = dlg;
            }
            form->hide();
        }
        form->setObjectName(name);
        MarkAsForm(form);
        all_.append(form);
    }
}

QWidget* TApplicationForms::Form(const QString& name) const {
    for (QObject* f : all_)
        if (f->objectName() == name) return static_cast<QWidget*>(f);
    return nullptr;
}

PaneFrame* TApplicationForms::Pane(int slot) const {
    return slot >= 1 && slot <= 5 ? panes_[static_cast<size_t>(slot)] : nullptr;
}

}  // namespace velto
