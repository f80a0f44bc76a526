#include "FormResourceEditor.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>

#include "DialogParts.h"
#include "FormResourceProperties.h"
#include "browse/FileNames.h"
#include "browse/ThumbnailGrid.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "model/Detect.h"
#include "platform/FileIO.h"
#include "resources/LibraryNames.h"
#include "resources/LibrarySave.h"
#include "resources/PeModule.h"
#include "shell/Desk.h"
#include "shell/FileDialogs.h"
#include "shell/Forms.h"
#include "shell/MainWindow.h"
#include "shell/ModalForms.h"
#include "shell/PaneFrame.h"
#include "shell/SaveWaits.h"
#include "shell/ToolArt.h"
#include "shell/MainWindowText.h"

namespace velto {

namespace {

int Ask(const QString& text, int kind, std::uint16_t buttons) {
    return ShowMessageBox(text.toStdString(), kind, buttons);
}

// The commands of the window: name, caption, hint, and the program's
// tool-bar picture it shows.
struct ActionRow {
    const char* name;
    const char* caption;
    const char* hint;
    const char* picture;
};
constexpr ActionRow kActions[] = {
    {"actNew", "New", "", "actToolNew"},
    {"actOpen", "Open", "", "actToolOpen"},
    {"actSave", "Save", "", "actToolSave"},
    {"actAdd", "Add", "Add Icon", "actNewImage"},
    {"actDel", "Delete", "Delete Icon", "actDelImage"},
    {"actChange", "Change", "", "actImportImage"},
    {"actProperties", "Properties", "", "actToolProp"},
};

// The caption a new library has until it is saved (as the window has
// always spelt it).
const QString kUntitled = QStringLiteral("Untiteled");

}  // namespace

TfrmResourceEditor::TfrmResourceEditor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmResourceEditor"));
    setWindowTitle(QStringLiteral("Resource Editor"));
    setModal(true);
    setMinimumSize(400, 300);
    setSizeGripEnabled(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    QWidget* header = MakeDialogHeader(this, QStringLiteral("Resource Editor"),
                                       QStringLiteral("Add or delete icons from your binary files"));
    header->setObjectName(QStringLiteral("pnlHeader"));
    if (auto* l = header->findChild<QLabel*>(QStringLiteral("Label1"))) l->setObjectName(QStringLiteral("lblCaption"));
    if (auto* l = header->findChild<QLabel*>(QStringLiteral("Label2"))) l->setObjectName(QStringLiteral("lblHelp"));
    root->addWidget(header);

    CreateActions();
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ActionToolBar1"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar_->setIconSize(QSize(16, 16));
    for (const char* name : {"actNew", "actOpen", "actSave", "", "actAdd", "actDel", "actChange", "", "actProperties"}) {
        if (*name) toolBar_->addAction(Action(QString::fromLatin1(name)));
        else toolBar_->addSeparator();
    }
    root->addWidget(toolBar_);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* panelRow = new QHBoxLayout(panel);
    panelRow->setContentsMargins(8, 2, 8, 2);
    lblFileName_ = new QLabel(panel);
    lblFileName_->setObjectName(QStringLiteral("lblFileName"));
    lblFileName_->setTextFormat(Qt::PlainText);
    panelRow->addWidget(lblFileName_, 1);
    panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    panel->hide();
    root->addWidget(panel);

    pmActions_ = new QMenu(this);
    pmActions_->setObjectName(QStringLiteral("pmActions"));
    pmActions_->addAction(Action(QStringLiteral("actAdd")));
    pmActions_->addAction(Action(QStringLiteral("actDel")));
    pmActions_->addAction(Action(QStringLiteral("actChange")));
    pmActions_->addSeparator();
    pmActions_->addAction(Action(QStringLiteral("actProperties")));

    grid_ = new TThumbail(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->SetThumbnailSize(65);
    grid_->SetCanDrag(false);
    grid_->SetShowCaption(true);
    grid_->SetPopupMenu(pmActions_);
    grid_->setFrameShape(QFrame::NoFrame);
    connect(grid_, &TThumbail::itemDblClicked, this, &TfrmResourceEditor::Properties);
    connect(grid_, &TThumbail::itemClicked, this, &TfrmResourceEditor::UpdateActions);
    connect(grid_, &TThumbail::clicked, this, &TfrmResourceEditor::UpdateActions);
    root->addWidget(grid_, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setTextVisible(false);
    progress_->hide();
    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    root->addWidget(bevel);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 0, 8, 0);
    bottom->addWidget(progress_, 1);
    bottom->addStretch(0);
    btnCancel_ = new QPushButton(QStringLiteral("Close"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    btnCancel_->setAutoDefault(false);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::close);
    bottom->addWidget(btnCancel_);
    root->addLayout(bottom);

    dlgOpen_ = new TFileDialogSpec(this, QStringLiteral("dlgOpen"), QStringLiteral("Open Resource"));
    dlgSave_ = new TFileDialogSpec(this, QStringLiteral("dlgSave"), QStringLiteral("Save Resource"));
    dlgSave_->save = true;
    dlgSave_->defaultExt = QStringLiteral("cul");
    dlgAdd_ = new TFileDialogSpec(this, QStringLiteral("dlgAdd"), QStringLiteral("Add Icons"));
    dlgAdd_->multiSelect = true;

    fileName_ = kUntitled;
    resize(640, 440);
    UpdateActions();
}

TfrmResourceEditor::~TfrmResourceEditor() = default;

void TfrmResourceEditor::CreateActions() {
    for (const ActionRow& row : kActions) {
        auto* a = new QAction(ToolbarIcon(QString::fromLatin1(row.picture)), QString::fromLatin1(row.caption), this);
        a->setObjectName(QString::fromLatin1(row.name));
        if (*row.hint) a->setToolTip(QString::fromLatin1(row.hint));
        addAction(a);
    }
    connect(Action(QStringLiteral("actNew")), &QAction::triggered, this, &TfrmResourceEditor::New);
    connect(Action(QStringLiteral("actOpen")), &QAction::triggered, this, &TfrmResourceEditor::Open);
    connect(Action(QStringLiteral("actSave")), &QAction::triggered, this, [this] { Save(); });
    connect(Action(QStringLiteral("actAdd")), &QAction::triggered, this, &TfrmResourceEditor::Add);
    connect(Action(QStringLiteral("actDel")), &QAction::triggered, this, &TfrmResourceEditor::Delete);
    connect(Action(QStringLiteral("actChange")), &QAction::triggered, this, &TfrmResourceEditor::Change);
    connect(Action(QStringLiteral("actProperties")), &QAction::triggered, this, &TfrmResourceEditor::Properties);
}

QAction* TfrmResourceEditor::Action(const QString& name) const { return findChild<QAction*>(name); }

void TfrmResourceEditor::UpdateActions() {
    const bool selected = grid_ && !grid_->Selection().empty();
    for (const char* name : {"actDel", "actProperties", "actChange"}) Action(QString::fromLatin1(name))->setEnabled(selected);
    Action(QStringLiteral("actSave"))->setEnabled(modified_);
}

void TfrmResourceEditor::SetModified(bool modified) {
    modified_ = modified;
    UpdateActions();
}

void TfrmResourceEditor::ShowFileName() {
    const QString shown = untitled_ ? QString() : fileName_;
    lblFileName_->setText(shown);
    lblFileName_->setToolTip(shown);
    // The band under the tool bar shows only when there is a file to name.
    lblFileName_->parentWidget()->setVisible(!shown.isEmpty());
}

bool TfrmResourceEditor::RunDialog(TFileDialogSpec* spec, QStringList& files) {
    // Filters follow the language chosen since the window was made.
    spec->filter = FileDialogFilter(QStringLiteral("frmResourceEditor.") + spec->objectName());
    files.clear();
    const bool ok = dialogRunner_ ? dialogRunner_(*spec, files) : RunFileDialog(*spec, files);
    return ok && !files.isEmpty();
}

TfrmResourceProperties* TfrmResourceEditor::PropertiesForm() {
    if (auto* shared = qobject_cast<TfrmResourceProperties*>(FindForm(QStringLiteral("frmResourceProperties"))))
        return shared;
    if (!ownProperties_) ownProperties_ = new TfrmResourceProperties(this);
    return ownProperties_;
}

void TfrmResourceEditor::AddPendingFiles(const QStringList& files) { pending_ << files; }

void TfrmResourceEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    progress_->hide();
    modified_ = false;
    New();
    if (!pending_.isEmpty()) AddFiles(pending_);
    pending_.clear();
}

void TfrmResourceEditor::reject() {
    // Closing (the Close button, Escape, the window's frame) asks first; a
    // save under way finishes before the window may go.
    if (saving_ || !AskSave()) return;
    QDialog::reject();
}

bool TfrmResourceEditor::AskSave() {
    if (!modified_) return true;
    const QString name = untitled_ ? fileName_ : QFileInfo(fileName_).fileName();
    const int answer =
        Ask(Msg("msgSave", "Save changes to %s1 ?").replace(QLatin1String("%s1"), name), mkConfirm, mbYes | mbNo | mbCancel);
    if (answer == idNo) return true;
    if (answer != idYes) return false;  // Cancel, or the box closed without a choice
    // The command asked for goes on only with the changes saved.
    return Save(false);
}

void TfrmResourceEditor::New() {
    if (!AskSave()) return;
    StartOver();
}

void TfrmResourceEditor::StartOver() {
    untitled_ = true;
    grid_->Clear();
    groupNames_.clear();
    fileName_ = kUntitled;
    deleteList_.clear();
    ShowFileName();
    SetModified(false);
}

void TfrmResourceEditor::Open() {
    if (!AskSave()) return;
    QStringList files;
    if (!RunDialog(dlgOpen_, files)) return;
    OpenFile(files.first());
}

void TfrmResourceEditor::OpenFile(const QString& fileName) {
    QCoreApplication::processEvents();
    // (What the library held before an unfinished save, where it cannot go back, is what is read.)
    const auto earlier = TellOfUnfinishedSave(fileName);
    BusyCursorOn();
    // Only an executable or library can take cursor groups: anything else is
    // said now, not when a save fails, and the window starts over.
    PeModule module;
    if (!module.Load(FileNameBytes(fileName))) {
        const std::string why = LastErrorText();
        BusyCursorOff();
        Ask(Msg("msgInvalidFormat", "Invalid File Format!") + QLatin1Char('\n') + QString::fromStdString(why),
            mkError, mbOK);
        StartOver();
        return;
    }
    untitled_ = false;
    grid_->LoadCursorResources(fileName, true);
    // The tiles show the group names as text; the typed names are kept by
    // text and language, so that a string name such as "#12A" stays a string
    // and an id stays an id.
    groupNames_.clear();
    const ResName type = ResName::FromId(RT_GROUP_CURSOR);
    for (const ResName& name : module.ResourceNames(type))
        for (const std::uint32_t language : module.ResourceLanguages(type, name))
            groupNames_.insert({QString::fromStdString(ResNameText(name)), static_cast<std::uint16_t>(language)}, name);
    fileName_ = fileName;
    ShowFileName();
    deleteList_.clear();
    SetModified(false);
    BusyCursorOff();
}

void TfrmResourceEditor::Add() {
    QStringList files;
    if (!RunDialog(dlgAdd_, files)) return;
    AddFiles(files);
}

void TfrmResourceEditor::AddFiles(const QStringList& files) {
    QCoreApplication::processEvents();
    BusyCursorOn();
    grid_->AddCursorFiles(files);
    SetModified(true);
    BusyCursorOff();
}

ResName TfrmResourceEditor::GroupNameOf(const TThumbnailItem& item) const {
    // A tile of a group read (or the cursor that replaces one) while it
    // keeps the group's name.
    if (!item.ResourceName.isEmpty() && item.Caption == item.ResourceName)
        if (const auto it = groupNames_.constFind({item.ResourceName, item.LanguageId}); it != groupNames_.constEnd())
            return *it;
    // Captions of new tiles are names the properties window accepted, or "#n".
    const std::optional<ResName> typed = ResNameToId(item.Caption.toStdString());
    return typed ? *typed : ResName::FromString(item.Caption.toStdU16String());
}

void TfrmResourceEditor::RememberDeletion(const TThumbnailItem& item) {
    deleteList_.emplace_back(GroupNameOf(item), item.LanguageId);
}

void TfrmResourceEditor::Change() {
    const int first = grid_->FirstSelected();
    if (first < 0) return;
    QStringList files;
    if (!RunDialog(dlgAdd_, files)) return;
    const FileTypeResult type = DetectFileType(FileNameBytes(files.first()));
    if (!type.ok() || type.type != ftCursor) return;  // only cursor files
    TThumbnailItem& item = grid_->Item(grid_->FirstSelected());
    // The group read from the library goes before the new cursor is stored
    // under its name and language.
    if (item.Kind == tkCursorGroup) RememberDeletion(item);
    grid_->ReplaceSelectedFromFile(files.first());
    SetModified(true);
}

void TfrmResourceEditor::Delete() {
    for (const int i : grid_->Selection()) {
        const TThumbnailItem& item = grid_->Item(i);
        if (item.Kind == tkCursorGroup) RememberDeletion(item);
    }
    grid_->DeleteSelected();
    SetModified(true);
}

void TfrmResourceEditor::Properties() {
    const int i = grid_->FirstSelected();
    if (i < 0) return;
    TThumbnailItem& item = grid_->Item(i);
    TfrmResourceProperties* form = PropertiesForm();
    form->SetName(item.Caption);
    form->SetLanguage(item.LanguageId);
    form->SetEditable(item.Kind == tkFile);
    const bool accepted = propertiesRunner_ ? propertiesRunner_(*form) : form->exec() == QDialog::Accepted;
    if (!accepted || !form->Editable()) return;
    const QString name = QString::fromStdString(CanonicalGroupName(form->GetName().toStdString()));
    const std::uint16_t language = form->GetLanguage();
    if (name == item.Caption && language == item.LanguageId) return;
    if (!grid_->IsNameLangUnique(name, language)) {
        Ask(Msg("msgResNameExists", "The resource name and language pair already exists"), mkWarning, mbOK);
        return;
    }
    // A group that keeps its name keeps its typed name in its new language;
    // a renamed one is named by its caption from now on.
    if (name == item.ResourceName && name == item.Caption && language != item.LanguageId)
        if (const auto it = groupNames_.constFind({item.ResourceName, item.LanguageId}); it != groupNames_.constEnd())
            groupNames_.insert({item.ResourceName, language}, *it);
    item.Caption = name;
    item.LanguageId = language;
    grid_->UpdateItem(i);
}

bool TfrmResourceEditor::Save() { return Save(true); }

bool TfrmResourceEditor::Save(bool closeAfter) {
    QCoreApplication::processEvents();
    QString target = fileName_;
    if (untitled_) {
        QStringList files;
        if (!RunDialog(dlgSave_, files)) return false;
        target = WithDefaultSuffix(files.first(), dlgSave_->defaultExt);
        // Asked here; the file itself stays until the new library replaces it whole.
        if (QFileInfo::exists(target) &&
            Ask(Msg("msgAlredyExists", "%s1 already exists! Overwrite?").replace(QLatin1String("%s1"), QFileInfo(target).fileName()),
                mkConfirm, mbYes | mbNo) != idYes)
            return false;
    }
    BusyCursorOn();
    TLibrarySave save;
    save.FileName = FileNameBytes(target);
    save.Untitled = untitled_;
    for (const auto& [name, language] : deleteList_) save.Deletions.push_back({name, language});
    for (int i = 0; i < grid_->Count(); ++i) {
        const TThumbnailItem& item = grid_->Item(i);
        if (item.Kind == tkFile)
            save.Stores.push_back({FileNameBytes(item.FileName), GroupNameOf(item), item.LanguageId});
    }
    progress_->setMaximum(static_cast<int>(save.Stores.size() + (untitled_ ? 0 : save.Deletions.size())));
    progress_->setValue(0);
    progress_->show();
    btnCancel_->setEnabled(false);
    saving_ = true;
    save.Progress = [this] {
        progress_->setValue(progress_->value() + 1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    const TLibrarySaveResult saved = SaveLibrary(save);
    const std::string why = LastErrorText();
    saving_ = false;
    BusyCursorOff();
    progress_->hide();
    btnCancel_->setEnabled(true);
    if (!saved) {
        QString text = Msg("msgErrorSaveRes", "Cannot save file. Make sure it is not read-only or compressed.");
        if (!why.empty()) text += QLatin1Char('\n') + QString::fromStdString(why);
        Ask(text, mkError, mbOK);
        return false;
    }
    if (saved.Outcome == TSaveOutcome::SavedWithoutBackup) {
        // Saved all the same: the user is to know that no backup holds what was there.
        const QString backup = FileNameShown(FileNameText(BackupName(save.FileName)));
        Ask(Msg("msgSaveNoBackup", "File saved, but its backup %s1 could not be written.")
                    .replace(QLatin1String("%s1"), backup) +
                QLatin1Char('\n') + QString::fromStdString(FileErrorText(saved.BackupError)),
            mkWarning, mbOK);
    } else {
        QString text = Msg("msgSaveSuccess", "File saved succesfully");
        // The update built on the library as it was before the unfinished save.
        if (saved.UndidUnfinishedSave)
            text += QLatin1Char('\n') + UnfinishedSaveUndone(target);
        Ask(text, mkInformation, mbOK);
    }
    untitled_ = false;
    fileName_ = target;
    ShowFileName();
    deleteList_.clear();
    SetModified(false);
    if (closeAfter) QDialog::accept();
    return true;
}

void SendCursorFilesToResourceEditor(const QStringList& files) {
    auto* editor = qobject_cast<TfrmResourceEditor*>(FindForm(QStringLiteral("frmResourceEditor")));
    if (!editor) return;
    editor->AddPendingFiles(files);
    editor->exec();
}

namespace {

// The cursor files selected in the explorer pane, in selection order; none
// while its folder fills (or without the pane).
QStringList ExplorerCursorFiles(TfrmMain& main) {
    QStringList files;
    PaneFrame* pane = main.Forms().Pane(5);
    TThumbail* grid = pane ? pane->findChild<TThumbail*>() : nullptr;
    if (!grid || grid->Busy()) return files;
    for (const int i : grid->Selection()) {
        const QString file = grid->Item(i).FileName;
        const FileTypeResult type = DetectFileType(FileNameBytes(file));
        if (type.ok() && type.type == ftCursor) files << file;
    }
    return files;
}

}  // namespace

QWidget* MakeResourceEditor(QWidget* mainWindow) {
    auto* editor = new TfrmResourceEditor(mainWindow);
    if (auto* main = qobject_cast<TfrmMain*>(mainWindow))
        main->Actions().setHandler(QStringLiteral("actIconsToLibrary"),
                                   [main](QAction*) { SendCursorFilesToResourceEditor(ExplorerCursorFiles(*main)); });
    return editor;
}

QWidget* MakeResourceProperties(QWidget* mainWindow) { return new TfrmResourceProperties(mainWindow); }

}  // namespace velto
