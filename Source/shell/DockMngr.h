#pragma once
// Bookkeeping behind the glue between the floating panes and the document
// area. Pure geometry: the panes and the main window keep their own records,
// refresh them and call in; nothing here touches a widget.
#include <array>
#include <cstdint>

namespace velto {

// The five slots of the docking manager.
enum DockSlot : int {
    dsMain = 1,      // the main window's document area, stored inside out
    dsPreview = 2,
    dsColors = 3,
    dsTools = 4,
    dsExplorer = 5,
};

// An edge of a record.
enum class DockEdge : std::uint8_t { Left, Top, Right, Bottom };

// A glue reference: an edge of the record registered in a slot. It is read
// when the glue is applied, so it follows that record's current place; slot 0
// means no glue.
struct DockGlue {
    int slot = 0;
    DockEdge edge = DockEdge::Left;

    bool IsSet() const { return slot != 0; }
    friend bool operator==(const DockGlue&, const DockGlue&) = default;
};

// A window's rectangle in the main window's client coordinates (right and
// bottom exclusive) and the glue of its four edges. The document area's record
// is given inside out: Left = its right edge, Top = its bottom edge, Right =
// its left edge, Bottom = its top edge.
struct DockRecord {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    DockGlue GlueTop{};
    DockGlue GlueBottom{};
    DockGlue GlueLeft{};
    DockGlue GlueRight{};

    // (left, top, left + width, top + height), saturated to 32 bits.
    void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
    std::int32_t Edge(DockEdge e) const;
};

// A pane's place as ApplyGlue moves it.
struct DockPlacement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class TDockMngr {
public:
    // Edges closer than this glue (a difference of at most 9 pixels).
    static constexpr std::int32_t kNear = 10;

    TDockMngr() = default;

    // The records must outlive their registration. Indices outside 1..5 are ignored.
    void RegisterWindow(int index, DockRecord* record);
    void UnregisterWindow(int index);
    DockRecord* Record(int index) const;

    // Recomputes the glue of one slot from the rectangles now registered.
    void UpdateGlue(int index);
    // Moves form so that the glued edges of slot index meet their edges; an
    // axis without glue (or glued to a slot now empty) is left alone.
    void ApplyGlue(int index, DockPlacement& form) const;

    // Width of the chain of panes glued to the document area's left edge, of
    // the chain glued to its right edge, and both together.
    std::int32_t GluedChainSize() const;
    std::int32_t RightChainWidth() const;
    std::int32_t ChainWidths() const;

    // The value of a glue reference now; false when it is unset or its slot empty.
    bool GlueValue(const DockGlue& glue, std::int32_t& value) const;

private:
    std::int32_t chainWidth(DockEdge start, DockEdge follow, bool leftChain) const;

    std::array<DockRecord*, 6> slots_{};  // index 0 unused
};

// Where a new document window first goes in a document area of the given
// client size: at its cascade position (step x index, right of the left
// chain) with its default size, made smaller where that would run under the
// panes glued to the area's edges or past its bottom, but no smaller than
// least; where even that does not fit right of the position, the position
// moves back toward the left chain.
struct DeskPlacement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const DeskPlacement&, const DeskPlacement&) = default;
};
DeskPlacement FirstDeskPlacement(std::int32_t clientWidth, std::int32_t clientHeight, std::int32_t leftChain,
                                 std::int32_t bothChains, std::int32_t step, std::int32_t index,
                                 std::int32_t width, std::int32_t height, std::int32_t least);

}  // namespace velto
