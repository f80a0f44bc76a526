// The JPEG 2000 format: glue between OpenJPEG's image and the image record.
// The header is read first and its sizes checked against the decode budget
// before anything is decoded; every codec object is released on every path.
#include "imaging/FormatJpeg2000.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/Colors.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {

namespace {

using Kind = TJpeg2000Kind;

// Reads up to 8 bytes and moves back by as many.
Kind TestSignature(const TIOFunctions& io, TImagingHandle handle) {
    if (!handle) return Kind::None;
    std::uint8_t head[8];
    const std::int64_t n = io.Read(handle, head, 8);
    if (n > 0) io.Seek(handle, -n, smFromCurrent);
    return Jpeg2000KindOf({head, static_cast<std::size_t>(std::max<std::int64_t>(n, 0))});
}

// Codec objects, released on every path.
struct CodecDeleter {
    void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
    void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};
using CodecPtr = std::unique_ptr<opj_codec_t, CodecDeleter>;
using StreamPtr = std::unique_ptr<opj_stream_t, StreamDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageDeleter>;

void Quiet(const char*, void*) {}

void SilenceCodec(opj_codec_t* codec) {
    opj_set_info_handler(codec, Quiet, nullptr);
    opj_set_warning_handler(codec, Quiet, nullptr);
    opj_set_error_handler(codec, Quiet, nullptr);
}

// A memory stream for the codec: reading over the input bytes, or writing
// into a growing buffer (the JP2 writer seeks back to patch box lengths).
struct MemoryIO {
    std::vector<std::uint8_t>* out = nullptr;
    const std::uint8_t* in = nullptr;
    std::uint64_t size = 0;
    std::uint64_t pos = 0;
};

OPJ_SIZE_T ReadFn(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<MemoryIO*>(user);
    if (m->pos >= m->size) return static_cast<OPJ_SIZE_T>(-1);
    const std::uint64_t count = std::min<std::uint64_t>(n, m->size - m->pos);
    std::memcpy(buffer, m->in + m->pos, static_cast<std::size_t>(count));
    m->pos += count;
    return static_cast<OPJ_SIZE_T>(count);
}

OPJ_SIZE_T WriteFn(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* m = static_cast<MemoryIO*>(user);
    if (m->pos + n > m->out->size()) m->out->resize(static_cast<std::size_t>(m->pos + n));
    std::memcpy(m->out->data() + m->pos, buffer, n);
    m->pos += n;
    return n;
}

OPJ_OFF_T SkipFn(OPJ_OFF_T n, void* user) {
    auto* m = static_cast<MemoryIO*>(user);
    if (n < 0) {
        if (static_cast<std::uint64_t>(-n) > m->pos) return -1;
        m->pos -= static_cast<std::uint64_t>(-n);
        return n;
    }
    if (!m->out && m->pos + static_cast<std::uint64_t>(n) > m->size) {
        const auto skipped = static_cast<OPJ_OFF_T>(m->size - std::min(m->pos, m->size));
        m->pos = m->size;
        return skipped > 0 ? skipped : -1;
    }
    m->pos += static_cast<std::uint64_t>(n);
    return n;
}

OPJ_BOOL SeekFn(OPJ_OFF_T pos, void* user) {
    auto* m = static_cast<MemoryIO*>(user);
    if (pos < 0 || (!m->out && static_cast<std::uint64_t>(pos) > m->size)) return OPJ_FALSE;
    m->pos = static_cast<std::uint64_t>(pos);
    return OPJ_TRUE;
}

StreamPtr MakeStream(MemoryIO& io, bool reading) {
    StreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, reading ? OPJ_TRUE : OPJ_FALSE));
    if (!stream) return stream;
    if (reading) {
        opj_stream_set_read_function(stream.get(), ReadFn);
        opj_stream_set_user_data_length(stream.get(), io.size);
    } else {
        opj_stream_set_write_function(stream.get(), WriteFn);
    }
    opj_stream_set_skip_function(stream.get(), SkipFn);
    opj_stream_set_seek_function(stream.get(), SeekFn);
    opj_stream_set_user_data(stream.get(), &io, nullptr);
    return stream;
}

// The pixel format of a decoded image, by its component count and the
// precision of its first component; ifUnknown when there is none.
TImageFormat FormatFor(std::uint32_t comps, std::uint32_t prec) {
    if (prec == 0 || prec > 32) return ifUnknown;
    const int column = prec <= 8 ? 0 : prec <= 16 ? 1 : 2;
    switch (comps) {
    case 2: return column == 0 ? ifA8Gray8 : column == 1 ? ifA16Gray16 : ifUnknown;
    case 3: return column == 0 ? ifR8G8B8 : column == 1 ? ifR16G16B16 : ifUnknown;
    case 4: return column == 0 ? ifA8R8G8B8 : column == 1 ? ifA16R16G16B16 : ifUnknown;
    default: return column == 0 ? ifGray8 : column == 1 ? ifGray16 : ifGray32;
    }
}

