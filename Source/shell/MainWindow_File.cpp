// The File menu: new, open, close, save, import and export, the recent
// files, exit; the roads a file takes when it is opened.
#include "MainWindow.h"

#include "Desk.h"
#include "DocumentArea.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "PaneAccess.h"
#include "SaveWaits.h"
#include "browse/FileNames.h"
#include "core/MessageBox.h"
#include "icns/MacIcoIO.h"
#include "import/MyImport.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"

#include <QAction>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QStringList>

#include <algorithm>

namespace velto {

namespace {

void Warn(const QString& text, int kind = mkWarning) { ShowMessageBox(text.toStdString(), kind, mbOK); }

QString WithName(const char* key, const char* def, const QString& value) {
    return Msg(key, def).replace(QLatin1String("%s1"), value);
}

QString SizeText(const ImageSize& s) { return QString::number(s.Width) + 'x' + QString::number(s.Height); }

QString SizeList(const std::vector<ImageSize>& sizes) {
    QStringList out;
    for (const ImageSize& s : sizes) out << SizeText(s);
    return out.join(QLatin1String(", "));
}

// An animation whose frames hold several sizes keeps one of them; the user
// learns it on opening, not from a smaller file after saving.
void TellKeptFrameSize(const TmyANIIO::SizeReport& report) {
    if (report.Empty()) return;
    const QString text = Msg("msgAniSizes",
                             "Each frame of this animated cursor holds images of several sizes (%s1). Velto keeps "
                             "only the %s2 image of each frame, and saving writes only that size.")
                             .replace(QLatin1String("%s1"), SizeList(report.Sizes))
                             .replace(QLatin1String("%s2"), SizeList(report.Kept));
    ShowMessageBox(text.toStdString(), mkInformation, mbOK);
}

// The import reads the file as a picture: the picture road then opens it.
// Executables and libraries keep their own road: a picture format with no
// signature of its own could take one for a picture.
bool ReadsAsPicture(const QString& path) {
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    if (!ReadFileHead(FileNameBytes(path), 2, head, size) || (head.size() == 2 && head[0] == 'M' && head[1] == 'Z'))
        return false;
    return MyImport().ReadsAsPicture(FileNameBytes(path));
}

bool IsAppleIconPath(const QString& path) { return QFileInfo(path).suffix().toLower() == QLatin1String("icns"); }

// Documents are written in place only under a name of a kind we write (an
// Apple icon's through its own writer); any other (a picture's) goes through
// Save As.
bool IsDocumentPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("cur") || ext == QLatin1String("ico") || ext == QLatin1String("ani") ||
           IsAppleIconPath(path);
}

// The caption without its extension: the text from the last "." of the
// file-name part on is dropped.
QString WithoutExtension(const QString& caption) {
    const int slash = static_cast<int>(caption.lastIndexOf('/'));
    const int dot = static_cast<int>(caption.lastIndexOf('.'));
    return dot > slash ? caption.left(dot) : caption;
}

}  // namespace

void TfrmMain::SetupFileActions() {
    on("actnExit", [this] { close(); });
    on("actnNew", [this] { NewDocument(); });
    on("actnOpen", [this] {
        TFileDialogSpec* dlg = FileDialog("dlgOpenIcon");
        QStringList files;
        if (dlg && dialogRunner_ && dialogRunner_(*dlg, files)) OpenFiles(files);
    });
    on("actnSave", [this] { SaveDocument(qobject_cast<TfrmDesk*>(ActiveDesk())); });
    on("actnSaveAs", [this] { SaveDocumentAs(qobject_cast<TfrmDesk*>(ActiveDesk())); });
    on("actClose", [this] {
        if (TDeskWindow* d = ActiveDesk())
            if (QMdiSubWindow* f = d->Frame()) f->close();
    });
    on("actCloseAll", [this] { CloseAllDocuments(); });
    // Import Image: every picture chosen opens as a new document, in order,
    // until one fails.
    on("actnImportBMP", [this] {
        TFileDialogSpec* dlg = FileDialog("dlgOpenImage");
        QStringList files;
        if (!dlg || !dialogRunner_ || !dialogRunner_(*dlg, files)) return;
        for (const QString& f : files)
            if (!OpenFile(f)) break;
    });
    on("actexport", [this] { ExportImage(); });
    on("actnCapture", [this] { CaptureToNewDocument(); });
    // Extract: the chosen file opens by its road; executables and libraries
    // reach the extraction window.
    on("actnExtract", [this] {
        TFileDialogSpec* dlg = FileDialog("dlgExtractIcon");
        QStringList files;
        if (!dlg || !dialogRunner_ || !dialogRunner_(*dlg, files) || files.isEmpty()) return;
        OpenFile(files.first());
    });
    on("actClear", [this] {
        for (int i = 1; i <= TOptions::kRecentFiles; ++i) Options().SetRecentFile(i, "");
        UpdateRecentFilesMenu();
    });
}

