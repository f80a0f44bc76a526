// Icons, cursors and animated cursors: every image as the document holds it.
#include "Dump.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"

namespace velto::dump {
namespace {

std::string PixelHash(const TmyImage& img) {
    return RgbaHash(img.Height(), static_cast<std::size_t>(img.Width()), [&](int y, std::uint8_t* out) {
        for (const TmyPixel& p : img.Row(y)) {
            *out++ = p.R;
            *out++ = p.G;
            *out++ = p.B;
            *out++ = p.A;
        }
    });
}

}  // namespace

void WriteDocumentImages(JsonWriter& json, const TmyIcon& doc, bool animated) {
    json.key("images");
    json.beginArray();
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& img = doc.Image(i);
        json.beginObject();
        json.key("width");
        json.number(img.Width());
        json.key("height");
        json.number(img.Height());
        json.key("bitcount");
        json.number(img.BitCount);
        json.key("hotspot");
        json.beginArray();
        json.number(img.HotSpotX());
        json.number(img.HotSpotY());
        json.endArray();
        // Every image has the key, so readers of the output need no special
        // case; only animated cursors have a display rate.
        json.key("rate");
        if (animated) json.real(img.Rate());
        else json.null();
        json.key("rgba_sha256");
        json.string(PixelHash(img));
        json.endObject();
    }
    json.endArray();
}

namespace {

// Reads an icon, cursor or animated cursor and adds what was read.
bool DumpDocument(JsonWriter& json, const DumpInput& in) {
    const std::string file = in.path;
    const std::uint8_t type = in.type;
    const char* kind = TypeName(type);
    TmyANI ani;
    TmyIcon icon;
    const bool animated = type == ftAnimatedCursor;
    TmyIcon& doc = animated ? static_cast<TmyIcon&>(ani) : icon;
    const bool ok = animated ? TmyANIIO(false).LoadFromFile(doc, file) : TmyIcoIO(false).LoadFromFile(doc, file);
    // A picture whose first bytes look like a cursor's is shown as the picture.
    if (!ok && type == ftCursor && ClaimsImaging(in)) {
        JsonWriter picture;
        picture.beginObject();
        if (DumpImaging(picture, in)) return DumpImaging(json, in);
    }
    json.key("kind");
    json.string(kind);
    if (!ok) return NotReadable(json, kind);
    WriteDocumentImages(json, doc, animated);
    if (animated) {
        json.key("title");
        json.string(ani.Title);
        json.key("author");
        json.string(ani.Author);
    }
    return true;
}

bool ClaimsDocument(const DumpInput& in) {
    return in.type == ftIcon || in.type == ftCursor || in.type == ftAnimatedCursor;
}

[[maybe_unused]] const int registered = RegisterDumpKind({10, ClaimsDocument, DumpDocument});

}  // namespace
}  // namespace velto::dump
