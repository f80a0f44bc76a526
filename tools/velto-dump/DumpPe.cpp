// Executables and libraries: the cursor groups as the module reader lists
// them (directory order), each with its name, language and the images of the
// cursor file it extracts to.
//   {"kind": "pe", "format": "pe32" | "pe32+", "groups": [{"name": "#1" | "ARROW",
//     "language": 1033, "images": [...]}, ...]}
// A group that does not extract has "error" in place of "images".
#include "Dump.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "resources/CursorGroups.h"

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

void Images(JsonWriter& json, const TmyIcon& doc) {
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
        json.key("rate");
        json.null();
        json.key("rgba_sha256");
        json.string(PixelHash(img));
        json.endObject();
    }
    json.endArray();
}

bool DumpPe(JsonWriter& json, const DumpInput& in) {
    json.key("kind");
    json.string("pe");
    PeModule module;
    if (!module.Load(in.path)) return NotReadable(json, "pe");
    json.key("format");
    json.string(module.Headers().Pe32Plus() ? "pe32+" : "pe32");
    json.key("groups");
    json.beginArray();
    const ResName groupType = ResName::FromId(RT_GROUP_CURSOR);
    for (const ResName& name : module.ResourceNames(groupType))
        for (const std::uint32_t lang : module.ResourceLanguages(groupType, name)) {
            json.beginObject();
            json.key("name");
            json.string(ResNameText(name));
            json.key("language");
            json.number(lang);
            std::vector<std::uint8_t> cur;
            TmyIcon doc;
            ByteReader reader(cur);
            if (lang <= 0xFFFF && BuildCursorFileFromGroup(module, name, static_cast<std::uint16_t>(lang), cur) &&
                (reader = ByteReader(cur), TmyIcoIO(false).LoadFromStream(doc, reader))) {
                Images(json, doc);
            } else {
                json.key("error");
                json.string("not readable as cursor group");
            }
            json.endObject();
        }
    json.endArray();
    return true;
}

// Executables detect as unknown; their own headers tell them apart.
bool ClaimsPe(const DumpInput& in) {
    return in.type == ftUnknown && GetImageNtHeaders(in.head).has_value();
}

[[maybe_unused]] const int registered = RegisterDumpKind({30, ClaimsPe, DumpPe});

}  // namespace
}  // namespace velto::dump
