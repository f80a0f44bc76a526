// The element table and the reader of Apple icon files.
#include "icns/MacIcoIO.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "core/Language.h"
#include "core/MessageBox.h"
#include "model/Detect.h"
#include "platform/FileIO.h"

namespace velto {

namespace {

constexpr char kMagic[4] = {'i', 'c', 'n', 's'};
constexpr std::uint64_t kElementHeaderSize = 8;

// Rows written (3 to 19) and the mask rows (20 to 23), as index ranges.
constexpr std::size_t kFirstWritten = 2, kEndWritten = 19, kFirstMask = 19;

std::string_view FindType(std::size_t first, std::size_t end, int width, int height, int bitCount) {
    for (std::size_t i = first; i < end; ++i) {
        const TIcnsElementInfo& row = IcnsElementTable[i];
        if (row.Width == width && row.Height == height && row.BitCount == bitCount) return row.Name;
    }
    return {};
}

bool IsMaskElement(const TIcnsElementInfo& row) { return row.Name.ends_with("8mk"); }

struct ReadElement {
    std::string Type;  // the four bytes as stored
    TIcnsElementInfo Info;
    std::span<const std::uint8_t> Data;
};

// The type as the unknown-element warning lists it: "ic09" by its size, other
// types as their characters, with bytes that are no printable ASCII as \xNN.
std::string TypeForWarning(const std::string& type) {
    if (type == "ic09") return "512x512";
    std::string out;
    for (const char ch : type) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::uint64_t PixelCount(const TIcnsElementInfo& row) {
    return static_cast<std::uint64_t>(row.Width) * static_cast<std::uint64_t>(row.Height);
}

std::unique_ptr<TmyImagePal> NewImage(const TIcnsElementInfo& row) {
    return std::make_unique<TmyImagePal>(ImageSize{row.Width, row.Height}, row.BitCount);
}

// 1 bit: W·H bits of image, most significant bit first; 1 is black.
std::unique_ptr<TmyImagePal> Read1Bit(const ReadElement& e) {
    const std::uint64_t n = PixelCount(e.Info);
    if (e.Data.size() < n / 8) return nullptr;
    auto image = NewImage(e.Info);
    image->Palette = MacPalette(1);
    const auto pixels = image->Pixels();
    for (std::uint64_t i = 0; i < n; ++i) pixels[i] = (*image->Palette)[(e.Data[i / 8] >> (7 - i % 8)) & 1];
    return image;
}

// 4 bits: two pixels a byte, the first in the high nibble.
std::unique_ptr<TmyImagePal> Read4Bit(const ReadElement& e) {
    const std::uint64_t n = PixelCount(e.Info);
    if (e.Data.size() < (n + 1) / 2) return nullptr;
    auto image = NewImage(e.Info);
    image->Palette = MacPalette(4);
    const auto pixels = image->Pixels();
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t b = e.Data[i / 2];
        pixels[i] = (*image->Palette)[i % 2 == 0 ? b >> 4 : b & 0x0F];
    }
    return image;
}

std::unique_ptr<TmyImagePal> Read8Bit(const ReadElement& e) {
    const std::uint64_t n = PixelCount(e.Info);
    if (e.Data.size() < n) return nullptr;
    auto image = NewImage(e.Info);
    image->Palette = MacPalette(8);
    const auto pixels = image->Pixels();
    for (std::uint64_t i = 0; i < n; ++i) pixels[i] = (*image->Palette)[e.Data[i]];
    return image;
}

// One run-length packed plane into one channel; every pixel written becomes
// opaque. False when the data ends before the plane is full or a token runs
// past its end: what was decoded stays, the rest is left as it was.
bool UnpackPlane(ByteReader& in, std::span<TmyPixel> pixels, std::uint8_t TmyPixel::*channel) {
    std::size_t n = 0;
    auto put = [&](std::uint8_t v) {
        pixels[n].*channel = v;
        pixels[n].A = 255;
        ++n;
    };
    while (n < pixels.size()) {
        std::uint8_t h = 0;
        if (!in.u8(h)) return false;
        if (h >= 128) {
            std::uint8_t v = 0;
            if (!in.u8(v)) return false;
            const std::size_t count = h - 125u;
            const std::size_t take = std::min(count, pixels.size() - n);
            for (std::size_t i = 0; i < take; ++i) put(v);
            if (take < count) return false;
        } else {
            const std::uint64_t count = h + 1u;
            const std::uint64_t have = std::min(count, in.remaining());
            std::span<const std::uint8_t> literal;
            in.view(have, literal);
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(have, pixels.size() - n));
            for (std::size_t i = 0; i < take; ++i) put(literal[i]);
            if (have < count || take < have) return false;
        }
    }
    return true;
}

// 32 bits: red, green and blue planes one after the other ("it32" after four
// zero bytes). damaged counts the planes that could not be read completely.
std::unique_ptr<TmyImagePal> Read32Bit(const ReadElement& e, int& damaged) {
    ByteReader in(e.Data);
    if (e.Info.Name == "it32" && !in.skip(4)) return nullptr;
    auto image = NewImage(e.Info);
    for (std::uint8_t TmyPixel::*channel : {&TmyPixel::R, &TmyPixel::G, &TmyPixel::B})
        if (!UnpackPlane(in, image->Pixels(), channel)) ++damaged;
    return image;
}

std::unique_ptr<TmyImagePal> ReadJP2(const ReadElement& e, const ReadLimits& limits) {
    auto image = NewImage(e.Info);
    if (!DecodeIcnsPicture(e.Data, *image, limits)) return nullptr;
    return image;
}

// The transparency of a mask element: 8-bit masks give each pixel its alpha
// (0 makes it transparent black); a "#" element's second half gives 1 opaque,
// 0 transparent black. A mask of another size or shorter than its kind needs
// is not applied.
void ReadMask(const ReadElement& mask, TmyImagePal& image) {
    const std::uint64_t n = PixelCount(mask.Info);
    if (mask.Info.Width != image.Width() || mask.Info.Height != image.Height()) return;
    const auto pixels = image.Pixels();
    if (mask.Info.BitCount == 8) {
        if (mask.Data.size() < n) return;
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint8_t a = mask.Data[i];
            if (a == 0) pixels[i] = TmyPixel::Create();
            else pixels[i].A = a;
        }
        return;
    }
    if (mask.Data.size() < n / 4) return;
    const std::span<const std::uint8_t> bits = mask.Data.subspan(static_cast<std::size_t>(n / 8));
    for (std::uint64_t i = 0; i < n; ++i) {
        if ((bits[i / 8] >> (7 - i % 8)) & 1) pixels[i].A = 255;
        else pixels[i] = TmyPixel::Create();
    }
}

}  // namespace

