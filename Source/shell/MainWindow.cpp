#include "MainWindow.h"

#include "DocumentArea.h"
#include "MainActions.h"
#include "Options.h"
#include "PaneFrame.h"
#include "ToolArt.h"
#include "Translator.h"
#include "VistaCompat.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "core/SysUtils.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

namespace velto {

namespace {

TfrmMain* gMain = nullptr;

constexpr const char* kDocumentActions[TfrmMain::kDocumentActionCount] = {
    "actLast", "actnLeft", "actnRight", "actnUp", "actnDown", "actAverage", "actBlurNormal", "actBlurSoft",
    "actBlurMore", "actBlurMotion", "actnGrayscale", "actnInvert", "actnRed", "actnGreen", "actnBlue",
    "actnYellow", "actnCyan", "actnMagenta", "actnRedGreen", "actnRedBlue", "actnBreenBlue", "actn32bit",
    "actn24bit", "actn8bit", "actn4bit", "actnWin4bit", "actnWin1bit", "actn1bit", "actEdgesVert",
    "actEdgesHoriz", "actEnhanceEdges", "actEdgeDetect", "actEdgeStrong", "actEdgeWeak", "actContour",
    "actnUndo", "actnRedo", "actnCut", "actnCopy", "actnPaste", "actHotspot", "actTest", "actSnapshot",
    "actnDel", "actGlow", "actWaggle", "actPattern", "actPaintDark", "actPaintBright", "actShake",
    "actShakeLess", "actPale", "actScene", "actCustom", "actEmbossColor", "actEmbossLight", "actEmboss",
    "actEmbossDark", "actnSaveAs", "actnBrightness", "actClose", "actCloseAll", "actexport", "actShadow",
    "actOpacity", "ActnHue", "actAdvancedShadow", "actFadeout", "actnColor", "actnDim", "actnnewimage",
    "actImportImage", "actTile", "actTileHoriz", "actTileVert", "actCascade", "actnnext", "actnPrev",
    "actnFlipHoriz", "actnFlipVert", "actnRotateLeft", "actnRotateRight", "actnRotate", "actRotateFree",
    "actSharpen", "actSharpenLess", "actSharpenMore", "actSharpenDir", "actnProp",
};

constexpr const char* kCommitFirst[] = {
    "actn32bit", "actn24bit", "actn8bit", "actn4bit", "actn1bit", "actnWin1bit", "actnWin4bit",
    "actnUndo", "actnRedo", "actnPaste", "actHotspot", "actSnapshot", "actTest", "actnSave",
    "actnSaveAs", "actexport", "actnnewimage", "actndelimage", "actImportImage",
};

// Tool-bar mirrors: the command each one runs.
constexpr std::pair<const char*, const char*> kMirrorTargets[] = {
    {"actToolNew", "actnNew"},         {"actToolOpen", "actnOpen"},   {"actToolSave", "actnSave"},
    {"actToolCut", "actnCut"},         {"actToolCopy", "actnCopy"},   {"actToolPaste", "actnPaste"},
    {"actToolUndo", "actnUndo"},       {"actToolRedo", "actnRedo"},   {"actToolHotspot", "actHotspot"},
    {"actToolTest", "actTest"},        {"actToolProp", "actnProp"},
};

QString Msg(const char* key, const char* def) { return QString::fromStdString(Lang().GetMessage(key, def)); }

// A caption as shown in a menu: "&" is a literal ampersand, not a mnemonic.
QString MenuText(QString s) { return s.replace('&', QStringLiteral("&&")); }

QString HintOf(QString caption) {
    caption.remove('&');
    caption.remove(QStringLiteral("..."));
    return caption;
}

bool IsTextEntry(const QWidget* w) {
    if (!w) return false;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
        qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w))
        return true;
    auto* combo = qobject_cast<const QComboBox*>(w);
    if (combo && combo->isEditable()) return true;
    // A spin box's or editable combo's own line edit may hold the focus.
    return w->parentWidget() && (qobject_cast<const QAbstractSpinBox*>(w->parentWidget()) ||
                                 qobject_cast<const QComboBox*>(w->parentWidget()));
}

}  // namespace