// Component c of n channels: blue, green, red, alpha order in memory against
// red, green, blue, alpha in the code stream.
int ChannelOf(int c, int n, bool alpha) {
    if (alpha) return c == n - 1 ? n - 1 : n - 2 - c;
    return n - 1 - c;
}

void StoreSample(std::uint8_t* p, int channelSize, std::uint32_t v) {
    switch (channelSize) {
    case 1: *p = static_cast<std::uint8_t>(v); break;
    case 2: {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
        break;
    }
    default: std::memcpy(p, &v, 4); break;
    }
}

std::uint32_t LoadSample(const std::uint8_t* p, int channelSize) {
    switch (channelSize) {
    case 1: return *p;
    case 2: {
        std::uint16_t w;
        std::memcpy(&w, p, 2);
        return w;
    }
    default: {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

}  // namespace

std::int32_t Jpeg2000Resolutions(std::int32_t width, std::int32_t height) {
    std::int32_t side = std::max(1, std::min(width, height));
    std::int32_t levels = 1;
    while (side >= 2 && levels < 6) {
        side /= 2;
        ++levels;
    }
    return levels;
}

TJpeg2000FileFormat::TJpeg2000FileFormat() {
    Name = "JPEG 2000 Image";
    AddMasks("*.jp2,*.j2k,*.j2c,*.jpx,*.jpc");
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
    for (const TImageFormat f : {ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8, ifR16G16B16, ifA16R16G16B16})
        SupportedFormats.set(f);
    RegisterOption(ImagingJpeg2000Quality, &Quality);
    RegisterOption(ImagingJpeg2000CodeStream, &CodeStream);
    RegisterOption(ImagingJpeg2000LosslessCompression, &LosslessCompression);
}

bool TJpeg2000FileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    return TestSignature(io, handle) != Kind::None;
}

void TJpeg2000FileFormat::CheckOptionsValidity() {
    if (Quality < 1 || Quality > 100) Quality = 80;
}

void TJpeg2000FileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsFloat) target = info.ChannelCount == 1 ? ifGray16 : ifA16R16G16B16;
    else if (info.IsGray) target = info.HasAlpha ? ifA16Gray16 : ifGray16;
    else if (info.IsIndexed) target = ifA8R8G8B8;
    else if (info.ChannelCount > 0 && info.BytesPerPixel / info.ChannelCount <= 1)
        target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    else target = info.HasAlpha ? ifA16R16G16B16 : ifR16G16B16;
    ConvertImage(image, target);
}

