#include "FormBatch.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <span>

#include "DialogParts.h"
#include "browse/FileNames.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "model/Detect.h"
#include "shell/FileDialogs.h"
#include "shell/Options.h"
#include "shell/MainWindowText.h"

namespace velto {

namespace {

constexpr FilterEntry kImagesFilter[] = {
    {"msgAllFormats", "All Formats",
     " (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ico;*.icns;*.ani)|"
     "*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ico;*.icns;*.ani|"},
    {"msgBmp", "Bitmap", " (*.bmp)|*.bmp|"},
    {"msgJpg", "Jpg Image", " (*.jpg, *.jpeg)|*.jpg;*.jpeg|"},
    {"msgPng", "Portable Network Graphic", " (*.png)|*.png|"},
    {"msgGif", "Graphics Interchange Format", " (*.gif)|*.gif|"},
    {"msgJpg2000", "Jpeg2000 Image", " (*.jp2;*.j2k)|*.jp2;*.j2k|"},
    {"msgCur", "Windows Cursor", " (*.cur)|*.cur|"},
    {"msgIco", "Windows Icon", " (*.ico)|*.ico|"},
    {"msgIcns", "Macintosh Icon", " (*.icns)|*.icns|"},
    {"msgAni", "Animated cursor file", " (*.ani)|*.ani"},
};
constexpr FilterEntry kCursorsFilter[] = {
    {"msgAllCursor", "All Supported Cursors", " (*.cur;*.ani)|*.cur;*.ani|"},
    {"msgCur", "Windows Cursor", " (*.cur)|*.cur|"},
    {"msgAni", "Animated cursor file", " (*.ani)|*.ani"},
};
constexpr FilterEntry kAllFilter[] = {{"msgAll", "All Files", " (*.*)|*.*"}};

// What each mode offers and takes.
struct ModeRow {
    TBatchMode mode;
    std::span<const FilterEntry> filter;
    bool formats;  // the "Image formats" group shows
    const char* outputs[4];
    bool (*accepts)(std::uint8_t type);
};

const ModeRow kModes[] = {
    {TBatchMode::ImagesToCursors, kImagesFilter, true, {"cur", "ani"},
     [](std::uint8_t t) { return t <= ftGif || t == ftIcns || t == ftJp2 || t == ftJ2k; }},
    {TBatchMode::CursorsToImages, kCursorsFilter, false, {"bmp", "jpg", "png", "gif"},
     [](std::uint8_t t) { return t == ftCursor || t == ftAnimatedCursor; }},
    {TBatchMode::ResourceCursors, kAllFilter, false, {}, [](std::uint8_t) { return true; }},
};

const ModeRow& RowOf(TBatchMode mode) { return kModes[static_cast<int>(mode)]; }

// Files offered by a browsing grid for the first mode: icons, cursors and
// the common pictures only.
bool PreparedForImages(std::uint8_t t) { return t <= ftGif && t != ftAnimatedCursor; }

QString DefaultDir() { return QDir::homePath() + QLatin1Char('/'); }

// The list shows a name as text and keeps the name itself (with any bytes
// that are no UTF-8, FileNames.h) for the run.
constexpr int kNameRole = Qt::UserRole;

void AddListed(QListWidget* list, const QString& name) {
    auto* item = new QListWidgetItem(FileNameShown(name), list);
    item->setData(kNameRole, name);
}

}  // namespace

TfrmBatch::TfrmBatch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmBatch"));
    setWindowTitle(QStringLiteral("Batch Process"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 8);
    lay->addWidget(MakeDialogHeader(this, QStringLiteral("Batch Process"), QStringLiteral("Process multiple images/cursors")));
    // The choices scroll when the screen is too low for them; the log, the
    // progress bar and the buttons below them always show.
    QBoxLayout* body = nullptr;
    auto* choices = new TChoicesScroll(QStringLiteral("sbChoices"), this, &body);
    body->setContentsMargins(8, 0, 8, 0);
    choices->setMinimumHeight(120);
    lay->addWidget(choices, 1);
    BuildActionGroup(body);
    BuildFilesGroup(body);
    BuildFormatsGroup(body);
    BuildDirGroup(body);
    BuildRunArea(lay);
    BuildButtons(lay);

    dlgOpen_ = new TFileDialogSpec(this, QStringLiteral("dlgOpen"), QString());
    dlgOpen_->multiSelect = true;
    poll_ = new QTimer(this);
    poll_->setInterval(15);
    connect(poll_, &QTimer::timeout, this, [this] { CollectLines(); });

    rbIconImage_->setChecked(true);
    ModeSetUp(TBatchMode::ImagesToCursors);
    reResult_->hide();
    ProgressBar1_->hide();
    resize(600, 520);
}

void TfrmBatch::BuildActionGroup(QBoxLayout* body) {
    grpAction_ = new QGroupBox(QStringLiteral(" Action to perform "), this);
    grpAction_->setObjectName(QStringLiteral("grpAction"));
    auto* actions = new QVBoxLayout(grpAction_);
    rbIconImage_ = new QRadioButton(QStringLiteral("Create cursors from Images"), grpAction_);
    rbImageIcon_ = new QRadioButton(QStringLiteral("Create images from cursors"), grpAction_);
    rbResIcon_ = new QRadioButton(QStringLiteral("Extract cursors from resources"), grpAction_);
    rbIconImage_->setObjectName(QStringLiteral("rbIconImage"));
    rbImageIcon_->setObjectName(QStringLiteral("rbImageIcon"));
    rbResIcon_->setObjectName(QStringLiteral("rbResIcon"));
    for (QRadioButton* rb : {rbIconImage_, rbImageIcon_, rbResIcon_}) actions->addWidget(rb);
    body->addWidget(grpAction_);
    connect(rbIconImage_, &QRadioButton::clicked, this, [this] { SetMode(TBatchMode::ImagesToCursors); });
    connect(rbImageIcon_, &QRadioButton::clicked, this, [this] { SetMode(TBatchMode::CursorsToImages); });
    connect(rbResIcon_, &QRadioButton::clicked, this, [this] { SetMode(TBatchMode::ResourceCursors); });
}

void TfrmBatch::BuildFilesGroup(QBoxLayout* body) {
    grpFiles_ = new QGroupBox(QStringLiteral(" Files to process "), this);
    grpFiles_->setObjectName(QStringLiteral("grpFiles"));
    auto* files = new QVBoxLayout(grpFiles_);
    auto* countRow = new QHBoxLayout;
    auto* lblNumber = new QLabel(QStringLiteral("File Number"), grpFiles_);
    lblNumber->setObjectName(QStringLiteral("lblNumber"));
    // The count and the output formats change with the list and the mode:
    // left unnamed, so a change of language leaves them alone.
    lblFileNumber_ = new QLabel(QStringLiteral("0"), grpFiles_);
    countRow->addWidget(lblNumber);
    countRow->addWidget(lblFileNumber_);
    countRow->addStretch(1);
    btnAdd_ = new QPushButton(QStringLiteral("Add..."), grpFiles_);
    btnRemove_ = new QPushButton(QStringLiteral("Remove"), grpFiles_);
    btnClear_ = new QPushButton(QStringLiteral("Clear"), grpFiles_);
    btnAdd_->setObjectName(QStringLiteral("btnAdd"));
    btnRemove_->setObjectName(QStringLiteral("btnRemove"));
    btnClear_->setObjectName(QStringLiteral("btnClear"));
    for (QPushButton* b : {btnAdd_, btnRemove_, btnClear_}) {
        b->setAutoDefault(false);
        countRow->addWidget(b);
    }
    files->addLayout(countRow);
    lbFiles_ = new QListWidget(grpFiles_);
    lbFiles_->setObjectName(QStringLiteral("lbFiles"));
    lbFiles_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files->addWidget(lbFiles_);
    body->addWidget(grpFiles_, 1);
    connect(btnAdd_, &QPushButton::clicked, this, [this] {
        dlgOpen_->filter = JoinFilter(RowOf(mode_).filter);
        QStringList chosen;
        const bool ok = dialogRunner ? dialogRunner(*dlgOpen_, chosen) : RunFileDialog(*dlgOpen_, chosen);
        if (ok) AddFiles(chosen);
    });
    connect(btnRemove_, &QPushButton::clicked, this, [this] {
        qDeleteAll(lbFiles_->selectedItems());
        UpdateCount();
    });
    connect(btnClear_, &QPushButton::clicked, this, [this] {
        lbFiles_->clear();
        UpdateCount();
    });
}

void TfrmBatch::BuildFormatsGroup(QBoxLayout* body) {
    grpFormats_ = new QGroupBox(QStringLiteral(" Image formats "), this);
    grpFormats_->setObjectName(QStringLiteral("grpFormats"));
    auto* formats = new QHBoxLayout(grpFormats_);
    depths_ = new QButtonGroup(this);
    const std::pair<const char*, const char*> depthButtons[] = {
        {"rb32", "32 bits"}, {"rb24", "24 bits"}, {"rb8", "8 bits"}, {"rb4", "4 bits "}, {"rb1", "1 bit"}};
    const int bits[] = {32, 24, 8, 4, 1};
    for (int i = 0; i < 5; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(depthButtons[i].second), grpFormats_);
        rb->setObjectName(QString::fromLatin1(depthButtons[i].first));
        depths_->addButton(rb, bits[i]);
        formats->addWidget(rb);
    }
    depths_->button(32)->setChecked(true);
    formats->addSpacing(12);
    auto* lblHotX = new QLabel(QStringLiteral("X hot spot"), grpFormats_);
    lblHotX->setObjectName(QStringLiteral("lblHotX"));
    seHotX_ = new QSpinBox(grpFormats_);
    seHotX_->setObjectName(QStringLiteral("seHotX"));
    auto* lblHotY = new QLabel(QStringLiteral("Y hot spot"), grpFormats_);
    lblHotY->setObjectName(QStringLiteral("lblHotY"));
    seHotY_ = new QSpinBox(grpFormats_);
    seHotY_->setObjectName(QStringLiteral("seHotY"));
    for (QSpinBox* s : {seHotX_, seHotY_}) s->setRange(0, 31);
    formats->addWidget(lblHotX);
    formats->addWidget(seHotX_);
    formats->addWidget(lblHotY);
    formats->addWidget(seHotY_);
    formats->addStretch(1);
    body->addWidget(grpFormats_);
}

