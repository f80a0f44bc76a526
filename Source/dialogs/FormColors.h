#pragma once
// TfrmColors: the docked colour panel holding the two drawing colours of the
// whole program, ForeColor (left button) and BackColor (right button). The
// user picks them from a colour field, a "transparent" strip, 30 favourite
// colours kept in "colors.dat", the palette of a paletted image, the colour
// dialog, or the RGB/opacity and HSB sliders.
#include <QImage>
#include <QWidget>

#include <optional>

#include "model/Palette.h"
#include "model/Pixel.h"
#include "shell/PaneAccess.h"

class QFrame;
class QToolButton;

namespace velto {

class ImageView;
class TAdvancedScroll;

class TfrmColors : public QWidget, public TColorPanelAccess {
    Q_OBJECT
public:
    static constexpr int kFieldSize = 160;
    static constexpr int kFavCols = 5, kFavRows = 6, kFavCell = 12;
    static constexpr int kFavCount = kFavCols * kFavRows;
    static constexpr int kPalCell = 10;
    static constexpr const char* kFavoritesFile = "colors.dat";

    // Loads the favourites from settingsFolder (the defaults when absent).
    explicit TfrmColors(const QString& settingsFolder, QWidget* parent = nullptr);
    ~TfrmColors() override;

    // ---- TColorPanelAccess ----
    TmyPixel& ForeColor() override { return foreColor_; }
    TmyPixel& BackColor() override { return backColor_; }
    void ShowPalette(const TmyPalette* palette) override;
    void SetBitCount(int bits) override;
    void SyncWithPalette(const TmyPalette& palette) override;
    void SelectPaletteCell(int index) override;
    void RefreshColors() override;
    void DrawPrimaryColor() override;
    void DrawSecondaryColor() override;
    void UpdateRGBSliders() override;
    void UpdateHSBSliders() override;

    // ---- the panel's own operations ----
    TmyPixel OldColor() const { return oldColor_; }
    void ApplyRGBSliders();
    void ApplyHSBSliders();
    void DrawTransparentStrip();
    void ResetColors();
    // The favourite cell under the marker (r·5 + c), and the marker's place.
    int GetCustomColorIndex() const;
    void SetCustomColorIndex(int index);  // clamped into 0..29
    void btnRGBClick();
    void btnHSBClick();
    bool ShowsRGB() const;
    void SwapColors();
    void ResetClick();
    void LoadPaletteClick();
    void SavePaletteClick();
    void ForeSwatchClick();
    void BackSwatchClick();
    // A press on a picking source at pos (control coordinates).
    void FieldPressed(Qt::MouseButton button, QPoint pos);
    void FavoritesPressed(Qt::MouseButton button, QPoint pos);
    void PaletteGridPressed(Qt::MouseButton button, QPoint pos);
    void TransparentPressed(Qt::MouseButton button);
    void FavoriteFramePressed(Qt::MouseButton button);
    bool PaletteMode() const { return shownPalette_.has_value(); }
    // The palette cell under the frame, -1 when the frame is hidden.
    int SelectedPaletteCell() const;

    // The status read-out of a colour: "R:%d G:%d B:%d   H:%d S:%d B:%d".
    static QString StatusText(const TmyPixel& colour);
    QString LastStatus() const { return lastStatus_; }
    // The read-out for the pointer over widget w at pos (w's coordinates);
    // empty over the bare panel.
    void ShowStatusFor(QWidget* w, QPoint pos);

    // Restore and save with the layout; the favourites written at exit.
    void RestoreFromOptions();
    void SaveToOptions() const;
    bool SaveFavorites(const QString& settingsFolder) const;

    // The pictures and controls, as tests and the main window look at them.
    static QImage ColorField();
    static QImage DefaultFavorites();
    const QImage& Favorites() const;
    const QImage& PaletteGrid() const;
    const QImage& ForeSwatch() const;
    const QImage& BackSwatch() const;
    const QImage& TransparentStrip() const;
    ImageView* FieldView() const { return image1_; }
    ImageView* PaletteView() const { return image6_; }
    ImageView* FavoritesView() const { return image5_; }
    ImageView* StripView() const { return image2_; }
    ImageView* ForeView() const { return image3_; }
    ImageView* BackView() const { return image4_; }
    QFrame* PaletteFrame() const { return panel8_; }
    QFrame* FavoriteFrame() const { return panel9_; }
    TAdvancedScroll* Red() const { return sbRed_; }
    TAdvancedScroll* Green() const { return sbGreen_; }
    TAdvancedScroll* Blue() const { return sbBlue_; }
    TAdvancedScroll* Opacity() const { return sbOpacity_; }
    TAdvancedScroll* Hue() const { return sbHue_; }
    TAdvancedScroll* Saturation() const { return sbSaturation_; }
    TAdvancedScroll* Brightness() const { return sbBrightness_; }
    QWidget* HSBPanel() const { return panel4_; }
    QToolButton* LoadPaletteButton() const { return btnLoadPal_; }
    QToolButton* SavePaletteButton() const { return btnSavePal_; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    TAdvancedScroll* addSlider(QWidget* parent, const char* name, int y, int max, const QImage& picture);
    void rgbSliderChanged();
    void startChange();
    void endChange();
    void replacePaletteColor();
    void drawSwatch(ImageView* view, const TmyPixel& colour);
    void setFrameColour(QFrame* frame, const TmyPixel& colour);
    void applyPicked(TmyPixel& target, QRgb picked, bool primary);
    void ensureCursors();
    void setStatus(const QString& text);

    // Fields in the panel's order.
    bool rgbGuard_ = true;
    bool hsbGuard_ = true;
    TmyPixel oldColor_{};
    TmyPixel foreColor_{};
    TmyPixel backColor_{};

    std::optional<TmyPalette> shownPalette_;
    int selectedCell_ = -1;
    QString lastStatus_;
    bool cursorsSet_ = false;

    ImageView* image1_ = nullptr;  // colour field
    ImageView* image6_ = nullptr;  // palette grid
    QFrame* panel8_ = nullptr;     // palette cell frame
    ImageView* image2_ = nullptr;  // transparent strip
    ImageView* image3_ = nullptr;  // primary swatch
    ImageView* image4_ = nullptr;  // secondary swatch
    ImageView* image5_ = nullptr;  // favourites
    QFrame* panel9_ = nullptr;     // favourite cell frame
    QFrame* bevel5_ = nullptr;
    QToolButton* btnTwistColor_ = nullptr;
    QToolButton* btnResetColor_ = nullptr;
    QToolButton* btnRGB_ = nullptr;
    QToolButton* btnHSB_ = nullptr;
    QToolButton* btnLoadPal_ = nullptr;
    QToolButton* btnSavePal_ = nullptr;
    TAdvancedScroll* sbRed_ = nullptr;
    TAdvancedScroll* sbGreen_ = nullptr;
    TAdvancedScroll* sbBlue_ = nullptr;
    TAdvancedScroll* sbOpacity_ = nullptr;
    QWidget* panel4_ = nullptr;
    TAdvancedScroll* sbHue_ = nullptr;
    TAdvancedScroll* sbSaturation_ = nullptr;
    TAdvancedScroll* sbBrightness_ = nullptr;
    QObject* dlgLoadPal_ = nullptr;
    QObject* dlgSavePal_ = nullptr;
};

}  // namespace velto
