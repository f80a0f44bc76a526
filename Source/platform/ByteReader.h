#pragma once
// Checked reading of binary data held in memory. Every read either succeeds
// completely or fails without moving the position, so hostile files can never
// make a parser read past its data. Positions are 64-bit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace velto {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::uint64_t size() const { return data_.size(); }
    std::uint64_t pos() const { return pos_; }
    std::uint64_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    std::span<const std::uint8_t> data() const { return data_; }
    // The bytes from the current position to the end.
    std::span<const std::uint8_t> rest() const { return data_.subspan(static_cast<std::size_t>(pos_)); }

    // Moves to an absolute position; fails (position unchanged) beyond the end.
    bool seek(std::uint64_t pos) {
        if (pos > data_.size()) return false;
        pos_ = pos;
        return true;
    }
    bool skip(std::uint64_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }
    bool has(std::uint64_t n) const { return n <= remaining(); }

    bool bytes(void* dst, std::uint64_t n) {
        if (!has(n)) return false;
        if (n) std::memcpy(dst, data_.data() + pos_, static_cast<std::size_t>(n));
        pos_ += n;
        return true;
    }
    // A view of the next n bytes, advancing past them.
    bool view(std::uint64_t n, std::span<const std::uint8_t>& out) {
        if (!has(n)) return false;
        out = data_.subspan(static_cast<std::size_t>(pos_), static_cast<std::size_t>(n));
        pos_ += n;
        return true;
    }

    bool u8(std::uint8_t& v) { return read<std::uint8_t, false>(v); }
    bool i8(std::int8_t& v) { return read<std::int8_t, false>(v); }
    bool u16le(std::uint16_t& v) { return read<std::uint16_t, false>(v); }
    bool i16le(std::int16_t& v) { return read<std::int16_t, false>(v); }
    bool u32le(std::uint32_t& v) { return read<std::uint32_t, false>(v); }
    bool i32le(std::int32_t& v) { return read<std::int32_t, false>(v); }
    bool u64le(std::uint64_t& v) { return read<std::uint64_t, false>(v); }
    bool u16be(std::uint16_t& v) { return read<std::uint16_t, true>(v); }
    bool i16be(std::int16_t& v) { return read<std::int16_t, true>(v); }
    bool u32be(std::uint32_t& v) { return read<std::uint32_t, true>(v); }
    bool i32be(std::int32_t& v) { return read<std::int32_t, true>(v); }

    // Reads without moving.
    bool peekU32le(std::uint32_t& v) const { ByteReader r = *this; return r.u32le(v); }
    bool peekU32be(std::uint32_t& v) const { ByteReader r = *this; return r.u32be(v); }

    // A reader over [offset, offset + length) of this reader's data (absolute
    // offset), or nothing when that range does not lie inside the data.
    std::optional<ByteReader> sub(std::uint64_t offset, std::uint64_t length) const {
        if (offset > data_.size() || length > data_.size() - offset) return std::nullopt;
        return ByteReader(data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
    }

private:
    template <class T, bool BigEndian>
    bool read(T& out) {
        if (!has(sizeof(T))) return false;
        const std::uint8_t* p = data_.data() + pos_;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            const std::size_t shift = BigEndian ? (sizeof(T) - 1 - i) * 8 : i * 8;
            v |= static_cast<std::uint64_t>(p[i]) << shift;
        }
        out = static_cast<T>(v);
        pos_ += sizeof(T);
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::uint64_t pos_ = 0;
};

}  // namespace velto
