#pragma once
// The "Check For Update" window: shortly after it shows, the version page is
// fetched in the background; its title says whether a newer program exists.
// The answer is a message box, after which the window closes.
#include <QDialog>
#include <QPointer>

#include "WebFetch.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace velto {

class TfrmUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdate(QWidget* parent);

    // Fetches the version page now; the answer comes as a message box.
    void CheckForUpdate();
    // Pause between showing and asking (default 1000 ms).
    void SetStartDelay(int ms);
    // Longest wait for the server without a byte (default 20 s).
    void SetTransferTimeout(int ms) { timeoutMs_ = ms; }
    // Longest the whole check may take, however the bytes come (default
    // kWebDeadlineMs).
    void SetDeadline(int ms) { deadlineMs_ = ms; }
    bool Checking() const { return fetch_ != nullptr; }

signals:
    // The check ended and its message was shown.
    void checked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void answered(const TWebFetch& fetch);

    QLabel* lblText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* timer1_ = nullptr;
    QPointer<TWebFetch> fetch_;
    int timeoutMs_ = 20000;
    int deadlineMs_ = kWebDeadlineMs;
};

}  // namespace velto
