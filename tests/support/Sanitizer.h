#pragma once
// Whether this test program runs under AddressSanitizer or ThreadSanitizer.
// Their shadow memory, allocator quarantine and checks multiply a process's
// resident size and processor time, so limits on either, which hold for the
// program as shipped, say nothing there: a test checks its results as ever
// and leaves out (skips, saying why) only the limits.
#include <gtest/gtest.h>

namespace velto::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

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
