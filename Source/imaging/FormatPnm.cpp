// Portable maps. The reader takes the rest of the input once, reads the
// header as tokens, checks it (sizes, MaxVal 1..65535, depth against the tuple
// type) and the raster's size against the input before it allocates, and
// leaves the input right behind what it used.
#include "imaging/FormatPnm.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "imaging/FormatInput.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "imaging/Utility.h"
#include "platform/ByteWriter.h"

namespace velto {

namespace {

// Longest number token taken; longer ones are not numbers.
constexpr std::size_t kMaxNumberLength = 32;

bool IsWhite(std::uint8_t c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

class TokenReader {
public:
    explicit TokenReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t pos() const { return pos_; }
    std::size_t left() const { return data_.size() - pos_; }

    // White space and comments ('#' to the end of the line) before a token.
    void SkipWhiteAndComments() {
        while (pos_ < data_.size()) {
            if (IsWhite(data_[pos_])) {
                ++pos_;
            } else if (data_[pos_] == '#') {
                while (pos_ < data_.size() && data_[pos_] != '\n') ++pos_;
                if (pos_ < data_.size()) ++pos_;
            } else {
                break;
            }
        }
    }
    void SkipWhite() {
        while (pos_ < data_.size() && IsWhite(data_[pos_])) ++pos_;
    }
    // The next token; oneWhite: only one white-space character after it is
    // consumed (the last header value before binary data).
    std::string_view Token(bool oneWhite = false) {
        SkipWhiteAndComments();
        const std::size_t start = pos_;
        while (pos_ < data_.size() && !IsWhite(data_[pos_])) ++pos_;
        const std::string_view t(reinterpret_cast<const char*>(data_.data()) + start, pos_ - start);
        if (oneWhite) {
            if (pos_ < data_.size()) ++pos_;
        } else {
            SkipWhite();
        }
        return t;
    }
    // The next character that is not white space or a comment (a plain bit
    // map's digits need no separators).
    int Digit() {
        SkipWhiteAndComments();
        if (pos_ >= data_.size()) return -1;
        return data_[pos_++];
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

std::int32_t Number(std::string_view t) {
    std::int32_t v = 0;
    if (t.empty() || t.size() > kMaxNumberLength) throw EImagingError("Portable map: a number was expected.");
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size()) throw EImagingError("Portable map: a number was expected.");
    return v;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
           });
}

// Reads and checks the header; false when it is not valid.
bool ReadHeader(TokenReader& t, std::span<const std::uint8_t> data, TPortableMapInfo& m) {
    m = TPortableMapInfo{};
    if (data.size() < 2) return false;
    const char kind = static_cast<char>(data[1]);
    t.Token(false);  // skips nothing when the magic is followed by a token
    m.IdChar = kind;
    const bool binary = kind == '4' || kind == '5' || kind == '6' || kind == '7' || kind == 'F' || kind == 'f';
    if (kind >= '1' && kind <= '6') {
        const bool bits = kind == '1' || kind == '4';
        m.Width = Number(t.Token());
        m.Height = Number(t.Token(binary && bits));
        if (bits) {
            m.MaxVal = 1;
            m.BitCount = 1;
        } else {
            m.MaxVal = Number(t.Token(binary));
            m.BitCount = m.MaxVal < 257 ? 8 : 16;
        }
        m.Depth = 1;
        m.TupleType = bits ? ttBlackAndWhite : (kind == '2' || kind == '5') ? ttGrayScale : ttRGB;
        if (m.TupleType == ttRGB) m.Depth = 3;
    } else if (kind == '7') {
        const auto keyword = [&](const char* k) { return t.Token() == k; };
        if (!keyword("WIDTH")) return false;
        m.Width = Number(t.Token());
        if (!keyword("HEIGHT")) return false;
        m.Height = Number(t.Token());
        if (!keyword("DEPTH")) return false;
        m.Depth = Number(t.Token());
        if (!keyword("MAXVAL")) return false;
        m.MaxVal = Number(t.Token());
        m.BitCount = m.MaxVal < 257 ? 8 : 16;
        if (!keyword("TUPLTYPE")) return false;
        const std::string_view name = t.Token();
        for (std::int32_t i = 0; i <= ttRGBFP; ++i)
            if (EqualNoCase(name, TupleTypeNames[i])) m.TupleType = i;
        if (t.Token(true) != "ENDHDR") return false;
        // Floating-point samples in an arbitrary map are not read.
        if (m.TupleType == ttGrayScaleFP || m.TupleType == ttRGBFP) return false;
    } else if (kind == 'F' || kind == 'f') {
        m.Width = Number(t.Token());
        m.Height = Number(t.Token());
        const std::string_view s = t.Token(true);
        double scale = 0;
        if (std::from_chars(s.data(), s.data() + s.size(), scale).ec != std::errc()) scale = 0;
        m.BigEndian = scale > 0;
        m.TupleType = kind == 'F' ? ttRGBFP : ttGrayScaleFP;
        m.Depth = kind == 'F' ? 3 : 1;
        m.BitCount = kind == 'F' ? 96 : 32;
    } else {
        return false;
    }
    m.Binary = binary;

    if (m.Width <= 0 || m.Height <= 0 || m.TupleType == ttInvalid) return false;
    if (m.BitCount != 1 && m.BitCount != 8 && m.BitCount != 16 && m.BitCount != 32 && m.BitCount != 96) return false;
    switch (m.TupleType) {
    case ttBlackAndWhite: case ttGrayScale: if (m.Depth != 1) return false; break;
    case ttRGB: if (m.Depth != 3) return false; break;
    case ttBlackAndWhiteAlpha: case ttGrayScaleAlpha: if (m.Depth != 2) return false; break;
    case ttRGBAlpha: if (m.Depth != 4) return false; break;
    default: break;
    }
    if (m.TupleType < ttGrayScaleFP) {
        // A sample's range; black-and-white samples are 0 or 1.
        if (m.MaxVal < 1 || m.MaxVal > 65535) return false;
        if ((m.TupleType == ttBlackAndWhite || m.TupleType == ttBlackAndWhiteAlpha) && m.MaxVal != 1) return false;
    }
    return true;
}

TImageFormat FormatOf(const TPortableMapInfo& m) {
    const bool wide = m.BitCount == 16;
    switch (m.TupleType) {
    case ttBlackAndWhite: return ifGray8;
    case ttGrayScale: return wide ? ifGray16 : ifGray8;
    case ttRGB: return wide ? ifR16G16B16 : ifR8G8B8;
    case ttBlackAndWhiteAlpha: return ifA8Gray8;
    case ttGrayScaleAlpha: return wide ? ifA16Gray16 : ifA8Gray8;
    case ttRGBAlpha: return wide ? ifA16R16G16B16 : ifA8R8G8B8;
    case ttGrayScaleFP: return ifR32F;
    case ttRGBFP: return ifA32B32G32R32F;
    default: return ifUnknown;
    }
}

// A sample clamped to MaxVal and spread over the format's range.
std::uint32_t Rescale(std::uint32_t v, const TPortableMapInfo& m, bool rescale) {
    v = std::min<std::uint32_t>(v, static_cast<std::uint32_t>(m.MaxVal));
    if (!rescale) return v;
    const std::uint64_t top = m.BitCount == 16 ? 65535 : 255;
    return static_cast<std::uint32_t>(v * top / static_cast<std::uint32_t>(m.MaxVal));
}

void StoreSample(std::uint8_t* p, std::uint32_t v, bool wide) {
    if (wide) {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
    } else {
        *p = static_cast<std::uint8_t>(v);
    }
}

// Memory position of the c-th sample of a pixel of `depth` samples: colour
// samples come red first in the file and blue first in memory.
std::size_t SampleSlot(std::int32_t c, std::int32_t depth) {
    if (depth >= 3 && c < 3) return static_cast<std::size_t>(2 - c);
    return static_cast<std::size_t>(c);
}

// Grey and pixel maps: 16-bit samples for floats, for grey of more than a
// byte a sample and for pixels of more than 4 bytes; 8-bit otherwise.
void ConvertToSampleSize(TImageData& image, const TImageFormatInfo& info, TImageFormat narrow, TImageFormat wide) {
    const std::int32_t channelSize = info.ChannelCount ? info.BytesPerPixel / info.ChannelCount : 0;
    bool isWide;
    if (info.IsFloat) isWide = true;
    else if (info.IsGray) isWide = channelSize > 1;
    else isWide = info.BytesPerPixel > 4;
    ConvertImage(image, isWide ? wide : narrow);
}

}  // namespace

// ---------------------------------------------------------------------------
// TPortableMapFileFormat

bool TPortableMapFileFormat::WriteTextOrBinary(const TIOFunctions& io, TImagingHandle handle,
                                               const TDynImageDataArray& images, std::int32_t index) {
    TPortableMapInfo m;
    m.IdChar = IdChars[SaveBinary != 0 ? 1 : 0];
    m.Binary = SaveBinary != 0;
    return WriteMap(io, handle, images, index, m);
}

TPortableMapFileFormat::TPortableMapFileFormat() {
    CanLoad = true;
    CanSave = true;
    IsMultiImage = false;
}

bool TPortableMapFileFormat::TestFormat(const TIOFunctions& io, TImagingHandle handle) {
    std::uint8_t b[4] = {};
    return PeekFormatInput(io, handle, b, 4) >= 3 && b[0] == 'P' && (b[1] == IdChars[0] || b[1] == IdChars[1]) &&
           IsWhite(b[2]);
}

bool TPortableMapFileFormat::LoadData(const TIOFunctions& io, TImagingHandle handle, TDynImageDataArray& images, bool) {
    const TFormatInput in = ReadFormatInput(io, handle);
    images.assign(1, TImageData{});
    TokenReader t(in.data());
    TPortableMapInfo m;
    if (!ReadHeader(t, in.data(), m)) return false;
    const TImageFormat format = FormatOf(m);
    const TImageFormatInfo& info = *FormatInfo(format);
    const std::uint64_t samples = std::uint64_t(m.Width) * std::uint64_t(m.Height) * std::uint64_t(m.Depth);
    const std::uint64_t sampleBytes = m.TupleType >= ttGrayScaleFP ? 4 : m.BitCount == 16 ? 2 : 1;
    std::uint64_t rasterBytes = samples * sampleBytes;
    if (m.IdChar == '4') rasterBytes = (std::uint64_t(m.Width) + 7) / 8 * std::uint64_t(m.Height);
    // Text needs a character a sample at least, binary data all of its bytes.
    if ((m.Binary ? rasterBytes : samples) > t.left()) RaiseBadImageData("Portable map data cut short.");

    TImageData& image = images[0];
    if (!NewImage(m.Width, m.Height, format, image)) return false;
    const std::size_t width = static_cast<std::size_t>(m.Width), height = static_cast<std::size_t>(m.Height);
    const std::size_t pixels = width * height;
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const bool wide = m.BitCount == 16;
    const std::size_t channelBytes = wide ? 2 : 1;
    const bool rescale = (m.TupleType == ttGrayScale || m.TupleType == ttRGB || m.TupleType == ttGrayScaleAlpha ||
                          m.TupleType == ttRGBAlpha) &&
                         m.MaxVal != (1 << m.BitCount) - 1;
    std::size_t consumed;

    if (!m.Binary) {
        const std::uint32_t top = wide ? 65535 : 255;
        for (std::size_t i = 0; i < pixels; ++i) {
            std::uint8_t* px = image.Bits + i * bpp;
            for (std::int32_t c = 0; c < m.Depth; ++c) {
                std::uint32_t v;
                if (m.TupleType == ttBlackAndWhite) {
                    const int d = t.Digit();
                    if (d != '0' && d != '1') throw EImagingError("Portable bit map: samples are 0 or 1.");
                    v = d == '1' ? 0 : 255;
                } else {
                    const std::int32_t n = Number(t.Token());
                    if (n < 0 || static_cast<std::uint32_t>(n) > top)
                        throw EImagingError("Portable map: sample out of range.");
                    v = Rescale(static_cast<std::uint32_t>(n), m, rescale);
                }
                StoreSample(px + SampleSlot(c, m.Depth) * channelBytes, v, wide);
            }
        }
        consumed = t.pos();
    } else if (m.IdChar == '4') {
        const std::uint8_t* src = in.bytes.data() + t.pos();
        const std::size_t rowBytes = (width + 7) / 8;
        for (std::size_t y = 0; y < height; ++y) {
            std::uint8_t* dst = image.Bits + y * width;
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = (src[y * rowBytes + x / 8] >> (7 - x % 8) & 1) ? 0 : 255;
        }
        consumed = t.pos() + rasterBytes;
    } else if (m.TupleType >= ttGrayScaleFP) {
        // Float maps store the bottom row first; colour pixels gain an alpha of 1.
        const std::uint8_t* src = in.bytes.data() + t.pos();
        const std::size_t depth = static_cast<std::size_t>(m.Depth);
        const std::size_t fileRow = width * depth * 4;
        const float one = 1.0f;
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* row = src + (height - 1 - y) * fileRow;
            std::uint8_t* dst = image.Bits + y * width * bpp;
            if (depth == 1) {
                std::memcpy(dst, row, fileRow);
            } else {
                for (std::size_t x = 0; x < width; ++x) {
                    std::memcpy(dst + x * 16, row + x * 12, 12);
                    std::memcpy(dst + x * 16 + 12, &one, 4);
                }
            }
            if (m.BigEndian) {
                // Only the samples read from the file change order.
                for (std::size_t x = 0; x < width; ++x)
                    SwapEndianLongWords(dst + x * bpp, depth);
            }
        }
        consumed = t.pos() + rasterBytes;
    } else {
        const std::uint8_t* src = in.bytes.data() + t.pos();
        const bool bits = m.TupleType == ttBlackAndWhite || m.TupleType == ttBlackAndWhiteAlpha;
        const bool plain = !wide && !rescale && !bits;  // bytes as they are, red and blue exchanged
        if (plain && m.Depth < 3) std::memcpy(image.Bits, src, static_cast<std::size_t>(rasterBytes));
        if (plain && m.Depth >= 3) CopySwapRedBlue(src, image.Bits, pixels, bpp);
        for (std::size_t i = 0; !plain && i < pixels; ++i) {
            std::uint8_t* px = image.Bits + i * bpp;
            const std::uint8_t* s = src + i * static_cast<std::size_t>(m.Depth) * channelBytes;
            for (std::int32_t c = 0; c < m.Depth; ++c) {
                const std::uint8_t* p = s + static_cast<std::size_t>(c) * channelBytes;
                std::uint32_t v = wide ? std::uint32_t(p[0] << 8 | p[1]) : p[0];
                v = bits ? std::min<std::uint32_t>(v, 1) * 255 : Rescale(v, m, rescale);
                StoreSample(px + SampleSlot(c, m.Depth) * channelBytes, v, wide);
            }
        }
        consumed = t.pos() + rasterBytes;
    }
    in.LeaveAt(consumed);
    return true;
}