TfrmMain* frmMain() { return gMain; }

// ---------------------------------------------------------------- creation

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent), actions_(this) {
    gMain = this;
    setObjectName("frmMain");
    MarkAsForm(this);
    setWindowTitle("Velto");
    setMinimumSize(600, 400);
    resize(640, 480);
    defaultSelection_ = std::make_unique<TSelectionAccess>();
    selection_ = defaultSelection_.get();
    deskFactory_ = [] { return new TDeskWindow(); };

    VistaFixes().FixTaskbarButton();
    altFix_ = new TVistaAltFix(this);
    VistaFixes().FixCreateParams(this);

    panel1_ = new TDocumentArea(this);
    setCentralWidget(panel1_);
    createActions();
    createMenus();
    createToolBar();
    statusBar()->setObjectName("StatusBar1");
    statusLabel_ = new QLabel(statusBar());
    statusLabel_->setMinimumWidth(50);
    statusBar()->addPermanentWidget(statusLabel_, 1);

    settingsFolder_ = QString::fromStdString(GetSettingsFolder());
    if (!settingsFolder_.isEmpty()) QDir().mkpath(settingsFolder_);

    DisableDocumentActions();
    setAcceptDrops(true);
    lastEffect_ = nullptr;
    connectCommands();

    connect(panel1_, &TDocumentArea::filesDropped, this, [this](const QStringList& files) { OpenFiles(files); });
    connect(panel1_, &TDocumentArea::mouseMoved, statusLabel_, &QLabel::clear);
    connect(panel1_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sw) {
        if (!sw) return;
        auto* desk = qobject_cast<TDeskWindow*>(sw->widget());
        if (desk && desk->Tag && desk->Tag != desks_.ActiveIndex()) ActivateDesk(desk->Tag);
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) CheckDocumentFiles();
    });
    qApp->installEventFilter(this);

    // The idle updates of the action states, and names handed over while a
    // modal window was open.
    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(250);
    connect(idleTimer_, &QTimer::timeout, this, [this] {
        UpdateActions();
        openQueued();
    });
    idleTimer_->start();
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    for (QCursor* c : cursors_) delete c;
    if (gMain == this) gMain = nullptr;
}

void TfrmMain::CreateForms() {
    forms_.CreateAll(this, &dockMngr_);
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) {
        PaneFrame* pane = forms_.Pane(slot);
        if (!pane) continue;
        connect(pane, &PaneFrame::paneHidden, this, [this, pane](int s) {
            // Only a pane hidden by itself: the main window hiding hides every child.
            if (!pane->isHidden()) return;
            static const char* names[] = {"", "", "actnPreview", "actnColors", "actnTools", "actExplorer"};
            if (QAction* a = Action(names[s])) a->setChecked(false);
        });
        connect(pane, &PaneFrame::paneShown, this, [this] { UpdateDockGlue(); });
    }
}

void TfrmMain::createActions() {
    for (const ActionSpec& spec : MainActionTable()) {
        QList<QKeySequence> keys;
        for (const QString& k : QString::fromLatin1(spec.keys).split(" | ", Qt::SkipEmptyParts))
            keys << QKeySequence::fromString(k, QKeySequence::PortableText);
        QAction* a = actions_.addCommand(spec.group, spec.name, QString::fromUtf8(spec.caption), keys);
        a->setCheckable(spec.checkable);
        if (spec.tag >= 0) a->setProperty("Tag", spec.tag);
        const QString hint = HintOf(a->text());
        if (!hint.isEmpty()) {
            a->setStatusTip(hint);
            a->setToolTip(hint);
        }
        if (spec.group == ActionGroup::Toolbar) a->setIcon(ToolbarIcon(spec.name));
        // Keys work for commands on no menu too (the tools' letters).
        addAction(a);
    }
    actions_.setPreExecuteHook([this](QAction* a) {
        // Commands that work on the image drop the floating selection into it first.
        static const QStringList commitFirst = CommitFirstActionNames();
        if (!commitFirst.contains(a->objectName())) return;
        if (desks_.ActiveIndex() && selection_->Owner() == desks_.ActiveIndex()) selection_->Commit();
    });
    actions_.setPostExecuteHook([this](QAction*) { UpdateActions(); });
}

