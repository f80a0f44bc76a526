// PNG files: the image as the codec shows it (tRNS applied, gamma as the codec
// applies it); "bitcount" is the bits per pixel of the file.
#include "Dump.h"
#include "model/Detect.h"
#include "platform/ByteReader.h"
#include "platform/FileIO.h"
#include "png/PngImage.h"

namespace velto::dump {
namespace {

// Bits of one pixel in the file: the bit depth times the samples of the colour type.
int FileBitsPerPixel(const TChunkIHDR& h) {
    const int samples = h.ColorType == COLOR_RGB ? 3 : h.ColorType == COLOR_GRAYSCALEALPHA ? 2
                        : h.ColorType == COLOR_RGBALPHA ? 4 : 1;
    return h.BitDepth * samples;
}

// Reads a PNG file and adds its image.
bool DumpPng(JsonWriter& json, const DumpInput& in) {
    const std::string& file = in.path;
    json.key("kind");
    json.string("png");
    TPNGObject png;
    std::vector<std::uint8_t> bytes;
    FileError error;
    bool ok = ReadWholeFile(file, bytes, png.Limits.fileSize, &error);
    bool tooLarge = error == FileError::TooLarge;
    try {
        ByteReader reader(bytes);
        if (ok) png.LoadFromStream(reader);
    } catch (const EPNGLimit&) {
        ok = false, tooLarge = true;
    } catch (const EPNGSizeExceeds&) {
        ok = false, tooLarge = true;
    } catch (const EPngError&) {
        ok = false;
    }
    if (!ok) return tooLarge ? TooLargeToRead(json, "png") : NotReadable(json, "png");
    const TChunkIHDR& h = png.Header();
    json.key("images");
    json.beginArray();
    json.beginObject();
    json.key("width");
    json.number(h.Width);
    json.key("height");
    json.number(h.Height);
    json.key("bitcount");
    json.number(FileBitsPerPixel(h));
    json.key("rgba_sha256");
    json.string(RgbaHash(h.Height, static_cast<std::size_t>(h.Width), [&](int y, std::uint8_t* out) { png.GetRGBA(y, out); }));
    json.endObject();
    json.endArray();
    return true;
}

bool ClaimsPng(const DumpInput& in) { return in.type == ftPng; }

[[maybe_unused]] const int registered = RegisterDumpKind({20, ClaimsPng, DumpPng});

}  // namespace
}  // namespace velto::dump
