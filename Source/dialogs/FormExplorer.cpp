#include "FormExplorer.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "FormBatch.h"
#include "browse/ThumbnailGrid.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"
#include "shell/MainWindowText.h"

namespace velto {

namespace {

bool SameFolder(const std::string& a, const QString& b) {
    return QString::fromStdString(a).compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

TfrmExplorer::TfrmExplorer(TfrmMain* main, QWidget* parent) : QWidget(parent), main_(main) {
    setObjectName(QStringLiteral("frmExplorerContent"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ActionToolBar1"));
    toolBar_->setIconSize(QSize(16, 16));
    actRefresh_ = toolBar_->addAction(style()->standardIcon(QStyle::SP_BrowserReload), QString());
    actRefresh_->setObjectName(QStringLiteral("actRefresh"));
    actRefresh_->setToolTip(QStringLiteral("Refresh"));
    actCaption_ = toolBar_->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QString());
    actCaption_->setObjectName(QStringLiteral("actCaption"));
    actCaption_->setToolTip(QStringLiteral("Show/Hide File Names"));
    actCaption_->setCheckable(true);
    actFavorites_ = toolBar_->addAction(style()->standardIcon(QStyle::SP_DirLinkIcon), QString());
    actFavorites_->setObjectName(QStringLiteral("actFavorites"));
    actFavorites_->setToolTip(QStringLiteral("Favorite folders"));
    tbSize_ = new QSlider(Qt::Horizontal, this);
    tbSize_->setObjectName(QStringLiteral("tbSize"));
    tbSize_->setToolTip(QStringLiteral("Thumbnail Size"));
    tbSize_->setRange(30, 200);
    tbSize_->setValue(100);
    tbSize_->setMaximumWidth(140);
    toolBar_->addSeparator();
    toolBar_->addWidget(tbSize_);
    lay->addWidget(toolBar_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("Splitter1"));
    model_ = new QFileSystemModel(this);
    // Folders only, hidden ones left out; FIFOs and devices never show.
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setRootPath(QStringLiteral("/"));
    stTree_ = new QTreeView(split);
    stTree_->setObjectName(QStringLiteral("stTree"));
    stTree_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) stTree_->hideColumn(c);
    stTree_->header()->hide();
    stTree_->setCurrentIndex(model_->index(QDir::homePath()));
    stTree_->scrollTo(stTree_->currentIndex());
    grid_ = new TThumbail(split);
    grid_->setObjectName(QStringLiteral("Thumbnails"));
    grid_->SetThumbnailSize(100);
    grid_->SetCanDrag(true);
    // Names hidden at first: the switch starts up.
    actCaption_->setChecked(grid_->ShowCaption());
    if (main_) grid_->SetStatusLabel(main_->StatusLabel());
    split->addWidget(stTree_);
    split->addWidget(grid_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    lay->addWidget(split, 1);

    // The grid's menu: the three commands of the main window (Create Icon
    // Library passes only cursor files, type 1, to the resource editor).
    pmExtract_ = new QMenu(this);
    pmExtract_->setObjectName(QStringLiteral("pmExtract"));
    if (main_)
        for (const char* name : {"Action1", "actBatch2", "actIconsToLibrary"})
            if (QAction* a = main_->Action(QString::fromLatin1(name))) pmExtract_->addAction(a);
    grid_->SetPopupMenu(pmExtract_);
    pmFavorites_ = new QMenu(this);
    pmFavorites_->setObjectName(QStringLiteral("pmFavorites"));
    QAction* add = pmFavorites_->addAction(QStringLiteral("Add current folder to favorites"));
    add->setObjectName(QStringLiteral("actAddFavorite"));
    QAction* del = pmFavorites_->addAction(QStringLiteral("Delete current folder from favorites"));
    del->setObjectName(QStringLiteral("actDelFavorite"));
    pmFavorites_->addSeparator();
    connect(add, &QAction::triggered, this, [this] { AddFavorite(CurrentFolder()); });
    connect(del, &QAction::triggered, this, [this] { DeleteFavorite(CurrentFolder()); });

    Timer1_ = new QTimer(this);
    Timer1_->setSingleShot(true);
    Timer1_->setInterval(100);
    connect(Timer1_, &QTimer::timeout, this, [this] { TreeChanged(); });
    connect(stTree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { TreeChanged(); });
    connect(tbSize_, &QSlider::valueChanged, grid_, &TThumbail::SetThumbnailSize);
    connect(actCaption_, &QAction::triggered, this, [this](bool on) { grid_->SetShowCaption(on); });
    connect(actRefresh_, &QAction::triggered, this, [this] { Refresh(); });
    connect(actFavorites_, &QAction::triggered, this, [this] {
        RebuildFavoritesMenu();
        pmFavorites_->popup(QCursor::pos());
    });
    connect(grid_, &TThumbail::itemDblClicked, this, [this] {
        if (main_) main_->OpenFiles(SelectedFiles());
    });
    // The commands' states follow the selection.
    // Queued on the main window: a fill that ends while the program closes
    // never reaches a main window being destroyed.
    auto update = [this] {
        if (main_) QTimer::singleShot(0, main_, [m = main_] { m->UpdateActions(); });
    };
    connect(grid_, &TThumbail::itemClicked, this, update);
    connect(grid_, &TThumbail::fillFinished, this, [this, update] {
        SetControlsEnabled(true);
        update();
    });
    ExplorerCommandsSlot() = this;
}

TfrmExplorer::~TfrmExplorer() {
    grid_->disconnect(this);
    grid_->Stop();
    if (ExplorerCommandsSlot() == this) ExplorerCommandsSlot() = nullptr;
}

QString TfrmExplorer::CurrentFolder() const { return model_->filePath(stTree_->currentIndex()); }

void TfrmExplorer::TreeChanged() {
    if (!treeEnabled_) return;
    treeEnabled_ = false;
    ShowFolder(CurrentFolder());
    treeEnabled_ = true;
}

void TfrmExplorer::ShowFolder(const QString& folder) {
    // A folder shown makes the deferred first fill moot.
    Timer1_->stop();
    const QModelIndex index = model_->index(folder);
    if (index.isValid() && stTree_->currentIndex() != index) {
        const bool was = treeEnabled_;
        treeEnabled_ = false;  // the tree follows without filling twice
        stTree_->setCurrentIndex(index);
        stTree_->scrollTo(index);
        treeEnabled_ = was;
    }
    // A fill under way gives way to the new folder. The tools rest while the
    // folder's tiles come in; the tree keeps the focus and walks on.
    grid_->Stop();
    SetControlsEnabled(false);
    grid_->LoadFolder(folder);
    if (!grid_->Busy()) SetControlsEnabled(true);
    if (main_) main_->UpdateActions();
}

void TfrmExplorer::SetControlsEnabled(bool on) {
    tbSize_->setEnabled(on);
    for (QAction* a : {actRefresh_, actCaption_, actFavorites_}) a->setEnabled(on);
}

void TfrmExplorer::Refresh() {
    treeEnabled_ = false;
    QString folder = CurrentFolder();
    // A folder that went away gives way to the nearest one that still exists.
    while (!folder.isEmpty() && !QDir(folder).exists()) folder = QFileInfo(folder).path();
    ShowFolder(folder.isEmpty() ? QDir::homePath() : folder);
    treeEnabled_ = true;
}

void TfrmExplorer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Timer1_->start();
}

// A fill under way stops before the pane goes.
void TfrmExplorer::hideEvent(QHideEvent* event) {
    Timer1_->stop();
    grid_->Stop();
    QWidget::hideEvent(event);
}

// ---------------------------------------------------------------- favourites

void TfrmExplorer::AddFavorite(const QString& folder) {
    if (folder.isEmpty()) return;
    auto& list = Options().FavoriteDirs;
    for (const std::string& f : list)
        if (SameFolder(f, folder)) return;
    list.push_back(folder.toStdString());
}

void TfrmExplorer::DeleteFavorite(const QString& folder) {
    auto& list = Options().FavoriteDirs;
    for (auto it = list.begin(); it != list.end(); ++it)
        if (SameFolder(*it, folder)) {
            list.erase(it);
            return;
        }
}

void TfrmExplorer::RebuildFavoritesMenu() {
    const QList<QAction*> items = pmFavorites_->actions();
    // Delete is offered for the current folder only when it is a favourite.
    const QString current = CurrentFolder();
    const auto& list = Options().FavoriteDirs;
    items[1]->setEnabled(
        std::any_of(list.begin(), list.end(), [&](const std::string& f) { return SameFolder(f, current); }));
    for (int i = 3; i < items.size(); ++i) {
        pmFavorites_->removeAction(items[i]);
        items[i]->deleteLater();
    }
    for (const std::string& f : Options().FavoriteDirs) {
        const QString folder = QString::fromStdString(f);
        QAction* a = pmFavorites_->addAction(folder);
        connect(a, &QAction::triggered, this, [this, folder] { FavoriteClick(folder); });
    }
}

void TfrmExplorer::FavoriteClick(const QString& folder) {
    if (QDir(folder).exists()) {
        ShowFolder(folder);
        return;
    }
    const QString text = Msg("msgDelFavorite", "The folder \"%s1\" does not exist. Remove it from favorites?")
                             .replace(QLatin1String("%s1"), folder);
    if (ShowMessageBox(text.toStdString(), mkConfirm, mbYes | mbNo) == idYes) DeleteFavorite(folder);
}

// ---------------------------------------------------------------- commands

QStringList TfrmExplorer::SelectedFiles() const {
    QStringList out;
    for (int i : grid_->Selection())
        if (i >= 0 && i < grid_->Count()) out << grid_->Item(i).FileName;
    return out;
}

bool TfrmExplorer::HasSelection() const { return grid_->SelectedCount() > 0; }

void TfrmExplorer::BatchImagesToCursors() {
    auto* batch = FormAs<TBatchForm>(QStringLiteral("frmBatch"));
    if (!batch) return;
    batch->PrepareImagesToCursors(SelectedFiles());
    batch->SetInitialDir(CurrentFolder());
    ShowModalForm(QStringLiteral("frmBatch"));
}

void TfrmExplorer::BatchCursorsToImages() {
    auto* batch = FormAs<TBatchForm>(QStringLiteral("frmBatch"));
    if (!batch) return;
    batch->PrepareCursorsToImages(SelectedFiles());
    batch->SetInitialDir(CurrentFolder());
    ShowModalForm(QStringLiteral("frmBatch"));
}

}  // namespace velto
