#pragma once
// A flat tool button whose glyph is a PNG image with alpha. The glyph is
// blended exactly onto the button as painted (our own blend on our own
// buffer; Qt only shows the finished picture), placed by CalcButtonLayout,
// and drawn in the disabled looks of PngOptions while the button is disabled.
#include <QToolButton>

#include <memory>

#include "png/PngButtonLayout.h"
#include "png/PngFunctions.h"
#include "png/PngImage.h"

namespace velto {

class TPngImageList;

class TPngSpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit TPngSpeedButton(QWidget* parent = nullptr);
    ~TPngSpeedButton() override;

    const TPNGObject& PngImage() const { return *png_; }
    // A copy becomes the glyph (nullptr: an empty glyph); its gamma chunk is
    // dropped for colour and palette images. png2x, when given, is the same
    // picture at twice the size for displays of twice the density.
    void SetPngImage(const TPNGObject* png, const TPNGObject* png2x = nullptr);
    TPngOptions PngOptions() const { return options_; }
    void SetPngOptions(TPngOptions options);
    bool ImageFromAction() const { return fromAction_; }

    // The button's action changed: when the glyph is empty or came from an
    // action, it becomes the image at imageIndex of the action's image list
    // (an index outside the list leaves it as it is).
    void ActionChange(const TPngImageList* images, int imageIndex);

    int Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;

    // Where the glyph and the caption go in the button as it is now.
    TButtonLayoutResult CurrentLayout() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RebuildPlaceholder();
    std::unique_ptr<TPNGObject> png_;
    std::unique_ptr<TPNGObject> png2x_;
    TPngOptions options_ = pngBlendOnDisabled;
    bool fromAction_ = false;
};

}  // namespace velto
