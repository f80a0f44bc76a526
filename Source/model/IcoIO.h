#pragma once
// Icon and cursor files (".ico", ".cur"): a directory of images, each a
// device-independent bitmap with an AND mask or a PNG stream. The reader also
// serves the frames of animated cursors and single cursor resources; every
// file the writer produces is a cursor file (type 2) carrying the hotspots.
//
// Readers treat their input as hostile: all reads are checked, positions are
// 64-bit, and an image is added to the document only once it is complete.
// Writers build the whole file in memory and replace the target atomically.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/Icon.h"
#include "model/Image.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/ReadLimits.h"

namespace velto {

// What the opening and saving paths need of a document format.
class ImyIconIO {
public:
    virtual ~ImyIconIO() = default;
    // Reads the file into the given, empty document. False when nothing usable
    // was read (the document then holds no image the caller should keep);
    // error then tells why: the file's own (missing, unreadable...) or
    // Unsupported for content that is not of this format.
    virtual bool LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error = nullptr) = 0;
    // Writes the document; png asks for 256x256 images to be stored as PNG
    // where the format can. False when nothing was written; the previous file
    // is then untouched and error tells why: the system's reason for a file
    // that could not be written, Unsupported for a document the format
    // cannot hold.
    virtual bool SaveToFile(const TmyIcon& doc, const std::string& fileName, bool png,
                            FileError* error = nullptr) = 0;
};

class TmyIcoIO : public ImyIconIO {
public:
    // Largest side of an image the model holds.
    static constexpr int MaxSide = 256;

    // Bounds of reading: file size, directory entries, and those of PNG entries.
    ReadLimits Limits;

    // showMessages: may show message boxes itself (the user's open and save);
    // silent users (batch, browsing, import, animated-cursor frames) pass false.
    explicit TmyIcoIO(bool showMessages);
    static std::unique_ptr<TmyIcoIO> Create(bool showMessages) { return std::make_unique<TmyIcoIO>(showMessages); }

    bool ShowMessages() const { return ShowMessagesFlag; }
    // 1 when the 32-bit image read last had alpha 0 everywhere, so that its
    // AND mask decided transparency.
    std::uint8_t MaskFor32() const { return MaskFor32Flag; }

    // --- Reading ---
    bool LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error = nullptr) override;
    // Reads a whole icon or cursor file starting at the reader's position;
    // image offsets are relative to that start. Appends the images read to
    // doc, sorts it, and returns true when at least one image was read. The
    // position is left at the end of the data of the last directory entry
    // read (or where reading stopped when it failed).
    bool LoadFromStream(TmyIcon& doc, ByteReader& stream);
    // Reads only the image LoadFromStream would put first (the deepest, then
    // the widest, then the highest; of equals the first in the file) and
    // appends it to doc as its current image: a tile shows one image, and
    // the others are decoded only when their headers say they might be that
    // one. False, doc unchanged but for IsCursor, when no image was read.
    bool LoadFirstImage(TmyIcon& doc, ByteReader& stream);
    // Reads one image (bitmap header or PNG stream) at the reader's position
    // and appends it to doc as its current image. hint is the depth a PNG
    // entry becomes (1, 4, 8, 24 or 32); any other value refuses PNG entries,
    // unless depthFromPng is set (cursor files, whose directory holds the
    // hotspot there): then the depth follows the PNG itself. On failure doc
    // is unchanged.
    bool ReadImage(TmyIcon& doc, std::uint8_t hint, ByteReader& stream, bool depthFromPng = false);

    // --- Writing ---
    bool SaveToFile(const TmyIcon& doc, const std::string& fileName, bool png, FileError* error = nullptr) override;
    // Appends a whole cursor file (type 2, images in ascending depth, then
    // descending width and height) to the writer; with png, 256x256 images of
    // 32 bits are stored as PNG streams. Offsets are relative to
    // where it starts. The document is left as it is. False, with nothing
    // appended, when the document holds no image or an image the format cannot
    // store (a side outside 1..256, a depth other than 1, 4, 8, 24 or 32).
    bool SaveToStream(const TmyIcon& doc, ByteWriter& stream, bool png);

    // Bytes of palette and colour rows of one bitmap image; 0 for a depth
    // other than 1, 4, 8, 24 or 32.
    static std::int64_t ImageDataSize(int height, int width, int bitCount);
    // Bytes of the AND mask; the depth plays no part.
    static std::int64_t MaskDataSize(int height, int width, int bitCount = 0);
    // Byte length of the image's PNG encoding (as the writer stores it); 0
    // when it cannot be encoded.
    static std::int64_t PNGDataSize(const TmyImagePal& image);
    // The PNG encoding the writer stores for an image (empty on failure).
    static std::vector<std::uint8_t> EncodePNG(const TmyImagePal& image);

protected:
    // A message box with the OK button, only when ShowMessages is set.
    void ShowMessage(const std::string& text, int kind) const;

private:
    struct DirEntry {
        std::int16_t Word4 = 0;  // icon: planes; cursor: hotspot X
        std::int16_t Word6 = 0;  // icon: bit count; cursor: hotspot Y
        std::uint32_t Offset = 0;
    };
    // The header and directory of a file starting at the reader's position
    // (left after the directory); false, with the message, for no icon or cursor file.
    bool ReadDirectory(ByteReader& stream, bool& cursor, std::vector<DirEntry>& dir);
    // Appends the image at the reader's position with the entry's hotspot.
    bool ReadEntry(TmyIcon& doc, const DirEntry& e, bool cursor, ByteReader& stream);
    bool ReadBitmap(TmyIcon& doc, ByteReader& stream, std::uint64_t start);
    bool ReadPNG(TmyIcon& doc, std::uint8_t depth, bool depthFromPng, ByteReader& stream);

    bool ShowMessagesFlag = false;
    std::uint8_t MaskFor32Flag = 0;
};

}  // namespace velto
