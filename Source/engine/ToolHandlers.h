#pragma once
// The handlers of the tools, one per tool number, called by ApplyToolAt with
// the event already in image pixels. Internal to the dispatcher and its tests.
#include "engine/ToolDispatch.h"

namespace velto::tools {

struct TToolCall {
    TToolState& State;
    TToolContext& Ctx;
    TPaintTarget& Target;
    TToolResult& Result;
    TPoint P;  // the image pixel of the event
    TMouseButton Button;
    TPhase Phase;
    bool Shift;

    bool Left() const { return Button == TMouseButton::Left; }
    // The button's colour, and the tag its tips and shapes carry.
    const TmyPixel& Color() const { return Left() ? Ctx.Colors.Primary : Ctx.Colors.Secondary; }
    TTagColor Tag() const { return Left() ? TTagColor::Primary : TTagColor::Secondary; }
    TBrushEdges Edges() const { return Ctx.Settings.SmoothEdges ? TBrushEdges::Smooth : TBrushEdges::Hard; }
};

using THandler = void (*)(TToolCall&);
// The handler of a tool (null for None).
THandler HandlerOf(TToolId id);

// The linear gradient between the two corners (both included) from the
// button's colour at the left or top to the other colour at the right or
// bottom, painted from the right or bottom.
void GradientFill(TToolCall& call, TPoint a, TPoint b, TGradientKind kind);

}  // namespace velto::tools
