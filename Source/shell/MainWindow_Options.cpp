// The Options menu: preferences, the Languages menu and the translation of
// the whole program, the resource editor and batch work.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "Translator.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace velto {

void TfrmMain::SetupOptionsActions() {
    onForm("actPreferences", "frmOptions");
    onForm("actMoreLanguages", "frmLanguage");
    onForm("actResEditor", "frmResourceEditor");
    onForm("actBatch", "frmBatch");
    // The explorer pane's selection to the batch converter (Create Icon
    // Library comes with the resource editor).
    on("Action1", [] {
        if (TExplorerCommands* e = ExplorerCommandsSlot()) e->BatchImagesToCursors();
    });
    on("actBatch2", [] {
        if (TExplorerCommands* e = ExplorerCommandsSlot()) e->BatchCursorsToImages();
    });
}

void TfrmMain::UpdateOptionsActions() {
    const TExplorerCommands* e = ExplorerCommandsSlot();
    const bool selected = e && e->HasSelection();
    for (const char* name : {"Action1", "actBatch2", "actIconsToLibrary"})
        Action(QString::fromLatin1(name))->setEnabled(selected);
}

// ---------------------------------------------------------------- languages and translation

QStringList TfrmMain::LanguageFolders() const {
    if (!languageFolders_.isEmpty()) return languageFolders_;
    QStringList out;
    for (const std::string& f : velto::LanguageFolders(QCoreApplication::applicationDirPath().toStdString()))
        out << QString::fromStdString(f);
    return out;
}

void TfrmMain::FillLanguageMenu() {
    for (QAction* a : languageItems_) {
        languagesMenu_->removeAction(a);
        delete a;
    }
    languageItems_.clear();
    std::vector<std::string> folders;
    for (const QString& f : LanguageFolders()) folders.push_back(f.toStdString());
    QAction* chosen = nullptr;
    for (const LanguageFile& file : ListLanguageFiles(folders)) {
        const QString name = QString::fromStdString(file.name);
        auto* a = new QAction(MenuText(name), this);
        a->setData(QString::fromStdString(file.path));
        a->setProperty("languageName", name);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a] { SelectLanguage(a); });
        languagesMenu_->addAction(a);
        languageItems_.append(a);
        if (!chosen && name.toStdString() == Options().Language) chosen = a;
    }
    if (chosen) SelectLanguage(chosen);
}

void TfrmMain::SelectLanguage(QAction* languageAction) {
    const QString oldUntitled = Msg("msgUntitled", "Untitled");
    for (QAction* a : languageItems_) a->setChecked(a == languageAction);
    Options().Language = languageAction->property("languageName").toString().toStdString();
    Lang().SetFileName(languageAction->data().toString().toStdString());
    TranslateApplication();
    // The walk gives "Last Effect" its plain caption back; name the effect again.
    if (lastEffect_) SetLastEffect(lastEffect_);
    const QString newUntitled = Msg("msgUntitled", "Untitled");
    TTranslator t;
    for (int i = 1; i <= desks_.DeskCount(); ++i) {
        TDeskWindow* d = Desk(i);
        t.TranslateForm("frmCanvas", d);
        d->LanguageChanged();
        QString caption = d->windowTitle();
        if (!oldUntitled.isEmpty() && caption.startsWith(oldUntitled))
            d->setWindowTitle(newUntitled + caption.mid(oldUntitled.size()));
    }
    TranslateStatusLabels();
    TranslateFileFilters();
    UpdateWindowMenu();
}

void TfrmMain::TranslateApplication() {
    TTranslator t;
    t.TranslateApplication(forms_.All().isEmpty() ? QList<QObject*>{this} : forms_.All());
    t.TranslateActionManager({menuBar()});
    t.TranslateActionManager({toolBar_});
}

void TfrmMain::TranslateStatusLabels() {
    static const std::pair<const char*, const char*> keys[9] = {
        {"msgRed", "R"},        {"msgGreen", "G"},   {"msgBlue", "B"},       {"msgHue", "H"},   {"msgSaturation", "S"},
        {"msgBrightness", "B"}, {"msgOpacity", "Opacity"}, {"msgHeight", "H"}, {"msgWidth", "W"},
    };
    for (size_t i = 0; i < 9; ++i) statusLabels_[i] = Msg(keys[i].first, keys[i].second);
}

void TfrmMain::TranslateFileFilters() {
    for (TFileDialogSpec* d : fileDialogs_) {
        const QString filter = FileDialogFilter("frmMain." + d->objectName());
        // Save As gets its filter from the document it saves.
        if (!filter.isEmpty()) d->filter = filter;
    }
    if (filterTranslator_) filterTranslator_();
}

}  // namespace velto
