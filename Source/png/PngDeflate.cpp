// The fast path's compression: the image data inflated from one contiguous
// stream (ISA-L streaming for large images, libdeflate in one call for small
// ones, zlib where the program is built without them), the image data deflated
// by libdeflate, and chunk CRCs.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "png/PngInternal.h"

#if VELTO_PNG_FAST_LIBS
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#endif

namespace velto::png_detail {

namespace {

thread_local CodecPath tPath = CodecPath::Fast;

// Up to this many filtered bytes the image data are inflated in one call
// (where built with libdeflate).
constexpr std::uint64_t kWholeLimitBytes = 8u << 10;

// The checks zlib makes on the two header bytes before any data: a stream that
// fails them, or asks for a dictionary, is left to the reference decoder, which
// reports it as it always has.
bool PlainZlibHeader(std::span<const std::uint8_t> in) {
    if (in.size() < 2) return false;
    const unsigned cmf = in[0], flg = in[1];
    return (cmf * 256 + flg) % 31 == 0 && (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0;
}

#if VELTO_PNG_FAST_LIBS

// Up to this many filtered bytes, one libdeflate call inflates the whole image
// data: faster for small images, where setting up ISA-L's decoder dominates.
// Above, ISA-L streams, faster (measured on PngSuite and photo-like images of
// 32 to 256 pixels a side: the sum of both is least with 8 KiB), and the
// batches stay in cache.
constexpr std::uint64_t kWholeLimit = kWholeLimitBytes;

libdeflate_decompressor* Decompressor() {
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    thread_local std::unique_ptr<libdeflate_decompressor, Free> d(libdeflate_alloc_decompressor());
    if (!d) throw std::bad_alloc();
    return d.get();
}

inflate_state& IsalState() {
    thread_local const std::unique_ptr<inflate_state> s = std::make_unique<inflate_state>();
    return *s;
}

#endif

}  // namespace

CodecPath ActiveCodecPath() { return tPath; }
ScopedCodecPath::ScopedCodecPath(CodecPath path) : fOld(tPath) { tPath = path; }
ScopedCodecPath::~ScopedCodecPath() { tPath = fOld; }

bool FastDeflateBuilt() { return VELTO_PNG_FAST_LIBS != 0; }

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data) {
    if (data.empty()) return crc;  // a null buffer would ask for the initial value
#if VELTO_PNG_FAST_LIBS
    return static_cast<std::uint32_t>(libdeflate_crc32(crc, data.data(), data.size()));
#else
    // zlib takes 32-bit lengths; feed large data in parts.
    std::size_t off = 0;
    uLong c = crc;
    while (off < data.size()) {
        const std::size_t n = std::min<std::size_t>(data.size() - off, 1u << 30);
        c = crc32(c, data.data() + off, static_cast<uInt>(n));
        off += n;
    }
    return static_cast<std::uint32_t>(c);
#endif
}

// ---------------------------------------------------------------------------
// FastInflater

struct FastInflater::State {
    enum class Mode { Failed, Whole, Isal, Zlib } mode = Mode::Failed;
    std::span<const std::uint8_t> in;                       // the first piece, or all of them joined
    std::vector<std::span<const std::uint8_t>> pieces;      // streaming: the pieces after `in`
    std::size_t nextPiece = 0;
    TPixelBytes joined;                                     // small streams in pieces, joined
    std::uint64_t total = 0;     // filtered bytes of the image
    std::uint64_t produced = 0;  // bytes handed out so far
    bool ended = false;          // the stream ended, its check value right
    bool failed = false;         // bad data, or the input ran out first
    TPixelBytes buffer;          // the whole output, or one batch
    std::uint64_t wholeSize = 0;
    z_stream z{};
    bool zInit = false;

#if VELTO_PNG_FAST_LIBS
    // The next piece once the decoder has taken all of the current one.
    void Feed(inflate_state& st) {
        if (st.avail_in != 0 || nextPiece >= pieces.size()) return;
        const std::span<const std::uint8_t> p = pieces[nextPiece++];
        st.next_in = const_cast<std::uint8_t*>(p.data());
        st.avail_in = static_cast<std::uint32_t>(p.size());
    }
#endif
};

FastInflater::FastInflater(std::span<const std::uint8_t> in, std::uint64_t total, std::size_t batch)
    : FastInflater(std::vector<std::span<const std::uint8_t>>{in}, total, batch) {}

FastInflater::FastInflater(std::vector<std::span<const std::uint8_t>> pieces, std::uint64_t total, std::size_t batch)
    : fState(std::make_unique<State>()) {
    State& s = *fState;
    std::erase_if(pieces, [](std::span<const std::uint8_t> p) { return p.empty(); });
    std::size_t size = 0;
    for (const auto& p : pieces) size += p.size();
    s.total = total;
    try {
        // One piece, or a stream the one-call inflater takes whole or whose
        // header is split: the pieces joined (a copy of small data only).
        if (pieces.size() == 1) {
            s.in = pieces[0];
        } else if (pieces.size() > 1 && (total <= kWholeLimitBytes || pieces[0].size() < 2 || !VELTO_PNG_FAST_LIBS)) {
            s.joined = TPixelBytes(size);
            std::size_t at = 0;
            for (const auto& p : pieces) std::memcpy(s.joined.data() + at, p.data(), p.size()), at += p.size();
            s.in = std::span<const std::uint8_t>(s.joined.data(), size);
        } else if (pieces.size() > 1) {
            s.in = pieces[0];
            s.pieces.assign(pieces.begin() + 1, pieces.end());
        }
    } catch (const std::bad_alloc&) {
        return;  // Failed
    }
    const std::span<const std::uint8_t> in = s.in;
    if (!PlainZlibHeader(in)) return;  // Failed
    try {
#if VELTO_PNG_FAST_LIBS
        if (total <= kWholeLimit) {
            s.buffer = TPixelBytes(static_cast<std::size_t>(total));
            std::size_t out = 0;
            const auto r = libdeflate_zlib_decompress(Decompressor(), in.data(), in.size(), s.buffer.data(),
                                                      static_cast<std::size_t>(total), &out);
            if (r != LIBDEFLATE_SUCCESS) return;  // Failed: the reference decoder finds out how
            s.wholeSize = out;
            s.ended = true;
            s.mode = State::Mode::Whole;
            return;
        }
        s.buffer = TPixelBytes(batch);
        inflate_state& st = IsalState();
        isal_inflate_init(&st);
        st.crc_flag = ISAL_ZLIB;
        st.next_in = const_cast<std::uint8_t*>(in.data());
        st.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(in.size(), 0xFFFFFFFFu));
        s.mode = in.size() <= 0xFFFFFFFFu ? State::Mode::Isal : State::Mode::Failed;
#else
        s.buffer = TPixelBytes(batch);
        if (inflateInit(&s.z) != Z_OK) return;
        s.zInit = true;
        s.z.next_in = const_cast<Bytef*>(in.data());
        s.z.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), 0xFFFFFFFFu));
        s.mode = in.size() <= 0xFFFFFFFFu ? State::Mode::Zlib : State::Mode::Failed;
