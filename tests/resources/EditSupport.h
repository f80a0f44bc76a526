#pragma once
// Edits of an image in memory, for the engine's tests.
#include <gtest/gtest.h>

#include <functional>

#include "PeTestImage.h"

namespace restest {

// Runs edits on an update of image (in memory) and returns the committed file.
inline Bytes Edit(const Bytes& image, const std::function<void(velto::TResourceUpdateHandle*)>& edits,
                  bool deleteExisting = false) {
    velto::TResourceUpdateHandle* h = velto::BeginUpdateResourceMemory(image, deleteExisting);
    EXPECT_NE(h, nullptr) << velto::GetLastError();
    if (!h) return {};
    edits(h);
    Bytes out;
    EXPECT_TRUE(velto::CommitResourceUpdateToMemory(h, out)) << velto::GetLastError();
    return out;
}

}  // namespace restest
