#pragma once
// Numbered integer options of the image library: each option id points at a
// variable of its owner (a format object or the library), and a stack of eight
// levels saves and restores every value at once. The user sets options between
// loads and saves, which only read them; options a load writes (what it found)
// are per thread, so a load reports to the thread that ran it.
#include <cstdint>

namespace velto {

// The value of an option id that is not registered.
inline constexpr std::int32_t InvalidOption = static_cast<std::int32_t>(0x80000001u);

// Library-wide options.
inline constexpr std::int32_t ImagingColorReductionMask = 128;  // channel mask of the reduction to Index8
inline constexpr std::int32_t ImagingLoadOverrideFormat = 129;  // convert every loaded image to this format
inline constexpr std::int32_t ImagingSaveOverrideFormat = 130;  // convert every image to this format before saving
inline constexpr std::int32_t ImagingMipMapFilter = 131;        // sampling filter 0..9 (stored only)

// Binds an id to a variable; false for a negative id or one already bound.
bool RegisterOption(std::int32_t id, std::int32_t* variable);
// Binds an id to a variable of each thread: `variable` gives the calling
// thread's.
bool RegisterThreadOption(std::int32_t id, std::int32_t* (*variable)());
// Stores the value (clamped for the library options); false for an unbound id.
bool SetOption(std::int32_t id, std::int32_t value);
std::int32_t GetOption(std::int32_t id);
bool PushOptions();
bool PopOptions();

// Slots the table has (grows when an id at or beyond it is registered).
std::int32_t OptionTableLength();

}  // namespace velto
