// The option table and its stack. The library's own four options are bound
// when the table is first used.
#include "imaging/Options.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/Formats.h"

namespace velto {

namespace {

constexpr int kStackLevels = 8;

struct OptionTable {
    std::vector<std::int32_t*> slots;
    // Options of each thread: the calling thread's variable.
    std::vector<std::int32_t* (*)()> threadSlots;
    std::array<std::vector<std::int32_t>, kStackLevels> saved;
    int level = -1;
    // The library's own variables.
    std::int32_t colorReductionMask = 255;
    std::int32_t loadOverrideFormat = 0;
    std::int32_t saveOverrideFormat = 0;
    std::int32_t mipMapFilter = 1;

    OptionTable() : slots(256, nullptr), threadSlots(256, nullptr) {
        slots[ImagingColorReductionMask] = &colorReductionMask;
        slots[ImagingLoadOverrideFormat] = &loadOverrideFormat;
        slots[ImagingSaveOverrideFormat] = &saveOverrideFormat;
        slots[ImagingMipMapFilter] = &mipMapFilter;
    }
};

OptionTable& Table() {
    static OptionTable table;
    return table;
}

// The formats bind their options when they are created: they exist before
// any option is read or set.
void EnsureFormatOptions() {
    static const bool done = (GetFileFormatCount(), true);
    (void)done;
}

// The variable of slot i for the calling thread, or null.
std::int32_t* SlotAt(const OptionTable& t, std::size_t i) {
    if (t.slots[i]) return t.slots[i];
    return t.threadSlots[i] ? t.threadSlots[i]() : nullptr;
}

std::int32_t* Slot(const OptionTable& t, std::int32_t id) {
    return id >= 0 && static_cast<std::size_t>(id) < t.slots.size() ? SlotAt(t, static_cast<std::size_t>(id)) : nullptr;
}

bool Claim(OptionTable& t, std::int32_t id) {
    if (id < 0) return false;
    if (static_cast<std::size_t>(id) >= t.slots.size()) {
        t.slots.resize(static_cast<std::size_t>(id) + 256, nullptr);
        t.threadSlots.resize(t.slots.size(), nullptr);
    }
    return !t.slots[static_cast<std::size_t>(id)] && !t.threadSlots[static_cast<std::size_t>(id)];
}

}  // namespace

bool RegisterOption(std::int32_t id, std::int32_t* variable) {
    if (!variable) throw std::invalid_argument("RegisterOption: no variable");
    OptionTable& t = Table();
    if (!Claim(t, id)) return false;
    t.slots[static_cast<std::size_t>(id)] = variable;
    return true;
}

bool RegisterThreadOption(std::int32_t id, std::int32_t* (*variable)()) {
    if (!variable) throw std::invalid_argument("RegisterThreadOption: no variable");
    OptionTable& t = Table();
    if (!Claim(t, id)) return false;
    t.threadSlots[static_cast<std::size_t>(id)] = variable;
    return true;
}

bool SetOption(std::int32_t id, std::int32_t value) {
    EnsureFormatOptions();
    OptionTable& t = Table();
    std::int32_t* slot = Slot(t, id);
    if (!slot) return false;
    switch (id) {
    case ImagingColorReductionMask: value = std::clamp(value, 0, 255); break;
    case ImagingLoadOverrideFormat:
    case ImagingSaveOverrideFormat:
        if (value < 0 || !IsImageFormatValid(static_cast<TImageFormat>(value))) value = 0;
        break;
    case ImagingMipMapFilter: value = std::clamp(value, 0, 9); break;
    default: break;
    }
    *slot = value;
    return true;
}

std::int32_t GetOption(std::int32_t id) {
    EnsureFormatOptions();
    const std::int32_t* slot = Slot(Table(), id);
    return slot ? *slot : InvalidOption;
}

bool PushOptions() {
    EnsureFormatOptions();
    OptionTable& t = Table();
    if (t.level >= kStackLevels - 1) return false;
    ++t.level;
    std::vector<std::int32_t>& copy = t.saved[static_cast<std::size_t>(t.level)];
    copy.assign(t.slots.size(), 0);
    for (std::size_t i = 0; i < t.slots.size(); ++i)
        if (const std::int32_t* slot = SlotAt(t, i)) copy[i] = *slot;
    return true;
}

bool PopOptions() {
    EnsureFormatOptions();
    OptionTable& t = Table();
    if (t.level < 0) return false;
    const std::vector<std::int32_t>& copy = t.saved[static_cast<std::size_t>(t.level)];
    t.slots.resize(copy.size(), nullptr);
    t.threadSlots.resize(copy.size(), nullptr);
    for (std::size_t i = 0; i < copy.size(); ++i)
        if (std::int32_t* slot = SlotAt(t, i)) *slot = copy[i];
    --t.level;
    return true;
}

std::int32_t OptionTableLength() { return static_cast<std::int32_t>(Table().slots.size()); }

}  // namespace velto
