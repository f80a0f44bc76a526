#include "FormTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "DialogParts.h"
#include "DocumentDialogs.h"
#include "ImageView.h"
#include "core/SysUtils.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"

namespace velto {

namespace {

constexpr int kPointerSide = 32;
// A frame shows at least one screen refresh and at most a minute.
constexpr int kMinFrameMs = 16;
constexpr int kMaxFrameMs = 60000;

QCursor CursorOf(const TmyImage& image) {
    return QCursor(QPixmap::fromImage(ImageToArgb(image)), image.HotSpotX(), image.HotSpotY());
}

// The image a static cursor file shows as the pointer: the size nearest the
// usual pointer's, then the deepest.
const TmyImagePal& PointerImage(const TmyIcon& doc) {
    const TmyImagePal* best = &doc.Image(0);
    auto distance = [](const TmyImagePal& i) {
        return std::abs(i.Width() - kPointerSide) + std::abs(i.Height() - kPointerSide);
    };
    for (int i = 1; i < doc.Count(); ++i) {
        const TmyImagePal& c = doc.Image(i);
        if (distance(c) < distance(*best) || (distance(c) == distance(*best) && c.BitCount > best->BitCount))
            best = &c;
    }
    return *best;
}

}  // namespace

QVector<TCursorFrame> LoadCursorFrames(const QString& fileName) {
    QVector<TCursorFrame> frames;
    const FileTypeResult type = DetectFileType(fileName.toStdString());
    if (!type.ok()) return frames;
    if (type.type == ftAnimatedCursor) {
        TmyANI doc;
        if (!TmyANIIO(false).LoadFromFile(doc, fileName.toStdString())) return frames;
        for (int i = 0; i < doc.Count(); ++i) {
            const double ms = std::nearbyint(doc.Image(i).Rate() * 1000.0);
            frames.push_back({CursorOf(doc.Image(i)), static_cast<int>(std::clamp<double>(ms, kMinFrameMs, kMaxFrameMs))});
        }
    } else if (type.type == ftCursor || type.type == ftIcon) {
        TmyIcon doc;
        if (!TmyIcoIO(false).LoadFromFile(doc, fileName.toStdString()) || doc.Count() == 0) return frames;
        frames.push_back({CursorOf(PointerImage(doc)), 0});
    }
    return frames;
}

TfrmTest::TfrmTest(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTest"));
    setWindowTitle(QStringLiteral("Cursor Test"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("Cursor Test"), QStringLiteral("Here you can test your cursor")));

    panel1_ = new QFrame(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panel1_);
    image1_ = new ImageView(panel1_);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setFixedSize(219, 127);
    image1_->SetPicture(QImage(219, 127, QImage::Format_RGB32));
    grid->addWidget(image1_, 0, 0, 4, 1);
    button1_ = new QPushButton(QStringLiteral("Button"), panel1_);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setAutoDefault(false);
    edit1_ = new QLineEdit(panel1_);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    radio1_ = new QRadioButton(QStringLiteral("Radio Button 1"), panel1_);
    radio1_->setObjectName(QStringLiteral("RadioButton1"));
    radio2_ = new QRadioButton(QStringLiteral("Radio Button 2"), panel1_);
    radio2_->setObjectName(QStringLiteral("RadioButton2"));
    checkBox1_ = new QCheckBox(QStringLiteral("Check Box"), panel1_);
    checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
    comboBox1_ = new QComboBox(panel1_);
    comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
    for (int i = 1; i <= 5; ++i) comboBox1_->addItem(QString::number(i));
    grid->addWidget(button1_, 0, 1);
    grid->addWidget(edit1_, 1, 1);
    grid->addWidget(comboBox1_, 2, 1);
    grid->addWidget(radio1_, 0, 2);
    grid->addWidget(radio2_, 1, 2);
    grid->addWidget(checkBox1_, 2, 2);
    auto* middle = new QVBoxLayout;
    middle->setContentsMargins(8, 4, 8, 4);
    middle->addWidget(panel1_);
    root->addLayout(middle);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 0);
    row->addStretch(1);
    btnClose_ = new QPushButton(QStringLiteral("Close"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    btnClose_->setDefault(true);
    row->addWidget(btnClose_);
    root->addLayout(row);
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &TfrmTest::StepFrame);

    // The scribble pad: a black line follows the pointer while a button is held.
    connect(image1_, &ImageView::mousePressed, this, [this](Qt::MouseButton, QPoint pos) {
        previous_ = current_ = pos;
        QImage& pic = image1_->Picture();
        if (pic.rect().contains(pos)) pic.setPixel(pos, qRgb(0, 0, 0));
        drawing_ = true;
        image1_->update();
    });
    connect(image1_, &ImageView::mouseMoved, this, [this](QPoint pos, Qt::MouseButtons) {
        previous_ = current_;
        current_ = pos;
        if (!drawing_) return;
        QPainter p(&image1_->Picture());
        p.setPen(Qt::black);
        p.drawLine(previous_, current_);
        p.end();
        image1_->update();
    });
    connect(image1_, &ImageView::mouseReleased, this, [this](Qt::MouseButton, QPoint) { drawing_ = false; });
}

QList<QWidget*> TfrmTest::CursorControls() const {
    return {panel1_, button1_, edit1_, radio1_, radio2_, checkBox1_, comboBox1_};
}

void TfrmTest::applyCursor(const QCursor& cursor) {
    for (QWidget* w : CursorControls()) w->setCursor(cursor);
}

void TfrmTest::clearPad() {
    image1_->Picture().fill(Qt::white);
    image1_->update();
}

void TfrmTest::showEvent(QShowEvent* event) {
    // Coming back from the minimised state keeps the drawing and the pointer.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    frames_ = LoadCursorFrames(fileName_);
    frame_ = 0;
    if (frames_.isEmpty()) {
        // No cursor read: the controls show the usual pointer.
        for (QWidget* w : CursorControls()) w->unsetCursor();
        // The edit keeps its text cursor, as it would anywhere else.
        edit1_->setCursor(Qt::IBeamCursor);
    } else {
        applyCursor(frames_.first().cursor);
        if (frames_.size() > 1) timer_->start(frames_.first().duration);
    }
    clearPad();
    drawing_ = false;
    QDialog::showEvent(event);
}

void TfrmTest::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) timer_->stop();
    QDialog::hideEvent(event);
}

void TfrmTest::StepFrame() {
    if (frames_.size() < 2) return;
    frame_ = (frame_ + 1) % static_cast<int>(frames_.size());
    applyCursor(frames_[frame_].cursor);
    if (isVisible()) timer_->start(frames_[frame_].duration);
}

void RunCursorTest(TfrmMain& main, TfrmTest& form) {
    auto* desk = qobject_cast<TfrmDesk*>(main.ActiveDesk());
    if (!desk || !desk->HasImages()) return;
    QString folder = QString::fromStdString(GetSettingsFolder());
    if (folder.isEmpty() || !QDir().mkpath(folder)) folder = QDir::tempPath();
    const QString path = QDir(folder).filePath(QStringLiteral("test.cur"));
    const TmyIcon& doc = *desk->Document();
    // A file left from an earlier test is never tried in place of this one.
    QFile::remove(path);
    // An animated cursor keeps its own format under this name.
    if (desk->IsAnimated()) TmyANIIO(false).SaveToFile(doc, path.toStdString(), false);
    else TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false);
    form.SetFileName(path);
    form.exec();
    QFile::remove(path);
}

}  // namespace velto
