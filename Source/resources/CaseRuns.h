#pragma once
// A case table of UTF-16 units as runs: the units `step` apart from `first`
// to `last` map to the unit `offset` from them. Runs are sorted and do not
// overlap. scripts/upper-case-table.pl writes the upper-case one
// (ResNameCase.cpp) from the Unicode Character Database.
#include <algorithm>
#include <cstdint>
#include <span>

namespace velto {

struct TCaseRun {
    std::uint16_t first, last;
    std::int32_t offset;
    std::uint8_t step;
};

// The unit the table maps unit to; the unit itself when no run holds it.
inline char16_t MapByCaseRuns(std::span<const TCaseRun> runs, char16_t unit) {
    const auto run = std::lower_bound(runs.begin(), runs.end(), unit,
                                      [](const TCaseRun& r, char16_t u) { return r.last < u; });
    if (run == runs.end() || unit < run->first || (unit - run->first) % run->step != 0) return unit;
    return static_cast<char16_t>(unit + run->offset);
}

}  // namespace velto
