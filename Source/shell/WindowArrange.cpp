#include "WindowArrange.h"

#include <algorithm>

namespace velto {

long long RoundHalfEven(long long num, long long den) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    // Floor division, then the remainder against half the divisor.
    long long q = num / den;
    long long r = num % den;
    if (r < 0) {
        --q;
        r += den;
    }
    const long long twice = 2 * r;
    if (twice > den || (twice == den && (q % 2) != 0)) ++q;
    return q;
}

TileSpan SplitRoom(int room, int count) {
    if (count < 1) return {};
    TileSpan span;
    span.size = room / count;  // truncating, as the integer division of the window sizes always was
    int overlap = 0;
    if (span.size < kMinTileSize) {
        if (count > 1)
            overlap = static_cast<int>(
                RoundHalfEven(static_cast<long long>(count) * kMinTileSize - room, count - 1));
        span.size = kMinTileSize;
    }
    // Below one tile of room the overlap would exceed the tile and walk the
    // later windows backwards out of the area (captions out of reach): they
    // pile up at the start instead.
    span.stride = std::max(0, span.size - overlap);
    return span;
}

TileGrid TileGridFor(int n) {
    if (n < 1) return {};
    int k = 1;
    while (static_cast<long long>(k + 1) * (k + 1) <= n) ++k;
    // sqrt(n) is never halfway between integers, so the nearest integer is
    // k + 1 exactly when n passes (k + 1/2)^2, that is k*k + k.
    TileGrid g;
    g.cols = n > k * k + k ? k + 1 : k;
    g.rows = g.cols * g.cols >= n ? g.cols : g.cols + 1;
    return g;
}

std::vector<ArrangeRect> TileRects(int n, const ArrangeArea& area) {
    std::vector<ArrangeRect> out;
    const TileGrid grid = TileGridFor(n);
    if (grid.cols < 1) return out;
    const TileSpan x = SplitRoom(area.UsableWidth(), grid.cols);
    const TileSpan y = SplitRoom(area.UsableHeight(), grid.rows);
    int c = 0, r = 0;
    for (int i = 0; i < n; ++i) {
        out.push_back({c * x.stride + area.leftChain, r * y.stride, x.size, y.size});
        if (++c == grid.cols) {
            c = 0;
            if (++r == grid.rows) r = 0;
        }
    }
    return out;
}

std::vector<ArrangeRect> TileVerticalRects(int n, const ArrangeArea& area) {
    std::vector<ArrangeRect> out;
    const TileSpan x = SplitRoom(area.UsableWidth(), n);
    const int height = std::max(area.UsableHeight(), kMinTileSize);
    for (int i = 0; i < n; ++i) out.push_back({i * x.stride + area.leftChain, 0, x.size, height});
    return out;
}

std::vector<ArrangeRect> TileHorizontalRects(int n, const ArrangeArea& area) {
    std::vector<ArrangeRect> out;
    const TileSpan y = SplitRoom(area.UsableHeight(), n);
    const int width = std::max(area.UsableWidth(), kMinTileSize);
    for (int i = 0; i < n; ++i) out.push_back({area.leftChain, i * y.stride, width, y.size});
    return out;
}

CascadePlan CascadeRects(const std::vector<int>& steps, int active, int leftChain, int positions) {
    CascadePlan plan;
    const int n = static_cast<int>(steps.size());
    plan.rects.resize(steps.size());
    if (positions < 1) positions = 1;
    if (active < 0 || active >= n) active = -1;
    int index = 0;
    auto place = [&](int i) {
        plan.rects[size_t(i)] = {steps[size_t(i)] * index + leftChain, steps[size_t(i)] * index, kCascadeWidth,
                                 kCascadeHeight};
        plan.frontOrder.push_back(i);
        index = (index + 1) % positions;
    };
    for (int i = 0; i < n; ++i)
        if (i != active) place(i);
    // The active window last, so that it ends on top.
    if (active >= 0) place(active);
    plan.nextIndex = index;
    return plan;
}

}  // namespace velto
