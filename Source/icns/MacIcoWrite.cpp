// The writer of Apple icon files: preparing a copy of the document, then the
// elements built in memory.
#include <cstdint>
#include <limits>

#include "core/Language.h"
#include "core/MessageBox.h"
#include "engine/ColorDepth.h"
#include "icns/MacIcoIO.h"
#include "model/PaletteIndexer.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {

namespace {

// The classic sizes, in the order their 1-bit images and masks are completed.
constexpr ImageSize kGroups[] = {{16, 12}, {16, 16}, {32, 32}, {48, 48}};

// The image of that size and depth, or null.
TmyImagePal* FindImage(TmyIcon& doc, ImageSize size, int bitCount) {
    for (int i = 0; i < doc.Count(); ++i) {
        TmyImagePal& image = doc.Image(i);
        if (image.Size() == size && image.BitCount == bitCount) return &image;
    }
    return nullptr;
}

bool Writable(const TmyImagePal& image) {
    return !TmyMacIcoIO::ElementTypeFor(image.Width(), image.Height(), image.BitCount).empty();
}

// 1 bit: the image bits (1 black), then the mask bits (1 where visible).
void Write1Bit(const TmyImagePal& image, ByteWriter& out) {
    const TmyPalette palette = MacPalette(1);
    PaletteIndexer indexer(palette);
    const auto pixels = image.Pixels();
    for (int half = 0; half < 2; ++half) {
        for (std::size_t i = 0; i < pixels.size(); i += 8) {
            std::uint8_t b = 0;
            for (std::size_t j = i; j < i + 8 && j < pixels.size(); ++j) {
                const bool bit = half == 0 ? indexer.IndexOf(pixels[j]) != 0 : pixels[j].A != 0;
                b = static_cast<std::uint8_t>(b | (bit ? 0x80 >> (j - i) : 0));
            }
            out.u8(b);
        }
    }
}

void Write4Bit(const TmyImagePal& image, ByteWriter& out) {
    const TmyPalette palette = MacPalette(4);
    PaletteIndexer indexer(palette);
    const auto pixels = image.Pixels();
    for (std::size_t i = 0; i < pixels.size(); i += 2) {
        const std::uint8_t low = i + 1 < pixels.size() ? indexer.IndexOf(pixels[i + 1]) : 0;
        out.u8(static_cast<std::uint8_t>(indexer.IndexOf(pixels[i]) << 4 | low));
    }
}

// 8 bits: a transparent pixel is stored as 255 (black), as the mask hides it.
void Write8Bit(const TmyImagePal& image, ByteWriter& out) {
    const TmyPalette palette = MacPalette(8);
    PaletteIndexer indexer(palette);
    for (const TmyPixel& p : image.Pixels()) out.u8(p.IsTransparent() ? 255 : indexer.IndexOf(p));
}

void Write32Bit(const TmyImagePal& image, bool it32, ByteWriter& out) {
    if (it32) out.fill(0, 4);
    const auto pixels = image.Pixels();
    std::vector<std::uint8_t> plane(pixels.size());
    for (std::uint8_t TmyPixel::*channel : {&TmyPixel::R, &TmyPixel::G, &TmyPixel::B}) {
        for (std::size_t i = 0; i < pixels.size(); ++i) plane[i] = pixels[i].*channel;
        TmyMacIcoIO::PackPlane(plane, out);
    }
}

void WriteElement(ByteWriter& out, std::string_view type, std::span<const std::uint8_t> data) {
    out.text(type);
    out.u32be(static_cast<std::uint32_t>(data.size() + 8));
    out.bytes(data);
}

}  // namespace

void TmyMacIcoIO::PackPlane(std::span<const std::uint8_t> plane, ByteWriter& out) {
    const std::size_t n = plane.size();
    // Three equal values from i on (values past the end equal nothing).
    auto tripleAt = [&](std::size_t i) { return i + 2 < n && plane[i] == plane[i + 1] && plane[i] == plane[i + 2]; };
    std::size_t at = 0;
    while (at < n) {
        std::size_t k = 1;
        if (tripleAt(at)) {
            while (k < 128 && at + k < n && plane[at + k] == plane[at]) ++k;
            out.u8(static_cast<std::uint8_t>(k + 125));
            out.u8(plane[at]);
        } else {
            while (k < 128 && at + k < n && !tripleAt(at + k)) ++k;
            out.u8(static_cast<std::uint8_t>(k - 1));
            out.bytes(plane.subspan(at, k));
        }
        at += k;
    }
}