void TfrmMain::UpdateFileActions() {
    TDeskWindow* d = ActiveDesk();
    Action("actnSave")->setEnabled(d && !d->Saved());
    Action("actnCapture")->setEnabled(bool(captureRunner_));
}

void TfrmMain::createFileDialogs() {
    auto add = [this](const char* name, const char* title, bool save, bool multi) {
        auto* d = new TFileDialogSpec(this, QString::fromLatin1(name), QString::fromLatin1(title));
        d->save = save;
        d->multiSelect = multi;
        fileDialogs_ << d;
        return d;
    };
    add("dlgOpenIcon", "Open", false, true);
    add("dlgSaveIcon", "Save As", true, false);
    // Picture import, export and extraction name their dialogs when they come.
    add("dlgOpenImage", "", false, true)->filterIndex = 8;  // All Formats
    add("dlgSaveImage", "", true, false);
    add("dlgExtractIcon", "", false, false);
    TranslateFileFilters();
}

TFileDialogSpec* TfrmMain::FileDialog(const QString& name) const {
    for (TFileDialogSpec* d : fileDialogs_)
        if (d->objectName() == name) return d;
    return nullptr;
}

// ---------------------------------------------------------------- new

bool TfrmMain::NewDocument() {
    const QPointer<TDeskWindow> before = ActiveDesk();
    if (!CreateDocumentWindow(QStringLiteral("Untitled"))) return false;
    const QPointer<TDeskWindow> desk = ActiveDesk();
    auto* form = FormAs<TNewImageForm>(QStringLiteral("frmNewImage"));
    if (form) form->SetNewImageMode(false);
    ShowModalForm(QStringLiteral("frmNewImage"));
    if (desk && !desk->IsClosing() && form && form->Added() && desk->ImageCount() > 0) {
        if (QMdiSubWindow* f = desk->Frame()) f->show();
        ActivateDesk(desk->Tag);
        return true;
    }
    // No image came (no dialog yet, or it was left without one): the empty
    // window gives its cascade step back and goes (the last window going
    // starts the cascade afresh), unless the dialog's Cancel closed it.
    if (desk && !desk->IsClosing()) {
        StepCascadeBack();
        DiscardDocumentWindow(desk);
    }
    // The user is back in the window of before, whichever the document
    // area would activate.
    if (before && !before->IsClosing() && before->Tag) ActivateDesk(before->Tag);
    return false;
}

// ---------------------------------------------------------------- opening

QString ResolveShellLink(const QString& link) {
    const QFileInfo info(link);
    return info.isSymLink() ? info.symLinkTarget() : QString();
}

bool TfrmMain::OpenFile(const QString& path) { return opener_ ? opener_(path) : false; }

bool TfrmMain::OpenFiles(const QStringList& paths) {
    for (const QString& p : paths)
        if (!OpenFile(p)) return false;
    return true;
}

