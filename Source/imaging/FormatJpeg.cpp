// JPEG through libjpeg's version 62 interface. libjpeg reports fatal errors
// by calling error_exit, which must not return: ours jumps back (longjmp) to a
// setjmp in one of the small phase functions below, which hold no C++ objects,
// and the C++ side then raises EImagingError. No C++ exception passes through
// libjpeg's frames: the I/O callbacks catch what the I/O table throws, and the
// codec object is destroyed on every path.
#include "imaging/FormatJpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/Colors.h"
#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {

namespace {

constexpr std::size_t kBufferSize = 16384;

struct ErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

struct ProgressMgr {
    jpeg_progress_mgr pub;
    int maxScans;
};

struct SourceMgr {
    jpeg_source_mgr pub;
    const TIOFunctions* io;
    TImagingHandle handle;
    JOCTET* buffer;
    bool startOfFile;
};

struct DestMgr {
    jpeg_destination_mgr pub;
    const TIOFunctions* io;
    TImagingHandle handle;
    JOCTET* buffer;
};

// Ends the libjpeg call in progress with a message of our own.
[[noreturn]] void Fail(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", text);
    std::longjmp(err->jump, 1);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings and trace messages are dropped.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

void InstallErrorManager(j_common_ptr cinfo, ErrorMgr& err) {
    cinfo->err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    err.message[0] = 0;
}

// Stops a progressive file of more scans than the limit allows.
void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* progress = reinterpret_cast<ProgressMgr*>(cinfo->progress);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > progress->maxScans)
        Fail(cinfo, "JPEG file has more scans than allowed.");
}

// I/O through the table; what the table throws becomes a failure result.
std::int64_t ReadSome(const TIOFunctions& io, TImagingHandle handle, void* buffer, std::int64_t count) {
    try {
        return io.Read(handle, buffer, count);
    } catch (...) {
        return -1;
    }
}
bool WriteAll(const TIOFunctions& io, TImagingHandle handle, const void* buffer, std::int64_t count) {
    try {
        return io.Write(handle, buffer, count) == count;
    } catch (...) {
        return false;
    }
}
void SeekBack(const TIOFunctions& io, TImagingHandle handle, std::int64_t count) {
    try {
        io.Seek(handle, -count, smFromCurrent);
    } catch (...) {
    }
}

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<SourceMgr*>(cinfo->src)->startOfFile = true; }

// A read that gives nothing ends the data with an end-of-image marker, so a
// cut file decodes as far as it goes.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceMgr*>(cinfo->src);
    std::int64_t n = ReadSome(*src->io, src->handle, src->buffer, kBufferSize);
    if (n <= 0) {
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = static_cast<std::size_t>(n);
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<SourceMgr*>(cinfo->src);
    if (count <= 0) return;
    while (static_cast<std::size_t>(count) > src->pub.bytes_in_buffer) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
}

// Leaves the input right behind the bytes the decoder used.
void TermSource(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceMgr*>(cinfo->src);
    if (src->pub.bytes_in_buffer > 0)
        SeekBack(*src->io, src->handle, static_cast<std::int64_t>(src->pub.bytes_in_buffer));
    src->pub.bytes_in_buffer = 0;
}

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestMgr*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBufferSize));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestMgr*>(cinfo->dest);
    if (!WriteAll(*dest->io, dest->handle, dest->buffer, kBufferSize))
        Fail(reinterpret_cast<j_common_ptr>(cinfo), "Writing JPEG data failed.");
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<DestMgr*>(cinfo->dest);
    const std::size_t n = kBufferSize - dest->pub.free_in_buffer;
    if (n > 0 && !WriteAll(*dest->io, dest->handle, dest->buffer, static_cast<std::int64_t>(n)))
        Fail(reinterpret_cast<j_common_ptr>(cinfo), "Writing JPEG data failed.");
}

// ---------------------------------------------------------------------------
// Decoding. The context lives on the heap, owned by the C++ caller; the phase
// functions only touch it through a pointer, so nothing they hold needs
// restoring after a jump.

struct DecodeContext {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    ProgressMgr progress;
    bool created;
    const TIOFunctions* io;
    TImagingHandle handle;
};

// 0: the header was read; 1: libjpeg failed.
int DecodeHeaderPhase(DecodeContext* c) {
    if (setjmp(c->err.jump)) return 1;
    jpeg_create_decompress(&c->cinfo);
    c->created = true;
    c->cinfo.progress = &c->progress.pub;
    auto* src = static_cast<SourceMgr*>((*c->cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&c->cinfo),
                                                                     JPOOL_PERMANENT, sizeof(SourceMgr)));
    src->buffer = static_cast<JOCTET*>(
        (*c->cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&c->cinfo), JPOOL_PERMANENT, kBufferSize));
    src->io = c->io;
    src->handle = c->handle;
    src->startOfFile = false;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    c->cinfo.src = &src->pub;
    jpeg_read_header(&c->cinfo, TRUE);
    return 0;
}

