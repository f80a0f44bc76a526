// Animated cursors: RIFF "ACON" reading with every chunk bounded by its parent,
// and writing with repeated frames found through a pixel hash.
#include "model/AniIO.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/Text.h"

namespace velto {
namespace {

constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24;
}

constexpr std::uint32_t kRIFF = FourCC("RIFF");
constexpr std::uint32_t kACON = FourCC("ACON");
constexpr std::uint32_t kLIST = FourCC("LIST");
constexpr std::uint32_t kINFO = FourCC("INFO");
constexpr std::uint32_t kFram = FourCC("fram");
constexpr std::uint32_t kAnih = FourCC("anih");
constexpr std::uint32_t kRate = FourCC("rate");
constexpr std::uint32_t kSeq = FourCC("seq ");
constexpr std::uint32_t kINAM = FourCC("INAM");
constexpr std::uint32_t kIART = FourCC("IART");
constexpr std::uint32_t kIcon = FourCC("icon");

constexpr std::uint32_t kAnihSize = 36;
constexpr std::uint32_t kAnihSeqFlags = 3;    // frames are icons, "seq " present
constexpr std::uint32_t kAnihPlainFlags = 1;  // frames are icons
constexpr std::uint32_t kDisplayRateWithRates = 10;

std::uint64_t PixelCount(const TmyImage& image) {
    return static_cast<std::uint64_t>(image.Width()) * static_cast<std::uint64_t>(image.Height());
}

// One chunk of a RIFF list: its id and its data as a reader of its own.
struct Chunk {
    std::uint32_t Id = 0;
    ByteReader Data;
};

enum class Next { Chunk, End, Broken };

// Reads the chunk header at the reader's position and moves past the chunk
// and its pad byte. A header cut short, or data reaching beyond the parent,
// is Broken: the parse stops there. A pad byte missing at the very end is
// tolerated.
Next ReadChunk(ByteReader& parent, Chunk& chunk) {
    if (parent.atEnd()) return Next::End;
    std::uint32_t size = 0;
    if (!parent.u32le(chunk.Id) || !parent.u32le(size)) return Next::Broken;
    const std::optional<ByteReader> data = parent.sub(parent.pos(), size);
    if (!data) return Next::Broken;
    chunk.Data = *data;
    parent.skip(size);
    if (size & 1u) parent.skip(1);  // fails harmlessly at the very end
    return Next::Chunk;
}

// Hands every chunk of a list to use(chunk) until the end: false when a chunk
// is broken or use refuses one, true at the end.
template <class Use>
bool EachChunk(ByteReader list, Use&& use) {
    Chunk chunk;
    for (;;) {
        switch (ReadChunk(list, chunk)) {
            case Next::End: return true;
            case Next::Broken: return false;
            case Next::Chunk: break;
        }
        if (!use(chunk)) return false;
    }
}

// Everything a file holds before its frames are built.
struct AniContent {
    std::vector<std::uint32_t> Rates;
    std::vector<std::uint32_t> Steps;
    // The data of each "icon" chunk, in order; decoded only when needed.
    std::vector<ByteReader> Icons;
    std::uint32_t DisplayRate = 0;
    std::optional<std::string> Title;
    std::optional<std::string> Author;
    TmyANIIO::SizeReport FrameSizes;
};

// Larger area first, then wider; equal sizes are one entry.
void AddSize(std::vector<ImageSize>& sizes, ImageSize s) {
    const auto larger = [](const ImageSize& a, const ImageSize& b) {
        const long long areaA = static_cast<long long>(a.Width) * a.Height;
        const long long areaB = static_cast<long long>(b.Width) * b.Height;
        return areaA != areaB ? areaA > areaB : a.Width > b.Width;
    };
    const auto at = std::lower_bound(sizes.begin(), sizes.end(), s, larger);
    if (at == sizes.end() || !(*at == s)) sizes.insert(at, s);
}

// Notes the sizes of a frame's icon when it holds more than one.
void NoteFrameSizes(const TmyIcon& icon, TmyANIIO::SizeReport& report) {
    std::vector<ImageSize> sizes;
    for (int i = 0; i < icon.Count(); ++i) AddSize(sizes, {icon.Image(i).Width(), icon.Image(i).Height()});
    if (sizes.size() < 2) return;
    ++report.Frames;
    for (const ImageSize& size : sizes) AddSize(report.Sizes, size);
    AddSize(report.Kept, {icon.Image(0).Width(), icon.Image(0).Height()});
}

std::string InfoText(std::span<const std::uint8_t> data, std::size_t most) {
    // Up to the first zero, at most the length the writer allows; the rest of
    // an overlong text is skipped.
    const auto zero = std::find(data.begin(), data.end(), std::uint8_t{0});
    std::size_t n = static_cast<std::size_t>(zero - data.begin());
    n = std::min(n, most);
    return DecodeTextToUtf8(data.first(n));
}

bool ReadInfo(ByteReader list, const ReadLimits& limits, AniContent& content) {
    return EachChunk(list, [&](const Chunk& chunk) {
        if (chunk.Id == kINAM) content.Title = InfoText(chunk.Data.data(), limits.textLength);
        else if (chunk.Id == kIART) content.Author = InfoText(chunk.Data.data(), limits.textLength);
        return true;
    });
}

bool ReadFrames(ByteReader list, const ReadLimits& limits, AniContent& content) {
    return EachChunk(list, [&](const Chunk& chunk) {
        if (chunk.Id != kIcon) return true;
        if (content.Icons.size() >= limits.frames) return false;
        content.Icons.push_back(chunk.Data);
        return true;
    });
}

// Every stored frame decoded: one entry per "icon" chunk, null where the icon
// did not load. False when the frames together exceed the pixel limit.
bool DecodeStored(const AniContent& content, const ReadLimits& limits,
                  std::vector<std::unique_ptr<TmyImagePal>>& stored, std::uint64_t& storedPixels,
                  TmyANIIO::SizeReport& sizes) {
    TmyIcoIO reader(false);
    reader.Limits = limits;
    stored.reserve(content.Icons.size());
    for (const ByteReader& chunk : content.Icons) {
        // The icon reader sees only this chunk; where it stops does not matter,
        // the next chunk follows this one's declared size.
        TmyIcon icon;
        ByteReader data = chunk;
        std::unique_ptr<TmyImagePal> frame;
        if (reader.LoadFromStream(icon, data) && icon.Count() > 0) {
            // The first image in canonical order: the deepest, widest, highest.
            frame = std::make_unique<TmyImagePal>(icon.Image(0));
            NoteFrameSizes(icon, sizes);
            storedPixels += PixelCount(*frame);
            if (storedPixels > limits.pixels) return false;
        }
        stored.push_back(std::move(frame));
    }
    return true;
}

// Step i shows stored frame Steps[i] (or frame i without "seq ") for Rates[i]
// jiffies (the display rate where "rate" has no value).
std::size_t StepCount(const AniContent& content) {
    return content.Steps.empty() ? content.Icons.size() : content.Steps.size();
}
std::size_t StoredOfStep(const AniContent& content, std::size_t i) {
    return content.Steps.empty() ? i : content.Steps[i];
}
std::uint32_t JiffiesOfStep(const AniContent& content, std::size_t i) {
    return i < content.Rates.size() ? content.Rates[i] : content.DisplayRate;
}

bool ReadValues(ByteReader data, std::vector<std::uint32_t>& values, std::size_t keep, bool refuseBeyond) {
    // Only whole values count; a trailing part of one is ignored.
    std::uint32_t v = 0;
    while (data.u32le(v)) {
        if (values.size() >= keep) {
            if (refuseBeyond) return false;
            break;  // values past the last possible step are never used
        }
        values.push_back(v);
    }
    return true;
}

bool ReadContent(std::span<const std::uint8_t> bytes, const ReadLimits& limits, AniContent& content) {
    ByteReader file(bytes);
    std::uint32_t riff = 0, riffSize = 0, form = 0;
    if (!file.u32le(riff) || !file.u32le(riffSize) || !file.u32le(form) || riff != kRIFF || form != kACON)
        return false;
    // The chunks run to the end of the file, whatever the RIFF size says.
    return EachChunk(ByteReader(file.rest()), [&](const Chunk& chunk) {
        ByteReader data = chunk.Data;
        if (chunk.Id == kLIST) {
            std::uint32_t type = 0;
            if (!data.u32le(type)) return false;
            const ByteReader list(data.rest());
            if (type == kINFO && !ReadInfo(list, limits, content)) return false;
            if (type == kFram && !ReadFrames(list, limits, content)) return false;
        } else if (chunk.Id == kAnih) {
            // Fields the chunk lacks count as 0; a longer chunk is cut at 36.
            std::uint8_t header[kAnihSize] = {};
            data.bytes(header, std::min<std::uint64_t>(data.size(), kAnihSize));
            ByteReader fields(header);
            fields.skip(28);
            fields.u32le(content.DisplayRate);
        } else if (chunk.Id == kRate) {
            ReadValues(data, content.Rates, limits.steps, false);
        } else if (chunk.Id == kSeq) {
            if (!ReadValues(data, content.Steps, limits.steps, true)) return false;
        }
        return true;
    });
}

void SetFrameRate(TmyImagePal& frame, std::uint32_t jiffies) {
    frame.SetRate(static_cast<double>(JiffiesToSeconds(jiffies)));
}

// --- Writing ---

// Title and author as the bytes of the INFO list (without the zero): Windows-1252
// when that reads back as the same text, else UTF-8, which the reader keeps as it
// is. At most as many characters as a reader keeps by default, and the text ends
// at a zero character.
std::vector<std::uint8_t> EncodeInfoText(const std::string& text) {
    std::string_view s(text.data(), std::min(text.size(), text.find('\0')));
    // Cut to that many code points (malformed bytes count one each).
    constexpr std::size_t kMost = ReadLimits{}.textLength;
    std::size_t cut = 0, points = 0;
    while (cut < s.size() && points < kMost) {
        const auto c = static_cast<std::uint8_t>(s[cut]);
        std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        cut = std::min(s.size(), cut + len);
        ++points;
    }
    s = s.substr(0, cut);
    const std::string utf8 = RepairUtf8(s);

    std::vector<std::uint8_t> ansi;
    if (EncodeCp1252(utf8, ansi) && DecodeTextToUtf8(ansi) == utf8) return ansi;
    // UTF-8, cut back to whole characters within the byte limit. A text that
    // itself begins with U+FEFF gets a byte-order mark in front, which the
    // reader drops, so that character survives.
    const std::string bytes = (utf8.rfind("\xEF\xBB\xBF", 0) == 0 ? "\xEF\xBB\xBF" : "") + utf8;
    std::size_t n = std::min(bytes.size(), kMost);
    while (n > 0 && n < bytes.size() && (static_cast<std::uint8_t>(bytes[n]) & 0xC0) == 0x80) --n;
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

void WriteInfoText(ByteWriter& w, std::uint32_t id, const std::vector<std::uint8_t>& text) {
    const auto size = static_cast<std::uint32_t>(text.size() + 1);
    w.u32le(id);
    w.u32le(size);
    w.bytes(text);
    w.u8(0);
    if (size & 1u) w.u8(0);
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v;
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

// Hash of everything that decides whether two frames may share a stored frame.
std::uint64_t FrameHash(const TmyImagePal& frame) {
    std::uint64_t h = Mix(0, static_cast<std::uint64_t>(frame.Width()) << 32 | static_cast<std::uint32_t>(frame.Height()));
    h = Mix(h, static_cast<std::uint64_t>(frame.HotSpotX()) << 32 | static_cast<std::uint32_t>(frame.HotSpotY()));
    h = Mix(h, frame.BitCount);
    const auto pixels = frame.Pixels();
    const auto* p = reinterpret_cast<const std::uint8_t*>(pixels.data());
    const std::size_t bytes = pixels.size_bytes();
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        h = Mix(h, v);
    }
    if (i < bytes) {
        std::uint64_t v = 0;
        std::memcpy(&v, p + i, bytes - i);
        h = Mix(h, v);
    }
    return h;
}

// Frames are shared only when nothing of them would be lost: pixels and
// palette, and also hotspot and depth, which a stored frame carries for every
// step that names it.
bool SameFrame(const TmyImagePal& a, const TmyImagePal& b) {
    return a.HotSpotX() == b.HotSpotX() && a.HotSpotY() == b.HotSpotY() && a.BitCount == b.BitCount &&
           a.Equals(b);
}

}  // namespace

std::uint32_t SecondsToJiffies(double seconds) {
    if (!(seconds > 0.0)) return 0;
    // The product of a double and 60 is exact in the 64-bit mantissa of long
    // double, so the rounding below sees the true value; nearbyintl rounds
    // halves to even in the default rounding mode.
    const long double jiffies = std::nearbyintl(static_cast<long double>(seconds) * 60.0L);
    if (jiffies >= 4294967295.0L) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(jiffies);
}

long double JiffiesToSeconds(std::uint32_t jiffies) { return static_cast<long double>(jiffies) * (1.0L / 60.0L); }

TmyANIIO::TmyANIIO(bool showMessages) : ShowMessagesFlag(showMessages) {}

bool TmyANIIO::LoadFromFile(TmyIcon& doc, const std::string& fileName, FileError* error) {
    if (error) *error = FileError::Unsupported;
    FrameSizes = {};
    if (!dynamic_cast<TmyANI*>(&doc)) return false;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes, Limits.fileSize, error)) return false;
    if (error) *error = FileError::None;
    if (LoadFromBytes(doc, bytes)) return true;
    if (error) *error = FileError::Unsupported;
    return false;
}