bool TmyMacIcoIO::PrepareDocument(const TmyIcon& doc, TmyIcon& out) {
    int writable = 0;
    for (int i = 0; i < doc.Count(); ++i) writable += Writable(doc.Image(i)) ? 1 : 0;
    // Checked before anything else, so that a document with nothing to write
    // is never asked about nor emptied.
    if (writable == 0) {
        ShowMessage(Lang().GetMessage("msgNoImg", "The icon contains no images!"), mkWarning);
        return false;
    }
    if (writable < doc.Count() && ShowMessagesFlag) {
        const std::string question = Lang().GetMessage(
            "msgDelImg",
            "The icon contains images that are not compatible with the Macintosh icon format. These images will be "
            "deleted! Continue?");
        if (ShowMessageBox(question, mkWarning, mbYes | mbNo) != idYes) return false;
    }

    TmyIcon copy(doc);
    for (int i = copy.Count() - 1; i >= 0; --i)
        if (!Writable(copy.Image(i))) copy.Delete(i);
    const TmyImagePal* current = &copy.CurrentImage();

    for (int i = 0; i < copy.Count(); ++i) {
        TmyImagePal& image = copy.Image(i);
        if (image.Palette) ApplyPalette(image, MacPalette(image.BitCount), Dithering);
    }
    // Every classic size with colour images gets a 1-bit image, made from the
    // 8-bit one (else the 4-bit one): old readers take the mask from it.
    for (const ImageSize size : kGroups) {
        const TmyImagePal* source = FindImage(copy, size, 8);
        if (!source) source = FindImage(copy, size, 4);
        if (!source || FindImage(copy, size, 1)) continue;
        // Inserting moves owners only: source still points at its image.
        const int index = copy.InsertSorted(size, 1);
        if (index < 0) continue;
        TmyImagePal& mono = copy.Image(index);
        mono.Assign(*source);
        ChangeColorDepth(mono, TBitDepth::Bits1, TPaletteKind::Mac, Dithering);
    }
    // One size shares one mask element, so its images must agree on it.
    for (const ImageSize size : kGroups) {
        TmyImagePal* mono = FindImage(copy, size, 1);
        TmyImagePal* four = FindImage(copy, size, 4);
        TmyImagePal* eight = FindImage(copy, size, 8);
        if (mono && eight) mono->CopyAlphaFrom(*eight);
        if (four && eight) four->CopyAlphaFrom(*eight);
        if (mono && four) mono->CopyAlphaFrom(*four);
    }
    // The image that was current stays current, wherever it now is.
    for (int i = 0; i < copy.Count(); ++i)
        if (&copy.Image(i) == current) copy.SetItemIndex(i);
    out = std::move(copy);
    return true;
}

bool TmyMacIcoIO::WriteIcns(const TmyIcon& doc, std::vector<std::uint8_t>& out) const {
    out.clear();
    ByteWriter file;
    file.text("icns");
    file.u32be(0);
    ByteWriter data;
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        const std::string_view type = ElementTypeFor(image.Width(), image.Height(), image.BitCount);
        if (type.empty()) return false;
        data.buffer().clear();
        switch (image.BitCount) {
        case 1: Write1Bit(image, data); break;
        case 4: Write4Bit(image, data); break;
        case 8: Write8Bit(image, data); break;
        default:
            if (type == "ic08") {
                data.buffer() = EncodeIcnsPicture(image);
                if (data.buffer().empty()) return false;
            } else {
                Write32Bit(image, type == "it32", data);
            }
            break;
        }
        WriteElement(file, type, data.buffer());
    }
    // The 32-bit kinds keep their alpha in a mask element of their own; the
    // 256x256 picture carries its alpha itself.
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& image = doc.Image(i);
        if (image.BitCount != 32 || image.Width() == 256) continue;
        data.buffer().clear();
        for (const TmyPixel& p : image.Pixels()) data.u8(p.A);
        WriteElement(file, MaskTypeFor(image.Width(), image.Height(), 8), data.buffer());
    }
    if (file.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    file.patchU32be(4, static_cast<std::uint32_t>(file.size()));
    out = file.take();
    return true;
}

bool TmyMacIcoIO::SaveToFile(const TmyIcon& doc, const std::string& fileName, bool, FileError* error) {
    if (error) *error = FileError::None;
    TmyIcon prepared;
    if (!PrepareDocument(doc, prepared)) return false;
    std::vector<std::uint8_t> bytes;
    if (!WriteIcns(prepared, bytes)) {
        if (error) *error = FileError::Unsupported;
        return false;
    }
    return WriteWholeFile(fileName, bytes, error);
}

bool TmyMacIcoIO::SaveDocument(TmyIcon& doc, const std::string& fileName, FileError* error) {
    if (error) *error = FileError::None;
    TmyIcon prepared;
    if (!PrepareDocument(doc, prepared)) return false;
    std::vector<std::uint8_t> bytes;
    if (!WriteIcns(prepared, bytes)) {
        if (error) *error = FileError::Unsupported;
        return false;
    }
    if (!WriteWholeFile(fileName, bytes, error)) return false;
    doc = std::move(prepared);
    return true;
}

}  // namespace velto
