#pragma once
// The line rasteriser the freehand and line tools stamp along, and the
// rendering of an image (or one pixel of it) into a 24-bit preview picture.
#include <cstdint>
#include <vector>

#include "engine/PixelBuffers.h"
#include "model/Image.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

struct TPoint {
    int X = 0;
    int Y = 0;
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// The pixels from (X1, Y1), excluded, to (X2, Y2), included: one per step
// along the longer axis, the other coordinate rounded (halves to even) on the
// exact line. Count = max(|X2 - X1|, |Y2 - Y1|), at most MaxPoints: a longer
// segment (no tool makes one; the tools' ends lie inside an image) keeps its
// first MaxPoints points.
class Tline {
public:
    static constexpr int MaxPoints = 10000;

    int X1 = 0;
    int Y1 = 0;
    int X2 = 0;
    int Y2 = 0;

    Tline() = default;
    Tline(TPoint from, TPoint to) : X1(from.X), Y1(from.Y), X2(to.X), Y2(to.Y) {}

    void Rasterize();
    int Count() const { return static_cast<int>(Points.size()); }
    // Point i of 1..Count.
    TPoint GetPoint(int i) const { return Points[static_cast<std::size_t>(i - 1)]; }
    const std::vector<TPoint>& GetPoints() const { return Points; }

private:
    std::vector<TPoint> Points;
};

// The image one pixel per pixel over the background: a transparent pixel
// shows the background; at 32 bits other pixels are blended over it
// (BlendChannel: alpha 255 shows the pixel's own colour exactly); below 32
// bits they show their own colour. The buffer takes the image's size.
void PaintImage(const TmyImagePal& image, TRgbBuffer& target, TColor background);

// One preview pixel. Blended: transparent gives the background, any other
// pixel PixelOverColor over it. Opaque: transparent gives the background,
// any other its own colour. Outside the buffer nothing happens.
void DrawPixelBlended(TRgbBuffer& target, int x, int y, const TmyPixel& pix, TColor background);
void DrawPixelOpaque(TRgbBuffer& target, int x, int y, const TmyPixel& pix, TColor background);
enum class TPixelDraw : std::uint8_t { Opaque, Blended };
void DrawPixel(TRgbBuffer& target, int x, int y, TPixelDraw how, const TmyPixel& pix, TColor background);

}  // namespace velto