TmyPalette MacPalette(int bitCount) {
    TmyPalette palette(PaletteCountForBits(bitCount));
    if (bitCount == 1) palette.SetWhiteBlack();
    else if (bitCount == 4) palette.SetMac16();
    else palette.SetMac256();
    return palette;
}

TmyMacIcoIO::TmyMacIcoIO(bool showMessages) : ShowMessagesFlag(showMessages) {}

void TmyMacIcoIO::ShowMessage(const std::string& text, int kind) const {
    if (ShowMessagesFlag) ShowMessageBox(text, kind, mbOK);
}

TIcnsElementInfo TmyMacIcoIO::FindElement(std::string_view name) {
    for (const TIcnsElementInfo& row : IcnsElementTable)
        if (row.Name == name) return row;
    return {};
}

std::string_view TmyMacIcoIO::ElementTypeFor(int width, int height, int bitCount) {
    return FindType(kFirstWritten, kEndWritten, width, height, bitCount);
}

std::string_view TmyMacIcoIO::MaskTypeFor(int width, int height, int bitCount) {
    return FindType(kFirstMask, IcnsElementTable.size(), width, height, bitCount);
}

// ---------------------------------------------------------------- reading

bool TmyMacIcoIO::LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error) {
    if (error) *error = FileError::None;
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(fileName, data, Limits.fileSize, error)) return false;
    if (DetectFileType(data, data.size()) == ftIcns && LoadFromBytes(doc, data)) return true;
    if (error) *error = FileError::Unsupported;
    return false;
}

