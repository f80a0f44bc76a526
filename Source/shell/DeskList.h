#pragma once
// The list of open document windows and the recent-file slots: plain logic,
// kept apart from the widgets so that it can be tested on its own.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velto {

// What the list knows of a document window: its slot number.
class TDeskEntry {
public:
    virtual ~TDeskEntry() = default;
    int Tag = 0;  // the slot (1..30) the window is in; 0 while outside the list
};

class TDeskList {
public:
    static constexpr int kMaxDesks = 30;
    static constexpr int kCascadeSteps = 11;  // positions 0..10

    int DeskCount() const { return static_cast<int>(desks_.size()); }
    int ActiveIndex() const { return active_; }
    void SetActiveIndex(int slot) { active_ = (slot >= 1 && slot <= DeskCount()) ? slot : 0; }
    // The window in slot (1..DeskCount), or nullptr.
    TDeskEntry* Desk(int slot) const;
    TDeskEntry* Active() const { return Desk(active_); }
    bool Full() const { return DeskCount() >= kMaxDesks; }

    // Appends a window as the last slot, makes it active and returns the slot;
    // 0 (and nothing changes) when the list is full.
    int Add(TDeskEntry* desk);
    // Takes slot out: later windows move down one slot with their Tag, and a
    // selection owner naming a moved or removed slot is renumbered (0 for the
    // removed one). Afterwards the last window is active, none when empty, and
    // an empty list starts cascading from the first position again.
    void Remove(int slot, int* selectionOwner);
    int SlotOf(const TDeskEntry* desk) const;

    // "Untitled - n" numbers: never reused during a run.
    int NextUntitledNumber() { return ++untitled_; }
    int UntitledCounter() const { return untitled_; }

    // Placement step of the next window, 0..10.
    int CascadeIndex() const { return cascade_; }
    void SetCascadeIndex(int i) { cascade_ = ((i % kCascadeSteps) + kCascadeSteps) % kCascadeSteps; }
    // Returns the index to use and moves on, wrapping after 10.
    int TakeCascadeIndex();
    // A window that was placed but not kept gives its step back: 0 goes back
    // to 10 (wrapping), never below the range.
    void StepCascadeBack() { SetCascadeIndex(cascade_ - 1); }

private:
    std::vector<TDeskEntry*> desks_;
    int active_ = 0;
    int untitled_ = 0;
    int cascade_ = 0;
};

// Ten recent-file slots, slot 1 (index 0) the oldest; empty slots only at the end.
using RecentFileSlots = std::array<std::string, 10>;

// Makes path the newest entry: an equal entry (exact, case-sensitive) moves to
// the end of the filled slots; a new one fills the first empty slot, or drops
// the oldest when all ten are full.
void AddRecentFile(RecentFileSlots& recent, const std::string& path);

// The menu entries, newest first: (number from 1, path).
std::vector<std::pair<int, std::string>> RecentFileEntries(const RecentFileSlots& recent);

}  // namespace velto
