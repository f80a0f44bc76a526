#pragma once
// Appends binary fields to a growing buffer; writers build whole files in
// memory and hand them to WriteWholeFile (FileWriter.h).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velto {

class ByteWriter {
public:
    std::vector<std::uint8_t>& buffer() { return buf_; }
    const std::vector<std::uint8_t>& buffer() const { return buf_; }
    std::vector<std::uint8_t> take() { return std::move(buf_); }
    std::uint64_t size() const { return buf_.size(); }
    void reserve(std::size_t n) { buf_.reserve(n); }

    void u8(std::uint8_t v) { buf_.push_back(v); }
    void u16le(std::uint16_t v) { put<false>(v, 2); }
    void i16le(std::int16_t v) { put<false>(static_cast<std::uint16_t>(v), 2); }
    void u32le(std::uint32_t v) { put<false>(v, 4); }
    void i32le(std::int32_t v) { put<false>(static_cast<std::uint32_t>(v), 4); }
    void u16be(std::uint16_t v) { put<true>(v, 2); }
    void u32be(std::uint32_t v) { put<true>(v, 4); }
    void i32be(std::int32_t v) { put<true>(static_cast<std::uint32_t>(v), 4); }
    void bytes(std::span<const std::uint8_t> b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    void bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    // Four-character codes and other raw text, without a terminator.
    void text(std::string_view s) { bytes(s.data(), s.size()); }
    void fill(std::uint8_t v, std::size_t n) { buf_.insert(buf_.end(), n, v); }

    // Overwrites a field written earlier (chunk sizes known only afterwards).
    void patchU32le(std::uint64_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) buf_[static_cast<std::size_t>(at) + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void patchU32be(std::uint64_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) buf_[static_cast<std::size_t>(at) + i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
    }

private:
    template <bool BigEndian>
    void put(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            const int shift = BigEndian ? (n - 1 - i) * 8 : i * 8;
            buf_.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    std::vector<std::uint8_t> buf_;
};

}  // namespace velto
