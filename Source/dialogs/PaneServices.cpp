#include "PaneServices.h"

#include <QColorDialog>
#include <QFileDialog>

#include "shell/Desk.h"
#include "shell/ImageEdit.h"
#include "shell/MainWindow.h"

namespace velto {

namespace {

ColorChooser& ColorChooserSlot() {
    static ColorChooser c;
    return c;
}

PaletteFileChooser& PaletteChooserSlot() {
    static PaletteFileChooser c;
    return c;
}

const char* const kOpenFilter =
    "Microsoft palette file (*.pal)|*.pal|Adobe Color Table (*.act)|*.act|"
    "All supported palette files (*.pal;*.act)|*.pal;*.act";
const char* const kSaveFilter = "Microsoft palette file (*.pal)|*.pal|Adobe Color Table (*.act)|*.act";

// The main window's active document window.
class TShellDocumentLink : public TDocumentLink {
public:
    TmyImagePal* CurrentImage() override {
        TfrmDesk* d = desk();
        return d ? d->CurrentImage() : nullptr;
    }
    void StoreUndo() override {
        if (TfrmDesk* d = desk(); d && d->CurrentImage()) TImageEdit(*d, TEditKind::PaletteFile).Begin();
    }
    void ImageChanged() override {
        if (TfrmDesk* d = desk()) d->ImageChanged();
    }
    void SetModified() override {
        if (TfrmDesk* d = desk(); d && d->CurrentImage()) TImageEdit(*d, TEditKind::Properties).Done();
    }
    bool PasteSelection(TmyImagePal& image) override {
        TfrmDesk* d = desk();
        return d && d->PasteSelectionInto(image);
    }

private:
    static TfrmDesk* desk() {
        TfrmMain* m = frmMain();
        return m ? dynamic_cast<TfrmDesk*>(m->ActiveDesk()) : nullptr;
    }
};

std::unique_ptr<TDocumentLink>& DocumentLinkSlot() {
    static std::unique_ptr<TDocumentLink> link;
    return link;
}

}  // namespace

void SetColorChooser(ColorChooser chooser) { ColorChooserSlot() = std::move(chooser); }

std::optional<QColor> ChooseColor(const QColor& initial, QWidget* parent) {
    if (ColorChooserSlot()) return ColorChooserSlot()(initial, parent);
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
}

QString ConvertFilter(const QString& filter) {
    // "desc|pat;pat|desc|pat" -> "desc (pat pat);;desc (pat)": the toolkit
    // splits patterns on blanks only.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        const QString pats = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
        if (open >= 0) desc = desc.left(open).trimmed();
        out << QStringLiteral("%1 (%2)").arg(desc, pats);
    }
    return out.join(QStringLiteral(";;"));
}

QString PaletteOpenFilter() { return ConvertFilter(QString::fromLatin1(kOpenFilter)); }
QString PaletteSaveFilter() { return ConvertFilter(QString::fromLatin1(kSaveFilter)); }

void SetPaletteFileChooser(PaletteFileChooser chooser) { PaletteChooserSlot() = std::move(chooser); }

QString ChoosePaletteFile(PaletteDialog which, const QString& title, QWidget* parent) {
    if (PaletteChooserSlot()) return PaletteChooserSlot()(which, title, parent);
    QFileDialog dlg(parent, title);
    const bool load = which == PaletteDialog::Load;
    dlg.setAcceptMode(load ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(load ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The palette writer asks about an existing file itself.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = (load ? PaletteOpenFilter() : PaletteSaveFilter()).split(QStringLiteral(";;"));
    dlg.setNameFilters(filters);
    if (load) dlg.selectNameFilter(filters.value(2));
    dlg.setDefaultSuffix(QStringLiteral("pal"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().first();
}

void SetDocumentLink(std::unique_ptr<TDocumentLink> link) { DocumentLinkSlot() = std::move(link); }

TDocumentLink& DocumentLink() {
    auto& slot = DocumentLinkSlot();
    if (!slot) slot = std::make_unique<TShellDocumentLink>();
    return *slot;
}

TToolPaletteLink& ToolPaletteLink() {
    static TToolPaletteLink link;
    return link;
}

}  // namespace velto
