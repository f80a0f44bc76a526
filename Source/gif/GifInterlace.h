#pragma once
// The rows of an interlaced GIF frame in the order its data holds them, shared
// by the coders of GIF data (this library's and the image library's): every
// 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.

namespace velto::gif_detail {

// The row that follows row, moving pass on to the next pass when this one
// is done; passes that start below the last row are skipped, so that short
// frames keep every row. A row of height or more: no row is left.
inline int NextInterlacedRow(int row, int& pass, int height) {
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    row += kStep[pass];
    while (row >= height && pass < 3) row = kStart[++pass];
    return row;
}

}  // namespace velto::gif_detail
