#pragma once
// Helpers of the classic raster formats' tests: loading and saving through a
// format object over memory streams, with the outcome told apart (loaded,
// refused with false, refused with EImagingError), and images filled with a
// pattern that reaches every byte value.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ImagingTestUtil.h"
#include "imaging/FileFormat.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto::test {

enum class Outcome { Loaded, False, Error };

inline const char* OutcomeName(Outcome o) { return o == Outcome::Loaded ? "loaded" : o == Outcome::False ? "false" : "error"; }

// Images that free themselves.
struct Images {
    TDynImageDataArray list;
    ~Images() { FreeImagesInArray(list); }
    TImageData& operator[](std::size_t i) { return list[i]; }
    std::size_t size() const { return list.size(); }
};

template <class Format>
Format& TheFormat() {
    auto* f = FindImageFileFormatByClass<Format>();
    if (!f) throw std::runtime_error("format not registered");
    return *f;
}

// Loads with the given format object; `end` gets the stream position afterwards.
inline Outcome Load(TImageFileFormat& format, const Bytes& data, Images& out, std::int64_t* end = nullptr) {
    FreeImagesInArray(out.list);
    TMemoryStream stream(data);
    Outcome o;
    try {
        o = format.LoadFromStream(stream, out.list) ? Outcome::Loaded : Outcome::False;
    } catch (const EImagingError&) {
        o = Outcome::Error;
    }
    if (end) *end = stream.Position();
    return o;
}

inline Bytes Save(TImageFileFormat& format, const TDynImageDataArray& images, bool* ok = nullptr) {
    TMemoryStream stream;
    const bool saved = format.SaveToStream(stream, images);
    if (ok) *ok = saved;
    return stream.Data();
}

inline Bytes Save(TImageFileFormat& format, const TImageData& image, bool* ok = nullptr) {
    return Save(format, TDynImageDataArray{image}, ok);
}

// w x h pixels of the format, every byte a different function of its place;
// palettes get distinct colours.
inline void FillPattern(TImageData& image, std::uint32_t seed = 1) {
    std::uint32_t s = seed * 2654435761u + 12345u;
    for (std::int32_t i = 0; i < image.Size; ++i) {
        s = s * 1103515245u + 12345u;
        image.Bits[i] = static_cast<std::uint8_t>(s >> 16);
    }
    const TImageFormatInfo* info = FormatInfo(image.Format);
    for (std::int32_t i = 0; info && i < info->PaletteEntries; ++i)
        image.Palette[i] = Color32(255, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                   static_cast<std::uint8_t>(i * 7));
}

inline Bytes Bits(const TImageData& image) { return Bytes(image.Bits, image.Bits + image.Size); }

// Sets an option for the scope of the object.
class OptionScope {
public:
    OptionScope(std::int32_t id, std::int32_t value) { PushOptions(), SetOption(id, value); }
    ~OptionScope() { PopOptions(); }
};

}  // namespace velto::test