void TfrmMain::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("ActionMainMenuBar1");
    QHash<QString, QMenu*> menus;
    // Submenus are built first so that their parents can take them in order.
    const auto table = MenuTable();
    std::function<QMenu*(const MenuSpec&, QWidget*)> build = [&](const MenuSpec& spec, QWidget* parent) {
        auto* menu = new QMenu(QString::fromUtf8(spec.caption), parent);
        menu->setObjectName(spec.name);
        for (const QString& item : QString::fromLatin1(spec.items).split(' ', Qt::SkipEmptyParts)) {
            if (item == "-") {
                menu->addSeparator();
            } else if (item.startsWith('>')) {
                for (const MenuSpec& sub : table)
                    if (item.mid(1) == QLatin1String(sub.name)) menu->addMenu(build(sub, menu));
            } else if (QAction* a = Action(item)) {
                menu->addAction(a);
            }
        }
        menus.insert(spec.name, menu);
        return menu;
    };
    for (int i = 0; i < kTopLevelMenus; ++i) bar->addMenu(build(table[static_cast<size_t>(i)], bar));
    windowMenu_ = menus.value("mnuWindow");
    recentMenu_ = menus.value("mnuRecentFiles");
    languagesMenu_ = menus.value("mnuLanguages");
}

void TfrmMain::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName("ActionToolBar1");
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setMovable(false);
    toolBar_->toggleViewAction()->setVisible(false);
    int i = 0;
    for (const char* name : ToolbarMirrors()) {
        // Groups: file, clipboard, undo, cursor, options.
        if (i == 3 || i == 6 || i == 8 || i == 11) toolBar_->addSeparator();
        toolBar_->addAction(Action(name));
        ++i;
    }
}

