#include "MainWindow.h"

#include "Desk.h"
#include "SaveWaits.h"
#include "DocumentArea.h"
#include "MainActions.h"
#include "MainWindowText.h"
#include "ModalForms.h"
#include "Options.h"
#include "PaneFrame.h"
#include "ScreenFit.h"
#include "ToolArt.h"
#include "ToolController.h"
#include "Translator.h"
#include "VistaCompat.h"
#include "browse/FileNames.h"
#include "core/MessageBox.h"
#include "core/SysUtils.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
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

QString HintOf(QString caption) {
    caption.remove('&');
    caption.remove(QStringLiteral("..."));
    return caption;
}

QList<QKeySequence> KeysOf(const ActionSpec& spec) {
    QList<QKeySequence> keys;
    for (const QString& k : QString::fromLatin1(spec.keys).split(" | ", Qt::SkipEmptyParts))
        keys << QKeySequence::fromString(k, QKeySequence::PortableText);
    return keys;
}

// The direct submenu of menu on the way down to sub (sub itself when it is
// one), or None when sub does not hang below menu.
MenuId ChildToward(MenuId menu, MenuId sub) {
    while (sub != MenuId::None) {
        const MenuId parent = MenuOf(sub).parent;
        if (parent == menu) return sub;
        sub = parent;
    }
    return MenuId::None;
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
    // Every dialog opens whole on its screen.
    new TScreenFitter(this);
    defaultSelection_ = std::make_unique<TSelectionAccess>();
    selection_ = defaultSelection_.get();
    deskFactory_ = [] { return new TfrmDesk(); };
    opener_ = [this](const QString& path) { return openByRoad(path); };
    dialogRunner_ = RunFileDialog;
    // Every window of the program, dialogs included, shows the program's icon.
    if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(ApplicationIcon());
    setWindowIcon(QApplication::windowIcon());

    VistaFixes().FixTaskbarButton();
    altFix_ = new TVistaAltFix(this);
    VistaFixes().FixCreateParams(this);

    panel1_ = new TDocumentArea(this);
    setCentralWidget(panel1_);
    createActions();
    createMenus();
    createToolBar();
    statusBar()->setObjectName("StatusBar1");
    // Panel 0 is an ordinary item of the bar, so that the commands' status
    // tips show over it while the pointer is on a menu or button.
    statusLabel_ = new QLabel(statusBar());
    statusLabel_->setObjectName("StatusPanel0");
    statusLabel_->setMinimumWidth(50);
    statusBar()->addWidget(statusLabel_, 1);
    ShowSaveWaitsIn(statusLabel_);

    settingsFolder_ = QString::fromStdString(GetSettingsFolder());
    if (!settingsFolder_.isEmpty()) QDir().mkpath(settingsFolder_);

    createFileDialogs();
    DisableDocumentActions();
    setAcceptDrops(true);
    lastEffect_ = nullptr;
    // Mouse input on every canvas goes to the drawing tools.
    tools_ = new TToolController(this);
    SetCanvasInput(tools_);
    connect(this, &TfrmMain::deskRequested, tools_, &TToolController::UpdateCanvasCursors);
    // A handler put in over one that only shows a window is a command of its own.
    connect(&actions_, &TActionRegistry::handlerSet, this, [this](QAction* a) { formOf_.remove(a); });
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
    if (CanvasInput() == tools_) SetCanvasInput(nullptr);
    for (QCursor* c : cursors_) delete c;
    if (gMain == this) gMain = nullptr;
}

void TfrmMain::CreateForms() {
    forms_.CreateAll(this, &dockMngr_);
    for (int slot = dsPreview; slot <= dsExplorer; ++slot) {
        PaneFrame* pane = forms_.Pane(slot);
        if (!pane) continue;
        pane->SetWorkArea([this] { return panel1_->geometry(); });
        // A pane dropped on another moves off it; the glue follows where it ends.
        connect(pane, &PaneFrame::paneMoved, this, [this](int s) {
            KeepPanesInView(s);
            UpdateDockGlue();
        });
        connect(pane, &PaneFrame::paneResized, this, [this](int s) {
            if (s == dsExplorer) explorerFillsHeight_ = false;
        });
        connect(pane, &PaneFrame::paneHidden, this, [this, pane](int s) {
            // Only a pane hidden by itself: the main window hiding hides every child.
            if (!pane->isHidden()) return;
            if (const ActionSpec* sw = PaneSwitch(s)) Action(sw->name)->setChecked(false);
            FitDocumentRoom();
        });
        connect(pane, &PaneFrame::paneShown, this, [this] { UpdateDockGlue(); });
    }
}