bool TmyANIIO::LoadFromBytes(TmyIcon& doc, std::span<const std::uint8_t> data) {
    FrameSizes = {};
    auto* ani = dynamic_cast<TmyANI*>(&doc);
    if (!ani) return false;
    AniContent content;
    if (!ReadContent(data, Limits, content)) return false;
    std::vector<std::unique_ptr<TmyImagePal>> stored;
    std::uint64_t pixels = 0;
    SizeReport sizes;
    if (!DecodeStored(content, Limits, stored, pixels, sizes)) return false;

    // A step naming a frame that did not load is dropped with its delay; one
    // naming no stored frame at all makes the file invalid.
    struct Step {
        std::size_t Stored;
        std::uint32_t Jiffies;
    };
    std::vector<Step> steps;
    std::vector<std::size_t> uses(stored.size(), 0);
    const std::size_t count = StepCount(content);
    steps.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = StoredOfStep(content, i);
        if (index >= stored.size()) return false;
        if (!stored[index]) continue;
        // The last step showing a frame takes the stored one; every other needs a copy.
        if (uses[index]++ > 0) pixels += PixelCount(*stored[index]);
        if (pixels > Limits.pixels) return false;
        steps.push_back({index, JiffiesOfStep(content, i)});
    }
    if (steps.empty()) return false;

    for (const Step& step : steps) {
        std::unique_ptr<TmyImagePal>& frame = stored[step.Stored];
        auto shown = --uses[step.Stored] == 0 ? std::move(frame) : std::make_unique<TmyImagePal>(*frame);
        SetFrameRate(*shown, step.Jiffies);
        ani->AppendImage(std::move(shown));
    }
    if (content.Title) ani->Title = *content.Title;
    if (content.Author) ani->Author = *content.Author;
    FrameSizes = std::move(sizes);
    return true;
}