void TfrmMain::connectCommands() {
    auto on = [this](const char* name, std::function<void()> f) {
        actions_.setHandler(name, [f = std::move(f)](QAction*) { f(); });
    };
    for (const auto& [mirror, target] : kMirrorTargets) {
        const QString t = QString::fromLatin1(target);
        on(mirror, [this, t] { actions_.execute(t); });
    }
    // View switches (the action has flipped already).
    on("actnTools", [this] { showPane(dsTools, Action("actnTools")->isChecked()); });
    on("actnPreview", [this] { showPane(dsPreview, Action("actnPreview")->isChecked()); });
    on("actnColors", [this] { showPane(dsColors, Action("actnColors")->isChecked()); });
    on("actExplorer", [this] {
        if (PaneFrame* p = forms_.Pane(dsExplorer)) p->setVisible(Action("actExplorer")->isChecked());
        FormResize();
        UpdateDockGlue();
    });
    on("acttoolbar", [this] {
        toolBar_->setVisible(Action("acttoolbar")->isChecked());
        Options().ToolbarVisible = !toolBar_->isHidden();
        FormResize();
        UpdateDockGlue();
    });
    on("actnStatusbar", [this] {
        statusBar()->setVisible(Action("actnStatusbar")->isChecked());
        Options().StatusbarVisible = !statusBar()->isHidden();
        FormResize();
        UpdateDockGlue();
    });
    on("actnWindowToolbar", [this] {
        Options().LocalToolbarVisible = Action("actnWindowToolbar")->isChecked();
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetLocalToolbarVisible(Options().LocalToolbarVisible);
    });
    on("actnGrid", [this] {
        Options().GridVisible = !Options().GridVisible;
        Action("actnGrid")->setChecked(Options().GridVisible);
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetGridVisible(Options().GridVisible);
    });
    on("actSideBar", [this] {
        Options().SidebarVisible = !Options().SidebarVisible;
        Action("actSideBar")->setChecked(Options().SidebarVisible);
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->SetSidebarVisible(Options().SidebarVisible);
    });
    // Option switches shared by a menu command and its tool-bar twin.
    auto toggle = [this, on](const char* menuName, const char* barName, bool TOptions::*field,
                             std::function<void(bool)> extra) {
        auto flip = [this, field, extra] {
            Options().*field = !(Options().*field);
            if (extra) extra(Options().*field);
            UpdateActions();
        };
        if (menuName) on(menuName, flip);
        on(barName, flip);
    };
    toggle("actFilterOnAlpha", "actToolFilter", &TOptions::FilterOnAlpha, nullptr);
    toggle("actSmooth", "actToolAntiAlias", &TOptions::SmoothEdges, nullptr);
    toggle("actAutoZoom", "actToolAuto", &TOptions::Autozoom, [this](bool v) { RefreshAllDocuments(v); });
    toggle(nullptr, "actToolEffect", &TOptions::EffectOnAllImages, nullptr);
    toggle("actTransSel", "actToolTrans", &TOptions::TransparentSelection, nullptr);

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

// ---------------------------------------------------------------- document-window list

TDeskWindow* TfrmMain::Desk(int slot) const { return static_cast<TDeskWindow*>(desks_.Desk(slot)); }

TDeskWindow* TfrmMain::ActiveDesk() const { return Desk(desks_.ActiveIndex()); }

bool TfrmMain::CreateDocumentWindow(const QString& caption) {
    if (desks_.Full()) {
        ShowMessageBox(Lang().GetMessage("msgMaxWindows", "Too many open windows!"), mkWarning, mbOK);
        emit deskRequested();
        return false;
    }
    QString title = caption;
    if (caption == QLatin1String("Untitled"))
        title = Msg("msgUntitled", "Untitled") + " - " + QString::number(desks_.NextUntitledNumber());
    TDeskWindow* desk = deskFactory_();
    MarkAsForm(desk);
    desks_.Add(desk);
    desk->setWindowTitle(title);
    QMdiSubWindow* sw = panel1_->AddDesk(desk);
    sw->resize(645, 580);
    if (sw->layout()) sw->layout()->activate();
    // The height of the frame's caption and borders, less 4.
    const int step = std::max(0, sw->height() - desk->height() - 4);
    const int index = desks_.TakeCascadeIndex();
    sw->move(step * index + dockMngr_.GluedChainSize(), step * index);
    desk->SetLocalToolbarVisible(Options().LocalToolbarVisible);
    EnableDocumentActions();
    UpdateWindowMenu();
    emit deskRequested();
    return true;
}

void TfrmMain::RemoveDocumentWindow(int slot) {
    int owner = selection_->Owner();
    desks_.Remove(slot, &owner);
    selection_->SetOwner(owner);
    if (desks_.DeskCount() == 0) {
        DisableDocumentActions();
        UpdateWindowMenu();
        emit activeDeskChanged(nullptr);
    } else {
        ActivateDesk(desks_.DeskCount());
    }
    UpdateActions();
}

void TfrmMain::ActivateDesk(int slot) {
    TDeskWindow* desk = Desk(slot);
    if (!desk) return;
    desks_.SetActiveIndex(slot);
    desk->MakeActive();
    if (QMdiSubWindow* f = desk->Frame(); f && panel1_->activeSubWindow() != f) panel1_->setActiveSubWindow(f);
    UpdateWindowMenu();
    emit activeDeskChanged(desk);
}

void TfrmMain::UpdateWindowMenu() {
    for (QAction* a : windowItems_) {
        windowMenu_->removeAction(a);
        delete a;
    }
    windowItems_.clear();
    for (int i = 1; i <= desks_.DeskCount(); ++i) {
        const QString caption = Desk(i)->windowTitle();
        auto* a = new QAction(MenuText(caption.mid(caption.lastIndexOf('/') + 1)), this);
        a->setData(i);
        a->setCheckable(true);
        a->setChecked(i == desks_.ActiveIndex());
        connect(a, &QAction::triggered, this, [this, a] { ActivateDesk(a->data().toInt()); });
        windowMenu_->addAction(a);
        windowItems_.append(a);
    }
}

void TfrmMain::SetSelection(TSelectionAccess* selection) {
    selection_ = selection ? selection : defaultSelection_.get();
}

// ---------------------------------------------------------------- enabling

QStringList TfrmMain::DocumentActionNames() {
    QStringList out;
    for (const char* n : kDocumentActions) out << n;
    return out;
}

QStringList TfrmMain::ToolActionNames() {
    QStringList out;
    for (const ActionSpec& s : MainActionTable())
        if (s.group == ActionGroup::Tools) out << s.name;
    return out;
}

QStringList TfrmMain::ToolbarActionNames() {
    QStringList out;
    for (const char* n : ToolbarMirrors()) out << n;
    return out;
}

QStringList TfrmMain::CommitFirstActionNames() {
    QStringList out;
    for (const char* n : kCommitFirst) out << n;
    return out;
}

void TfrmMain::DisableDocumentActions() {
    for (const char* n : kDocumentActions) Action(n)->setEnabled(false);
}

void TfrmMain::EnableDocumentActions() {
    for (const char* n : kDocumentActions) {
        const QLatin1String name(n);
        if (name == QLatin1String("actnnext") || name == QLatin1String("actnPrev")) continue;
        Action(n)->setEnabled(name == QLatin1String("actLast") ? lastEffect_ != nullptr : true);
    }
    UpdateClipboardActions();
    UpdateUndoActions();
}

void TfrmMain::LockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(false);
}