bool TPortableMapFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                      std::int32_t index) {
    return WriteMap(io, handle, images, index, TPortableMapInfo{});
}

bool TPortableMapFileFormat::WriteMap(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                                      std::int32_t index, TPortableMapInfo m) {
    TSavableCopy copy;
    if (!MakeCompatible(images[static_cast<std::size_t>(index)], copy.image, copy.owned)) return false;
    const TImageData& image = copy.image;
    const TImageFormatInfo& info = *FormatInfo(image.Format);
    const std::int32_t channelSize = info.BytesPerPixel / info.ChannelCount;
    m.Width = image.Width;
    m.Height = image.Height;
    m.BitCount = channelSize * 8;
    m.Depth = info.ChannelCount;
    if (m.TupleType == ttInvalid)
        m.TupleType = info.IsGray ? (info.HasAlpha ? ttGrayScaleAlpha : ttGrayScale) : (info.HasAlpha ? ttRGBAlpha : ttRGB);
    const bool isFloat = m.TupleType >= ttGrayScaleFP;
    const std::int32_t maxVal = isFloat ? 0 : static_cast<std::int32_t>((1u << m.BitCount) - 1);

    ByteWriter w;
    w.text(ImagingFormat("P%c\n", m.IdChar));
    if (m.HasPAMHeader) {
        w.text(ImagingFormat("%s %d\n", "WIDTH", m.Width));
        w.text(ImagingFormat("%s %d\n", "HEIGHT", m.Height));
        w.text(ImagingFormat("%s %d\n", "DEPTH", m.Depth));
        w.text(ImagingFormat("%s %d\n", "MAXVAL", maxVal));
        w.text(ImagingFormat("%s %s\n", "TUPLTYPE", TupleTypeNames[m.TupleType]));
        w.text("ENDHDR\n");
    } else {
        w.text(ImagingFormat("%d\n%d\n", m.Width, m.Height));
        if (m.TupleType == ttGrayScale || m.TupleType == ttRGB) w.text(ImagingFormat("%d\n", maxVal));
        else if (isFloat) w.text("-1\n");
    }

    const std::size_t width = static_cast<std::size_t>(image.Width), height = static_cast<std::size_t>(image.Height);
    const std::size_t pixels = width * height, bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const auto sample = [&](const std::uint8_t* px, std::int32_t c) -> std::uint32_t {
        const std::uint8_t* p = px + SampleSlot(c, m.Depth) * static_cast<std::size_t>(channelSize);
        if (channelSize == 2) {
            std::uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        return *p;
    };
    if (isFloat) {
        // Bottom row first, little-endian; colour pixels as their red, green and blue.
        const std::size_t floats = m.TupleType == ttRGBFP ? 3 : 1;
        ReserveFormatOutput(w.buffer(), pixels * floats * 4);
        AppendFormatOutput(w.buffer(), height, width * floats * 4, [&](std::uint8_t* dst, std::size_t first, std::size_t n) {
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint8_t* row = image.Bits + (height - 1 - first - k) * width * bpp;
                if (floats * 4 == bpp) {
                    std::memcpy(dst, row, width * bpp);
                    dst += width * bpp;
                    continue;
                }
                for (std::size_t x = 0; x < width; ++x, dst += floats * 4) std::memcpy(dst, row + x * bpp, floats * 4);
            }
        });
    } else if (!m.Binary) {
        std::size_t column = 0;
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::uint8_t* px = image.Bits + i * bpp;
            const std::string text = m.Depth >= 3
                                         ? ImagingFormat("%u %u %u ", sample(px, 0), sample(px, 1), sample(px, 2))
                                         : ImagingFormat("%u ", sample(px, 0));
            w.text(text);
            column += text.size();
            if (column > 65) {
                w.u8('\n');
                column = 1;
            }
        }
    } else {
        // Samples big-endian, red first.
        ReserveFormatOutput(w.buffer(), pixels * bpp);
        AppendFormatOutput(w.buffer(), pixels, bpp, [&](std::uint8_t* dst, std::size_t first, std::size_t n) {
            const std::uint8_t* src = image.Bits + first * bpp;
            if (channelSize == 1 && m.Depth >= 3) {
                CopySwapRedBlue(src, dst, n, bpp);
            } else if (channelSize == 1) {
                std::memcpy(dst, src, n * bpp);
            } else {
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint8_t* px = src + i * bpp;
                    for (std::int32_t c = 0; c < m.Depth; ++c) {
                        const std::uint32_t v = sample(px, c);
                        if (channelSize == 2) *dst++ = static_cast<std::uint8_t>(v >> 8);
                        *dst++ = static_cast<std::uint8_t>(v);
                    }
                }
            }
        });
    }
    return WriteFormatOutput(io, handle, w.buffer());
}

