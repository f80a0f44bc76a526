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
                WriteDocumentImages(json, doc, false);
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