void TfrmBatch::BuildDirGroup(QBoxLayout* body) {
    grpDir_ = new QGroupBox(QStringLiteral(" Output directory "), this);
    grpDir_->setObjectName(QStringLiteral("grpDir"));
    auto* dir = new QHBoxLayout(grpDir_);
    edtDir_ = new QLineEdit(DefaultDir(), grpDir_);
    edtDir_->setObjectName(QStringLiteral("edtDir"));
    btnBrowse_ = new QPushButton(QStringLiteral("Browse..."), grpDir_);
    btnBrowse_->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse_->setAutoDefault(false);
    lblOutput_ = new QLabel(QStringLiteral("File format"), grpDir_);
    lblOutput_->setObjectName(QStringLiteral("lblOutput"));
    cmbOutput_ = new QComboBox(grpDir_);
    // Each mode offers formats of its own: the box follows them, not those
    // it held when first shown.
    cmbOutput_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    dir->addWidget(edtDir_, 1);
    dir->addWidget(btnBrowse_);
    dir->addWidget(lblOutput_);
    dir->addWidget(cmbOutput_);
    body->addWidget(grpDir_);
    // An emptied folder field takes the starting folder again.
    connect(edtDir_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) edtDir_->setText(DefaultDir());
    });
    connect(btnBrowse_, &QPushButton::clicked, this, [this] {
        const QString start = edtDir_->text();
        const QString chosen = folderChooser
                                   ? folderChooser(start)
                                   : QFileDialog::getExistingDirectory(this, Msg("msgDirSelect", "Select a directory"), start);
        if (!chosen.isEmpty()) edtDir_->setText(chosen);
    });
}

