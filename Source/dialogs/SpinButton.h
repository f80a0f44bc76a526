#pragma once
// TSpinButton: two small arrow buttons, one above the other, that report
// clicks up and down (the edit beside them decides what a step means).
#include <QWidget>

class QToolButton;

namespace velto {

class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent = nullptr);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    void upClicked();
    void downClicked();

private:
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};

}  // namespace velto