void TfrmMain::UnlockToolActions() {
    for (QAction* a : actions_.group(ActionGroup::Tools)) a->setEnabled(true);
    // The opacity tool works on 32-bit images only, as when the image was chosen.
    TDeskWindow* d = ActiveDesk();
    Action("actopac")->setEnabled(!d || d->CurrentBitCount() == 32);
}

void TfrmMain::UpdateImageNavigation() {
    TDeskWindow* d = ActiveDesk();
    const int n = d ? d->ImageCount() : 0;
    const int k = d ? d->ItemIndex() : 0;
    Action("actnnext")->setEnabled(d && k < n - 1);
    Action("actnPrev")->setEnabled(d && k >= 1);
}

void TfrmMain::UpdateClipboardActions() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QAction* paste = Action("actnPaste");
    if (!data || !data->hasImage()) paste->setEnabled(false);
    else if (desks_.DeskCount() > 0) paste->setEnabled(true);
    const bool own = desks_.ActiveIndex() && !selection_->Empty() && selection_->Owner() == desks_.ActiveIndex();
    for (const char* n : {"actnCopy", "actnCut", "actnDel"}) Action(n)->setEnabled(own);
}

void TfrmMain::UpdateUndoActions() {
    TDeskWindow* d = ActiveDesk();
    Action("actnUndo")->setEnabled(d && d->CanUndo());
    Action("actnRedo")->setEnabled(d && d->CanRedo());
}

void TfrmMain::UpdateActions() {
    TDeskWindow* d = ActiveDesk();
    const bool open = d != nullptr;
    const int n = open ? d->ImageCount() : 0;
    const int k = open ? d->ItemIndex() : 0;
    const bool frame = open && d->SelectionFrameVisible();
    auto set = [this](const char* name, bool v) { Action(name)->setEnabled(v); };
    set("actnSave", open && !d->Saved());
    set("actToolSave", open && !d->Saved());
    set("actFramesReverse", open && n > 1);
    set("actndelimage", open && n >= 2);
    set("actSelectAll", open);
    set("actFrameUp", open && k > 0);
    set("actFrameDown", open && k < n - 1);
    set("actDeleteMore", open && n > 1);
    set("actDuplicateImage", open && d->IsAnimated());
    set("actFitToScreen", frame);
    set("actOriginalSize", frame);
    set("actBringToFront", frame && !selection_->InFront());
    set("actSendToBack", frame && selection_->InFront());
    set("actOpacity", !selection_->Empty() || (open && d->CurrentBitCount() == 32));
    for (const auto& [mirror, target] : kMirrorTargets) {
        const QLatin1String m(mirror);
        if (m == QLatin1String("actToolNew") || m == QLatin1String("actToolOpen") || m == QLatin1String("actToolSave"))
            continue;
        set(mirror, Action(target)->isEnabled());
    }
    const TOptions& o = Options();
    setToggle("actFilterOnAlpha", o.FilterOnAlpha);
    setToggle("actToolFilter", o.FilterOnAlpha);
    setToggle("actSmooth", o.SmoothEdges);
    setToggle("actToolAntiAlias", o.SmoothEdges);
    setToggle("actAutoZoom", o.Autozoom);
    setToggle("actToolAuto", o.Autozoom);
    setToggle("actToolEffect", o.EffectOnAllImages);
    setToggle("actTransSel", o.TransparentSelection);
    setToggle("actToolTrans", o.TransparentSelection);
}

