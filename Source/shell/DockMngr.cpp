#include "shell/DockMngr.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace velto {
namespace {
bool validIndex(int index) { return index >= 1 && index <= 5; }

// Differences are taken in 64 bits: rectangles restored from a hostile
// settings file may hold any 32-bit values.
bool near(std::int32_t a, std::int32_t b) {
    return std::llabs(static_cast<long long>(a) - b) < TDockMngr::kNear;
}

std::int32_t saturate(long long v) {
    return static_cast<std::int32_t>(std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}
}  // namespace

void DockRecord::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    Left = left;
    Top = top;
    Right = saturate(static_cast<long long>(left) + width);
    Bottom = saturate(static_cast<long long>(top) + height);
}

std::int32_t DockRecord::Edge(DockEdge e) const {
    switch (e) {
    case DockEdge::Left: return Left;
    case DockEdge::Top: return Top;
    case DockEdge::Right: return Right;
    case DockEdge::Bottom: return Bottom;
    }
    return 0;
}

void TDockMngr::RegisterWindow(int index, DockRecord* record) {
    if (validIndex(index)) slots_[static_cast<std::size_t>(index)] = record;
}

void TDockMngr::UnregisterWindow(int index) {
    if (validIndex(index)) slots_[static_cast<std::size_t>(index)] = nullptr;
}

DockRecord* TDockMngr::Record(int index) const {
    return validIndex(index) ? slots_[static_cast<std::size_t>(index)] : nullptr;
}

void TDockMngr::UpdateGlue(int index) {
    DockRecord* r = Record(index);
    if (!r) return;
    r->GlueTop = r->GlueBottom = r->GlueLeft = r->GlueRight = DockGlue{};
    bool vertical = false, horizontal = false;
    for (int j = 1; j <= 5; ++j) {
        const DockRecord* o = Record(j);
        if (j == index || !o) continue;
        // Against the document area no overlap is needed; between panes the
        // glued edges must share some length.
        const bool overlapX = j == dsMain || (r->Left < o->Right && r->Right > o->Left);
        const bool overlapY = j == dsMain || (r->Top < o->Bottom && r->Bottom > o->Top);
        if (!vertical && near(r->Top, o->Bottom) && overlapX) {
            r->GlueTop = {j, DockEdge::Bottom};
            vertical = true;
        }
        if (!horizontal && near(r->Left, o->Right) && overlapY) {
            r->GlueLeft = {j, DockEdge::Right};
            horizontal = true;
        }
        if (!vertical && near(r->Bottom, o->Top) && overlapX) {
            r->GlueBottom = {j, DockEdge::Top};
            vertical = true;
        }
        if (!horizontal && near(r->Right, o->Left) && overlapY) {
            r->GlueRight = {j, DockEdge::Left};
            horizontal = true;
        }
        if (vertical && horizontal) break;
    }
}

bool TDockMngr::GlueValue(const DockGlue& glue, std::int32_t& value) const {
    const DockRecord* o = glue.IsSet() ? Record(glue.slot) : nullptr;
    if (!o) return false;
    value = o->Edge(glue.edge);
    return true;
}

void TDockMngr::ApplyGlue(int index, DockPlacement& form) const {
    const DockRecord* r = Record(index);
    if (!r) return;
    std::int32_t v = 0;
    if (GlueValue(r->GlueTop, v)) form.top = v;
    else if (GlueValue(r->GlueBottom, v)) form.top = saturate(static_cast<long long>(v) - form.height);
    if (GlueValue(r->GlueLeft, v)) form.left = v;
    else if (GlueValue(r->GlueRight, v)) form.left = saturate(static_cast<long long>(v) - form.width);
}

std::int32_t TDockMngr::chainWidth(DockEdge start, DockEdge follow, bool leftChain) const {
    if (!Record(dsMain)) return 0;
    DockGlue current{dsMain, start};
    long long total = 0;
    for (int step = 0; step < 4; ++step) {
        int best = 0;
        long long bestWidth = 0;
        for (int k = 2; k <= 5; ++k) {
            const DockRecord* p = Record(k);
            if (!p || (leftChain ? p->GlueLeft : p->GlueRight) != current) continue;
            const long long w = static_cast<long long>(p->Right) - p->Left;
            if (best == 0 || w > bestWidth) {
                best = k;
                bestWidth = w;
            }
        }
        if (best == 0) continue;
        total += bestWidth;
        current = {best, follow};
    }
    return saturate(total);
}

std::int32_t TDockMngr::GluedChainSize() const { return chainWidth(DockEdge::Right, DockEdge::Right, true); }

std::int32_t TDockMngr::RightChainWidth() const { return chainWidth(DockEdge::Left, DockEdge::Left, false); }

std::int32_t TDockMngr::ChainWidths() const {
    return saturate(static_cast<long long>(GluedChainSize()) + RightChainWidth());
}

namespace {
// One axis: room from the area's start, the cascade offset, the default size.
std::pair<long long, long long> FitAxis(long long room, long long offset, long long size, long long least) {
    const long long want = std::min(size, std::max(room - offset, least));
    // Even the least size does not fit right of the offset: move back, but
    // not before the start.
    offset = std::max(0LL, std::min(offset, room - want));
    return {offset, want};
}
}  // namespace

DeskPlacement FirstDeskPlacement(std::int32_t clientWidth, std::int32_t clientHeight, std::int32_t leftChain,
                                 std::int32_t bothChains, std::int32_t step, std::int32_t index,
                                 std::int32_t width, std::int32_t height, std::int32_t least) {
    const long long offset = static_cast<long long>(step) * index;
    const auto [x, w] = FitAxis(static_cast<long long>(clientWidth) - bothChains, offset, width, least);
    const auto [y, h] = FitAxis(clientHeight, offset, height, least);
    return {saturate(x + leftChain), saturate(y), saturate(w), saturate(h)};
}

}  // namespace velto
