#include "platform/Sha256.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace velto {

namespace {

// SHA-256 round constants, for the plain compression and the processor's instructions alike.
constexpr std::uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

#if defined(__x86_64__)
__attribute__((target("sha,sse4.1"))) void ShaInstructionBlocks(std::uint32_t state[8], const std::uint8_t* data,
                                                                 std::size_t blocks) {
    // The instructions keep the state as (A, B, E, F) and (C, D, G, H).
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i cdgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(t, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, t, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        // Four rounds at a time; from the fifth group on, the schedule makes
        // the next four words from the last sixteen.
        __m128i w[4];
        for (int i = 0; i < 16; ++i) {
            if (i < 4) {
                w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            } else {
                __m128i m = _mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]);
                m = _mm_add_epi32(m, _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4));
                w[i & 3] = _mm_sha256msg2_epu32(m, w[(i + 3) & 3]);
            }
            __m128i k = _mm_add_epi32(w[i & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    t = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(t, cdgh, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(cdgh, t, 8));
}
#endif

// With the processor's SHA instructions, for whole 64-byte blocks; false
// when the processor has none. Pictures at the pixel cap hash a quarter of a
// gigabyte: the plain compression would take longer than reading them.
std::atomic<bool> portableOnly{false};

bool InstructionBlocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
    if (portableOnly.load(std::memory_order_relaxed)) return false;
#if defined(__x86_64__)
    // Asked of the processor itself: not every compiler knows "sha" as a feature name.
    static const bool available = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        const bool sse41 = __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSE4_1);
        return sse41 && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
    }();
    if (available) {
        ShaInstructionBlocks(state, data, blocks);
        return true;
    }
#endif
    (void)state, (void)data, (void)blocks;
    return false;
}

}  // namespace

void Sha256::update(const std::uint8_t* p, std::size_t n) {
    length_ += n;
    if (fill_ != 0) {
        const std::size_t take = std::min(n, block_.size() - fill_);
        std::memcpy(block_.data() + fill_, p, take);
        fill_ += take;
        p += take;
        n -= take;
        if (fill_ < block_.size()) return;
        compress(block_.data());
        fill_ = 0;
    }
    if (n >= 64 && InstructionBlocks(h_.data(), p, n / 64)) {
        p += n / 64 * 64;
        n %= 64;
    }
    for (; n >= 64; p += 64, n -= 64) compress(p);
    std::memcpy(block_.data(), p, n);
    fill_ = n;
}

std::array<std::uint8_t, 32> Sha256::digest() {
    const std::uint64_t bits = length_ * 8;
    const std::uint8_t one = 0x80, zero = 0;
    update(&one, 1);
    while (fill_ != 56) update(&zero, 1);
    std::uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(len, 8);
    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 32; ++i) out[i] = static_cast<std::uint8_t>(h_[i / 4] >> (24 - 8 * (i % 4)));
    return out;
}

std::string Sha256::hex() {
    std::string out;
    char buf[3];
    for (const std::uint8_t b : digest()) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

namespace testhooks {
void UsePortableSha256(bool portable) { portableOnly = portable; }
}  // namespace testhooks

namespace {
std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
}  // namespace

void Sha256::compress(const std::uint8_t* block) {

    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 | static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
               static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kSha256Rounds[i] + w[i];
        const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    h_[0] += a; h_[1] += b; h_[2] += c; h_[3] += d;
    h_[4] += e; h_[5] += f; h_[6] += g; h_[7] += h;
}

}  // namespace velto
