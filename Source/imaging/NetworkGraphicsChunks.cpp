// The chunk engine of PNG, MNG and JNG: a file read chunk by chunk into
// frames (every length checked against the bytes left before anything is
// allocated) and frames written back as chunks. CRCs are written but not
// checked on reading.
#include <algorithm>
#include <cstring>
#include <span>

#include "imaging/FormatInput.h"
#include "imaging/NetworkGraphicsFrames.h"
#include "imaging/Utility.h"
#include "platform/ByteWriter.h"

namespace velto::ng_detail {

namespace {

// The first bytes of a chunk's data, zero-extended to n.
template <std::size_t N>
void TakeFirst(const Bytes& d, std::uint8_t (&out)[N]) {
    if (!d.empty()) std::memcpy(out, d.data(), std::min(d.size(), N));
}

// The header records as they stand in a chunk (a short chunk reads as zeros).
PngHeader ParsePngHeader(const Bytes& d) {
    std::uint8_t b[13] = {};
    TakeFirst(d, b);
    return {BE32(b), BE32(b + 4), b[8], b[9], b[10], b[11], b[12]};
}
JngHeader ParseJngHeader(const Bytes& d) {
    std::uint8_t b[16] = {};
    TakeFirst(d, b);
    return {BE32(b), BE32(b + 4), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
}

// ---------------------------------------------------------------------------
// Chunk reading

[[noreturn]] void RaiseChunkError(const char* id) {
    throw EImagingError(ImagingFormat("Error when reading %.4s chunk data. File may be corrupted.", id));
}

// The chunk's data and its (unchecked) CRC; a length beyond the input left is
// refused before anything is allocated.
Bytes ReadChunkData(const TIOFunctions& io, TImagingHandle handle, std::uint32_t length, const char* id,
                    std::int64_t inputEnd) {
    const std::int64_t left = std::max<std::int64_t>(0, inputEnd - io.Tell(handle));
    if (length > 0x7FFFFFFFu || std::int64_t(length) > left) RaiseChunkError(id);
    ChargeDecodeBudget(length);
    Bytes data(length);
    if (length && io.Read(handle, data.data(), length) != std::int64_t(length)) RaiseChunkError(id);
    std::uint8_t crc[4];
    io.Read(handle, crc, 4);
    return data;
}


void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// A palette or transparency chunk: before any frame it is the global one; a
// frame takes only its first, and one of length 0 stands for the global one.
void TakeTable(TNGFileHandler& h, Bytes data, Bytes& global, Bytes TFrameInfo::*member) {
    TFrameInfo* frame = h.LastFrame();
    if (!frame) {
        global = std::move(data);
        return;
    }
    Bytes& own = frame->*member;
    if (!own.empty()) return;
    own = data.empty() && !global.empty() ? global : std::move(data);
}

void WriteChunk(ByteWriter& w, const char* id, std::span<const std::uint8_t> data) {
    if (data.size() > 0x7FFFFFFFu) throw EImagingError("Chunk data too large for a PNG chunk.");
    w.u32be(static_cast<std::uint32_t>(data.size()));
    w.bytes(id, 4);
    w.bytes(data);
    std::uint32_t crc = 0xFFFFFFFFu;
    UpdateCrc32(crc, id, 4);
    UpdateCrc32(crc, data.data(), data.size());
    w.u32be(~crc);
}

}  // namespace

bool LoadChunks(TNGFileHandler& h, const TIOFunctions& io, TImagingHandle handle) {
    h = TNGFileHandler{};
    std::uint8_t sig[8] = {};
    if (io.Read(handle, sig, 8) != 8) return false;
    bool known = false;
    for (int k = 0; k < 3; ++k)
        if (std::memcmp(sig, kSignatures[k], 8) == 0) {
            h.FileKind = static_cast<TNGFileKind>(k);
            known = true;
        }
    if (!known) return false;
    const std::int64_t inputEnd = GetInputSize(io, handle);

    std::uint8_t head[8];
    if (h.FileKind == ngMNG && io.Read(handle, head, 8) == 8) {
        // The first chunk's first 28 bytes, zero-extended when it is shorter.
        const char* id = reinterpret_cast<const char*>(head + 4);
        const Bytes data = ReadChunkData(io, handle, BE32(head), id, inputEnd);
        std::uint8_t mhdr[28] = {};
        TakeFirst(data, mhdr);
        for (int i = 0; i < 7; ++i) h.MngHeader[std::size_t(i)] = BE32(mhdr + 4 * i);
    }
    while (io.Read(handle, head, 8) == 8) {
        const std::uint32_t length = BE32(head);
        const char* id = reinterpret_cast<const char*>(head + 4);
        const auto is = [id](const char* name) { return std::memcmp(id, name, 4) == 0; };
        TFrameInfo* last = h.LastFrame();
        if (is("IHDR") || is("JHDR")) {
            const Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            TFrameInfo& frame = h.NewFrame();
            frame.InputBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, inputEnd));
            frame.HoldsJng = is("JHDR");
            if (frame.HoldsJng) frame.JHDR = ParseJngHeader(data);
            else frame.IHDR = ParsePngHeader(data);
        } else if (is("IDAT") || is("JDAT") || is("JDAA")) {
            const Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            // Image data before any header has no frame to go to.
            if (last) Append(is("IDAT") ? last->DeflatedData : is("JDAT") ? last->JpegData : last->JpegAlphaData, data);
        } else if (is("PLTE")) {
            TakeTable(h, ReadChunkData(io, handle, length, id, inputEnd), h.GlobalPalette, &TFrameInfo::PaletteData);
        } else if (is("tRNS")) {
            TakeTable(h, ReadChunkData(io, handle, length, id, inputEnd), h.GlobalAlphaTable, &TFrameInfo::AlphaTable);
        } else if (is("bKGD")) {
            Bytes data = ReadChunkData(io, handle, length, id, inputEnd);
            if (last && last->BackgroundData.empty()) last->BackgroundData = std::move(data);
        } else {
            io.Seek(handle, std::int64_t(length) + 4, smFromCurrent);
        }
        if (io.Tell(handle) >= inputEnd || is("MEND") || (h.FileKind != ngMNG && is("IEND"))) break;
    }
    return true;
}