void TfrmBatch::BuildRunArea(QBoxLayout* lay) {
    auto* run = new QVBoxLayout;
    run->setContentsMargins(8, 0, 8, 0);
    lay->addLayout(run, 3);
    reResult_ = new QTextEdit(this);
    reResult_->setObjectName(QStringLiteral("reResult"));
    reResult_->setReadOnly(true);
    reResult_->setMinimumHeight(80);
    run->addWidget(reResult_);
    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    run->addWidget(ProgressBar1_);
}

void TfrmBatch::BuildButtons(QBoxLayout* lay) {
    AddOkCancelRow(this, lay, &btnOK_, &btnCancel_);
    btnCancel_->setAutoDefault(false);
    connect(btnOK_, &QPushButton::clicked, this, [this] { OkClicked(); });
    // Cancel rejects (the row's own connection) and forgets the files chosen.
    connect(btnCancel_, &QPushButton::clicked, this, [this] {
        lbFiles_->clear();
        UpdateCount();
    });
}

TfrmBatch::~TfrmBatch() { StopAndWait(); }

// ---------------------------------------------------------------- modes and files

TBatchMode TfrmBatch::Mode() const { return mode_; }

void TfrmBatch::SetMode(TBatchMode mode) {
    QRadioButton* rb = mode == TBatchMode::ImagesToCursors   ? rbIconImage_
                       : mode == TBatchMode::CursorsToImages ? rbImageIcon_
                                                             : rbResIcon_;
    rb->setChecked(true);
    if (mode != mode_) ModeSetUp(mode);
}