// ---------------------------------------------------------------------------
// The five classes

TPBMFileFormat::TPBMFileFormat() {
    Name = "Portable Bit Map";
    AddMasks("*.pbm");
    IdChars[0] = '1';
    IdChars[1] = '4';
    CanSave = false;
}

TPGMFileFormat::TPGMFileFormat() {
    Name = "Portable Gray Map";
    AddMasks("*.pgm");
    IdChars[0] = '2';
    IdChars[1] = '5';
    SupportedFormats.set(ifGray8);
    SupportedFormats.set(ifGray16);
    RegisterOption(ImagingPGMSaveBinary, &SaveBinary);
}

bool TPGMFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return WriteTextOrBinary(io, handle, images, index);
}

void TPGMFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    ConvertToSampleSize(image, info, ifGray8, ifGray16);
}

TPPMFileFormat::TPPMFileFormat() {
    Name = "Portable Pixel Map";
    AddMasks("*.ppm");
    IdChars[0] = '3';
    IdChars[1] = '6';
    SupportedFormats.set(ifR8G8B8);
    SupportedFormats.set(ifR16G16B16);
    RegisterOption(ImagingPPMSaveBinary, &SaveBinary);
}

bool TPPMFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    return WriteTextOrBinary(io, handle, images, index);
}

void TPPMFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    ConvertToSampleSize(image, info, ifR8G8B8, ifR16G16B16);
}

TPAMFileFormat::TPAMFileFormat() {
    Name = "Portable Arbitrary Map";
    AddMasks("*.pam");
    IdChars[0] = '7';
    IdChars[1] = '7';
    for (const TImageFormat f : {ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8, ifR16G16B16,
                                 ifA16R16G16B16})
        SupportedFormats.set(f);
}

bool TPAMFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    TPortableMapInfo m;
    m.IdChar = '7';
    m.Binary = true;
    m.HasPAMHeader = true;
    return WriteMap(io, handle, images, index, m);
}

void TPAMFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    TImageFormat target;
    if (info.IsFloat) target = info.HasAlpha ? ifA16R16G16B16 : ifR16G16B16;
    else if (info.IsGray) target = info.HasAlpha ? ifA16Gray16 : ifGray16;
    else if (info.BytesPerPixel > 4) target = info.HasAlpha ? ifA16R16G16B16 : ifR16G16B16;
    else target = info.HasAlpha ? ifA8R8G8B8 : ifR8G8B8;
    ConvertImage(image, target);
}

TPFMFileFormat::TPFMFileFormat() {
    Name = "Portable Float Map";
    AddMasks("*.pfm");
    IdChars[0] = 'F';
    IdChars[1] = 'f';
    SupportedFormats.set(ifR32F);
    SupportedFormats.set(ifA32B32G32R32F);
}

