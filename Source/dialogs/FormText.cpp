#include "FormText.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "DialogParts.h"

namespace velto {

QFont TextToolFont(const QString& family, int size, bool bold, bool italic, bool underline, bool strike) {
    QFont f(family);
    // Points at 96 pixels an inch, rounded as the Windows font height is.
    f.setPixelSize(std::max(1, (size * 96 + 36) / 72));
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strike);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

TTextStamp RenderTextStamp(const QFont& font, int size, const QString& text, TTagColor color) {
    constexpr int kSide = 255;
    QImage picture(kSide, kSide, QImage::Format_RGB32);
    picture.fill(Qt::white);
    // The tag colours: red byte 0 for the left button's colour, green byte 0 for the right's.
    const TTag tag = TagOf(color);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(font);
        p.setPen(QColor(tag.R, tag.G, 255));
        p.drawText(QRect(1, 0, kSide - 1, kSide), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    TTextStamp stamp;
    stamp.Tag = TTagBitmap(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < kSide; ++x)
            stamp.Tag.At(x, y) = {static_cast<std::uint8_t>(qRed(row[x])), static_cast<std::uint8_t>(qGreen(row[x]))};
    }
    const QFontMetrics m(font);
    stamp.TextWidth = m.horizontalAdvance(text);
    stamp.TextHeight = m.height();
    stamp.Size = size;
    stamp.Italic = font.italic();
    return stamp;
}

namespace {

QToolButton* StyleButton(QWidget* parent, const char* name, const QString& hint, const QString& letter, QFont look) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setText(letter);
    b->setCheckable(true);
    b->setFont(look);
    b->setFixedSize(24, 24);
    return b;
}

}  // namespace

TfrmText::TfrmText(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmText"));
    setWindowTitle(QStringLiteral("Text"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("Text"), QStringLiteral("Text painting tool")));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    root->addLayout(body);
    auto* textGroup = new QGroupBox(QStringLiteral(" Text "), this);
    textGroup->setObjectName(QStringLiteral("GroupBox1"));
    auto* tg = new QVBoxLayout(textGroup);
    auto* fontRow = new QHBoxLayout;
    cmbFont_ = new QComboBox(textGroup);
    cmbFont_->setObjectName(QStringLiteral("cmbfont"));
    QStringList families = QFontDatabase::families();
    families.sort();
    cmbFont_->addItems(families);
    cmbFont_->setCurrentIndex(families.isEmpty() ? -1 : 0);
    cmbSize_ = new QComboBox(textGroup);
    cmbSize_->setObjectName(QStringLiteral("cmbSize"));
    cmbSize_->setEditable(true);
    cmbSize_->setInsertPolicy(QComboBox::NoInsert);
    for (int s = 5; s <= 30; ++s) cmbSize_->addItem(QString::number(s));
    cmbSize_->setCurrentIndex(7);
    cmbSize_->lineEdit()->setValidator(new QIntValidator(kMinSize, kMaxSize, cmbSize_));
    fontRow->addWidget(cmbFont_, 1);
    fontRow->addWidget(cmbSize_);
    tg->addLayout(fontRow);
    auto* textRow = new QHBoxLayout;
    edtText_ = new QLineEdit(textGroup);
    edtText_->setObjectName(QStringLiteral("edtText"));
    textRow->addWidget(edtText_, 1);
    QFont look = font();
    look.setBold(true);
    btnBold_ = StyleButton(textGroup, "btnBold", QStringLiteral("Bold"), QStringLiteral("B"), look);
    look.setBold(false);
    look.setItalic(true);
    btnItalic_ = StyleButton(textGroup, "btnItalic", QStringLiteral("Italic"), QStringLiteral("I"), look);
    look.setItalic(false);
    look.setUnderline(true);
    btnUnderLine_ = StyleButton(textGroup, "btnUnderLine", QStringLiteral("Underline"), QStringLiteral("U"), look);
    look.setUnderline(false);
    look.setStrikeOut(true);
    btnStrike_ = StyleButton(textGroup, "btnStrike", QStringLiteral("Strikethrough"), QStringLiteral("S"), look);
    for (QToolButton* b : {btnBold_, btnItalic_, btnUnderLine_, btnStrike_}) textRow->addWidget(b);
    tg->addLayout(textRow);
    body->addWidget(textGroup);

    auto* previewGroup = new QGroupBox(QStringLiteral(" Preview "), this);
    previewGroup->setObjectName(QStringLiteral("GroupBox2"));
    auto* pg = new QVBoxLayout(previewGroup);
    image1_ = new QLabel(previewGroup);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setFixedSize(kPreviewWidth, kPreviewHeight);
    pg->addWidget(image1_, 0, Qt::AlignCenter);
    body->addWidget(previewGroup);

    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);

    connect(btnOK_, &QPushButton::clicked, this, &TfrmText::OKClick);
    // Enter in the text or the size box is OK, as anywhere in the window.
    connect(edtText_, &QLineEdit::returnPressed, this, &TfrmText::OKClick);
    connect(cmbSize_->lineEdit(), &QLineEdit::returnPressed, this, &TfrmText::OKClick);
    connect(cmbFont_, &QComboBox::currentIndexChanged, this, &TfrmText::UpdatePreview);
    connect(cmbSize_, &QComboBox::currentTextChanged, this, &TfrmText::UpdatePreview);
    connect(edtText_, &QLineEdit::textChanged, this, &TfrmText::UpdatePreview);
    for (QToolButton* b : {btnBold_, btnItalic_, btnUnderLine_, btnStrike_})
        connect(b, &QToolButton::toggled, this, &TfrmText::UpdatePreview);
    UpdatePreview();
}

int TfrmText::exec() {
    accepted_ = false;
    edtText_->setFocus();
    return QDialog::exec();
}

QString TfrmText::Text() const { return edtText_->text(); }

std::optional<int> TfrmText::Size() const {
    bool ok = false;
    const int size = cmbSize_->currentText().trimmed().toInt(&ok);
    if (!ok || size < kMinSize || size > kMaxSize) return std::nullopt;
    return size;
}

void TfrmText::UpdatePreview() {
    // A size being typed that is no size yet leaves the preview as it was.
    const std::optional<int> size = Size();
    if (!size) return;
    font_ = TextToolFont(cmbFont_->currentText(), *size, btnBold_->isChecked(), btnItalic_->isChecked(),
                         btnUnderLine_->isChecked(), btnStrike_->isChecked());
    QPixmap pm(kPreviewWidth, kPreviewHeight);
    pm.fill(Qt::white);
    {
        QPainter p(&pm);
        p.setFont(font_);
        p.setPen(Qt::black);
        const QFontMetrics m(font_);
        const QString text = edtText_->text();
        const int x = kPreviewWidth / 2 - m.horizontalAdvance(text) / 2;
        const int y = kPreviewHeight / 2 - m.height() / 2;
        p.drawText(QRect(x, y, kPreviewWidth * 4, kPreviewHeight * 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   text);
    }
    image1_->setPixmap(pm);
}

void TfrmText::OKClick() {
    // A size that is no whole number from 1 to 500 is not taken: the
    // window stays open with the size to correct.
    if (!Size()) {
        cmbSize_->setFocus();
        cmbSize_->lineEdit()->selectAll();
        return;
    }
    UpdatePreview();
    accepted_ = !edtText_->text().isEmpty();
    accept();
}

}  // namespace velto
