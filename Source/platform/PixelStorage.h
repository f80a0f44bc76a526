#pragma once
// Storage of pixel planes: byte buffers that are zero when allocated without a
// pass that writes the zeros. Large ones are fresh pages from the system (zero
// until first written, backed by huge pages where the system offers them), so a
// decoder that fills a picture of many megabytes touches each page once; small
// ones come from calloc.
//
// Elements are default-initialised: the zeros come from the allocation, so a
// buffer grown within its capacity keeps the bytes it held before. Assign or
// construct anew for zeros.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

// Under AddressSanitizer every buffer comes from calloc, whose edges it guards.
#if defined(__SANITIZE_ADDRESS__)
#define VELTO_PIXELS_FROM_PAGES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTO_PIXELS_FROM_PAGES 0
#endif
#endif
#ifndef VELTO_PIXELS_FROM_PAGES
#define VELTO_PIXELS_FROM_PAGES 1
#endif

namespace velto {

template <class T>
struct ZeroedAllocator {
    using value_type = T;
    // From this size on, whole pages are mapped (huge pages are 2 MiB).
    static constexpr std::size_t kPagesFrom = VELTO_PIXELS_FROM_PAGES ? std::size_t{2} << 20 : PTRDIFF_MAX;

    ZeroedAllocator() noexcept = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= kPagesFrom) {
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) throw std::bad_alloc();
            madvise(p, bytes, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
            return static_cast<T*>(p);
        }
        void* p = std::calloc(n == 0 ? 1 : n, sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) >= kPagesFrom)
            munmap(p, n * sizeof(T));
        else
            std::free(p);
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
    }
    template <class U>
    bool operator==(const ZeroedAllocator<U>&) const noexcept {
        return true;
    }
};

// A zeroed plane of n bytes: TPixelBytes(n).
using TPixelBytes = std::vector<std::uint8_t, ZeroedAllocator<std::uint8_t>>;

}  // namespace velto
