#pragma once
// TfrmTools: the docked tool palette. Eighteen tool buttons (one down at a
// time), four transform and four shift buttons that run the image commands,
// and the option panels of the current tool: brush size, brush shape, fill
// style of the shapes, gradient direction. The tool state itself is the
// program's (the main window's tool controller); the palette shows it and
// changes it.
#include <QPointer>
#include <QWidget>

#include <array>

#include "engine/ToolState.h"
#include "shell/ToolController.h"

class QButtonGroup;
class QFrame;
class QToolButton;

namespace velto {

class TfrmTools : public QWidget, public TToolPaletteAccess {
    Q_OBJECT
public:
    static constexpr int kWidth = 58;
    static constexpr int kHeight = 448;

    explicit TfrmTools(TToolController& tools, QWidget* parent = nullptr);
    ~TfrmTools() override;

    // ---- TToolPaletteAccess
    void PressToolButton(TToolId id) override;
    void ToolStateChanged() override;

    // The colour panel's depth rule: below 32 bits the opacity tool is off
    // (the gradient tool takes its place when it was current).
    void SetOpacityToolAvailable(bool available);
    // The keys "1".."7": the size button, when the size panel shows.
    bool ClickBrushSize(int size);

    // The parts, named as the translation knows them.
    QToolButton* ToolButton(TToolId id) const;
    QToolButton* SizeButton(int size) const;          // SpeedButton23..26, 34..36
    QToolButton* ShapeButton(int shape) const;        // SpeedButton27..30
    QToolButton* FillButton(int style) const;         // SpeedButton31..33
    QToolButton* GradientButton(int kind) const;      // SpeedButton41, 42
    QWidget* OptionPanel(int panel) const;            // Panel1..Panel4
    QToolButton* CommandButton(const char* name) const;  // btnFlipVert, btnUp...

private:
    void build();
    void toolClicked(TToolId id);
    void optionClicked();

    QPointer<TToolController> tools_;
    std::array<QToolButton*, kToolCount + 1> toolButtons_{};
    std::array<QToolButton*, 8> sizeButtons_{};
    std::array<QToolButton*, 5> shapeButtons_{};
    std::array<QToolButton*, 4> fillButtons_{};
    std::array<QToolButton*, 3> gradientButtons_{};
    std::array<QFrame*, 5> panels_{};
    QButtonGroup* toolGroup_ = nullptr;
};

}  // namespace velto
