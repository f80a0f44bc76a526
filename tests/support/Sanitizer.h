#pragma once
// Whether this test program runs under AddressSanitizer or ThreadSanitizer.
// Their shadow memory, allocator quarantine and checks multiply a process's
// resident size and processor time, so limits on either, which hold for the
// program as shipped, say nothing there: a test checks its results as ever
// and leaves out (skips, saying why) only the limits.
#include <gtest/gtest.h>

// For the preprocessor too: GCC says so by its own names, clang by features.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELTO_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELTO_UNDER_SANITIZER 1
#endif
#endif
#ifndef VELTO_UNDER_SANITIZER
#define VELTO_UNDER_SANITIZER 0
#endif

namespace velto::test {

inline constexpr bool kUnderSanitizer = VELTO_UNDER_SANITIZER;

}  // namespace velto::test

// Ends the test as skipped under a sanitizer, before the limits that follow
// on `what` (e.g. "the peak resident size"); what the test checked so far
// still counts, a failure among it included.
#define VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER(what)                                                        \
    do {                                                                                                    \
        if (::velto::test::kUnderSanitizer)                                                                 \
            GTEST_SKIP() << "limit on " << (what) << " not checked: a sanitizer's shadow memory, quarantine " \
                         << "and checks inflate it";                                                        \
    } while (0)
