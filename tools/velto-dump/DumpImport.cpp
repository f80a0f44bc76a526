// --import: what importing a file into a new document makes of it.
#include "Dump.h"
#include "import/MyImport.h"
#include "model/Icon.h"
#include "platform/FileIO.h"

namespace velto::dump {

int DumpImport(JsonWriter& json, int width, int height, const std::string& file) {
    tmyimport& service = MyImport();
    // Resize keeping proportions; every other setting as a new user has it.
    service.Hooks.Settings = [] {
        TImportSettings settings;
        settings.ImportAction = fpResize;
        return settings;
    };
    TmyIcon doc;
    doc.AddImage({width, height}, 32);
    const TImageFileResult result = service.LoadImageFile(doc.Image(0), file, false, true);
    // The system's refusal of the file, not a content the readers refuse.
    if (!result.Ok && !result.Error.ok() && result.Error != FileError::Unsupported) {
        json.key("error");
        json.string(FileErrorText(result.Error) + ": " + file);
        return 1;
    }
    json.key("kind");
    json.string(TypeName(result.FileType));
    if (!result.Ok) {
        json.key("error");
        json.string(result.Message);
        return 1;
    }
    WriteDocumentImages(json, doc, false);
    return 0;
}

}  // namespace velto::dump