bool TfrmMain::openByRoad(const QString& given) {
    // Names are kept absolute: a window's file, its caption and the recent
    // files must not depend on the folder the program was started in.
    QString path = given.isEmpty() ? given : QFileInfo(given).absoluteFilePath();
    if (QFileInfo(path).suffix().toLower() == QLatin1String("lnk")) {
        const QString target = ResolveShellLink(path);
        // A link that cannot be followed is reported under its own name.
        if (target.isEmpty()) {
            Warn(WithName("msgFileNotFound", "The file %s1 does not exist!", path));
            return false;
        }
        path = target;
    }
    // Whatever is there (a folder, a FIFO, a file that cannot be read) is
    // refused below with the reason; only a name that names nothing is
    // missing. Checked by the name's bytes: a name that is no UTF-8 is found too.
    const std::string bytes = FileNameBytes(path);
    if (!FileNameExists(path)) {
        Warn(WithName("msgFileNotFound", "The file %s1 does not exist!", path));
        return false;
    }
    setFocus();
    // What a killed save left goes back before anything reads the file (or is read instead of it).
    const auto earlier = TellOfUnfinishedSave(path);
    const FileCategoryResult road = FileCategory(bytes);
    if (!road.ok()) {
        Warn(WithReason(Msg("msgInvalidFormat", "Invalid File Format!"), road.error), mkError);
        setFocus();
        return false;
    }
    bool ok = false;
    std::int64_t size = 0;
    // An empty file is an invalid one, not a kind of file still to come.
    if (!IsRegularFileName(path, &size) || size == 0) {
        Warn(Msg("msgInvalidFormat", "Invalid File Format!"), mkError);
    } else if (road.category == fcDocument) {
        ok = OpenCursorFile(path);
    } else if (road.category == fcAppleIcon) {
        ok = OpenMacIconFile(path);
    } else if (road.category == fcImage ||
               (DetectFileType(bytes).type == ftUnknown && ReadsAsPicture(path))) {
        // Pictures detection does not name (Targa and others) the image
        // library may still read.
        ok = OpenImageFile(path);
    } else if (road.category == fcExtract && ShowExtractDialog(path)) {
        ok = true;
    } else {
        // Macintosh containers have no road yet.
        Warn(Msg("msgNotAvailable", "This kind of file cannot be opened yet!"));
    }
    // Only a file that opened is one to come back to.
    if (ok) AddRecentFile(path);
    setFocus();
    return ok;
}

bool TfrmMain::OpenCursorFile(const QString& path) {
    for (int i = 1; i <= desks_.DeskCount(); ++i) {
        if (Desk(i)->FilePath() != path) continue;
        ActivateDesk(i);
        Warn(Msg("msgAlreadyOpen", "The file is already open!"));
        // It is open: the newest of the recent files all the same.
        AddRecentFile(path);
        return false;
    }
    // A file that cannot be read leaves the user in the window of before, not
    // in whichever the document area would activate.
    const QPointer<TDeskWindow> before = ActiveDesk();
    if (!CreateDocumentWindow(path)) return false;
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    const std::uint8_t type = DetectFileType(FileNameBytes(path)).type;
    const bool animated = type == ftAnimatedCursor;
    std::unique_ptr<TmyIcon> doc;
    std::unique_ptr<ImyIconIO> reader;
    TmyANIIO* aniReader = nullptr;
    if (animated) {
        doc = std::make_unique<TmyANI>();
        auto ani = TmyANIIO::Create(true);
        aniReader = ani.get();
        reader = std::move(ani);
    } else {
        doc = std::make_unique<TmyIcon>();
        if (type == ftIcns) reader = TmyMacIcoIO::Create(true);
        else reader = TmyIcoIO::Create(true);
    }
    BusyCursorOn();
    const bool loaded = desk && reader->LoadFromFile(*doc, FileNameBytes(path)) && doc->Count() > 0;
    BusyCursorOff();
    if (!loaded) {
        DiscardDocumentWindow(ActiveDesk());
        if (before && !before->IsClosing() && before->Tag) ActivateDesk(before->Tag);
        // Some pictures (Targa files among them) begin like a cursor: what
        // the cursor reader refuses is tried as a picture before it counts
        // as invalid.
        if ((type == ftCursor || type == ftIcon) && ReadsAsPicture(path)) return OpenImageFile(path);
        Warn(Msg("msgInvalidFormat", "Invalid File Format!"), mkError);
        return false;
    }
    desk->SetDocument(std::move(doc));
    desk->SetDragItems(animated);
    desk->SetFilePath(path);
    showNewDocument(*desk);
    if (aniReader) TellKeptFrameSize(aniReader->FrameSizes);
    return true;
}

bool TfrmMain::NewDocumentFromIcon(std::unique_ptr<TmyIcon> doc) {
    if (!doc || doc->Count() == 0 || !CreateDocumentWindow(QStringLiteral("Untitled"))) return false;
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    if (!desk) return false;
    const bool animated = dynamic_cast<TmyANI*>(doc.get()) != nullptr;
    desk->SetDocument(std::move(doc));
    desk->SetDragItems(animated);
    desk->SetSaved(true);
    showNewDocument(*desk);
    return true;
}

