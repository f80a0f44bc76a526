#pragma once
// TfrmPreview: the docked preview pane. It shows the active document's
// current image (with the floating selection pasted in), follows painting
// pixel by pixel, and carries ten quick background colours ("quickcolors.dat")
// that set the colour behind transparent pixels.
#include <QImage>
#include <QWidget>

#include "platform/Color.h"
#include "shell/PaneAccess.h"

class QFrame;

namespace velto {

class ImageView;
class Tpreview;

class TfrmPreview : public QWidget, public TPreviewAccess {
    Q_OBJECT
public:
    static constexpr int kQuickCells = 10;
    static constexpr int kQuickCellSize = 16;
    static constexpr const char* kQuickColorsFile = "quickcolors.dat";

    // Loads the quick colours from settingsFolder (the defaults when absent).
    explicit TfrmPreview(const QString& settingsFolder, QWidget* parent = nullptr);
    ~TfrmPreview() override;

    // TPreviewAccess
    void RefreshPreview(const TmyImagePal* image) override;
    void PlotPixel(int x, int y, bool blend, const TmyPixel& pixel) override;

    // The image last shown (not owned); null after the documents are gone.
    const TmyImagePal* CurrentImage() const { return currentImage_; }
    void ForgetImage();

    Tpreview* Preview() const { return preview1_; }
    ImageView* QuickColors() const { return imgQuickColor_; }
    // The strip's bitmap (16 x 160), as saved at exit.
    const QImage& QuickColorBitmap() const;
    static QImage DefaultQuickColors();
    // The cell k of the strip refilled with colour.
    void SetQuickColor(int cell, QRgb colour);
    bool SaveQuickColors(const QString& settingsFolder) const;

    // The background colour setting applied to the box (after a settings change).
    void ApplyPrevColor();

    // The pointer handlers of the strip, in strip coordinates.
    void QuickColorPressed(QPoint pos);
    void QuickColorDoubleClicked(QPoint pos);

private:
    void chooseBackground();
    void rerender();

    Tpreview* preview1_ = nullptr;
    QFrame* panel1_ = nullptr;
    ImageView* imgQuickColor_ = nullptr;
    const TmyImagePal* currentImage_ = nullptr;
    QColor lastQuickColor_ = Qt::white;
};

}  // namespace velto
