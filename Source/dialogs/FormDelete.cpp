#include "FormDelete.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "DialogParts.h"
#include "DocumentDialogs.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "engine/Transform.h"
#include "model/Icon.h"
#include "shell/CanvasRender.h"
#include "shell/Desk.h"
#include "shell/Options.h"

namespace velto {

namespace {

constexpr int kItemHeight = 40;
constexpr int kBox = 32;
constexpr int kPictureRole = Qt::UserRole;
constexpr int kOffsetRole = Qt::UserRole + 1;

// A line: its box filled, the picture at its offset plus 4, the text at 44
// and centred in height. The pictures are made once per showing.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width() + 44, kItemHeight};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        const QRect r = option.rect;
        p->fillRect(r, selected ? pal.highlight() : pal.base());
        const QPoint offset = index.data(kOffsetRole).toPoint();
        p->drawImage(r.left() + offset.x() + 4, r.top() + offset.y() + 4, index.data(kPictureRole).value<QImage>());
        p->setPen(selected ? pal.highlightedText().color() : pal.text().color());
        const int textHeight = option.fontMetrics.height();
        p->drawText(QRect(r.left() + 44, r.top() + (r.height() - textHeight) / 2, r.width() - 44, textHeight),
                    Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
    }
};

}  // namespace

TfrmDelete::TfrmDelete(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDelete"));
    setWindowTitle(QStringLiteral("Delete Imges"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("Delete Imges"), QStringLiteral("Delete images from the icon")));
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 4);
    auto* label = new QLabel(QStringLiteral("Select the images to delete (This cannot be undone!)"), this);
    label->setObjectName(QStringLiteral("Label3"));
    body->addWidget(label);
    ListBox1_ = new QListWidget(this);
    ListBox1_->setObjectName(QStringLiteral("ListBox1"));
    ListBox1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1_->setUniformItemSizes(true);
    ListBox1_->setItemDelegate(new LineDelegate(ListBox1_));
    ListBox1_->setMinimumSize(260, 5 * kItemHeight);
    body->addWidget(ListBox1_);
    root->addLayout(body);
    AddOkCancelRow(this, root, &btnOK_, &btnCancel_);
    btnOK_->setText(QStringLiteral("Delete"));
    connect(btnOK_, &QPushButton::clicked, this, &TfrmDelete::OKClick);
}

QString TfrmDelete::LineText(int index, const TmyImagePal& image) {
    const QString frame = QString::fromStdString(
        ReplacePlaceholder(Lang().GetMessage("msgFrame", "Frame %i1"), "%i1", std::to_string(index)));
    return frame + QStringLiteral(" : %1x%2 - %3").arg(image.Width()).arg(image.Height()).arg(image.BitCount);
}

QImage TfrmDelete::LinePicture(const TmyImagePal& image, QPoint* offset) {
    TmyImagePal copy(image.Size(), image.BitCount);
    copy.Assign(image);
    if (copy.Width() <= kBox && copy.Height() <= kBox) {
        *offset = {(kBox - copy.Width()) / 2, (kBox - copy.Height()) / 2};
    } else {
        ResizeFrame(copy, {kBox, kBox});
        *offset = {0, 0};
    }
    return RenderImage(copy, Options().PrevColor);
}

void TfrmDelete::showEvent(QShowEvent* event) {
    // Coming back from the minimised state keeps the selection.
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    ListBox1_->clear();
    if (TfrmDesk* desk = ActiveDocumentWindow(); desk && desk->Document()) {
        const TmyIcon& doc = *desk->Document();
        for (int i = 0; i < doc.Count(); ++i) {
            auto* item = new QListWidgetItem(LineText(i, doc.Image(i)), ListBox1_);
            QPoint offset;
            item->setData(kPictureRole, LinePicture(doc.Image(i), &offset));
            item->setData(kOffsetRole, offset);
            item->setSizeHint({0, kItemHeight});
        }
    }
    QDialog::showEvent(event);
}

void TfrmDelete::OKClick() {
    TfrmDesk* desk = ActiveDocumentWindow();
    TmyIcon* doc = desk ? desk->Document() : nullptr;
    if (doc && doc->Count() == ListBox1_->count()) {
        std::vector<int> rows;
        for (const QListWidgetItem* item : ListBox1_->selectedItems()) rows.push_back(ListBox1_->row(item));
        std::sort(rows.begin(), rows.end());
        int first = 0;
        if (!rows.empty() && static_cast<int>(rows.size()) == doc->Count()) {
            ShowMessageBox(Lang().GetMessage("msgDeleteLast", "Cannot delete last image!"), mkWarning, mbOK);
            first = 1;
        }
        for (auto it = rows.rbegin(); it != rows.rend() && *it >= first; ++it) doc->Delete(*it);
    }
    accept();
}

}  // namespace velto
