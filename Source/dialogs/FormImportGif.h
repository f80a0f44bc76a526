#pragma once
// The progress window of an animated GIF's import: a bar over the frames and
// Cancel, asked between frames. The frames converted before a cancel stay.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velto {

class TfrmImportGif : public QDialog {
    Q_OBJECT
public:
    explicit TfrmImportGif(QWidget* parent = nullptr);

    void ResetCancel() { Cancelled = false; }
    bool IsCancelled() const { return Cancelled; }
    void SetMax(int n);
    void StepIt();

    QProgressBar* ProgressBar() const { return ProgressBar1_; }
    QPushButton* CancelButton() const { return btnCancel_; }

    bool Cancelled = false;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    QLabel* lblText_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
};

}  // namespace velto