bool TmyANIIO::LoadFirstFrame(TmyIcon& doc, std::span<const std::uint8_t> data) {
    FrameSizes = {};
    auto* ani = dynamic_cast<TmyANI*>(&doc);
    if (!ani) return false;
    AniContent content;
    if (!ReadContent(data, Limits, content)) return false;
    const std::size_t count = StepCount(content);
    for (std::size_t i = 0; i < count; ++i)
        if (StoredOfStep(content, i) >= content.Icons.size()) return false;

    // Stored frames are decoded in the order the steps show them until one
    // loads; each is tried once.
    TmyIcoIO reader(false);
    reader.Limits = Limits;
    std::vector<bool> tried(content.Icons.size(), false);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = StoredOfStep(content, i);
        if (tried[index]) continue;
        tried[index] = true;
        TmyIcon icon;
        ByteReader chunk = content.Icons[index];
        if (!reader.LoadFirstImage(icon, chunk) || icon.Count() == 0) continue;
        if (PixelCount(icon.CurrentImage()) > Limits.pixels) return false;
        auto frame = std::make_unique<TmyImagePal>(icon.CurrentImage());
        SetFrameRate(*frame, JiffiesOfStep(content, i));
        ani->AppendImage(std::move(frame));
        return true;
    }
    return false;
}

