#include "FormFilter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

#include "KeyFilteredEdit.h"
#include "core/Language.h"
#include "core/MessageBox.h"
#include "shell/Desk.h"
#include "shell/ImageEdit.h"
#include "shell/MainWindow.h"
#include "shell/Options.h"

namespace velto {

namespace {

std::optional<std::int32_t> ToInt32(const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return v;
}

TFilterKernel Identity() {
    TFilterKernel k;
    k.Weights[12] = 1;
    return k;
}

}  // namespace

TfrmFilter::TfrmFilter(QWidget* parent)
    : TAdjustDialog(parent, "frmFilter", QStringLiteral("Custom Filter"), QStringLiteral("Custom Filer"),
                    QStringLiteral("Create custom filter")),
      kernel_(Identity()),
      applied_(Identity()) {
    auto* row = new QHBoxLayout;
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    const QString allowed = TKeyFilteredEdit::Digits() + QLatin1Char('-');
    for (int i = 0; i < 27; ++i) {
        auto* e = new TKeyFilteredEdit(allowed, this);
        e->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        e->setFixedWidth(40);
        edits_[static_cast<std::size_t>(i)] = e;
        if (i < 25) {
            grid->addWidget(e, i / 5, i % 5);
            connect(e, &QLineEdit::textChanged, this, [this](const QString& text) {
                if (!text.isEmpty() && text != QLatin1String("-")) UpdateDivisor();
            });
        }
    }
    row->addLayout(grid);

    auto* side = new QGridLayout;
    auto label = [this](const char* name, const QString& caption) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    side->addWidget(label("Label1", QStringLiteral("Divided by:")), 0, 0);
    side->addWidget(Edit(26), 0, 1);
    side->addWidget(label("Label2", QStringLiteral("Offset:")), 1, 0);
    side->addWidget(Edit(27), 1, 1);
    row->addSpacing(12);
    row->addLayout(side);
    row->addStretch(1);
    ControlsLayout()->addLayout(row);

    auto* samples = new QHBoxLayout;
    samples->addWidget(label("Label3", QStringLiteral("Samples")));
    cmbSample_ = new QComboBox(this);
    cmbSample_->setObjectName(QStringLiteral("cmbSample"));
    cmbSample_->addItem(QStringLiteral("None"));
    for (int item = 1; item <= KernelPresetCount; ++item)
        cmbSample_->addItem(QString::fromLatin1(FilterKernels[static_cast<std::size_t>(KernelForDialogItem(item))].Name));
    samples->addWidget(cmbSample_, 1);
    btnTest_ = new QPushButton(QStringLiteral("Test"), this);
    btnTest_->setObjectName(QStringLiteral("btnTest"));
    btnTest_->setAutoDefault(false);
    btnReset_ = new QPushButton(QStringLiteral("Reset"), this);
    btnReset_->setObjectName(QStringLiteral("btnReset"));
    btnReset_->setAutoDefault(false);
    samples->addWidget(btnTest_);
    samples->addWidget(btnReset_);
    ControlsLayout()->addLayout(samples);
    ControlsLayout()->addStretch(1);

    // Only a choice of the user loads a preset; opening sets "None" quietly.
    connect(cmbSample_, &QComboBox::activated, this, &TfrmFilter::SampleChange);
    connect(btnTest_, &QPushButton::clicked, this, &TfrmFilter::TestClick);
    connect(btnReset_, &QPushButton::clicked, this, &TfrmFilter::ResetClick);
    ResetClick();
}

void TfrmFilter::SetKernel(const TFilterKernel& kernel) {
    for (int i = 0; i < 25; ++i) Edit(i + 1)->setText(QString::number(kernel.Weights[static_cast<std::size_t>(i)]));
    Edit(26)->setText(QString::number(kernel.Divisor));
    Edit(27)->setText(QString::number(kernel.Offset));
}

std::optional<TFilterKernel> TfrmFilter::ReadKernel() const {
    TFilterKernel k;
    for (int i = 0; i < 27; ++i) {
        const auto v = ToInt32(Edit(i + 1)->text());
        if (!v) return std::nullopt;
        if (i < 25) k.Weights[static_cast<std::size_t>(i)] = *v;
        else if (i == 25) k.Divisor = *v;
        else k.Offset = *v;
    }
    return k;
}

TFilterKernel TfrmFilter::GetKernel() const { return ReadKernel().value_or(applied_); }

void TfrmFilter::UpdateDivisor() {
    // A weight still being typed ("-", emptied) leaves the divisor alone.
    long long sum = 0;
    for (int i = 1; i <= 25; ++i) {
        const auto v = ToInt32(Edit(i)->text());
        if (!v) return;
        sum += *v;
    }
    Edit(26)->setText(QString::number(sum));
}

void TfrmFilter::SampleChange(int item) {
    const int record = KernelForDialogItem(item);
    if (record < 0) return;
    SetKernel(FilterKernels[static_cast<std::size_t>(record)].Kernel);
}

bool TfrmFilter::takeKernel() {
    if (const auto k = ReadKernel()) {
        kernel_ = *k;
        return true;
    }
    for (int i = 1; i <= 27; ++i) {
        const QString text = Edit(i)->text();
        if (ToInt32(text)) continue;
        ShowMessageBox(ReplacePlaceholder(Lang().GetMessage("msgInvalidInteger", "'%s1' is not a valid integer value"),
                                          "%s1", text.toStdString()),
                       mkError, mbOK);
        Edit(i)->setFocus();
        Edit(i)->selectAll();
        break;
    }
    return false;
}

void TfrmFilter::TestClick() {
    if (takeKernel()) UpdatePreview();
}

void TfrmFilter::ResetClick() {
    SetKernel(Identity());
    cmbSample_->setCurrentIndex(0);
}

void TfrmFilter::ApplyRoutine(TmyImagePal& image, TPaletteRule*) {
    ApplyFilter5x5(image, kernel_, Options().FilterOnAlpha);
}

void TfrmFilter::PrepareShow() { cmbSample_->setCurrentIndex(0); }

// Every check before anything changes: the saved flag, the no-undo question,
// the undo snapshot and the busy cursor come after.
bool TfrmFilter::ReadyToApply() { return takeKernel(); }

// The filter mixes colours: indexed frames are refitted to their palettes.
unsigned TfrmFilter::EditFlags() const { return RefitPalette; }

void TfrmFilter::Applied() {
    applied_ = kernel_;
    if (TfrmMain* main = frmMain()) main->SetLastEffect(main->Action(QStringLiteral("actCustom")));
}

}  // namespace velto