bool TPFMFileFormat::SaveData(const TIOFunctions& io, TImagingHandle handle, const TDynImageDataArray& images,
                              std::int32_t index) {
    TPortableMapInfo m;
    const TImageFormatInfo* info = FormatInfo(images[static_cast<std::size_t>(index)].Format);
    m.TupleType = info && (info->ChannelCount > 1 || info->IsIndexed) ? ttRGBFP : ttGrayScaleFP;
    m.IdChar = m.TupleType == ttGrayScaleFP ? 'f' : 'F';
    m.Binary = true;
    return WriteMap(io, handle, images, index, m);
}

void TPFMFileFormat::ConvertToSupported(TImageData& image, const TImageFormatInfo& info) {
    ConvertImage(image, info.ChannelCount == 1 && !info.IsIndexed ? ifR32F : ifA32B32G32R32F);
}

void RegisterFormatPnm() {
    RegisterImageFileFormat(frPBM, std::make_unique<TPBMFileFormat>());
    RegisterImageFileFormat(frPGM, std::make_unique<TPGMFileFormat>());
    RegisterImageFileFormat(frPPM, std::make_unique<TPPMFileFormat>());
    RegisterImageFileFormat(frPAM, std::make_unique<TPAMFileFormat>());
    RegisterImageFileFormat(frPFM, std::make_unique<TPFMFileFormat>());
}

}  // namespace velto
