// The File menu: new, open, close, save, import and export, the recent
// files, exit.
#include "MainWindow.h"

#include "DocumentArea.h"
#include "MainWindowText.h"
#include "Options.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>

namespace velto {

void TfrmMain::SetupFileActions() {
    on("actnExit", [this] { close(); });
    on("actClose", [this] {
        if (TDeskWindow* d = ActiveDesk())
            if (QMdiSubWindow* f = d->Frame()) f->close();
    });
    on("actCloseAll", [this] { CloseAllDocuments(); });
    on("actClear", [this] {
        for (int i = 1; i <= TOptions::kRecentFiles; ++i) Options().SetRecentFile(i, "");
        UpdateRecentFilesMenu();
    });
}

void TfrmMain::UpdateFileActions() {
    TDeskWindow* d = ActiveDesk();
    Action("actnSave")->setEnabled(d && !d->Saved());
}

// ---------------------------------------------------------------- recent files

void TfrmMain::AddRecentFile(const QString& path) {
    RecentFileSlots recent;
    for (int i = 0; i < TOptions::kRecentFiles; ++i) recent[static_cast<size_t>(i)] = Options().GetRecentFile(i + 1);
    velto::AddRecentFile(recent, path.toStdString());
    for (int i = 0; i < TOptions::kRecentFiles; ++i) Options().SetRecentFile(i + 1, recent[static_cast<size_t>(i)]);
    UpdateRecentFilesMenu();
}

void TfrmMain::UpdateRecentFilesMenu() {
    for (QAction* a : recentItems_) {
        recentMenu_->removeAction(a);
        delete a;
    }
    recentItems_.clear();
    RecentFileSlots recent;
    for (int i = 0; i < TOptions::kRecentFiles; ++i) recent[static_cast<size_t>(i)] = Options().GetRecentFile(i + 1);
    for (const auto& [n, path] : RecentFileEntries(recent)) {
        const QString p = QString::fromStdString(path);
        auto* a = new QAction(QString::number(n) + ": " + MenuText(p), this);
        a->setData(p);
        connect(a, &QAction::triggered, this, [this, a] { OpenFile(a->data().toString()); });
        recentMenu_->addAction(a);
        recentItems_.append(a);
    }
}

bool TfrmMain::OpenFile(const QString& path) { return opener_ ? opener_(path) : false; }

bool TfrmMain::OpenFiles(const QStringList& paths) {
    for (const QString& p : paths)
        if (!OpenFile(p)) return false;
    return true;
}

}  // namespace velto
