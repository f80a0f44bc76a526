#include "ImportGeometry.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace velto {

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// The ladder skips 0 and -1: 0 reached from above is the first reduction,
// -1 reached from below is the original size.
int OnLadder(int from, int to) {
    to = Clamp(to, kImportZoomMin, kImportZoomMax);
    if (to == 0 && from > 0) return -2;
    if (to == -1 && from < -1) return 1;
    if (to == 0 || to == -1) return 1;
    return to;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::optional<int> Number(std::string_view s) {
    s = Trim(s);
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < 1) return std::nullopt;
    return v;
}

}  // namespace

int ImportZoomIn(int zoom) {
    const int step = zoom >= 1 ? std::max(1, zoom / 2) : std::max(1, std::abs(zoom / 3));
    return OnLadder(zoom, zoom + step);
}

int ImportZoomOut(int zoom) {
    const int step = zoom >= 1 ? std::max(1, zoom / 3) : std::max(1, std::abs(zoom / 2));
    return OnLadder(zoom, zoom - step);
}

int ImportFitZoom(ImageSize source, ImageSize view) {
    const int sw = std::max(1, source.Width), sh = std::max(1, source.Height);
    const int vw = std::max(1, view.Width), vh = std::max(1, view.Height);
    const int z = std::min(vw / sw, vh / sh);
    if (z >= 1) return std::min(z, kImportZoomMax);
    int k = 2;
    while (sw / k > vw || sh / k > vh) ++k;
    return -k;
}

ImageSize ImportZoomedSize(ImageSize source, int zoom) {
    if (zoom >= 1) return {source.Width * zoom, source.Height * zoom};
    const int k = -zoom;
    return {std::max(1, source.Width / k), std::max(1, source.Height / k)};
}

int CentreOffset(int view, int content) { return content < view ? (view - content) / 2 : 0; }

TViewRect TImportView::FrameOf(const TImportRect& s) const {
    TViewRect r;
    if (Zoom >= 1) {
        r = {s.Left * Zoom, s.Top * Zoom, s.Width() * Zoom, s.Height() * Zoom};
    } else {
        const int k = -Zoom;
        r = {s.Left / k, s.Top / k, s.Width() / k, s.Height() / k};
    }
    r.X += OffsetX - ScrollX;
    r.Y += OffsetY - ScrollY;
    return r;
}

void TImportView::SourcePixelAt(int viewX, int viewY, int& sourceX, int& sourceY) const {
    const int vx = viewX - OffsetX + ScrollX, vy = viewY - OffsetY + ScrollY;
    if (Zoom >= 1) {
        // Floor division: a position left of the picture is outside it.
        sourceX = vx >= 0 ? vx / Zoom : -1;
        sourceY = vy >= 0 ? vy / Zoom : -1;
    } else {
        sourceX = vx >= 0 ? vx * -Zoom : -1;
        sourceY = vy >= 0 ? vy * -Zoom : -1;
    }
}

void TImportDrag::Step(int zoom, int dx, int dy, int& sourceDx, int& sourceDy) {
    const int scale = zoom < 0 ? -zoom : 1;
    const int per = zoom < 0 ? 1 : zoom;
    accX_ += dx * scale;
    accY_ += dy * scale;
    sourceDx = accX_ / per;
    sourceDy = accY_ / per;
    accX_ -= sourceDx * per;
    accY_ -= sourceDy * per;
}

TImportRect MoveSelection(TImportRect r, TImportGrip grip, int dx, int dy, ImageSize source) {
    const int w = source.Width, h = source.Height;
    if (grip == TImportGrip::Frame) {
        const int rw = r.Width(), rh = r.Height();
        r.Left += dx;
        r.Right += dx;
        r.Top += dy;
        r.Bottom += dy;
        if (r.Left < 0) r = {0, r.Top, rw, r.Bottom};
        if (r.Right > w) r = {w - rw, r.Top, w, r.Bottom};
        if (r.Top < 0) r = {r.Left, 0, r.Right, rh};
        if (r.Bottom > h) r = {r.Left, h - rh, r.Right, h};
        return r;
    }
    const bool left = grip == TImportGrip::TopLeft || grip == TImportGrip::Left || grip == TImportGrip::BottomLeft;
    const bool right = grip == TImportGrip::TopRight || grip == TImportGrip::Right || grip == TImportGrip::BottomRight;
    const bool top = grip == TImportGrip::TopLeft || grip == TImportGrip::Top || grip == TImportGrip::TopRight;
    const bool bottom =
        grip == TImportGrip::BottomLeft || grip == TImportGrip::Bottom || grip == TImportGrip::BottomRight;
    if (left) r.Left = Clamp(r.Left + dx, 0, r.Right - 1);
    if (right) r.Right = Clamp(r.Right + dx, r.Left + 1, w);
    if (top) r.Top = Clamp(r.Top + dy, 0, r.Bottom - 1);
    if (bottom) r.Bottom = Clamp(r.Bottom + dy, r.Top + 1, h);
    return r;
}

std::optional<ImageSize> ParseFixedSize(std::string_view text, ImageSize source) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos || x == 0) return std::nullopt;
    const auto w = Number(text.substr(0, x - 1));
    const auto h = Number(text.substr(x + 1));
    if (!w || !h) return std::nullopt;
    return ImageSize{std::min(*w, source.Width), std::min(*h, source.Height)};
}

}  // namespace velto