bool TJpeg2000FileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const Kind kind = TestSignature(io, handle);
    if (kind == Kind::None) return false;
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);

    // The whole rest of the input; only the bytes actually read go to the decoder.
    const std::int64_t start = io.Tell(handle);
    const std::int64_t size = GetInputSize(io, handle);
    const std::int64_t wanted = std::max<std::int64_t>(0, size - start);
    if (static_cast<std::uint64_t>(wanted) > ImagingLimits().fileSize)
        throw EImagingError("JPEG 2000 data larger than the read limit.", FileError::TooLarge);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(wanted));
    images.assign(1, TImageData{});
    const std::int64_t got = wanted ? io.Read(handle, buffer.data(), wanted) : 0;
    buffer.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));

    // What decoding will allocate, from the headers, charged before the codec
    // reads them (it allocates for every tile already then, and sets up every
    // code block of a tile, and its packet iterator an entry for every layer
    // of every precinct, before it decodes one, whether the file holds data
    // for it or not): a few bytes declaring tiny blocks over a large image, or
    // thousands of layers, cost gigabytes (or minutes) and are refused by the
    // budget, as an image beyond the pixel limit is by it. The steps are held
    // to a fixed amount of work, not one that grows with the data: a packet
    // of a byte may make the decoder visit thousands of blocks. Headers the
    // codec would read otherwise than the walk did (or not at all) cannot be
    // charged truly, and are refused as damaged.
    const TJpeg2000Cost cost = Jpeg2000Cost(buffer, kind == Kind::Jp2);
    CheckDecodePixels(cost.Pixels);
    ChargeDecodeBudget(cost.DecodeBytes);
    if (cost.PacketSteps > ImagingLimits().jpeg2000PacketSteps)
        throw EImagingError(ImagingFormat("JPEG 2000 packets beyond the limit: %llu steps to take.",
                                          static_cast<unsigned long long>(cost.PacketSteps)),
                            FileError::TooLarge);
    if (cost.Damaged) throw EImagingError(std::string("JPEG 2000 headers damaged: ") + cost.Reason + ".");

    CodecPtr codec(opj_create_decompress(kind == Kind::Jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec) return false;
    SilenceCodec(codec.get());
    if (!opj_setup_decoder(codec.get(), &params)) return false;
    MemoryIO memory;
    memory.in = buffer.data();
    memory.size = buffer.size();
    StreamPtr stream = MakeStream(memory, true);
    if (!stream) return false;
    opj_image_t* raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) {
        opj_image_destroy(raw);
        return false;
    }
    ImagePtr header(raw);

    // The header as the codec read it.
    if (header->numcomps < 1 || header->x1 <= header->x0 || header->y1 <= header->y0 || !header->comps) return false;
    const std::uint64_t width = header->x1 - header->x0, height = header->y1 - header->y0;
    if (width > INT32_MAX || height > INT32_MAX) return false;
    for (std::uint32_t c = 0; c < header->numcomps; ++c)
        if (header->comps[c].dx == 0 || header->comps[c].dy == 0) return false;

    if (!opj_decode(codec.get(), stream.get(), header.get())) return false;
    opj_end_decompress(codec.get(), stream.get());
    const opj_image_t& img = *header;
    // The format by the components decoded, not those of the header: a JP2
    // palette turns the component of indexes into one per palette column.
    if (img.numcomps < 1 || !img.comps) return false;
    const TImageFormat format = FormatFor(img.numcomps, img.comps[0].prec);
    if (format == ifUnknown) return false;

    TImageData& image = images[0];
    if (!NewImage(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), format, image)) return false;
    const TImageFormatInfo& info = *FormatInfo(format);
    const int channels = info.ChannelCount;
    const int channelSize = info.BytesPerPixel / channels;
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::uint32_t offsets[5] = {0, 128, 32768, 0, 0x80000000u};
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const std::uint32_t used = std::min<std::uint32_t>(img.numcomps, static_cast<std::uint32_t>(channels));
    for (std::uint32_t c = 0; c < used; ++c) {
        const opj_image_comp_t& comp = img.comps[c];
        if (!comp.data) return false;
        const std::size_t channelOffset = std::size_t(ChannelOf(static_cast<int>(c), channels, info.HasAlpha)) *
                                          std::size_t(channelSize);
        const std::uint32_t offset = comp.sgnd ? offsets[channelSize] : 0;
        const std::size_t cw = comp.w, chh = comp.h;
        if (comp.dx == 1 && comp.dy == 1) {
            const std::size_t rows = std::min(h, chh), cols = std::min(w, cw);
            for (std::size_t y = 0; y < rows; ++y) {
                const OPJ_INT32* src = comp.data + y * cw;
                std::uint8_t* dst = image.Bits + y * w * bpp + channelOffset;
                for (std::size_t x = 0; x < cols; ++x, dst += bpp)
                    StoreSample(dst, channelSize, static_cast<std::uint32_t>(src[x]) + offset);
            }
            continue;
        }
        // Subsampled: each sample covers a dx x dy block, cut at the image's edges.
        const std::size_t dx = comp.dx, dy = comp.dy;
        for (std::size_t r = 0; r < chh; ++r) {
            const std::size_t y = r * dy;
            if (y >= h) break;
            std::uint8_t* row = image.Bits + y * w * bpp + channelOffset;
            for (std::size_t k = 0; k < cw; ++k) {
                const std::size_t x0 = k * dx;
                if (x0 >= w) break;
                const std::uint32_t v = static_cast<std::uint32_t>(comp.data[r * cw + k]) + offset;
                for (std::size_t x = x0; x < std::min(w, x0 + dx); ++x) StoreSample(row + x * bpp, channelSize, v);
            }
            for (std::size_t j = 1; j < dy && y + j < h; ++j) {
                std::uint8_t* copy = image.Bits + (y + j) * w * bpp + channelOffset;
                for (std::size_t x = 0; x < w; ++x)
                    std::memcpy(copy + x * bpp, row + x * bpp, static_cast<std::size_t>(channelSize));
            }
        }
    }

    // sYCC: flagged by a JP2 colour box, or (bare code streams carry no colour
    // space) full-resolution luma with subsampled chroma.
    const bool sycc = img.color_space == OPJ_CLRSPC_SYCC ||
                      (img.color_space == OPJ_CLRSPC_UNSPECIFIED && img.numcomps == 3 && img.comps[0].dx == 1 &&
                       img.comps[0].dy == 1 && (img.comps[1].dx > 1 || img.comps[1].dy > 1) &&
                       (img.comps[2].dx > 1 || img.comps[2].dy > 1));
    if (channels == 3 && sycc) {
        const std::size_t count = w * h;
        if (channelSize == 1) {
            for (std::size_t i = 0; i < count; ++i) {
                std::uint8_t* p = image.Bits + i * 3;
                std::uint8_t r, g, b;
                YCbCrToRGB(p[2], p[1], p[0], r, g, b);
                p[0] = b;
                p[1] = g;
                p[2] = r;
            }
        } else if (channelSize == 2) {
            for (std::size_t i = 0; i < count; ++i) {
                auto* p = reinterpret_cast<std::uint16_t*>(image.Bits + i * 6);
                std::uint16_t v[3], r, g, b;
                std::memcpy(v, p, 6);
                YCbCrToRGB16(v[2], v[1], v[0], r, g, b);
                v[0] = b;
                v[1] = g;
                v[2] = r;
                std::memcpy(p, v, 6);
            }
        }
    }

    // Leave the input just behind the JPEG 2000 data.
    io.Seek(handle, start + static_cast<std::int64_t>(std::min<std::uint64_t>(cost.DataEnd, buffer.size())),
            smFromBeginning);
    return true;
}