// 0: every row was decoded; 1: libjpeg failed; 2: the output is not what the
// header promised (width x height, the scaled size when scaling).
int DecodeRowsPhase(DecodeContext* c, std::uint8_t* bits, std::size_t rowBytes, int components, JDIMENSION width,
                    JDIMENSION height) {
    if (setjmp(c->err.jump)) return 1;
    jpeg_start_decompress(&c->cinfo);
    if (c->cinfo.output_components != components || c->cinfo.output_width != width || c->cinfo.output_height != height)
        return 2;
    while (c->cinfo.output_scanline < c->cinfo.output_height) {
        JSAMPROW row = bits + std::size_t(c->cinfo.output_scanline) * rowBytes;
        if (jpeg_read_scanlines(&c->cinfo, &row, 1) != 1) return 2;
    }
    jpeg_finish_decompress(&c->cinfo);
    return 0;
}

struct DecodeDeleter {
    void operator()(DecodeContext* c) const {
        if (c->created) jpeg_destroy_decompress(&c->cinfo);
        delete c;
    }
};

// Bytes libjpeg allocates for the whole-image coefficient buffer of a file of
// several scans (a 64-coefficient block of 16-bit values per 8x8 block).
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo))) return 0;
    std::uint64_t total = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& comp = cinfo.comp_info[i];
        total += (std::uint64_t(comp.width_in_blocks) + 8) * (std::uint64_t(comp.height_in_blocks) + 8) * 128;
    }
    return total;
}

// 8 x 8 blocks of every component: each is coded in a bit at least by
// Huffman coding (arithmetic coding has no such floor).
std::uint64_t CodedBlocks(const jpeg_decompress_struct& cinfo) {
    std::uint64_t total = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        total += std::uint64_t(cinfo.comp_info[i].width_in_blocks) * cinfo.comp_info[i].height_in_blocks;
    return total;
}

// ---------------------------------------------------------------------------
// Encoding

struct EncodeContext {
    jpeg_compress_struct cinfo;
    ErrorMgr err;
    bool created;
    const TIOFunctions* io;
    TImagingHandle handle;
};

struct EncodeParams {
    const std::uint8_t* bits;
    std::size_t rowBytes;
    JDIMENSION width, height;
    bool gray;
    int quality;
    bool progressive;
};

int EncodePhase(EncodeContext* c, const EncodeParams* p) {
    if (setjmp(c->err.jump)) return 1;
    jpeg_create_compress(&c->cinfo);
    c->created = true;
    auto* dest = static_cast<DestMgr*>((*c->cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&c->cinfo),
                                                                   JPOOL_PERMANENT, sizeof(DestMgr)));
    dest->io = c->io;
    dest->handle = c->handle;
    dest->buffer = nullptr;
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    c->cinfo.dest = &dest->pub;
    // The input description comes first: the defaults derive from it.
    c->cinfo.image_width = p->width;
    c->cinfo.image_height = p->height;
    c->cinfo.input_components = p->gray ? 1 : 3;
    c->cinfo.in_color_space = p->gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&c->cinfo);
    jpeg_set_quality(&c->cinfo, p->quality, TRUE);
    jpeg_set_colorspace(&c->cinfo, p->gray ? JCS_GRAYSCALE : JCS_YCbCr);
    if (p->progressive) jpeg_simple_progression(&c->cinfo);
    jpeg_start_compress(&c->cinfo, TRUE);
    while (c->cinfo.next_scanline < c->cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(p->bits + std::size_t(c->cinfo.next_scanline) * p->rowBytes);
        jpeg_write_scanlines(&c->cinfo, &row, 1);
    }
    jpeg_finish_compress(&c->cinfo);
    return 0;
}

struct EncodeDeleter {
    void operator()(EncodeContext* c) const {
        if (c->created) jpeg_destroy_compress(&c->cinfo);
        delete c;
    }
};

}  // namespace

// ---------------------------------------------------------------------------

TJpegFileFormat::TJpegFileFormat() : TJpegFileFormat(true) {}

TJpegFileFormat::TJpegFileFormat(bool registerOptions) {
    Name = "Joint Photographic Experts Group Image";
    AddMasks("*.jpg,*.jpeg,*.jfif,*.jpe,*.jif");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
    SupportedFormats.set(ifGray8);
    SupportedFormats.set(ifR8G8B8);
    if (registerOptions) {
        RegisterOption(ImagingJpegQuality, &JpegQuality);
        RegisterOption(ImagingJpegProgressive, &JpegProgressive);
    }
}

bool TJpegFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t head[10] = {};
    return PeekFormatInput(io, handle, head, 10) == 10 && head[0] == 0xFF && head[1] == 0xD8;
}

void TJpegFileFormat::CheckOptionsValidity() {
    if (static_cast<std::uint32_t>(JpegQuality) - 1u > 99u) JpegQuality = 90;
}

void TJpegFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    ConvertImage(image, info.IsGray ? ifGray8 : ifR8G8B8);
}