void TfrmMain::showNewDocument(TfrmDesk& desk) {
    if (QMdiSubWindow* f = desk.Frame()) f->show();
    desk.Document()->SetItemIndex(0);
    desk.UpdateImageList(true);
    desk.SetZoom(desk.CurrentImage()->Zoom);
    desk.ImageChanged();
    desk.LayoutCanvas();
    // The panes, the undo and navigation commands follow the new window.
    ActivateDesk(desk.Tag);
    if (TColorPanelAccess* colors = ColorPanel(); colors && desk.CurrentImage()->Palette)
        colors->SyncWithPalette(*desk.CurrentImage()->Palette);
}

bool TfrmMain::ShowExtractDialog(const QString& path) {
    auto* form = FormAs<TExtractForm>(QStringLiteral("frmExtract"));
    if (!form) return false;
    form->SetFileName(path);
    ShowModalForm(QStringLiteral("frmExtract"));
    return true;
}

// The same steps as for cursors; the reader follows the file's content.
bool TfrmMain::OpenMacIconFile(const QString& path) { return OpenCursorFile(path); }

// ---------------------------------------------------------------- saving

namespace {

// The save error, followed on its own line by why the file could not be
// written as the system said it. A document the format cannot hold is no
// failure of the file: the message alone, as its writer said nothing more.
void WarnSaveFailed(const QString& path, FileError error) {
    Warn(SaveFailedText(path, error), mkError);
}

}  // namespace

bool TfrmMain::writeDocument(TfrmDesk* desk, const QString& path) {
    if (!desk->IsAnimated() && IsAppleIconPath(path)) {
        // The Apple icon writer may drop, refit and add images: the window
        // takes the document as written, and only once the file is written.
        TmyMacIcoIO writer(true);
        writer.Dithering = Options().Dithering ? TDither::On : TDither::Off;
        FileError error = FileError::None;
        BusyCursorOn();
        const bool ok = writer.SaveDocument(*desk->Document(), FileNameBytes(path), &error);
        BusyCursorOff();
        if (ok) {
            desk->UpdateImageList(true);
            desk->SetCurrentImage(desk->Document()->ItemIndex());
        } else if (error != FileError::None) {
            // A declined question or a document with nothing to write was said already.
            WarnSaveFailed(path, error);
        }
        return ok;
    }
    std::unique_ptr<ImyIconIO> writer;
    if (desk->IsAnimated()) writer = TmyANIIO::Create(true);
    else writer = TmyIcoIO::Create(true);
    BusyCursorOn();
    // The writers replace the file only after the whole new file is written.
    FileError error = FileError::None;
    const bool ok = writer->SaveToFile(*desk->Document(), FileNameBytes(path), Options().SavePngOption, &error);
    BusyCursorOff();
    if (!ok) WarnSaveFailed(path, error);
    return ok;
}

bool TfrmMain::SaveDocument(TfrmDesk* desk) {
    if (!desk || !desk->Document()) return false;
    const QString path = desk->FilePath();
    if (path.isEmpty() || !IsDocumentPath(path)) return SaveDocumentAs(desk);
    if (!writeDocument(desk, path)) return false;
    desk->SetSaved(true);
    AddRecentFile(path);
    UpdateActions();
    return true;
}

bool TfrmMain::SaveDocumentAs(TfrmDesk* desk) {
    TFileDialogSpec* dlg = FileDialog("dlgSaveIcon");
    if (!desk || !desk->Document() || !dlg || !dialogRunner_) return false;
    const bool animated = desk->IsAnimated();
    dlg->filter = SaveIconFilter(animated);
    dlg->filterIndex = 1;
    // A name typed without extension gets the one of the filter.
    dlg->defaultExt = animated ? "ani" : "cur";
    dlg->fileName = WithoutExtension(desk->windowTitle());
    QStringList files;
    if (!dialogRunner_(*dlg, files) || files.isEmpty()) return false;
    const QString path = WithDefaultSuffix(files.first(), dlg->defaultExt);
    if (QFileInfo::exists(path)) {
        const QString question = WithName("msgAlredyExists", "%s1 already exists! Overwrite?", QFileInfo(path).fileName());
        if (ShowMessageBox(question.toStdString(), mkConfirm, mbYes | mbNo) != idYes) return false;
    }
    if (!writeDocument(desk, path)) return false;
    desk->SetFilePath(path);
    desk->SetSaved(true);
    AddRecentFile(path);
    UpdateWindowMenu();
    UpdateActions();
    return true;
}

// ---------------------------------------------------------------- export

