#pragma once
// TfrmTips, the tip of the day: the texts "msgTip1", "msgTip2", ... of the
// language file, one at random when the window shows, then walked with Next
// and Previous (each wraps around). Without any tip it shows "...".
#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace velto {

class TfrmTips : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTips(QWidget* parent = nullptr);

    // The number of consecutive tips from "msgTip1" on with a text.
    static int CountTips();
    // The text of tip n ("..." when it has none).
    static QString TipText(int n);

    // A number in 0..bound-1 (bound >= 1) for the first tip; the default
    // draws from the system's random source.
    using RandomSource = std::function<int(int bound)>;
    void SetRandomSource(RandomSource random) { random_ = std::move(random); }

    int TipCount() const { return tipCount_; }
    int CurrentTip() const { return currentTip_; }
    QLabel* TipLabel() const { return lblTip_; }
    QCheckBox* StartupBox() const { return cbStartup_; }
    QPushButton* NextButton() const { return btnNext_; }
    QPushButton* PrevButton() const { return btnPrev_; }
    QPushButton* CloseButton() const { return btnClose_; }

    void NextClick();
    void PrevClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTip();

    RandomSource random_;
    int tipCount_ = 0;
    int currentTip_ = 1;
    QLabel* lblTip_ = nullptr;
    QCheckBox* cbStartup_ = nullptr;
    QPushButton* btnPrev_ = nullptr;
    QPushButton* btnNext_ = nullptr;
    QPushButton* btnClose_ = nullptr;
};

}  // namespace velto