bool TJpegFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    images.assign(1, TImageData{});
    std::unique_ptr<DecodeContext, DecodeDeleter> c(new DecodeContext{});
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&c->cinfo), c->err);
    c->progress.pub.progress_monitor = ProgressMonitor;
    c->progress.maxScans = static_cast<int>(std::min<std::uint32_t>(ImagingLimits().jpegScans, INT32_MAX));
    c->io = &io;
    c->handle = handle;
    const std::int64_t start = io.Tell(handle);
    const std::uint64_t stored =
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, GetInputSize(io, handle) - start));
    if (DecodeHeaderPhase(c.get()) != 0)
        throw EImagingError(std::string("JPEG error: ") + c->err.message,
                            c->err.pub.msg_code == JERR_IMAGE_TOO_BIG ? FileError::TooLarge : FileError::None);
    if (!c->cinfo.arith_code)
        RequireStoredData(CodedBlocks(c->cinfo), stored, kJpegHuffmanBound, "JPEG data too short for the image size.");
    // Arithmetic coding has no least cost per block (a flat picture of any
    // size codes in a few bytes), so only Huffman-coded data bounds the
    // picture; the pixel limit bounds every one, before anything is sized.
    if (std::uint64_t(c->cinfo.image_width) * c->cinfo.image_height > ImagingLimits().pixels)
        throw EImagingError("JPEG image larger than the pixel limit.", FileError::TooLarge);

    jpeg_decompress_struct& cinfo = c->cinfo;
    unsigned denominator = 1;
    if (ScaleDenominator) {
        const int n = ScaleDenominator(static_cast<std::int32_t>(cinfo.image_width),
                                       static_cast<std::int32_t>(cinfo.image_height));
        if (n == 2 || n == 4 || n == 8) denominator = static_cast<unsigned>(n);
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = denominator;
    // libjpeg's scaled size rounds up.
    const JDIMENSION width = (cinfo.image_width + denominator - 1) / denominator;
    const JDIMENSION height = (cinfo.image_height + denominator - 1) / denominator;
    cinfo.do_block_smoothing = TRUE;
    TImageFormat format;
    int components;
    switch (cinfo.out_color_space) {
    case JCS_GRAYSCALE:
        format = ifGray8;
        components = 1;
        break;
    case JCS_RGB:
        // libjpeg delivers the image's memory order, blue first.
        cinfo.out_color_space = JCS_EXT_BGR;
        format = ifR8G8B8;
        components = 3;
        break;
    case JCS_CMYK:
        format = ifA8R8G8B8;
        components = 4;
        break;
    default:
        return false;  // no pixel format for this colour space
    }
    ChargeDecodeBudget(CoefficientBytes(cinfo));
    TImageData& image = images[0];
    if (!NewImage(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), format, image)) return false;
    const std::size_t rowBytes = std::size_t(image.Width) * std::size_t(components);
    const int rc = DecodeRowsPhase(c.get(), image.Bits, rowBytes, components, width, height);
    if (rc == 1) throw EImagingError(std::string("JPEG error: ") + c->err.message);
    if (rc != 0) return false;

    if (format == ifA8R8G8B8) {
        // Inverted (Adobe) CMYK samples: ink amounts are 255 - the stored bytes.
        const std::size_t count = std::size_t(image.Width) * std::size_t(image.Height);
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t* p = image.Bits + i * 4;
            std::uint8_t r, g, b;
            CMYKToRGB(static_cast<std::uint8_t>(255 - p[0]), static_cast<std::uint8_t>(255 - p[1]),
                      static_cast<std::uint8_t>(255 - p[2]), static_cast<std::uint8_t>(255 - p[3]), r, g, b);
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = 255;
        }
    }
    return true;
}

bool TJpegFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                               std::int32_t index) {
    TSavableCopy copy;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], copy.image, copy.owned)) return false;
    const TImageData& image = copy.image;
    const bool saveAsGray = image.Format == ifGray8;
    if (image.Width > JPEG_MAX_DIMENSION || image.Height > JPEG_MAX_DIMENSION) return false;

    std::unique_ptr<EncodeContext, EncodeDeleter> c(new EncodeContext{});
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&c->cinfo), c->err);
    c->io = &io;
    c->handle = handle;
    EncodeParams p{};
    p.bits = image.Bits;
    p.rowBytes = std::size_t(image.Width) * (saveAsGray ? 1u : 3u);
    p.width = static_cast<JDIMENSION>(image.Width);
    p.height = static_cast<JDIMENSION>(image.Height);
    p.gray = saveAsGray;
    p.quality = JpegQuality;
    p.progressive = JpegProgressive != 0;
    if (EncodePhase(c.get(), &p) != 0) throw EImagingError(std::string("JPEG error: ") + c->err.message);
    return true;
}

void RegisterFormatJpeg() { RegisterImageFileFormat(frJpeg, std::make_unique<TJpegFileFormat>()); }

}  // namespace velto