namespace {

// The element list of a file. The first element is read whatever the
// header's length says; each must lie wholly inside the file, and a length
// that cannot hold its own header ends the list (it could never advance).
// False when the data is no Apple icon file; tooMany tells that the list was
// cut at the element limit.
bool ReadElements(std::span<const std::uint8_t> data, const ReadLimits& limits, std::vector<ReadElement>& elements,
                  bool& tooMany) {
    ByteReader r(data);
    char magic[4] = {};
    std::uint32_t total = 0;
    if (!r.bytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0 || !r.u32be(total)) return false;
    tooMany = false;
    while (r.remaining() >= kElementHeaderSize && (elements.empty() || r.pos() < total)) {
        if (elements.size() >= limits.icnsElements) {
            tooMany = true;
            break;
        }
        char type[4] = {};
        std::uint32_t length = 0;
        ByteReader head = r;
        head.bytes(type, 4);
        head.u32be(length);
        if (length < kElementHeaderSize || length - kElementHeaderSize > head.remaining()) break;
        r = head;
        ReadElement e;
        e.Type.assign(type, 4);
        e.Info = TmyMacIcoIO::FindElement(e.Type);
        r.view(length - kElementHeaderSize, e.Data);
        elements.push_back(std::move(e));
    }
    return true;
}

// Whether the element holds an image of its own (masks and unknown types do not).
bool IsImageElement(const ReadElement& e) { return !e.Info.Name.empty() && !IsMaskElement(e.Info); }

// The image of one element with its mask applied; null when it cannot be
// decoded. damaged counts the parts that were not read (at least 1 for null).
std::unique_ptr<TmyImagePal> DecodeElement(const ReadElement& e, const std::vector<ReadElement>& elements,
                                           const ReadLimits& limits, int& damaged) {
    damaged = 0;
    std::unique_ptr<TmyImagePal> image;
    switch (e.Info.BitCount) {
    case 1: image = Read1Bit(e); break;
    case 4: image = Read4Bit(e); break;
    case 8: image = Read8Bit(e); break;
    default: image = e.Info.Name == "ic08" ? ReadJP2(e, limits) : Read32Bit(e, damaged); break;
    }
    if (!image) {
        damaged = std::max(damaged, 1);
        return nullptr;
    }
    if (!e.Info.MaskName.empty()) {
        const auto mask = std::find_if(elements.begin(), elements.end(),
                                       [&](const ReadElement& m) { return m.Type == e.Info.MaskName; });
        if (mask != elements.end()) ReadMask(*mask, *image);
    }
    return image;
}

}  // namespace

bool TmyMacIcoIO::LoadFromBytes(TmyIcon& doc, std::span<const std::uint8_t> data) {
    std::vector<ReadElement> elements;
    bool tooMany = false;
    if (!ReadElements(data, Limits, elements, tooMany)) return false;
    if (tooMany) ShowMessage(Lang().GetMessage("msgEntryLimit", "Too many entries in the icon."), mkError);
    std::string unknown;
    for (const ReadElement& e : elements)
        if (e.Info.Name.empty()) unknown += TypeForWarning(e.Type) + ", ";

    std::vector<std::unique_ptr<TmyImagePal>> images;
    for (const ReadElement& e : elements) {
        if (!IsImageElement(e)) continue;
        int damaged = 0;
        std::unique_ptr<TmyImagePal> image = DecodeElement(e, elements, Limits, damaged);
        for (int i = 0; i < damaged; ++i)
            ShowMessage(Lang().GetMessage("msgNoImage", "Invalid image inside the icon."), mkError);
        if (image) images.push_back(std::move(image));
    }

    const bool decoded = !images.empty();
    for (auto& image : images) doc.AppendImage(std::move(image));
    if (decoded) doc.SortImages();
    if (!unknown.empty()) {
        unknown.resize(unknown.size() - 2);
        std::string text = Lang().GetMessage("msgUnknownImage",
                                             "The following unknown images were found inside the icon: %s1. If you "
                                             "save the icon this images will be lost!");
        ShowMessage(ReplacePlaceholder(std::move(text), "%s1", unknown), mkWarning);
    }
    // A file that gave no image is no icon to open, whatever it held.
    return decoded;
}

bool TmyMacIcoIO::LoadFirstImage(TmyIcon& doc, std::span<const std::uint8_t> data) {
    std::vector<ReadElement> elements;
    bool tooMany = false;
    if (!ReadElements(data, Limits, elements, tooMany)) return false;
    // An element's kind fixes the size and depth of its image, so the
    // canonical order is known before anything is decoded: elements are
    // tried in that order (of equals the first in the file) until one decodes.
    std::vector<const ReadElement*> order;
    for (const ReadElement& e : elements)
        if (IsImageElement(e)) order.push_back(&e);
    std::stable_sort(order.begin(), order.end(), [](const ReadElement* a, const ReadElement* b) {
        const TIcnsElementInfo& x = a->Info;
        const TIcnsElementInfo& y = b->Info;
        return std::tie(x.BitCount, x.Width, x.Height) > std::tie(y.BitCount, y.Width, y.Height);
    });
    for (const ReadElement* e : order) {
        int damaged = 0;
        if (std::unique_ptr<TmyImagePal> image = DecodeElement(*e, elements, Limits, damaged)) {
            doc.AppendImage(std::move(image));
            return true;
        }
    }
    return false;
}

}  // namespace velto
