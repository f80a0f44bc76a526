#pragma once
// TfrmTest, the cursor test: the cursor in a file (the caller writes the
// active document there first) becomes the pointer over a scribble pad and
// some ordinary controls. The pointer is made from the file's own pixels and
// hotspot; an animated cursor steps through its frames at their rates.
#include <QCursor>
#include <QDialog>
#include <QPoint>
#include <QVector>

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace velto {

class ImageView;
class TfrmMain;
class TmyIcon;

// One picture of the pointer and how long it shows (milliseconds).
struct TCursorFrame {
    QCursor cursor;
    int duration = 0;
};

// The pointers of a cursor file: one for a static cursor or icon (the image
// nearest 32 x 32, deepest first), one per frame of an animated cursor.
// Empty when the file holds no cursor we read.
QVector<TCursorFrame> LoadCursorFrames(const QString& fileName);

class TfrmTest : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTest(QWidget* parent = nullptr);

    // The file tried when the window shows.
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    QString FileName() const { return fileName_; }

    // The pointers loaded at the last showing, and the one shown now.
    const QVector<TCursorFrame>& Frames() const { return frames_; }
    int FrameIndex() const { return frame_; }
    // Shows the next frame (the animation's timer does this).
    void StepFrame();

    ImageView* Pad() const { return image1_; }
    QFrame* Panel() const { return panel1_; }
    // The controls that take the pointer under test.
    QList<QWidget*> CursorControls() const;
    QPushButton* CloseButton() const { return btnClose_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyCursor(const QCursor& cursor);
    void clearPad();

    QString fileName_;
    QVector<TCursorFrame> frames_;
    int frame_ = 0;
    QTimer* timer_ = nullptr;
    QFrame* panel1_ = nullptr;
    ImageView* image1_ = nullptr;
    QPushButton* button1_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QRadioButton* radio1_ = nullptr;
    QRadioButton* radio2_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QComboBox* comboBox1_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    QPoint previous_;
    QPoint current_;
    bool drawing_ = false;
};

// The Cursor Test command: the active document is written as "test.cur" in
// the settings folder (an animated one in its own format under that name),
// tried in the test window, and the file deleted afterwards.
void RunCursorTest(TfrmMain& main, TfrmTest& form);

}  // namespace velto
