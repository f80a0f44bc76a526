// Apple icon files: every image as the reader makes it.
#include "Dump.h"
#include "icns/MacIcoIO.h"
#include "model/Detect.h"

namespace velto::dump {
namespace {

bool DumpIcns(JsonWriter& json, const DumpInput& in) {
    json.key("kind");
    json.string("icns");
    TmyIcon doc;
    if (!TmyMacIcoIO(false).LoadFromFile(doc, in.path)) return NotReadable(json, "icns");
    WriteDocumentImages(json, doc, false);
    return true;
}

bool ClaimsIcns(const DumpInput& in) { return in.type == ftIcns; }

[[maybe_unused]] const int registered = RegisterDumpKind({15, ClaimsIcns, DumpIcns});

}  // namespace
}  // namespace velto::dump
