#pragma once
// The image data's inflating and the choice between the two decoding paths,
// shared with other readers of PNG data (the image library's PNG frames).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velto::png_detail {

// Two implementations of the image data. The fast one (the default): vector
// unfiltering and row copies, one contiguous stream inflated by ISA-L or
// libdeflate (where the program is built with them, else zlib), deflating by
// libdeflate. The reference one: scalar code and zlib streaming chunk by chunk.
// Both give the same pixels and errors; the fast decoder hands every stream it
// cannot finish cleanly to the reference one, which reports it as it always has.
// Tests and fuzzing run both and compare.
enum class CodecPath : std::uint8_t { Fast, Reference };
CodecPath ActiveCodecPath();
// The path of the current thread while it lives.
class ScopedCodecPath {
public:
    explicit ScopedCodecPath(CodecPath path);
    ~ScopedCodecPath();
    ScopedCodecPath(const ScopedCodecPath&) = delete;
    ScopedCodecPath& operator=(const ScopedCodecPath&) = delete;

private:
    CodecPath fOld;
};
// True when built with ISA-L and libdeflate (the CMake option VELTO_PNG_FAST).
bool FastDeflateBuilt();

// The filtered bytes of the image inflated from one contiguous zlib stream (the
// data of consecutive IDAT chunks), for the fast decoder.
class FastInflater {
public:
    // total: filtered bytes of the image; batch: the most bytes one Next asks for.
    FastInflater(std::span<const std::uint8_t> in, std::uint64_t total, std::size_t batch);
    // The stream in pieces, one after the other (the data of consecutive
    // chunks, read where they lie); the spans must outlive the inflater.
    FastInflater(std::vector<std::span<const std::uint8_t>> pieces, std::uint64_t total, std::size_t batch);
    ~FastInflater();
    FastInflater(const FastInflater&) = delete;
    FastInflater& operator=(const FastInflater&) = delete;
    // Up to n more bytes at data (writable, valid until the next call); fewer
    // only when the stream has ended or failed.
    std::size_t Next(std::uint8_t*& data, std::size_t n);
    // After the last Next: true when the stream ended properly (its Adler-32
    // right) with no more data than the image holds, so that the reference
    // decoder reads the same rows from it whatever the chunks around it.
    bool Clean();

private:
    struct State;
    std::unique_ptr<State> fState;
};

}  // namespace velto::png_detail
