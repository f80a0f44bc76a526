// Where a dialog goes on a screen too small for it: shrunk to the free area
// (never below its minimum) and moved in, with its frame and a title bar.
#include <gtest/gtest.h>

#include "shell/ScreenFit.h"

using namespace velto;

namespace {

const QRect kRoom(0, 30, 800, 470);  // free area: y 30..499
const QMargins kFrame(2, 20, 2, 2);

struct DialogFitRow {
    const char* name;
    QRect client;
    QSize minimum;
    QRect expected;
};

class DialogFitRows : public ::testing::TestWithParam<DialogFitRow> {};

TEST_P(DialogFitRows, TheFrameEndsInTheFreeArea) {
    const DialogFitRow& r = GetParam();
    const QRect got = FitClientGeometry(r.client, kFrame, r.minimum, kRoom);
    EXPECT_EQ(got, r.expected);
    if (r.minimum.height() + 22 <= kRoom.height()) {
        EXPECT_TRUE(kRoom.contains(got.marginsAdded(kFrame)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogFitRows,
    ::testing::Values(
        DialogFitRow{"InsideStaysAsItIs", {100, 100, 300, 200}, {100, 100}, {100, 100, 300, 200}},
        // Too tall: as tall as the area less the frame, its title bar at the top.
        DialogFitRow{"TooTallIsShrunkAndMovedUp", {100, 10, 300, 600}, {100, 100}, {100, 50, 300, 448}},
        DialogFitRow{"PastTheRightEdgeMovesBack", {700, 100, 300, 200}, {100, 100}, {498, 100, 300, 200}},
        DialogFitRow{"TooWideIsShrunkToTheArea", {-50, 100, 900, 200}, {100, 100}, {2, 100, 796, 200}},
        DialogFitRow{"AboveTheAreaComesDownByItsTitleBar", {100, 35, 300, 200}, {100, 100}, {100, 50, 300, 200}},
        // A minimum larger than the area: the title bar and the top stay on it.
        DialogFitRow{"TooLargeEvenAtItsMinimumKeepsItsTop", {100, 200, 300, 300}, {300, 600}, {100, 50, 300, 600}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
