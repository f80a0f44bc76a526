// The list of document windows and the recent-file slots, without widgets.
#include <gtest/gtest.h>

#include "shell/DeskList.h"

#include <memory>
#include <vector>

using namespace velto;

namespace {

struct Desks {
    TDeskList list;
    std::vector<std::unique_ptr<TDeskEntry>> windows;
    TDeskEntry* open() {
        windows.push_back(std::make_unique<TDeskEntry>());
        return list.Add(windows.back().get()) ? windows.back().get() : nullptr;
    }
};

}  // namespace

TEST(DeskList, ClosingAWindowRenumbersTheLaterOnesAndTheSelectionOwner) {
    Desks d;
    TDeskEntry* w[4];
    for (auto& x : w) x = d.open();
    EXPECT_EQ(d.list.ActiveIndex(), 4);

    int owner = 4;  // the selection belongs to window 4
    d.list.Remove(2, &owner);
    EXPECT_EQ(d.list.DeskCount(), 3);
    EXPECT_EQ(d.list.Desk(2), w[2]);
    EXPECT_EQ(d.list.Desk(3), w[3]);
    EXPECT_EQ(w[2]->Tag, 2);
    EXPECT_EQ(w[3]->Tag, 3);
    EXPECT_EQ(w[1]->Tag, 0);
    EXPECT_EQ(owner, 3);
    EXPECT_EQ(d.list.ActiveIndex(), 3);  // the last window, whichever was active

    owner = 1;  // a selection before the closed slot keeps its number
    d.list.Remove(3, &owner);
    EXPECT_EQ(owner, 1);
    d.list.Remove(1, &owner);  // a selection of the window closed belongs to none
    EXPECT_EQ(owner, 0);
    EXPECT_EQ(d.list.Desk(1), w[2]);
    EXPECT_EQ(w[2]->Tag, 1);

    d.list.Remove(5, &owner);  // outside the list: nothing
    EXPECT_EQ(d.list.DeskCount(), 1);
}

TEST(DeskList, ThirtyWindowsAtMostAndTheUntitledNumberIsNeverReused) {
    Desks d;
    for (int i = 0; i < TDeskList::kMaxDesks; ++i) ASSERT_NE(d.open(), nullptr);
    EXPECT_TRUE(d.list.Full());
    EXPECT_EQ(d.open(), nullptr);
    EXPECT_EQ(d.list.DeskCount(), 30);

    EXPECT_EQ(d.list.NextUntitledNumber(), 1);
    EXPECT_EQ(d.list.NextUntitledNumber(), 2);
    while (d.list.DeskCount()) d.list.Remove(1, nullptr);
    EXPECT_EQ(d.list.ActiveIndex(), 0);
    EXPECT_EQ(d.list.NextUntitledNumber(), 3);
}

TEST(DeskList, CascadeWrapsAfterElevenPlacesAndStepsBackWithinThem) {
    TDeskList list;
    for (int i = 0; i <= 10; ++i) EXPECT_EQ(list.TakeCascadeIndex(), i);
    EXPECT_EQ(list.TakeCascadeIndex(), 0);
    EXPECT_EQ(list.CascadeIndex(), 1);
    list.StepCascadeBack();
    EXPECT_EQ(list.CascadeIndex(), 0);
    // A window that is not kept at the first place gives back the last place,
    // not a place far outside the document area.
    list.StepCascadeBack();
    EXPECT_EQ(list.CascadeIndex(), 10);
    EXPECT_EQ(list.TakeCascadeIndex(), 10);
    EXPECT_EQ(list.CascadeIndex(), 0);

    Desks d;
    d.open();
    d.list.TakeCascadeIndex();
    d.list.TakeCascadeIndex();
    d.list.Remove(1, nullptr);  // the last window gone: back to the first place
    EXPECT_EQ(d.list.CascadeIndex(), 0);
}

TEST(RecentFiles, NewestLastInTheSlotsAndFirstInTheMenu) {
    RecentFileSlots s{};
    for (int i = 1; i <= 7; ++i) AddRecentFile(s, "/f" + std::to_string(i));
    // A path already listed in slot 4 of 7 becomes the newest; 5..7 move down.
    AddRecentFile(s, "/f4");
    const RecentFileSlots moved{"/f1", "/f2", "/f3", "/f5", "/f6", "/f7", "/f4", "", "", ""};
    EXPECT_EQ(s, moved);
    // The comparison is exact: another case is another file.
    AddRecentFile(s, "/F4");
    EXPECT_EQ(s[7], "/F4");

    auto entries = RecentFileEntries(s);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], (std::pair<int, std::string>{1, "/F4"}));
    EXPECT_EQ(entries[7], (std::pair<int, std::string>{8, "/f1"}));

    // All ten full: an eleventh path drops the oldest.
    for (int i = 0; i < 2; ++i) AddRecentFile(s, "/g" + std::to_string(i));
    EXPECT_EQ(s[0], "/f1");
    AddRecentFile(s, "/new");
    EXPECT_EQ(s[0], "/f2");
    EXPECT_EQ(s[9], "/new");
    // The newest again when re-added at the end of a full list.
    AddRecentFile(s, "/f2");
    EXPECT_EQ(s[9], "/f2");
    EXPECT_EQ(s[0], "/f3");
}