void TfrmBatch::ModeSetUp(TBatchMode mode) {
    mode_ = mode;
    const ModeRow& row = RowOf(mode);
    lbFiles_->clear();
    dlgOpen_->filter = JoinFilter(row.filter);
    dlgOpen_->filterIndex = 1;
    grpFormats_->setVisible(row.formats);
    cmbOutput_->clear();
    for (const char* out : row.outputs)
        if (out) cmbOutput_->addItem(QString::fromLatin1(out));
    const bool outputs = cmbOutput_->count() > 0;
    cmbOutput_->setVisible(outputs);
    lblOutput_->setVisible(outputs);
    if (outputs) cmbOutput_->setCurrentIndex(0);
    UpdateCount();
}

void TfrmBatch::AddFiles(const QStringList& files) {
    const ModeRow& row = RowOf(mode_);
    for (const QString& f : files) {
        const FileTypeResult type = DetectFileType(FileNameBytes(f));
        if (type.ok() && row.accepts(type.type)) AddListed(lbFiles_, f);
    }
    UpdateCount();
}

QStringList TfrmBatch::Files() const {
    QStringList out;
    for (int i = 0; i < lbFiles_->count(); ++i) out << lbFiles_->item(i)->data(kNameRole).toString();
    return out;
}

void TfrmBatch::PrepareImagesToCursors(const QStringList& files) {
    SetMode(TBatchMode::ImagesToCursors);
    // A preset is a set-up of its own, whatever mode the window was in: the
    // list holds the selection alone, never what an earlier showing left.
    lbFiles_->clear();
    for (const QString& f : files)
        if (const FileTypeResult t = DetectFileType(FileNameBytes(f)); t.ok() && PreparedForImages(t.type))
            AddListed(lbFiles_, f);
    UpdateCount();
}

void TfrmBatch::PrepareCursorsToImages(const QStringList& files) {
    SetMode(TBatchMode::CursorsToImages);
    lbFiles_->clear();
    AddFiles(files);
}

