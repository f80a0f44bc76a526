#include "FormProperties.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "DialogParts.h"
#include "DocumentDialogs.h"
#include "KeyFilteredEdit.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "shell/Desk.h"
#include "shell/ImageEdit.h"
#include "shell/Options.h"

namespace velto {

namespace {

constexpr int kThumb = 85;
constexpr int kRowHeight = 90;
constexpr int kTextLeft = 100;

// A message with one placeholder replaced by plain text, once.
QString Msg(const char* key, const char* def, const char* placeholder, const QString& value) {
    return QString::fromStdString(
        ReplacePlaceholder(Lang().GetMessage(key, def), placeholder, value.toStdString()));
}

QLabel* RowLabel(QWidget* parent, const QString& text, int top) {
    auto* label = new QLabel(text, parent);
    label->move(kTextLeft, top);
    label->adjustSize();
    label->show();
    return label;
}

QString RateText(double rate) {
    return QLocale().toString(std::nearbyint(rate * 1000.0) / 1000.0, 'g', QLocale::FloatingPointShortest);
}

void PaintInvalid(QLineEdit* edit) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, QColor::fromRgb(TfrmProperties::kInvalidColor));
    edit->setPalette(pal);
}

}  // namespace

std::int64_t StoredImageSize(const TmyImagePal& image) {
    return TmyIcoIO::ImageDataSize(image.Height(), image.Width(), image.BitCount) +
           TmyIcoIO::MaskDataSize(image.Height(), image.Width()) + 40;
}

TfrmProperties::TfrmProperties(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    setModal(true);
    setSizeGripEnabled(true);
    setMinimumSize(300, 350);
    resize(360, 520);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(
        MakeDialogHeader(this, QStringLiteral("Properties"), QStringLiteral("Change the properties of the cursor")));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 4, 8, 4);
    grpFile_ = new QGroupBox(QStringLiteral(" File "), this);
    grpFile_->setObjectName(QStringLiteral("grpFile"));
    auto* file = new QGridLayout(grpFile_);
    auto label = [this](const char* name) {
        auto* l = new QLabel(grpFile_);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    lblName_ = label("lblName");
    lblLocation_ = label("lblLocation");
    lblSize_ = label("lblSize");
    lblImageNo_ = label("lblImageNo");
    lblAniName_ = label("lblAniName");
    lblAniName_->setText(QStringLiteral("Ani Name"));
    lblAniAuthor_ = label("lblAniAuthor");
    lblAniAuthor_->setText(QStringLiteral("Ani Author"));
    edtAniName_ = new QLineEdit(grpFile_);
    edtAniName_->setObjectName(QStringLiteral("edtAniName"));
    edtAniAuthor_ = new QLineEdit(grpFile_);
    edtAniAuthor_->setObjectName(QStringLiteral("edtAniAuthor"));
    for (QLineEdit* e : {edtAniName_, edtAniAuthor_}) {
        e->setFixedWidth(181);
        connect(e, &QLineEdit::textChanged, e, [e](const QString& t) { e->setToolTip(t); });
    }
    file->addWidget(lblName_, 0, 0, 1, 2);
    file->addWidget(lblLocation_, 1, 0, 1, 2);
    file->addWidget(lblSize_, 2, 0, 1, 2);
    file->addWidget(lblImageNo_, 3, 0, 1, 2);
    file->addWidget(lblAniName_, 4, 0);
    file->addWidget(edtAniName_, 4, 1, Qt::AlignLeft);
    file->addWidget(lblAniAuthor_, 5, 0);
    file->addWidget(edtAniAuthor_, 5, 1, Qt::AlignLeft);
    file->setColumnStretch(1, 1);
    body->addWidget(grpFile_);

    grpImages_ = new QGroupBox(QStringLiteral(" Images "), this);
    grpImages_->setObjectName(QStringLiteral("grpImages"));
    auto* images = new QVBoxLayout(grpImages_);
    scrollBox1_ = new QScrollArea(grpImages_);
    scrollBox1_->setObjectName(QStringLiteral("ScrollBox1"));
    scrollBox1_->setFrameShape(QFrame::NoFrame);
    scrollBox1_->setWidgetResizable(false);
    rowsPanel_ = new QWidget;
    scrollBox1_->setWidget(rowsPanel_);
    images->addWidget(scrollBox1_);
    body->addWidget(grpImages_, 1);
    root->addLayout(body, 1);

    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    actSetAll_ = popupMenu1_->addAction(QStringLiteral("Use this display rate for all images"));
    actSetAll_->setObjectName(QStringLiteral("actSetAll"));
    connect(actSetAll_, &QAction::triggered, this, [this] { SetAll(menuRow_); });

    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    connect(btnOK_, &QPushButton::clicked, this, &TfrmProperties::OKClick);
}

void TfrmProperties::showEvent(QShowEvent* event) {
    // Built once per showing: focus coming back (after a message, say) or
    // the window coming back from the minimised state keeps what was typed.
    if (!event->spontaneous()) {
        build();
        // Never taller than the screen: the buttons stay in reach.
        const int room = ScreenRoomFor(this);
        if (height() > room) resize(width(), std::max(minimumHeight(), room));
    }
    QDialog::showEvent(event);
}

void TfrmProperties::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) freeRows();
    QDialog::hideEvent(event);
}

void TfrmProperties::freeRows() {
    for (const Row& r : rows_)
        for (QWidget* w : std::initializer_list<QWidget*>{r.thumbnail, r.type, r.dimension, r.size, r.rateLabel, r.rate})
            delete w;
    rows_.clear();
}