bool TJpeg2000FileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                   std::int32_t index) {
    TImageData image;
    bool mustBeFreed = false;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], image, mustBeFreed)) {
        if (mustBeFreed) FreeImage(image);
        return false;
    }
    struct Release {
        TImageData& image;
        bool free;
        ~Release() {
            if (free) FreeImage(image);
        }
    } release{image, mustBeFreed};

    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const int channels = info.ChannelCount;
    const int channelSize = info.BytesPerPixel / channels;
    const auto w = static_cast<OPJ_UINT32>(image.Width), h = static_cast<OPJ_UINT32>(image.Height);

    std::vector<opj_image_cmptparm_t> parms(static_cast<std::size_t>(channels));
    for (opj_image_cmptparm_t& p : parms) {
        std::memset(&p, 0, sizeof p);
        p.dx = p.dy = 1;
        p.w = w;
        p.h = h;
        p.prec = static_cast<OPJ_UINT32>(channelSize * 8);
        p.sgnd = 0;
    }
    ImagePtr codecImage(opj_image_create(static_cast<OPJ_UINT32>(channels), parms.data(),
                                         info.IsGray ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!codecImage) return false;
    codecImage->x0 = codecImage->y0 = 0;
    codecImage->x1 = w;
    codecImage->y1 = h;
    // Only opacity is tagged; the codec names colour and grey channels itself.
    if (info.HasAlpha) codecImage->comps[channels - 1].alpha = 1;

    CodecPtr codec(opj_create_compress(CodeStream == 0 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!codec) return false;
    SilenceCodec(codec.get());
    opj_cparameters_t params;
    opj_set_default_encoder_parameters(&params);
    params.cod_format = CodeStream == 0 ? 1 : 0;
    params.numresolution = Jpeg2000Resolutions(image.Width, image.Height);
    params.tcp_numlayers = 1;
    params.cp_disto_alloc = 1;
    if (LosslessCompression != 0) {
        params.tcp_rates[0] = 0;
    } else {
        const float f = 100.0f / static_cast<float>((115 - Quality) * (115 - Quality));
        const double bytes = double(image.Width) * double(image.Height) * double(info.BytesPerPixel);
        const double target = bytes * f + 550.0 + double(channels - 1) * 142.0;
        params.tcp_rates[0] = static_cast<float>(1.0 / (target / bytes));
    }
    if (!opj_setup_encoder(codec.get(), &params, codecImage.get())) return false;

    const std::size_t count = std::size_t(w) * std::size_t(h);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    for (int c = 0; c < channels; ++c) {
        OPJ_INT32* data = codecImage->comps[c].data;
        const std::size_t channelOffset = std::size_t(ChannelOf(c, channels, info.HasAlpha)) * std::size_t(channelSize);
        const std::uint8_t* src = image.Bits + channelOffset;
        for (std::size_t i = 0; i < count; ++i, src += bpp)
            data[i] = static_cast<OPJ_INT32>(LoadSample(src, channelSize));
    }

    std::vector<std::uint8_t> out;
    MemoryIO memory;
    memory.out = &out;
    StreamPtr stream = MakeStream(memory, false);
    if (!stream) return false;
    if (!opj_start_compress(codec.get(), codecImage.get(), stream.get()) || !opj_encode(codec.get(), stream.get()) ||
        !opj_end_compress(codec.get(), stream.get()))
        return false;
    const auto n = static_cast<std::int64_t>(out.size());
    return io.Write(handle, out.data(), n) == n;
}

void RegisterFormatJpeg2000() { RegisterImageFileFormat(frJpeg2000, std::make_unique<TJpeg2000FileFormat>()); }

}  // namespace velto