void TfrmMain::setToggle(const QString& name, bool checked) {
    if (QAction* a = Action(name); a && a->isChecked() != checked) a->setChecked(checked);
}

void TfrmMain::SetLastEffect(QAction* action) {
    lastEffect_ = action;
    QAction* last = Action("actLast");
    last->setEnabled(action != nullptr);
    if (action && action != last) {
        QString caption = QString::fromStdString(ReplacePlaceholder(
            Lang().GetMessage("msgLastEffect", "Last Effect (%s1)"), "%s1", action->text().toStdString()));
        caption.remove(QStringLiteral("..."));
        last->setText(caption);
    }
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

// ---------------------------------------------------------------- layout

void TfrmMain::UpdateOwnDockRect() {
    const QRect r = panel1_->geometry();
    DockRect.Left = r.left() + r.width();
    DockRect.Top = r.top() + r.height();
    DockRect.Right = r.left();
    DockRect.Bottom = r.top();
}

void TfrmMain::UpdateDockGlue() {
    for (int slot = dsPreview; slot <= dsExplorer; ++slot)
        if (PaneFrame* p = forms_.Pane(slot)) p->StoreBoundsRect();
    UpdateOwnDockRect();
    dockMngr_.RegisterWindow(dsMain, &DockRect);
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) {
        PaneFrame* p = forms_.Pane(slot);
        if (p && !p->isHidden()) dockMngr_.RegisterWindow(slot, &p->DockRect);
        else dockMngr_.UnregisterWindow(slot);
    }
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) dockMngr_.UpdateGlue(slot);
}

void TfrmMain::FormResize() {
    // The document area has its place only once the window is laid out.
    if (!isVisible()) return;
    UpdateOwnDockRect();
    for (int pass = 0; pass < 5; ++pass) {
        for (int slot : {dsExplorer, dsTools, dsColors, dsPreview}) {
            PaneFrame* p = forms_.Pane(slot);
            if (!p || p->isHidden() || dockMngr_.Record(slot) != &p->DockRect) continue;
            DockPlacement place{p->x(), p->y(), p->width(), p->height()};
            dockMngr_.ApplyGlue(slot, place);
            p->setGeometry(place.left, place.top, place.width, place.height);
            p->StoreBoundsRect();
        }
    }
    const QRect area = panel1_->geometry();
    for (int slot : {dsPreview, dsTools, dsColors, dsExplorer}) {
        PaneFrame* p = forms_.Pane(slot);
        if (!p) continue;
        QPoint pos = p->pos();
        pos.setX(std::min(pos.x(), area.left() + area.width() - 10));
        pos.setY(std::min(pos.y(), area.top() + area.height() - 10));
        if (pos != p->pos()) p->move(pos);
    }
}

void TfrmMain::showPane(int slot, bool visible) {
    PaneFrame* p = forms_.Pane(slot);
    if (!p) return;
    p->setVisible(visible);
    if (visible) p->raise();
    UpdateDockGlue();
}

void TfrmMain::SaveLayout() {
    TOptions& o = Options();
    o.MainTop = y();
    o.MainLeft = x();
    if (isMaximized()) {
        o.MainMaximized = true;
    } else {
        o.MainMaximized = false;
        o.MainHeight = height();
        o.MainWidth = width();
    }
    auto place = [this](int slot, bool& visible, std::int32_t& top, std::int32_t& left) {
        if (PaneFrame* p = forms_.Pane(slot)) {
            top = p->y();
            left = p->x();
            visible = !p->isHidden();
        }
    };
    place(dsTools, o.ToolsVisible, o.ToolsTop, o.ToolsLeft);
    place(dsColors, o.ColorsVisible, o.ColorsTop, o.ColorsLeft);
    place(dsPreview, o.PrevVisible, o.PrevTop, o.PrevLeft);
    if (PaneFrame* p = forms_.Pane(dsPreview)) {
        o.PrevHeight = p->height();
        o.PrevWidth = p->width();
    }
    place(dsExplorer, o.ExplorerVisible, o.ExplorerTop, o.ExplorerLeft);
    if (PaneFrame* p = forms_.Pane(dsExplorer)) {
        o.ExplorerWidth = p->width();
        o.ExplorerHeight = p->height();
    }
    // The pane contents (colour panel, explorer) add their own state.
    emit layoutSaving();
}