void TfrmBatch::SetInitialDir(const QString& folder) {
    dlgOpen_->fileName = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

void TfrmBatch::UpdateCount() {
    lblFileNumber_->setText(QString::number(lbFiles_->count()));
    btnOK_->setEnabled(lbFiles_->count() > 0);
}

int TfrmBatch::BitCount() const { return depths_->checkedId() > 0 ? depths_->checkedId() : 32; }

// ---------------------------------------------------------------- running

void TfrmBatch::OkClicked() {
    btnCancel_->setEnabled(false);
    if (lbFiles_->count() == 0) return;
    if (reResult_->isVisible()) {
        if (!Cancelled) {
            // Stop: files under way finish, no other begins.
            Cancelled = true;
            if (run_) run_->Stop();
            return;
        }
        lbFiles_->clear();
        UpdateCount();
        accept();
        return;
    }
    // A folder that cannot take the outputs is said once, before anything
    // runs; the window stays as it was, to choose another.
    if (const FileError folder = OutputFolderError(FileNameBytes(edtDir_->text())); !folder.ok()) {
        std::string text = Lang().GetMessage("msgBadOutputDir", "The output directory %s1 cannot be used: %s2");
        text = ReplacePlaceholder(std::move(text), "%s1", edtDir_->text().toStdString());
        ShowMessageBox(ReplacePlaceholder(std::move(text), "%s2", FileErrorText(folder)), mkError, mbOK);
        btnCancel_->setEnabled(true);
        return;
    }
    StartRun();
}

void TfrmBatch::StartRun() {
    reResult_->clear();
    reResult_->show();
    ProgressBar1_->show();
    for (QGroupBox* g : {grpAction_, grpFiles_, grpFormats_, grpDir_}) g->setEnabled(false);
    ProgressBar1_->setRange(0, lbFiles_->count());
    ProgressBar1_->setValue(0);
    btnOK_->setText(Msg("msgStop", "Stop"));

    TBatchJob job;
    job.Mode = mode_;
    for (const QString& f : Files()) job.Files.push_back(FileNameBytes(f));
    job.OutputDir = FileNameBytes(edtDir_->text());
    job.Output = cmbOutput_->currentText().toStdString();
    job.BitCount = BitCount();
    job.HotX = seHotX_->value();
    job.HotY = seHotY_->value();
    job.Dithering = Options().Dithering;
    job.PngCursors = Options().SavePngOption;
    job.Import = MyImport().Settings();
    runDone_ = false;
    run_ = std::make_unique<TBatchRun>(std::move(job), TBatchTexts::FromLanguage());
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    run_->Start();
    poll_->start();
}

void TfrmBatch::CollectLines() {
    if (!run_) return;
    // Finished is read before the lines, so the last lines are never missed.
    const bool finished = run_->Finished();
    std::vector<TBatchLine> lines;
    const int files = run_->TakeLines(lines);
    for (const TBatchLine& l : lines) AppendLine(l);
    ProgressBar1_->setValue(std::min(ProgressBar1_->maximum(), ProgressBar1_->value() + files));
    if (finished) EndRun();
}

void TfrmBatch::EndRun() {
    poll_->stop();
    run_->Wait();
    std::vector<TBatchLine> rest;
    run_->TakeLines(rest);
    for (const TBatchLine& l : rest) AppendLine(l);
    AppendLine(run_->FinalNotice());
    runDone_ = true;
    QGuiApplication::restoreOverrideCursor();
    // The next click closes.
    Cancelled = true;
    btnOK_->setText(Msg("msgClose", "Close"));
    emit RunFinished();
}

void TfrmBatch::StopAndWait() {
    if (!run_ || runDone_) return;
    run_->Stop();
    Cancelled = true;
    EndRun();
}

void TfrmBatch::AppendLine(const TBatchLine& line) {
    QColor colour = palette().color(QPalette::WindowText);
    if (line.Kind == TBatchLineKind::Warning || line.Kind == TBatchLineKind::Notice) colour = Qt::blue;
    if (line.Kind == TBatchLineKind::Error || line.Kind == TBatchLineKind::FailedNotice) colour = Qt::red;
    if (line.Kind == TBatchLineKind::Processing || line.Kind == TBatchLineKind::Notice ||
        line.Kind == TBatchLineKind::FailedNotice)
        reResult_->append(QString());
    reResult_->setTextColor(colour);
    reResult_->append(QString::fromStdString(line.Text));
    reResult_->verticalScrollBar()->setValue(reResult_->verticalScrollBar()->maximum());
}

// ---------------------------------------------------------------- showing and closing

void TfrmBatch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (Running()) return;
    btnCancel_->setEnabled(true);
    UpdateCount();
    reResult_->hide();
    reResult_->clear();
    ProgressBar1_->hide();
    for (QGroupBox* g : {grpAction_, grpFiles_, grpFormats_, grpDir_}) g->setEnabled(true);
    Cancelled = false;
    run_.reset();
    runDone_ = false;
    btnOK_->setText(Msg("msgOK", "OK"));
    const QString saved = FileNameText(Options().BatchOutput);
    edtDir_->setText(saved.isEmpty() ? DefaultDir() : saved);
}

void TfrmBatch::hideEvent(QHideEvent* event) {
    Options().BatchOutput = FileNameBytes(edtDir_->text());
    QDialog::hideEvent(event);
}

// Closing while a run works stops it first: the files under way finish
// before the window goes.
void TfrmBatch::closeEvent(QCloseEvent* event) {
    StopAndWait();
    QDialog::closeEvent(event);
}

// Escape is the Cancel button's key while that button is enabled: it also
// forgets the files chosen.
void TfrmBatch::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && btnCancel_->isEnabled()) {
        btnCancel_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmBatch::reject() {
    StopAndWait();
    QDialog::reject();
}

}  // namespace velto