void TfrmMain::createActions() {
    for (const ActionSpec& spec : MainActionTable()) {
        QAction* a = actions_.addCommand(spec.group, spec.name, QString::fromUtf8(spec.caption), KeysOf(spec));
        a->setCheckable(spec.Has(Checkable));
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
        const ActionSpec* spec = FindActionSpec(a->objectName().toLatin1().constData());
        if (!spec || !spec->Has(CommitFirst)) return;
        if (desks_.ActiveIndex() && selection_->Owner() == desks_.ActiveIndex()) selection_->Commit();
    });
    actions_.setPostExecuteHook([this](QAction*) { UpdateActions(); });
}

void TfrmMain::createMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("ActionMainMenuBar1");
    QHash<int, QMenu*> menus;  // by MenuId
    // A menu takes its rows in table order; a submenu is built where its first
    // row comes, so that it is created inside its parent's items.
    std::function<QMenu*(const MenuSpec&, QWidget*)> build = [&](const MenuSpec& spec, QWidget* parent) {
        auto* menu = new QMenu(QString::fromUtf8(spec.caption), parent);
        menu->setObjectName(spec.name);
        menus.insert(int(spec.id), menu);
        for (const ActionSpec& row : MainActionTable()) {
            if (row.menu == spec.id) {
                if (row.Has(SeparatorBefore)) menu->addSeparator();
                menu->addAction(Action(row.name));
                continue;
            }
            const MenuId sub = ChildToward(spec.id, row.menu);
            if (sub == MenuId::None || menus.contains(int(sub))) continue;
            const MenuSpec& subSpec = MenuOf(sub);
            if (subSpec.flags & SeparatorBefore) menu->addSeparator();
            menu->addMenu(build(subSpec, menu));
        }
        if (spec.flags & ListBelow) menu->addSeparator();
        return menu;
    };
    for (const MenuSpec& spec : MenuTable())
        if (spec.parent == MenuId::None) bar->addMenu(build(spec, bar));
    windowMenu_ = menus.value(int(MenuId::Window));
    recentMenu_ = menus.value(int(MenuId::RecentFiles));
    languagesMenu_ = menus.value(int(MenuId::Languages));
}

void TfrmMain::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName("ActionToolBar1");
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setMovable(false);
    toolBar_->toggleViewAction()->setVisible(false);
    for (const ActionSpec& row : MainActionTable()) {
        if (row.group != ActionGroup::Toolbar) continue;
        if (row.Has(SeparatorBefore)) toolBar_->addSeparator();
        toolBar_->addAction(Action(row.name));
    }
}

void TfrmMain::on(const char* name, std::function<void()> f) {
    actions_.setHandler(name, [f = std::move(f)](QAction*) { f(); });
}

void TfrmMain::onForm(const char* name, const char* form) {
    const QString formName = QString::fromLatin1(form);
    on(name, [formName] { ShowModalForm(formName); });
    // Set after the handler: another handler put in later ends the rule.
    formOf_.insert(Action(name), formName);
}

bool TfrmMain::opensStandIn(const QAction* a) const {
    const auto it = formOf_.constFind(a);
    return it != formOf_.constEnd() && IsStandInForm(forms_.Form(*it));
}

void TfrmMain::connectCommands() {
    for (const ActionSpec& row : MainActionTable()) {
        if (row.setting) {
            // Option switches, on a menu and on the tool bar alike.
            on(row.name, [this, setting = row.setting] { flipSetting(setting); });
        } else if (row.mirrorOf) {
            const QString target = QString::fromLatin1(row.mirrorOf);
            on(row.name, [this, target] { actions_.execute(target); });
        }
    }
    SetupFileActions();
    SetupEditActions();
    SetupViewActions();
    SetupCursorActions();
    SetupImageActions();
    SetupAdjustActions();
    SetupFiltersActions();
    SetupOptionsActions();
    SetupWindowActions();
    SetupHelpActions();
    SetupToolActions();
    SetupEffectActions();
}

void TfrmMain::flipSetting(bool TOptions::*setting) {
    bool& value = Options().*setting;
    value = !value;
    // Auto zoom redraws every document with the new setting.
    if (setting == &TOptions::Autozoom) RefreshAllDocuments(value);
    UpdateActions();
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
    const int step = CascadeStep(sw);
    const int index = desks_.TakeCascadeIndex();
    // Inside the documents' room (the glued panes are outside it) where there
    // is room. (An area not laid out yet has no size to go by.)
    const QSize client = panel1_->isVisible() ? panel1_->viewport()->size() : QSize(1 << 20, 1 << 20);
    const DeskPlacement place = FirstDeskPlacement(client.width(), client.height(), 0, 0, step, index, 645, 580, 120);
    sw->setGeometry(place.left, place.top, place.width, place.height);
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
    if (!desk || desk->IsClosing()) return;
    desks_.SetActiveIndex(slot);
    if (QMdiSubWindow* f = desk->Frame()) {
        f->raise();
        if (panel1_->activeSubWindow() != f) panel1_->setActiveSubWindow(f);
    }
    desk->Activated();
    UpdateUndoActions();
    UpdateImageNavigation();
    UpdateClipboardActions();
    UpdateWindowMenu();
    emit activeDeskChanged(desk);
}

