#include "DeskList.h"

#include <algorithm>

namespace velto {

TDeskEntry* TDeskList::Desk(int slot) const {
    if (slot < 1 || slot > DeskCount()) return nullptr;
    return desks_[static_cast<size_t>(slot - 1)];
}

int TDeskList::Add(TDeskEntry* desk) {
    if (Full() || !desk) return 0;
    desks_.push_back(desk);
    desk->Tag = DeskCount();
    active_ = DeskCount();
    return active_;
}

void TDeskList::Remove(int slot, int* selectionOwner) {
    if (slot < 1 || slot > DeskCount()) return;
    if (selectionOwner && *selectionOwner == slot) *selectionOwner = 0;
    desks_[static_cast<size_t>(slot - 1)]->Tag = 0;
    desks_.erase(desks_.begin() + (slot - 1));
    for (int i = slot; i <= DeskCount(); ++i) {
        TDeskEntry* d = desks_[static_cast<size_t>(i - 1)];
        if (selectionOwner && *selectionOwner == d->Tag) *selectionOwner = i;
        d->Tag = i;
    }
    active_ = DeskCount();  // the last window, or none
    if (desks_.empty()) cascade_ = 0;
}

int TDeskList::SlotOf(const TDeskEntry* desk) const {
    auto it = std::find(desks_.begin(), desks_.end(), desk);
    return it == desks_.end() ? 0 : static_cast<int>(it - desks_.begin()) + 1;
}

int TDeskList::TakeCascadeIndex() {
    int i = cascade_;
    SetCascadeIndex(cascade_ + 1);
    return i;
}

void AddRecentFile(RecentFileSlots& recent, const std::string& path) {
    const size_t n = recent.size();
    for (size_t i = 0; i < n; ++i) {
        if (recent[i].empty()) {
            recent[i] = path;
            return;
        }
        if (recent[i] == path) {
            size_t j = i;
            while (j + 1 < n && !recent[j + 1].empty()) {
                recent[j] = recent[j + 1];
                ++j;
            }
            recent[j] = path;
            return;
        }
    }
    std::rotate(recent.begin(), recent.begin() + 1, recent.end());
    recent[n - 1] = path;
}

std::vector<std::pair<int, std::string>> RecentFileEntries(const RecentFileSlots& recent) {
    std::vector<std::pair<int, std::string>> out;
    for (size_t i = recent.size(); i-- > 0;)
        if (!recent[i].empty()) out.emplace_back(static_cast<int>(out.size()) + 1, recent[i]);
    return out;
}

}  // namespace velto
