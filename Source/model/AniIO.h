#pragma once
// Animated cursors (".ani"): a RIFF file of form "ACON" whose "icon" chunks
// each hold a one-image cursor file. A frame that repeats is stored once and
// referenced from the "seq " chunk; delays are stored in jiffies (1/60 s).
// In memory an animation is flat: one frame per step, each with its Rate in
// seconds.
//
// The reader treats its input as hostile: every chunk is checked against its
// parent and the data present, every loop advances, and the frames a file may
// expand to are capped (see Limits). Nothing is added to the document unless
// the whole file was read. The writer builds the file in memory and replaces
// the target atomically.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "model/Icon.h"
#include "model/IcoIO.h"
#include "platform/ReadLimits.h"

namespace velto {

// Seconds x 60 rounded to the nearest integer, halves to the even neighbour,
// computed in extended precision; NaN and values below 0 give 0, values past
// the field's range 0xFFFFFFFF.
std::uint32_t SecondsToJiffies(double seconds);
// Jiffies x (1/60) in extended precision.
long double JiffiesToSeconds(std::uint32_t jiffies);

class TmyANIIO : public ImyIconIO {
public:
    // Bounds of reading. A file may hold no more stored frames than
    // Limits.frames and no more "seq " entries than Limits.steps, nor expand to
    // more than Limits.pixels pixels, counted over the stored frames and every
    // copy of one that a repeated step needs; title and author keep at most
    // Limits.textLength characters (the writer never writes more than the
    // default). The frames' icon reader takes the same limits.
    ReadLimits Limits;

    // Frames stored as icons of several sizes: the document keeps one image of
    // each frame (the first in canonical order), so a save writes only that
    // size. Every load sets this; frames of one image, or of several images of
    // one size, leave it empty.
    struct SizeReport {
        int Frames = 0;                  // stored frames holding more than one size
        std::vector<ImageSize> Sizes;    // every size those frames hold, largest first, each once
        std::vector<ImageSize> Kept;     // the sizes kept of them, largest first, each once
        bool Empty() const { return Frames == 0; }
    };
    SizeReport FrameSizes;

    // The flag is accepted for the common interface; this format shows no messages.
    explicit TmyANIIO(bool showMessages);
    static std::unique_ptr<TmyANIIO> Create(bool showMessages) { return std::make_unique<TmyANIIO>(showMessages); }

    bool ShowMessages() const { return ShowMessagesFlag; }

    // doc must be a TmyANI (else false at once). Appends one frame per step,
    // sets Title and Author when the file has them, and returns true; false
    // (doc unchanged) when the file is no animated cursor, is damaged, builds
    // no frame, or exceeds the limits above.
    bool LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error = nullptr) override;
    bool LoadFromBytes(TmyIcon& doc, std::span<const std::uint8_t> data);
    // Only the frame LoadFromBytes would put first, with its rate, appended
    // to doc (a TmyANI); the other stored frames are not decoded, so a file
    // whose later frames are damaged or beyond the pixel limit still gives
    // it. The file's structure is checked as LoadFromBytes checks it. False,
    // doc unchanged, when no frame can be shown. Leaves FrameSizes empty.
    bool LoadFirstFrame(TmyIcon& doc, std::span<const std::uint8_t> data);

    // doc must be a TmyANI holding at least one frame whose images the cursor
    // writer can store. png is ignored: frames are always bitmaps. False when
    // nothing was written (the previous file is then untouched).
    bool SaveToFile(const TmyIcon& doc, const std::string& fileName, bool png, FileError* error = nullptr) override;
    // The whole file in memory; false (out empty) on the same conditions.
    bool SaveToBytes(const TmyIcon& doc, std::vector<std::uint8_t>& out);

private:
    bool ShowMessagesFlag = false;
};

}  // namespace velto