#endif
    } catch (const std::bad_alloc&) {
        s.mode = State::Mode::Failed;
    }
}

FastInflater::~FastInflater() {
    if (fState->zInit) inflateEnd(&fState->z);
}

std::size_t FastInflater::Next(std::uint8_t*& data, std::size_t n) {
    State& s = *fState;
    std::size_t got = 0;
    switch (s.mode) {
        case State::Mode::Failed: s.failed = true; return 0;
        case State::Mode::Whole: {
            data = s.buffer.data() + s.produced;
            got = static_cast<std::size_t>(std::min<std::uint64_t>(n, s.wholeSize - s.produced));
            break;
        }
        case State::Mode::Isal: {
#if VELTO_PNG_FAST_LIBS
            n = std::min(n, s.buffer.size());
            data = s.buffer.data();
            inflate_state& st = IsalState();
            st.next_out = data;
            st.avail_out = static_cast<std::uint32_t>(n);
            while (st.avail_out > 0 && !s.ended && !s.failed) {
                s.Feed(st);
                const std::uint32_t before = st.avail_out, inBefore = st.avail_in;
                if (isal_inflate(&st) != ISAL_DECOMP_OK) {
                    s.failed = true;
                } else if (st.block_state == ISAL_BLOCK_FINISH) {
                    s.ended = true;
                } else if (st.avail_out == before && st.avail_in == inBefore) {
                    s.failed = true;  // the input ran out
                }
            }
            got = n - st.avail_out;
#endif
            break;
        }
        case State::Mode::Zlib: {
            n = std::min(n, s.buffer.size());
            data = s.buffer.data();
            s.z.next_out = data;
            s.z.avail_out = static_cast<uInt>(n);
            while (s.z.avail_out > 0 && !s.ended && !s.failed) {
                const int r = inflate(&s.z, Z_NO_FLUSH);
                if (r == Z_STREAM_END)
                    s.ended = true;
                else if (r != Z_OK)
                    s.failed = true;  // errors, and input that ran out (no progress)
            }
            got = n - s.z.avail_out;
            break;
        }
    }
    s.produced += got;
    return got;
}

bool FastInflater::Clean() {
    State& s = *fState;
    if (s.failed || s.mode == State::Mode::Failed) return false;
    if (s.ended) return true;
    if (s.produced != s.total) return false;
    // Every filtered byte is out: the stream must end right here, without more
    // data, its check value right.
    std::uint8_t spare[1];
    switch (s.mode) {
        case State::Mode::Isal: {
#if VELTO_PNG_FAST_LIBS
            inflate_state& st = IsalState();
            st.next_out = spare;
            st.avail_out = sizeof spare;
            for (;;) {
                s.Feed(st);
                const std::uint32_t inBefore = st.avail_in;
                if (isal_inflate(&st) != ISAL_DECOMP_OK || st.avail_out == 0) return false;
                if (st.block_state == ISAL_BLOCK_FINISH) return true;
                if (st.avail_in == inBefore) return false;
            }
#endif
            return false;
        }
        case State::Mode::Zlib: {
            s.z.next_out = spare;
            s.z.avail_out = sizeof spare;
            return inflate(&s.z, Z_NO_FLUSH) == Z_STREAM_END && s.z.avail_out == sizeof spare;
        }
        default: return false;
    }
}

// ---------------------------------------------------------------------------
// Deflating

bool DeflateFast(std::span<const std::uint8_t> in, int level, std::vector<std::uint8_t>& out) {
#if VELTO_PNG_FAST_LIBS
    if (level < 1 || level > 9) return false;
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    std::unique_ptr<libdeflate_compressor, Free> c(libdeflate_alloc_compressor(FastLevel(level)));
    if (!c) return false;
    try {
        out.resize(libdeflate_zlib_compress_bound(c.get(), in.size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t n = libdeflate_zlib_compress(c.get(), in.data(), in.size(), out.data(), out.size());
    out.resize(n);
    return n != 0;
#else
    (void)in, (void)level, (void)out;
    return false;
#endif
}

// libdeflate's levels compress about as zlib's of the same number, faster;
// its level 1 is no faster than zlib's, its level 2 is, and smaller.
int FastLevel(int level) { return level == 1 ? 2 : level; }

}  // namespace velto::png_detail
