#pragma once
// The batch converter's window: the mode, the list of files, the output
// depth and hotspot or picture format, the output folder, and while it runs
// a progress bar and the coloured log. OK starts, the same button stops
// (between files) and, once the run is over, closes.
//
// The conversion runs on worker threads that never touch the window; a timer
// of the window collects their log lines. Closing the window, or the main
// window, while a run works stops it and waits for the files under way.
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

#include "import/BatchConvert.h"
#include "shell/ModalForms.h"

class QBoxLayout;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTextEdit;
class QTimer;

namespace velto {

class TFileDialogSpec;

class TfrmBatch : public QDialog, public TBatchForm {
    Q_OBJECT
public:
    explicit TfrmBatch(QWidget* parent = nullptr);
    ~TfrmBatch() override;

    // Selects the mode (its set-up empties the list when the mode changes)
    // and appends the files the mode takes, in the given order.
    void PrepareImagesToCursors(const QStringList& files) override;
    void PrepareCursorsToImages(const QStringList& files) override;
    // The folder the open dialog starts in.
    void SetInitialDir(const QString& folder) override;

    TBatchMode Mode() const;
    void SetMode(TBatchMode mode);
    // Adds files as the Add button does with the dialog's choice.
    void AddFiles(const QStringList& files);
    QStringList Files() const;
    bool Running() const { return run_ != nullptr && !runDone_; }

    // Tests answer the file and folder dialogs themselves.
    std::function<bool(TFileDialogSpec& spec, QStringList& files)> dialogRunner;
    std::function<QString(const QString& start)> folderChooser;

    QPushButton* OkButton() const { return btnOK_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    QTextEdit* Log() const { return reResult_; }
    QProgressBar* Progress() const { return ProgressBar1_; }
    QLineEdit* OutputDir() const { return edtDir_; }
    QComboBox* OutputFormat() const { return cmbOutput_; }
    QListWidget* FileList() const { return lbFiles_; }
    QLabel* FileCount() const { return lblFileNumber_; }

signals:
    // The run has ended and its final notice is in the log.
    void RunFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    // One builder per group box, into the scrolling choices; then the log
    // with the progress bar and the buttons, below them in the window.
    void BuildActionGroup(QBoxLayout* body);
    void BuildFilesGroup(QBoxLayout* body);
    void BuildFormatsGroup(QBoxLayout* body);
    void BuildDirGroup(QBoxLayout* body);
    void BuildRunArea(QBoxLayout* lay);
    void BuildButtons(QBoxLayout* lay);
    void ModeSetUp(TBatchMode mode);
    void UpdateCount();
    void OkClicked();
    void StartRun();
    void CollectLines();
    void EndRun();
    // Stops a run and waits for the files under way (closing, destruction).
    void StopAndWait();
    void AppendLine(const TBatchLine& line);
    int BitCount() const;

    QGroupBox* grpAction_ = nullptr;
    QRadioButton* rbIconImage_ = nullptr;
    QRadioButton* rbImageIcon_ = nullptr;
    QRadioButton* rbResIcon_ = nullptr;
    QGroupBox* grpFiles_ = nullptr;
    QLabel* lblFileNumber_ = nullptr;
    QPushButton* btnAdd_ = nullptr;
    QPushButton* btnRemove_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    QListWidget* lbFiles_ = nullptr;
    QGroupBox* grpFormats_ = nullptr;
    QButtonGroup* depths_ = nullptr;
    QSpinBox* seHotX_ = nullptr;
    QSpinBox* seHotY_ = nullptr;
    QGroupBox* grpDir_ = nullptr;
    QLineEdit* edtDir_ = nullptr;
    QPushButton* btnBrowse_ = nullptr;
    QLabel* lblOutput_ = nullptr;
    QComboBox* cmbOutput_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QTextEdit* reResult_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    TFileDialogSpec* dlgOpen_ = nullptr;
    QTimer* poll_ = nullptr;

    TBatchMode mode_ = TBatchMode::ImagesToCursors;
    bool Cancelled = false;
    bool runDone_ = false;
    std::unique_ptr<TBatchRun> run_;
};

}  // namespace velto
