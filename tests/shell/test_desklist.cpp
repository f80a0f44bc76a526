// The list of document windows and the recent-file slots, without widgets.
// (Renumbering and the refused thirty-first window are also seen through the
// main window's tests.)
#include <gtest/gtest.h>

#include <vector>

#include "shell/DeskList.h"

using namespace velto;

namespace {

// Every window in the list carries its own slot as its Tag (the main window
// finds windows by it), and the list finds each by that slot.
::testing::AssertionResult TagsMatchSlots(const TDeskList& list) {
    for (int slot = 1; slot <= list.DeskCount(); ++slot) {
        const TDeskEntry* d = list.Desk(slot);
        if (!d) return ::testing::AssertionFailure() << "no window in slot " << slot;
        if (d->Tag != slot) return ::testing::AssertionFailure() << "slot " << slot << " holds Tag " << d->Tag;
        if (list.SlotOf(d) != slot) return ::testing::AssertionFailure() << "slot " << slot << " not found by SlotOf";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(DeskList, ClosingAWindowRenumbersTheLaterOnesAndTheSelectionOwner) {
    TDeskList list;
    TDeskEntry w[4];
    for (auto& x : w) list.Add(&x);
    EXPECT_TRUE(TagsMatchSlots(list));
    int owner = 4;  // later windows move down one slot, with the selection's owner
    list.Remove(2, &owner);
    EXPECT_EQ(owner, 3);
    EXPECT_EQ(list.Desk(2), &w[2]);
    // The first window moved and the last one alike.
    EXPECT_EQ(w[2].Tag, 2);
    EXPECT_EQ(w[3].Tag, 3);
    EXPECT_EQ(w[0].Tag, 1);
    EXPECT_TRUE(TagsMatchSlots(list));
    EXPECT_EQ(w[1].Tag, 0);
    list.SetActiveIndex(1);
    owner = 1;
    list.Remove(1, &owner);  // a selection of the window closed belongs to none
    EXPECT_EQ(owner, 0);
    EXPECT_EQ(list.ActiveIndex(), 2);  // the last window, whichever was active
    EXPECT_EQ(w[0].Tag, 0);
    EXPECT_EQ(w[2].Tag, 1);
    EXPECT_EQ(w[3].Tag, 2);
    EXPECT_TRUE(TagsMatchSlots(list));
    owner = 1;
    list.Remove(2, &owner);  // a selection before the closed slot keeps its number
    EXPECT_EQ(owner, 1);
    EXPECT_EQ(w[3].Tag, 0);
    list.Remove(5, &owner);  // outside the list: nothing
    EXPECT_EQ(list.DeskCount(), 1);
    EXPECT_TRUE(TagsMatchSlots(list));
}

TEST(DeskList, EveryCloseLeavesEachWindowTaggedWithItsSlot) {
    // Closing from the front, the middle and the end of lists of every length
    // up to the limit, with the selection owned by each slot in turn.
    for (int n = 1; n <= TDeskList::kMaxDesks; ++n)
        for (int closed = 1; closed <= n; ++closed)
            for (int owned = 0; owned <= n; ++owned) {
                SCOPED_TRACE(testing::Message() << n << " windows, closing " << closed << ", owner " << owned);
                TDeskList list;
                std::vector<TDeskEntry> w(static_cast<size_t>(n));
                for (auto& x : w) list.Add(&x);
                const TDeskEntry* ownerWindow = owned ? &w[static_cast<size_t>(owned - 1)] : nullptr;
                int owner = owned;
                list.Remove(closed, &owner);
                ASSERT_TRUE(TagsMatchSlots(list));
                ASSERT_EQ(w[static_cast<size_t>(closed - 1)].Tag, 0);
                // The owner follows its window, and is none with the window closed.
                const bool ownerGone = owned == 0 || owned == closed;
                ASSERT_EQ(owner, ownerGone ? 0 : list.SlotOf(ownerWindow));
            }
}

TEST(DeskList, ThirtyWindowsAtMostAndTheCascadeWrapsWithinElevenPlaces) {
    TDeskList list;
    std::vector<TDeskEntry> w(31);
    for (int i = 0; i < 30; ++i) ASSERT_EQ(list.Add(&w[size_t(i)]), i + 1);
    EXPECT_EQ(list.Add(&w[30]), 0);
    EXPECT_EQ(list.DeskCount(), 30);

    for (int i = 0; i <= 10; ++i) EXPECT_EQ(list.TakeCascadeIndex(), i);
    EXPECT_EQ(list.TakeCascadeIndex(), 0);
    list.StepCascadeBack();
    // A window not kept at the first place gives back the last place, not a
    // place far outside the document area.
    list.StepCascadeBack();
    EXPECT_EQ(list.CascadeIndex(), 10);
    while (list.DeskCount()) list.Remove(1, nullptr);  // the last window gone: back to the first place
    EXPECT_EQ(list.CascadeIndex(), 0);
    EXPECT_EQ(list.ActiveIndex(), 0);
}

TEST(RecentFiles, NewestLastInTheSlotsAndFirstInTheMenu) {
    RecentFileSlots s{};
    for (int i = 1; i <= 7; ++i) AddRecentFile(s, "/f" + std::to_string(i));
    // A path already listed in slot 4 of 7 becomes the newest; 5..7 move down.
    AddRecentFile(s, "/f4");
    EXPECT_EQ(s, (RecentFileSlots{"/f1", "/f2", "/f3", "/f5", "/f6", "/f7", "/f4", "", "", ""}));
    AddRecentFile(s, "/F4");  // another case is another file
    const auto entries = RecentFileEntries(s);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], (std::pair<int, std::string>{1, "/F4"}));
    EXPECT_EQ(entries[7], (std::pair<int, std::string>{8, "/f1"}));

    // All ten full: a new path drops the oldest, an old one moves to the end.
    AddRecentFile(s, "/g0");
    AddRecentFile(s, "/g1");
    AddRecentFile(s, "/new");
    EXPECT_EQ(s[0], "/f2");
    EXPECT_EQ(s[9], "/new");
    AddRecentFile(s, "/f2");
    EXPECT_EQ(s[9], "/f2");
    EXPECT_EQ(s[0], "/f3");
}
