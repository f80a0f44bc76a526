#pragma once
// The row decoder's AVX2 kernel. Its source file is built for AVX2 and includes
// only this header and the standard library's C parts, so that no inline
// function compiled there for AVX2 can stand in for another file's copy.
#include <cstddef>
#include <cstdint>

namespace velto::png_detail {

// The AVX2 build of Average and Paeth unfiltering over four consecutive rows
// (only where the processor has it), each row of the types given, the first
// under `above`: false, with nothing done, for other types, pixel widths than
// 3 and 4 bytes, or rows shorter than kMinFourRowPixels.
inline constexpr std::size_t kMinFourRowPixels = 8;
bool FourRowsAvx2(const std::uint8_t type[4], std::uint8_t* const row[4], const std::uint8_t* above, std::size_t n,
                  std::size_t bpp);

}  // namespace velto::png_detail