void TfrmProperties::build() {
    freeRows();
    TfrmDesk* desk = ActiveDocumentWindow();
    const TmyIcon* doc = desk ? desk->Document() : nullptr;
    const auto* ani = dynamic_cast<const TmyANI*>(doc);
    isAni_ = ani != nullptr;

    const QString caption = desk ? desk->windowTitle() : QString();
    const int cut = static_cast<int>(caption.lastIndexOf('/')) + 1;
    lblName_->setText(Msg("msglblName", "Name: %s1", "%s1", caption.mid(cut)));
    lblLocation_->setText(Msg("msglblLocation", "Location: %s1", "%s1", caption.left(cut)));
    lblName_->setToolTip(lblName_->text());
    lblLocation_->setToolTip(lblLocation_->text());
    const int count = doc ? doc->Count() : 0;
    lblImageNo_->setText(Msg("msglblImageNo", "Image Number: %i1", "%i1", QString::number(count)));

    for (QWidget* w : std::initializer_list<QWidget*>{lblAniName_, lblAniAuthor_, edtAniName_, edtAniAuthor_})
        w->setVisible(isAni_);
    if (ani) {
        edtAniName_->setText(QString::fromStdString(ani->Title));
        edtAniAuthor_->setText(QString::fromStdString(ani->Author));
    }
    const int offset = isAni_ ? 13 : 20;

    std::int64_t total = 0;
    int width = kTextLeft;
    for (int i = 0; i < count; ++i) {
        const TmyImagePal& image = doc->Image(i);
        Row row;
        const int top = kRowHeight * i;
        row.thumbnail = new QLabel(rowsPanel_);
        row.thumbnail->setGeometry(10, top, kThumb, kThumb);
        row.thumbnail->setAlignment(Qt::AlignCenter);
        row.thumbnail->setPixmap(QPixmap::fromImage(TilePicture(image, kThumb, Options().PrevColor)));
        row.thumbnail->show();
        row.type = RowLabel(rowsPanel_, Msg("msglblType", "Data Type: %i1 bits", "%i1", QString::number(image.BitCount)),
                            top + offset);
        const QString dim = Msg("msglblDim", "Dimension: %i1 x %i2", "%i1", QString::number(image.Width()));
        row.dimension = RowLabel(rowsPanel_,
                                 QString::fromStdString(ReplacePlaceholder(dim.toStdString(), "%i2",
                                                                           std::to_string(image.Height()))),
                                 top + 15 + offset);
        const std::int64_t size = StoredImageSize(image);
        total += size;
        row.size = RowLabel(rowsPanel_, Msg("msglblSize", "Size: %i1 bytes", "%i1", QString::number(size)),
                            top + 30 + offset);
        width = std::max({width, row.type->geometry().right(), row.dimension->geometry().right(),
                          row.size->geometry().right()});
        if (isAni_) {
            row.rateLabel = RowLabel(rowsPanel_, QString::fromStdString(Lang().GetMessage("msglblRate", "Display rate (sec)")),
                                     top + 45 + offset);
            const QString allowed = TKeyFilteredEdit::Digits() + QLocale().decimalPoint();
            row.rate = new TKeyFilteredEdit(allowed, rowsPanel_);
            row.rate->setGeometry(row.rateLabel->geometry().right() + 1 + 5, top + 45 + offset - 2, 40,
                                  row.rate->sizeHint().height());
            row.rate->setText(RateText(image.Rate()));
            row.rate->setContextMenuPolicy(Qt::CustomContextMenu);
            row.rate->show();
            TKeyFilteredEdit* edit = row.rate;
            // A click takes back the red of a failed check.
            connect(edit, &TKeyFilteredEdit::clicked, edit, [edit] { edit->setPalette(QPalette()); });
            connect(edit, &QWidget::customContextMenuRequested, this, [this, i, edit](QPoint pos) {
                menuRow_ = i;
                popupMenu1_->popup(edit->mapToGlobal(pos));
            });
            width = std::max(width, row.rate->geometry().right());
        }
        rows_.push_back(row);
    }
    total += 6 + 16 * static_cast<std::int64_t>(count);
    lblSize_->setText(Msg("msglblSize", "Size: %i1 bytes", "%i1", QString::number(total)));
    rowsPanel_->resize(width + 10, std::max(1, kRowHeight * count));
}

void TfrmProperties::SetAll(int row) {
    if (row < 0 || row >= rows_.size() || !rows_[row].rate) return;
    // The text as typed, not its number.
    const QString text = rows_[row].rate->text();
    for (const Row& r : rows_)
        if (r.rate) r.rate->setText(text);
}

void TfrmProperties::OKClick() {
    if (!isAni_) {
        accept();
        return;
    }
    bool valid = true;
    QVector<double> rates;
    for (const Row& r : rows_) {
        bool ok = false;
        const double v = QLocale().toDouble(r.rate->text(), &ok);
        if (!ok) {
            PaintInvalid(r.rate);
            valid = false;
        }
        rates.push_back(v);
    }
    if (!valid) {
        ShowMessageBox(Lang().GetMessage("msgInvalidRate", "Invalid display rate!"), mkError, mbOK);
        return;
    }
    TfrmDesk* desk = ActiveDocumentWindow();
    auto* ani = desk ? dynamic_cast<TmyANI*>(desk->Document()) : nullptr;
    // The document must still be the one shown.
    if (ani && ani->Count() == rows_.size()) {
        ani->Title = edtAniName_->text().toStdString();
        ani->Author = edtAniAuthor_->text().toStdString();
        for (int i = 0; i < ani->Count(); ++i) ani->Image(i).SetRate(rates[i]);
        TImageEdit(*desk, TEditKind::Properties).Done();
    }
    accept();
}

}  // namespace velto
