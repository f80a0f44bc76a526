#pragma once
// SHA-256 (FIPS 180-4): fingerprints of pixel data, and of the blocks a save
// writes into a file in place.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velto {

class Sha256 {
public:
    // Whole blocks are compressed straight from the input; only a partial
    // block is copied.
    void update(const std::uint8_t* p, std::size_t n);
    // Ends the hash; the object is spent afterwards.
    std::array<std::uint8_t, 32> digest();
    std::string hex();

    // The digest of n bytes at p.
    static std::array<std::uint8_t, 32> Of(const std::uint8_t* p, std::size_t n) {
        Sha256 sha;
        sha.update(p, n);
        return sha.digest();
    }

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> block_{};
    std::size_t fill_ = 0;
    std::uint64_t length_ = 0;
};

namespace testhooks {
// Hashes with the plain compression even where the processor has SHA instructions.
void UsePortableSha256(bool portable);
}  // namespace testhooks

}  // namespace velto