bool SaveChunks(const TNGFileHandler& saver, const TIOFunctions& io, TImagingHandle handle) {
    ByteWriter w;
    w.bytes(kSignatures[saver.FileKind], 8);
    if (saver.FileKind == ngMNG) {
        ByteWriter m;
        for (const std::uint32_t v : saver.MngHeader) m.u32be(v);
        WriteChunk(w, "MHDR", m.buffer());
    }
    for (const auto& f : saver.FrameList) {
        ByteWriter hdr;
        if (!f->HoldsJng) {
            const PngHeader& h = f->IHDR;
            hdr.u32be(h.Width);
            hdr.u32be(h.Height);
            for (const std::uint8_t b : {h.BitDepth, h.ColorType, h.Compression, h.Filter, h.Interlace}) hdr.u8(b);
            WriteChunk(w, "IHDR", hdr.buffer());
            if (!f->PaletteData.empty()) WriteChunk(w, "PLTE", f->PaletteData);
            if (!f->AlphaTable.empty()) WriteChunk(w, "tRNS", f->AlphaTable);
            WriteChunk(w, "IDAT", f->DeflatedData);
        } else {
            const JngHeader& h = f->JHDR;
            hdr.u32be(h.Width);
            hdr.u32be(h.Height);
            for (const std::uint8_t b : {h.ColorType, h.SampleDepth, h.Compression, h.Interlace, h.AlphaSampleDepth,
                                         h.AlphaCompression, h.AlphaFilter, h.AlphaInterlace})
                hdr.u8(b);
            WriteChunk(w, "JHDR", hdr.buffer());
            WriteChunk(w, "JDAT", f->JpegData);
            if (h.AlphaSampleDepth != 0) {
                if (h.AlphaCompression == 0) WriteChunk(w, "IDAT", f->DeflatedData);
                else WriteChunk(w, "JDAA", f->JpegAlphaData);
            }
        }
        WriteChunk(w, "IEND", {});
    }
    if (saver.FileKind == ngMNG) WriteChunk(w, "MEND", {});
    return WriteFormatOutput(io, handle, w.buffer());
}

}  // namespace velto::ng_detail