void TfrmMain::DiscardDocumentWindow(TDeskWindow* desk) {
    if (!desk) return;
    QWidget* frame = desk->Frame();
    if (desk->Tag) RemoveDocumentWindow(desk->Tag);
    // Deleting the frame deletes the window in it.
    if (frame) delete frame;
    else delete desk;
}

void TfrmMain::SetSelection(TSelectionAccess* selection) {
    selection_ = selection ? selection : defaultSelection_.get();
}

// ---------------------------------------------------------------- enabling

QStringList TfrmMain::ActionNames(unsigned mask) {
    QStringList out;
    for (const ActionSpec& s : MainActionTable())
        if ((s.flags & mask) == mask) out << s.name;
    return out;
}

QStringList TfrmMain::DocumentActionNames() { return ActionNames(DocumentOnly); }

QStringList TfrmMain::CommitFirstActionNames() { return ActionNames(CommitFirst); }

QStringList TfrmMain::ToolActionNames() {
    QStringList out;
    for (const ActionSpec& s : MainActionTable())
        if (s.group == ActionGroup::Tools) out << s.name;
    return out;
}

QStringList TfrmMain::ToolbarActionNames() {
    QStringList out;
    for (const ActionSpec& s : MainActionTable())
        if (s.group == ActionGroup::Toolbar) out << s.name;
    return out;
}

void TfrmMain::DisableDocumentActions() {
    for (const ActionSpec& s : MainActionTable())
        if (s.Has(DocumentOnly)) Action(s.name)->setEnabled(false);
}

void TfrmMain::EnableDocumentActions() {
    for (const ActionSpec& s : MainActionTable())
        if (s.Has(DocumentOnly) && !s.Has(OwnEnabling)) Action(s.name)->setEnabled(true);
    holdBackUnbuiltCommands();
    // Of the own rules, Last Effect's holds at once; Next and Previous Image
    // wait for the document's position (UpdateImageNavigation).
    Action("actLast")->setEnabled(lastEffect_ != nullptr);
    UpdateClipboardActions();
    UpdateUndoActions();
}

void TfrmMain::UpdateActions() {
    UpdateFileActions();
    UpdateEditActions();
    UpdateViewActions();
    UpdateCursorActions();
    UpdateImageActions();
    UpdateAdjustActions();
    UpdateFiltersActions();
    UpdateOptionsActions();
    UpdateWindowActions();
    UpdateHelpActions();
    holdBackUnbuiltCommands();
    // Tool-bar mirrors take the state of their command, after its own rule ran.
    for (const ActionSpec& s : MainActionTable())
        if (s.mirrorOf) Action(s.name)->setEnabled(Action(s.mirrorOf)->isEnabled());
    showSettings();
}

// A menu command whose window is not built yet has no handler, or shows the
// window's empty stand-in: it stays disabled rather than doing nothing when
// chosen. Once a handler comes it
// takes the plain rule again (a document command only with a document); its
// own rule, if any, runs at the next update.
void TfrmMain::holdBackUnbuiltCommands() {
    for (const ActionSpec& s : MainActionTable()) {
        if (s.group != ActionGroup::Main) continue;
        QAction* a = Action(s.name);
        if (!actions_.hasHandler(a) || opensStandIn(a)) {
            a->setEnabled(false);
            heldBack_.insert(a);
        } else if (heldBack_.remove(a)) {
            a->setEnabled(!s.Has(DocumentOnly) || ActiveDesk() != nullptr);
        }
    }
}

void TfrmMain::showSettings() {
    const TOptions& o = Options();
    for (const ActionSpec& s : MainActionTable())
        if (s.setting) setToggle(s.name, o.*s.setting);
}

void TfrmMain::setToggle(const QString& name, bool checked) {
    if (QAction* a = Action(name); a->isChecked() != checked) a->setChecked(checked);
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
    tools_->UpdateCanvasCursors();
    QCoreApplication::processEvents();
    OpenFiles(commandLine);
    if (Options().ShowTips && commandLine.isEmpty()) {
        actions_.execute("actTips");
        raise();
    }
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
        if (!d->FilePath().isEmpty() && !FileNameExists(d->FilePath())) d->SetSaved(false);
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
    // The document area moved or changed size (window resized, bars shown or
    // hidden): the panes follow their glue and stay in view.
    if (watched == panel1_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) FormResize();
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