void TfrmMain::RestoreLayout() {
    const TOptions& o = Options();
    int left = o.MainLeft, top = o.MainTop;
    const int width = std::max(o.MainWidth, minimumWidth()), height = std::max(o.MainHeight, minimumHeight());
    const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 800, 600);
    if (left + width < 0) left = 0;
    if (top + height < 0) top = 0;
    if (left >= screenRect.right() + 1) left = 0;
    if (top >= screenRect.bottom() + 1) top = 0;
    const bool wasMaximized = isMaximized();
    if (wasMaximized) setWindowState(windowState() & ~Qt::WindowMaximized);
    move(left, top);
    resize(width, height);

    if (PaneFrame* p = forms_.Pane(dsTools)) p->move(o.ToolsLeft, o.ToolsTop);
    if (PaneFrame* p = forms_.Pane(dsColors)) p->move(o.ColorsLeft, o.ColorsTop);
    if (PaneFrame* p = forms_.Pane(dsPreview)) p->setGeometry(o.PrevLeft, o.PrevTop, o.PrevWidth, o.PrevHeight);

    auto visible = [this](const char* action, bool v) { Action(action)->setChecked(v); };
    visible("actnTools", o.ToolsVisible);
    visible("actnPreview", o.PrevVisible);
    visible("actnColors", o.ColorsVisible);
    visible("acttoolbar", o.ToolbarVisible);
    visible("actnStatusbar", o.StatusbarVisible);
    toolBar_->setVisible(o.ToolbarVisible);
    statusBar()->setVisible(o.StatusbarVisible);
    setToggle("actnWindowToolbar", o.LocalToolbarVisible);
    setToggle("actnGrid", o.GridVisible);
    setToggle("actSideBar", o.SidebarVisible);
    setToggle("actFilterOnAlpha", o.FilterOnAlpha);
    setToggle("actSmooth", o.SmoothEdges);

    if (PaneFrame* p = forms_.Pane(dsExplorer)) {
        const int h = o.ExplorerHeight > 0 ? o.ExplorerHeight : panel1_->height();
        p->setGeometry(o.ExplorerLeft, o.ExplorerTop, std::max(o.ExplorerWidth, 1), std::max(h, 1));
    }
    visible("actExplorer", o.ExplorerVisible);
    applyPaneVisibility();
    emit layoutRestored();

    if (o.MainMaximized || wasMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
        // A display without a window manager ignores the state: fill the screen then.
        QTimer::singleShot(300, this, [this] {
            if (!isMaximized() || !screen()) return;
            const QRect avail = screen()->availableGeometry();
            if (this->width() < avail.width() * 9 / 10 || this->height() < avail.height() * 8 / 10) setGeometry(avail);
        });
    } else {
        // Panes saved outside a smaller window come back to its edge (a
        // maximised window does this when its new size arrives).
        FormResize();
    }
    RefreshAllDocuments(false);
    UpdateRecentFilesMenu();
    FillLanguageMenu();
}

void TfrmMain::applyPaneVisibility() {
    const std::pair<int, const char*> panes[] = {
        {dsTools, "actnTools"}, {dsPreview, "actnPreview"}, {dsColors, "actnColors"}, {dsExplorer, "actExplorer"}};
    for (const auto& [slot, action] : panes) {
        PaneFrame* p = forms_.Pane(slot);
        if (!p) continue;
        p->setVisible(Action(action)->isChecked());
        if (!p->isHidden()) p->raise();
    }
}

void TfrmMain::RefreshAllDocuments(bool redrawAll) {
    emit documentsRefreshing(redrawAll);
    if (redrawAll)
        for (int i = 1; i <= desks_.DeskCount(); ++i) Desk(i)->RefreshDocument(true);
}

