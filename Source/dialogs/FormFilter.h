#pragma once
// TfrmFilter: a 5 x 5 kernel typed into 25 edits with its divisor and
// offset, or loaded from the 29 named presets; Test previews it, OK applies
// it and makes the custom filter the main window's last effect, which then
// applies the kernel still entered here. Opening keeps the typed kernel and
// shows "None" as the preset.
#include <array>
#include <optional>

#include "AdjustDialog.h"
#include "KeyFilteredEdit.h"
#include "engine/Filter.h"
#include "shell/ModalForms.h"

class QComboBox;
class QLineEdit;

namespace velto {

class TfrmFilter : public TAdjustDialog, public TCustomFilterForm {
    Q_OBJECT
public:
    explicit TfrmFilter(QWidget* parent = nullptr);

    // Edit1 .. Edit25 (the weights, row by row), Edit26 (divisor), Edit27 (offset).
    QLineEdit* Edit(int i) const { return edits_[static_cast<std::size_t>(i - 1)]; }
    QComboBox* Samples() const { return cmbSample_; }
    QPushButton* TestButton() const { return btnTest_; }
    QPushButton* ResetButton() const { return btnReset_; }

    // The weights, then the divisor, then the offset, as decimal texts (the
    // preset's divisor stays, not the sum the weights leave).
    void SetKernel(const TFilterKernel& kernel);
    // The kernel of the edits; nothing when one of them is not a 32-bit integer.
    std::optional<TFilterKernel> ReadKernel() const;
    // TCustomFilterForm: the kernel entered; while an edit holds no number,
    // the kernel last applied.
    TFilterKernel GetKernel() const override;
    // "Divided by" := the sum of the weights, when every weight is a number.
    void UpdateDivisor();

    void SampleChange(int item);
    void TestClick();
    void ResetClick();

protected:
    void ApplyRoutine(TmyImagePal& image, TPaletteRule* palette) override;
    void PrepareShow() override;
    bool ReadyToApply() override;
    unsigned EditFlags() const override;
    void Applied() override;

private:
    // The kernel of the edits into kernel_, or the message naming the text
    // that is no number; false then.
    bool takeKernel();

    std::array<TKeyFilteredEdit*, 27> edits_{};
    QComboBox* cmbSample_ = nullptr;
    QPushButton* btnTest_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    TFilterKernel kernel_;
    TFilterKernel applied_;
};

}  // namespace velto