bool TmyANIIO::SaveToFile(const TmyIcon& doc, const std::string& fileName, bool /*png: frames are bitmaps*/,
                          FileError* error) {
    if (error) *error = FileError::None;
    std::vector<std::uint8_t> bytes;
    if (!SaveToBytes(doc, bytes)) {
        if (error) *error = FileError::Unsupported;
        return false;
    }
    return WriteWholeFile(fileName, bytes, error);
}

bool TmyANIIO::SaveToBytes(const TmyIcon& doc, std::vector<std::uint8_t>& out) {
    out.clear();
    const auto* ani = dynamic_cast<const TmyANI*>(&doc);
    if (!ani || ani->Count() == 0) return false;
    const int count = ani->Count();

    // Delays; no "rate" chunk when they are all one value.
    std::vector<std::uint32_t> rates(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rates[static_cast<std::size_t>(i)] = std::max<std::uint32_t>(1, SecondsToJiffies(ani->Image(i).Rate()));
    const bool commonRate = std::all_of(rates.begin(), rates.end(), [&](std::uint32_t r) { return r == rates[0]; });
    const std::uint32_t firstRate = rates[0];
    if (commonRate) rates.clear();

    // Stored frames, each once; candidates with the same hash are compared in
    // full, so the search stays linear in the frames' size.
    std::vector<int> stored;  // document index of each stored frame
    std::vector<std::uint32_t> steps(static_cast<std::size_t>(count));
    std::unordered_map<std::uint64_t, std::vector<int>> byHash;
    for (int i = 0; i < count; ++i) {
        const TmyImagePal& frame = ani->Image(i);
        std::vector<int>& candidates = byHash[FrameHash(frame)];
        int index = -1;
        for (int s : candidates)
            if (SameFrame(ani->Image(stored[static_cast<std::size_t>(s)]), frame)) {
                index = s;
                break;
            }
        if (index < 0) {
            index = static_cast<int>(stored.size());
            stored.push_back(i);
            candidates.push_back(index);
        }
        steps[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(index);
    }
    if (stored.size() == static_cast<std::size_t>(count)) steps.clear();

    // The stored frames make up nearly all of the file: room for them up front.
    std::uint64_t estimate = 1024 + 8 * static_cast<std::uint64_t>(count);
    for (int index : stored) {
        const TmyImagePal& f = ani->Image(index);
        estimate += 80 + static_cast<std::uint64_t>(std::max<std::int64_t>(
                             0, TmyIcoIO::ImageDataSize(f.Height(), f.Width(), f.BitCount) +
                                    TmyIcoIO::MaskDataSize(f.Height(), f.Width(), f.BitCount)));
    }
    ByteWriter w;
    w.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(estimate, 0xFFFFFFFFu)));
    w.u32le(kRIFF);
    w.u32le(0);
    w.u32le(kACON);

    if (!ani->Title.empty() || !ani->Author.empty()) {
        const std::vector<std::uint8_t> title = EncodeInfoText(ani->Title);
        const std::vector<std::uint8_t> author = EncodeInfoText(ani->Author);
        const auto padded = [](std::size_t n) { return static_cast<std::uint32_t>((n + 1 + 1) & ~std::size_t{1}); };
        w.u32le(kLIST);
        w.u32le(padded(title.size()) + padded(author.size()) + 20);
        w.u32le(kINFO);
        WriteInfoText(w, kINAM, title);
        WriteInfoText(w, kIART, author);
    }

    const TmyImagePal& first = ani->Image(0);
    w.u32le(kAnih);
    w.u32le(kAnihSize);
    w.u32le(kAnihSize);
    w.u32le(static_cast<std::uint32_t>(stored.size()));
    w.u32le(static_cast<std::uint32_t>(count));
    w.u32le(static_cast<std::uint32_t>(first.Width()));
    w.u32le(static_cast<std::uint32_t>(first.Height()));
    w.u32le(first.BitCount);
    w.u32le(1);  // planes
    w.u32le(rates.empty() ? firstRate : kDisplayRateWithRates);
    w.u32le(steps.empty() ? kAnihPlainFlags : kAnihSeqFlags);

    const auto writeValues = [&w](std::uint32_t id, const std::vector<std::uint32_t>& values) {
        if (values.empty()) return;
        w.u32le(id);
        w.u32le(static_cast<std::uint32_t>(values.size() * 4));
        for (std::uint32_t v : values) w.u32le(v);
    };
    writeValues(kRate, rates);
    writeValues(kSeq, steps);

    // Each stored frame as a cursor file of one image, its hotspot included.
    TmyIcoIO writer(false);
    const std::uint64_t listAt = w.size();
    w.u32le(kLIST);
    w.u32le(0);
    w.u32le(kFram);
    for (int index : stored) {
        w.u32le(kIcon);
        const std::uint64_t sizeAt = w.size();
        w.u32le(0);
        TmyIcon icon;
        icon.IsCursor = true;
        icon.AppendImage(std::make_unique<TmyImagePal>(ani->Image(index)));
        if (!writer.SaveToStream(icon, w, false)) return false;
        const std::uint64_t size = w.size() - sizeAt - 4;
        if (size > 0xFFFFFFFFu) return false;
        w.patchU32le(sizeAt, static_cast<std::uint32_t>(size));
        if (size & 1u) w.u8(0);
    }
    const std::uint64_t listSize = w.size() - listAt - 8;
    const std::uint64_t riffSize = w.size() - 8;
    if (riffSize > 0xFFFFFFFFu) return false;
    w.patchU32le(listAt + 4, static_cast<std::uint32_t>(listSize));
    w.patchU32le(4, static_cast<std::uint32_t>(riffSize));
    out = w.take();
    return true;
}

}  // namespace velto