// ---------------------------------------------------------------- translation

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
    if (filterTranslator_) filterTranslator_();
}

// ---------------------------------------------------------------- start-up and shutdown

void TfrmMain::FirstActivation(const QStringList& commandLine) {
    if (!firstActivation_) return;
    VistaFixes().SetApplicationFonts();
    UpdateActions();
    firstActivation_ = false;
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmMain::UpdateClipboardActions);
    // The texts that only a language switch would set otherwise: without a
    // language file the status labels and file filters are the English ones.
    TranslateStatusLabels();
    TranslateFileFilters();
    RestoreLayout();
    UpdateDockGlue();
    loadToolCursors();
    QCoreApplication::processEvents();
    OpenFiles(commandLine);
    if (Options().ShowTips && commandLine.isEmpty()) {
        actions_.execute("actTips");
        raise();
    }
}

void TfrmMain::loadToolCursors() {
    for (int n : {5, 6, 9, 7, 10, 11, 8, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}) {
        QCursor c;
        if (MakeToolCursor(n, &c)) cursors_[static_cast<size_t>(n)] = new QCursor(c);
    }
    cursors_[crCross] = new QCursor(Qt::CrossCursor);
}

const QCursor* TfrmMain::ToolCursor(int number) const {
    return number >= 0 && number < static_cast<int>(cursors_.size()) ? cursors_[static_cast<size_t>(number)] : nullptr;
}

void TfrmMain::InstanceDenied(const QStringList& files) {
    if (isMinimized()) showNormal();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    raise();
    activateWindow();
    queued_ << files;
    openQueued();
}

void TfrmMain::openQueued() {
    // Names handed over while a modal window is open wait until it closes.
    if (queued_.isEmpty() || QApplication::activeModalWidget() || firstActivation_) return;
    const QStringList files = queued_;
    queued_.clear();
    OpenFiles(files);
}

void TfrmMain::CheckDocumentFiles() {
    for (int i = 1; i <= desks_.DeskCount(); ++i) {
        TDeskWindow* d = Desk(i);
        if (!d->FilePath().isEmpty() && !QFileInfo::exists(d->FilePath())) d->SetSaved(false);
    }
}

bool TfrmMain::CloseAllDocuments() {
    closingAll_ = true;
    for (int n = desks_.DeskCount(); n > 0 && closingAll_; --n) {
        TDeskWindow* first = Desk(1);
        if (!first) break;
        if (QMdiSubWindow* f = first->Frame()) f->close();
        else first->close();
    }
    return closingAll_;
}

void TfrmMain::FormClose() {
    SaveLayout();
    emit closing(settingsFolder_);
    QClipboard* cb = QGuiApplication::clipboard();
    if (Options().ClearClipboard && cb->mimeData() && cb->mimeData()->hasImage()) cb->clear();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!CloseAllDocuments()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_) QTimer::singleShot(0, this, [this] { FirstActivation(commandLine_); });
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    OpenFiles(files);
}

bool TfrmMain::KeyPreview(QWidget* focus, const QString& text, int key) {
    if (desks_.DeskCount() == 0 || IsTextEntry(focus)) return false;
    if (key == Qt::Key_Escape) {
        selection_->Commit();
        return true;
    }
    if (text == QLatin1String("+") || text == QLatin1String("-")) {
        TDeskWindow* d = ActiveDesk();
        QAction* zoom = d ? d->findChild<QAction*>(text == QLatin1String("+") ? "actZoomIn" : "actZoomOut") : nullptr;
        if (zoom && zoom->isEnabled()) {
            zoom->trigger();
            return true;
        }
        return false;
    }
    if (text.size() == 1 && text[0] >= QLatin1Char('1') && text[0] <= QLatin1Char('7'))
        return brushSize_ ? brushSize_(text[0].unicode() - '0') : false;
    return false;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        QWidget* focus = QApplication::focusWidget();
        // A key travels up the parents; look at it once, where it starts.
        if (w && w->window() == this && (w == focus || (!focus && w == this))) {
            auto* ke = static_cast<QKeyEvent*>(event);
            KeyPreview(focus, ke->text(), ke->key());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace velto
