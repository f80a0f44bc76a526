#pragma once
// The Explorer pane: a folder tree over a thumbnail grid of the chosen
// folder's pictures and cursors, a size slider, captions on or off, favourite
// folders, and the commands that hand the selected files to the batch
// converter or the resource editor. A double-click opens the selected files.
#include <QWidget>

#include "shell/ModalForms.h"

class QAction;
class QFileSystemModel;
class QMenu;
class QSlider;
class QTimer;
class QToolBar;
class QTreeView;

namespace velto {

class TThumbail;
class TfrmMain;

class TfrmExplorer : public QWidget, public TExplorerCommands {
    Q_OBJECT
public:
    explicit TfrmExplorer(TfrmMain* main, QWidget* parent = nullptr);
    ~TfrmExplorer() override;

    // Fills the grid from the folder (the tree goes there too).
    void ShowFolder(const QString& folder);
    QString CurrentFolder() const;
    bool TreeEnabled() const { return treeEnabled_; }

    // Favourite folders, kept in the settings in the order added.
    void AddFavorite(const QString& folder);
    void DeleteFavorite(const QString& folder);
    // A favourite chosen from the menu: shown, or, when it no longer exists,
    // offered for removal.
    void FavoriteClick(const QString& folder);
    QMenu* FavoritesMenu() const { return pmFavorites_; }

    // TExplorerCommands
    bool HasSelection() const override;
    void BatchImagesToCursors() override;
    void BatchCursorsToImages() override;

    TThumbail* Grid() const { return grid_; }
    QTreeView* Tree() const { return stTree_; }
    QSlider* SizeSlider() const { return tbSize_; }
    QAction* CaptionAction() const { return actCaption_; }
    // The selected tiles' files, in selection order.
    QStringList SelectedFiles() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void TreeChanged();
    void Refresh();
    void RebuildFavoritesMenu();
    void SetControlsEnabled(bool on);

    TfrmMain* main_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QAction* actRefresh_ = nullptr;
    QAction* actCaption_ = nullptr;
    QAction* actFavorites_ = nullptr;
    QSlider* tbSize_ = nullptr;
    QTreeView* stTree_ = nullptr;
    QFileSystemModel* model_ = nullptr;
    TThumbail* grid_ = nullptr;
    QMenu* pmExtract_ = nullptr;
    QMenu* pmFavorites_ = nullptr;
    QTimer* Timer1_ = nullptr;
    bool treeEnabled_ = true;
};

}  // namespace velto
