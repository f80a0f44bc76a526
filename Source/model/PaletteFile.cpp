// Saving and loading palettes as ".pal" and ".act" files.
#include "model/PaletteFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/Text.h"
#include "core/Language.h"
#include "core/MessageBox.h"

namespace velto {
namespace {

constexpr std::uint64_t kPalHeaderSize = 24;
constexpr std::uint64_t kActSize = 768;
constexpr std::uint64_t kActSizeWithTrailer = 772;
// Enough leading bytes to judge any file: a ".pal" declares at most 65535
// records, and one byte past the larger ".act" size tells a longer file apart.
constexpr std::size_t kPalHeadBytes = kPalHeaderSize + 4 * 65535;
constexpr std::size_t kActHeadBytes = kActSizeWithTrailer + 1;

void tell(bool show, const char* key, const char* def, int kind, const char* placeholder = nullptr,
          const std::string& value = {}) {
    if (!show) return;
    std::string text = Lang().GetMessage(key, def);
    if (placeholder) text = ReplacePlaceholder(std::move(text), placeholder, value);
    ShowMessageBox(text, kind, mbOK);
}

void invalidPal(bool show) { tell(show, "msgInvalidPal", "Invalid palette file!", mkWarning); }

void badExt(const std::string& ext) {
    tell(true, "msgBadExt", "Unknown file extension: %s1", mkWarning, "%s1", ext);
}

bool loadPal(TmyPalette& palette, std::span<const std::uint8_t> data, bool show) {
    ByteReader r(data);
    std::span<const std::uint8_t> riff, pal, tag;
    std::uint16_t count = 0;
    const auto is = [](std::span<const std::uint8_t> s, const char* text) {
        return std::equal(s.begin(), s.end(), reinterpret_cast<const std::uint8_t*>(text));
    };
    if (!r.view(4, riff) || !r.skip(4) || !r.view(4, pal) || !r.view(4, tag) || !r.skip(6) || !r.u16le(count) ||
        !is(riff, "RIFF") || !is(pal, "PAL ") || !is(tag, "data")) {
        invalidPal(show);
        return false;
    }
    // Every declared record must be present before any entry is touched.
    if (!r.has(std::uint64_t{count} * 4)) {
        invalidPal(show);
        return false;
    }
    int n = count;
    if (palette.Count() < n) {
        n = palette.Count();
        tell(show, "msgManyColors", "%i1 colors read, rest of the palette was ignored.", mkInformation, "%i1",
             std::to_string(n));
    } else if (palette.Count() > n) {
        tell(show, "msgFewColors", "The palette was containing only %i1 colors.", mkInformation, "%i1",
             std::to_string(n));
    }
    for (int i = 0; i < n; ++i) {
        std::uint8_t rgb0[4] = {};
        r.bytes(rgb0, 4);
        palette[i].SetRGB(rgb0[0], rgb0[1], rgb0[2]);
    }
    return true;
}

bool loadAct(TmyPalette& palette, std::span<const std::uint8_t> data, bool show) {
    // The 4 bytes after the table of a 772-byte file are ignored.
    if (data.size() != kActSize && data.size() != kActSizeWithTrailer) {
        invalidPal(show);
        return false;
    }
    int n = 256;
    if (palette.Count() < n) {
        n = palette.Count();
        tell(show, "msgManyColors", "%i1 colors read, rest of the palette was ignored.", mkInformation, "%i1",
             std::to_string(n));
    }
    for (int i = 0; i < n; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 3;
        palette[i].SetRGB(data[at], data[at + 1], data[at + 2]);
    }
    return true;
}

}  // namespace

std::string PaletteFileExtension(const std::string& fileName) {
    const std::string name = ExtractFileName(fileName);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return {};
    return AsciiLower(std::string_view(name).substr(dot));
}

std::optional<PaletteFileKind> PaletteFileKindOf(const std::string& fileName) {
    const std::string ext = PaletteFileExtension(fileName);
    if (ext == ".pal") return PaletteFileKind::Pal;
    if (ext == ".act") return PaletteFileKind::Act;
    return std::nullopt;
}

std::vector<std::uint8_t> PaletteFileBytes(const TmyPalette& palette, PaletteFileKind kind) {
    ByteWriter w;
    const int n = palette.Count();
    if (kind == PaletteFileKind::Pal) {
        w.reserve(static_cast<std::size_t>(kPalHeaderSize) + 4 * static_cast<std::size_t>(n));
        w.text("RIFF");
        w.u32le(static_cast<std::uint32_t>(4 * n + 16));
        w.text("PAL ");
        w.text("data");
        w.u32le(static_cast<std::uint32_t>(4 * n + 4));
        w.u16le(0x0300);
        w.u16le(static_cast<std::uint16_t>(n));
        for (const TmyPixel& p : palette.Colors()) {
            w.u8(p.R);
            w.u8(p.G);
            w.u8(p.B);
            w.u8(0);
        }
    } else {
        w.reserve(kActSize);
        for (int i = 0; i < 256; ++i) {
            const TmyPixel p = i < n ? palette[i] : TmyPixel::CreateRGBA(255, 255, 255, 255);
            w.u8(p.R);
            w.u8(p.G);
            w.u8(p.B);
        }
    }
    return w.take();
}

bool LoadPaletteFromBytes(TmyPalette& palette, std::span<const std::uint8_t> data, PaletteFileKind kind,
                          bool showMessages) {
    return kind == PaletteFileKind::Pal ? loadPal(palette, data, showMessages)
                                        : loadAct(palette, data, showMessages);
}

bool TmyPalette::SaveToFile(const std::string& fileName, FileError* error) {
    if (error) *error = FileError::None;
    std::error_code ec;
    if (std::filesystem::exists(fileName, ec)) {
        std::string text = Lang().GetMessage("msgAlredyExists", "%s1 already exists! Overwrite?");
        text = ReplacePlaceholder(std::move(text), "%s1", ExtractFileName(fileName));
        if (ShowMessageBox(text, mkConfirm, mbYes | mbNo) != idYes) return false;
    }
    const auto kind = PaletteFileKindOf(fileName);
    if (!kind) {
        if (error) *error = FileError::Unsupported;
        badExt(PaletteFileExtension(fileName));
        return false;
    }
    const std::vector<std::uint8_t> bytes = PaletteFileBytes(*this, *kind);
    return WriteWholeFile(fileName, bytes, error);
}

bool TmyPalette::LoadFromFile(const std::string& fileName, FileError* error) {
    if (error) *error = FileError::None;
    const auto kind = PaletteFileKindOf(fileName);
    if (!kind) {
        if (error) *error = FileError::Unsupported;
        badExt(PaletteFileExtension(fileName));
        return false;
    }
    // Only the leading bytes matter (see kPalHeadBytes/kActHeadBytes), so the
    // head stands in for the whole file.
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    if (!ReadFileHead(fileName, *kind == PaletteFileKind::Pal ? kPalHeadBytes : kActHeadBytes, head, size, error))
        return false;
    if (LoadPaletteFromBytes(*this, head, *kind, true)) return true;
    if (error) *error = FileError::Unsupported;
    return false;
}

}  // namespace velto