namespace {

// The picture formats that are written, in the dialog's order, with the
// extension a name typed without one gets. The dialog's icon formats are
// not offered: a picture export cannot write them.
constexpr const char* kExportExtensions[] = {".bmp", ".jpg", ".png", ".gif", ".jp2"};
constexpr int kExportFilters = 5;

// The first n description|patterns pairs of a stored filter.
QString FirstFilterPairs(const QString& filter, int n) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    return parts.mid(0, 2 * n).join(QLatin1Char('|'));
}

}  // namespace

bool TfrmMain::ExportImage() {
    auto* desk = qobject_cast<TfrmDesk*>(ActiveDesk());
    if (!desk || !desk->HasImages()) {
        Warn(Msg("msgNotSelected", "No image is selected!"));
        return false;
    }
    TFileDialogSpec* dlg = FileDialog("dlgSaveImage");
    if (!dlg || !dialogRunner_) return false;
    dlg->filter = FirstFilterPairs(FileDialogFilter(QStringLiteral("frmMain.dlgSaveImage")), kExportFilters);
    dlg->filterIndex = std::clamp(dlg->filterIndex, 1, kExportFilters);
    dlg->defaultExt.clear();
    dlg->fileName = WithoutExtension(desk->windowTitle());
    QStringList files;
    if (!dialogRunner_(*dlg, files) || files.isEmpty()) return false;
    QString path = files.first();
    if (QFileInfo(path).suffix().isEmpty() && dlg->filterIndex >= 1 && dlg->filterIndex <= kExportFilters)
        path += QLatin1String(kExportExtensions[dlg->filterIndex - 1]);
    if (QFileInfo::exists(path)) {
        const QString question = WithName("msgAlredyExists", "%s1 already exists! Overwrite?", QFileInfo(path).fileName());
        if (ShowMessageBox(question.toStdString(), mkConfirm, mbYes | mbNo) != idYes) return false;
    }
    const std::string file = path.toStdString();
    tmyimport& service = MyImport();
    const TmyImagePal& image = *desk->CurrentImage();
    FileError error = FileError::None;
    bool ok = false;
    BusyCursorOn();
    switch (ExportFormatOf(file)) {
        case efBmp: ok = service.SaveBmp(file, image, &error); break;
        case efJpeg: ok = service.SaveJpeg(file, image, &error); break;
        case efPng: ok = service.SavePng(file, image, &error); break;
        case efJpeg2000: ok = service.SaveJpeg2000(file, image, &error); break;
        case efGif:
            // An animation leaves as a GIF animation, a static cursor's current image alone.
            ok = desk->IsAnimated() ? service.SaveAnimationAsGif(file, *desk->Document(), &error)
                                    : service.SaveGif(file, image, &error);
            break;
        case efNone:
            BusyCursorOff();
            Warn(Msg("msgInvalidType", "Invalid file type!"));
            return false;
    }
    BusyCursorOff();
    if (!ok) WarnSaveFailed(path, error);
    return ok;
}

// ---------------------------------------------------------------- recent files

void TfrmMain::AddRecentFile(const QString& path) {
    RecentFileSlots recent;
    for (int i = 0; i < TOptions::kRecentFiles; ++i) recent[static_cast<size_t>(i)] = Options().GetRecentFile(i + 1);
    velto::AddRecentFile(recent, FileNameBytes(path));
    for (int i = 0; i < TOptions::kRecentFiles; ++i) Options().SetRecentFile(i + 1, recent[static_cast<size_t>(i)]);
    UpdateRecentFilesMenu();
}

void TfrmMain::UpdateRecentFilesMenu() {
    // Later: the item chosen may be the one whose command runs now.
    for (QAction* a : recentItems_) {
        recentMenu_->removeAction(a);
        a->deleteLater();
    }
    recentItems_.clear();
    RecentFileSlots recent;
    for (int i = 0; i < TOptions::kRecentFiles; ++i) recent[static_cast<size_t>(i)] = Options().GetRecentFile(i + 1);
    for (const auto& [n, path] : RecentFileEntries(recent)) {
        const QString p = FileNameText(path);
        auto* a = new QAction(QString::number(n) + ": " + MenuText(p), this);
        a->setData(p);
        connect(a, &QAction::triggered, this, [this, a] { OpenFile(a->data().toString()); });
        recentMenu_->addAction(a);
        recentItems_.append(a);
    }
}

}  // namespace velto
