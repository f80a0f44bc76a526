#pragma once
// A GIF as a picture of the windowing layer: registered for the extension
// "gif" ("GIF Image"), loaded from hostile bytes within the codec's limits,
// drawn with its transparency (one frame stretched into its place in the
// rectangle or tiled; an animation played into the rectangle of each widget
// or window it is drawn into, by a painter of that target's own), and shown
// as Bitmap: frame 0 on the logical screen, transparent where nothing is drawn.
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gif/GifImage.h"
#include "imagingqt/GifPainter.h"
#include "imagingqt/ImagingGraphic.h"

namespace velto {

// The frame's place on the logical screen of its image mapped into dest.
QRect GIFScreenRectIn(const TGIFSubImage& frame, const QRect& dest);

// Draws frame into dest (ARGB32 or RGB32): without tile stretched by the
// nearest pixel into GIFScreenRectIn(rect); with tile unscaled copies from
// (rect.left + Left, rect.top + Top), a logical screen apart, inside rect.
// Either way only pixels inside dest are written, wherever rect lies.
// With transparent, the frame's transparent pixels leave dest as it was.
// Indices the colour map lacks draw opaque black.
void DrawGIFFrame(QImage& dest, const TGIFSubImage& frame, const QRect& rect, bool transparent, bool tile);

class TGIFGraphic : public TImagingGraphic {
public:
    TGIFGraphic();
    ~TGIFGraphic() override;

    TGIFImage& Image() { return *fImage; }
    const TGIFImage& Image() const { return *fImage; }
    int Width() const { return fImage->Width(); }
    int Height() const { return fImage->Height(); }
    bool Empty() const { return fImage->Empty(); }

    // The whole file (from the stream's position to its end) read within the
    // image's limits. On failure raises GIFException and leaves the picture
    // as it was.
    void LoadDataFromStream(TStream& stream) override;
    // Bytes of a file (or of the clipboard): false with the reason when they
    // are refused, the picture then as it was.
    bool LoadFromBytes(std::span<const std::uint8_t> bytes, std::string* error = nullptr);
    // The file's bytes; raises GIFException for an image without frames.
    std::vector<std::uint8_t> SaveToBytes();
    // Takes a picture as one frame (colours reduced as the image's settings
    // say, pixels of alpha below 128 transparent). False with the reason
    // when it cannot.
    bool AssignPicture(const QImage& picture, std::string* error = nullptr);

    // After frames, colours or size changed: painters stop and Bitmap is redone.
    void Changed();

    // Draws into rect of the painter's device with the image's DrawOptions.
    // An animation (more than one frame, drAnimate) plays into rect of
    // target through target's own painter, which asks target to repaint;
    // target's paint handler calls Draw again with the same rect and gets
    // the frame playing. Each target plays on its own: drawing into another
    // one leaves the others' painters alone. Another rect for a target starts
    // its painter again from the first frame. Without a target the first
    // frame is drawn. A single frame (or FixedFrame) is drawn at once,
    // without a painter.
    void Draw(QPainter& painter, const QRect& rect, QObject* target = nullptr);
    // Stops every painter of the image and lets them go.
    void StopDraw();
    // The painter of target (nullptr: the one drawn without a target); nullptr
    // when none plays or was kept for it.
    TGIFPainter* Painter(const QObject* target) const;
    // Painters kept, one per target drawn into.
    int PainterCount() const { return static_cast<int>(fPainters.size()); }

    // Copied to every new painter.
    std::function<void(TGIFPainter&)> OnPaintStart, OnFramePaint, OnFramePainted, OnLoopStart, OnPaintEnd;

private:
    // The first frame as the picture shows it.
    static QImage FirstFrame(const TGIFImage& image);
    // Makes fresh the image, its first frame the picture; nothing changes if that raises.
    void Adopt(std::unique_ptr<TGIFImage> fresh);
    void DrawStill(QPainter& painter, const QRect& rect, const TGIFSubImage& frame, std::uint16_t options);
    // target's painter, started anew into rect (any painter it had stops).
    TGIFPainter& StartPainter(QObject* target, const QRect& rect, std::uint16_t options);

    struct TTargetPainter {
        // What the painter was made for; its own pointer to the target
        // becomes null when the target goes, this one does not.
        const QObject* Target;
        std::unique_ptr<TGIFPainter> Painter;
    };
    std::unique_ptr<TGIFImage> fImage;
    std::vector<TTargetPainter> fPainters;
    bool fDrawing = false;
};

// Registers TGIFGraphic for "gif" as "GIF Image" (taking the extension over)
// and as the class "TGIFImage"; reads the display's depth for dithering.
void RegisterGIFGraphic();
void UnregisterGIFGraphic();

}  // namespace velto
