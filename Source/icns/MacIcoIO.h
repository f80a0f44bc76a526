#pragma once
// Apple icon files (".icns"): a big-endian header and a list of typed
// elements. The classic elements hold 1-, 4- or 8-bit pixels over fixed
// Macintosh tables, 32-bit pixels as run-length packed colour planes with a
// separate 8-bit mask element, or (for 256x256) a JPEG 2000 or PNG picture.
//
// The reader treats its input as hostile: every element must lie inside the
// file, every decoder checks its data against what its kind needs, pictures
// are sized by their headers before anything is decoded, and the document gets
// the images only once the whole file was read. The writer prepares a copy of
// the document (a failed save changes nothing), builds the file in memory and
// replaces the target atomically.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ColorDepth.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/ReadLimits.h"

namespace velto {

// One kind of element: its four-character type, the image it holds, and the
// element that carries its transparency (empty for none).
struct TIcnsElementInfo {
    std::string_view Name;
    int Width = 0;
    int Height = 0;
    int BitCount = 0;
    std::string_view MaskName;
};

// Every element kind read; rows 3 to 19 are the ones written, the last four
// the 8-bit masks of the 32-bit kinds.
inline constexpr std::array<TIcnsElementInfo, 23> IcnsElementTable = {{
    {"SICN", 16, 16, 1, ""},     {"ICON", 32, 32, 1, ""},     {"icm#", 16, 12, 1, "icm#"},
    {"ics#", 16, 16, 1, "ics#"}, {"ICN#", 32, 32, 1, "ICN#"}, {"ich#", 48, 48, 1, "ich#"},
    {"icm4", 16, 12, 4, "icm#"}, {"ics4", 16, 16, 4, "ics#"}, {"icl4", 32, 32, 4, "ICN#"},
    {"ich4", 48, 48, 4, "ich#"}, {"icm8", 16, 12, 8, "icm#"}, {"ics8", 16, 16, 8, "ics#"},
    {"icl8", 32, 32, 8, "ICN#"}, {"ich8", 48, 48, 8, "ich#"}, {"is32", 16, 16, 32, "s8mk"},
    {"il32", 32, 32, 32, "l8mk"}, {"ih32", 48, 48, 32, "h8mk"}, {"it32", 128, 128, 32, "t8mk"},
    {"ic08", 256, 256, 32, ""},  {"s8mk", 16, 16, 8, ""},     {"l8mk", 32, 32, 8, ""},
    {"h8mk", 48, 48, 8, ""},     {"t8mk", 128, 128, 8, ""},
}};

class TmyMacIcoIO : public ImyIconIO {
public:
    // Bounds of reading: the file's size and its elements (Limits.icnsElements).
    ReadLimits Limits;
    // Whether indexed images refitted to the Macintosh tables on saving are
    // dithered (the "Dithering" setting).
    TDither Dithering = TDither::On;

    // showMessages: may show message boxes itself (the user's open and save);
    // silent users (batch, browsing, import) pass false.
    explicit TmyMacIcoIO(bool showMessages);
    static std::unique_ptr<TmyMacIcoIO> Create(bool showMessages) { return std::make_unique<TmyMacIcoIO>(showMessages); }

    bool ShowMessages() const { return ShowMessagesFlag; }

    // --- The element table ---
    // The row of that type, or one with an empty Name when the type is unknown.
    static TIcnsElementInfo FindElement(std::string_view name);
    // The type an image of that format is written as (rows 3 to 19); empty when
    // the format has none, so the image cannot be written.
    static std::string_view ElementTypeFor(int width, int height, int bitCount);
    // The 8-bit mask element of that format (rows 20 to 23); empty when none.
    static std::string_view MaskTypeFor(int width, int height, int bitCount);

    // --- Reading ---
    // Reads a file whose content is an Apple icon file; any other file gives
    // false without a message.
    bool LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error = nullptr) override;
    // Reads a whole file held in memory. Appends the images decoded to doc,
    // sorts it and returns true when at least one image was decoded; on false
    // doc is unchanged.
    bool LoadFromBytes(TmyIcon& doc, std::span<const std::uint8_t> data);
    // Only the image LoadFromBytes would put first (the deepest, widest,
    // highest that decodes; of equals the first in the file), appended to
    // doc as its current image; elements of images ranked before it are
    // decoded only to find they cannot be. Shows no message. False, doc
    // unchanged, when no image decodes.
    bool LoadFirstImage(TmyIcon& doc, std::span<const std::uint8_t> data);

    // --- Writing ---
    // Writes what the save of a document writes (see SaveDocument) and leaves
    // doc as it is. png is ignored. A declined question or a document with
    // nothing to write leaves error None, as in SaveDocument.
    bool SaveToFile(const TmyIcon& doc, const std::string& fileName, bool png, FileError* error = nullptr) override;
    // The editor's save. Images no element can hold are dropped (after a
    // question when messages are shown), indexed images are refitted to the
    // Macintosh tables, and 1-bit images are added where the classic sizes
    // need them. All of it is done on a copy: only when the file was written
    // does doc become that copy; else doc is unchanged and the result false.
    // error tells a file that could not be written (IoError and the like,
    // with the system's reason) from a save declined or with nothing to
    // write (None), which the user was told about when messages are shown.
    bool SaveDocument(TmyIcon& doc, const std::string& fileName, FileError* error = nullptr);
    // The document a save writes, prepared from doc into out (doc unchanged).
    // False when nothing can be written or the user declined the question.
    bool PrepareDocument(const TmyIcon& doc, TmyIcon& out);
    // The file of a prepared document, built in memory. False (out empty) when
    // an image cannot be written.
    bool WriteIcns(const TmyIcon& doc, std::vector<std::uint8_t>& out) const;

    // Run-length packing of one plane: runs of 3 to 128 equal values and
    // literals of up to 128 values.
    static void PackPlane(std::span<const std::uint8_t> plane, ByteWriter& out);

private:
    void ShowMessage(const std::string& text, int kind) const;

    bool ShowMessagesFlag = false;
};

// The Macintosh table the file's indices of that depth (1, 4 or 8) refer to:
// white and black, the 16 colours, or the 256 colours.
TmyPalette MacPalette(int bitCount);

// --- Pictures of the "ic08" element (TmyMacIcoIO's own helpers) ---

// The picture held by "ic08" data (JPEG 2000 or PNG), copied into image from
// its top-left corner. False, image untouched, for other data, a damaged
// picture, or one whose header declares more than image's size or components
// sampled at a step other than 1 (checked before anything is decoded).
bool DecodeIcnsPicture(std::span<const std::uint8_t> data, TmyImage& image, const ReadLimits& limits);
// The image as a JPEG 2000 file with alpha; empty on failure.
std::vector<std::uint8_t> EncodeIcnsPicture(const TmyImage& image);

}  // namespace velto
