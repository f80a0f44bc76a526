// Files of any format the image library registers (found by content, as the
// program finds them): the first image's size, pixel format and bits per
// pixel, and its pixels after conversion to A8R8G8B8 (a row at a time, as
// they are hashed: the picture is not held twice).
#include <cstring>
#include <utility>

#include "Dump.h"
#include "imaging/FileFormat.h"
#include "imaging/Formats.h"

namespace velto::dump {

bool DumpImaging(JsonWriter& json, const DumpInput& in) {
    const std::string ext = DetectFileFormat(in.path);
    json.key("kind");
    json.string(ext);
    TImageData image;
    TImageFormat format = ifUnknown;  // what the file decoded to, before the conversion for the hash
    bool ok = false, tooLarge = false;
    try {
        ok = LoadImageFromFile(in.path, image);
        format = image.Format;
        // Compressed blocks convert only whole.
        const TImageFormatInfo* loaded = FormatInfo(format);
        ok = ok && loaded && (!loaded->IsBlockCompressed || ConvertImage(image, ifA8R8G8B8));
    } catch (const EImagingError& e) {
        ok = false;
        tooLarge = e.FileStatus() == FileError::TooLarge;
    }
    if (!ok) {
        FreeImage(image);
        return tooLarge ? TooLargeToRead(json, ext) : NotReadable(json, ext);
    }
    const TImageFormatInfo* info = FormatInfo(format);
    json.key("images");
    json.beginArray();
    json.beginObject();
    json.key("width");
    json.number(image.Width);
    json.key("height");
    json.number(image.Height);
    json.key("bitcount");
    json.number(info ? info->BytesPerPixel * 8 : 0);
    json.key("format");
    json.number(format);
    json.key("rgba_sha256");
    const std::size_t width = static_cast<std::size_t>(image.Width);
    json.string(RgbaHash(image.Height, width, [&](int y, std::uint8_t* out) {
        ConvertPixelsTo32(image, static_cast<std::size_t>(y) * width, width, out);
        for (std::size_t x = 0; x < width; ++x) std::swap(out[4 * x], out[4 * x + 2]);  // B, G, R, A to R, G, B, A
    }));
    json.endObject();
    json.endArray();
    FreeImage(image);
    return true;
}

bool ClaimsImaging(const DumpInput& in) {
    try {
        return !DetectFileFormat(in.path).empty();
    } catch (const EImagingError&) {
        return false;
    }
}

namespace {

// After the program's own readers: a file they take keeps their view.
[[maybe_unused]] const int registered = RegisterDumpKind({90, ClaimsImaging, DumpImaging});

}  // namespace
}  // namespace velto::dump
