#include "IconExtraction.h"

#include "TileSources.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "resources/PeModule.h"

#include <cstdlib>

namespace velto {

namespace {

// The image of doc that a 32 x 32 icon shows: the nearest size, then the deepest.
const TmyImagePal* Nearest32(const TmyIcon& doc) {
    const TmyImagePal* best = nullptr;
    auto score = [](const TmyImagePal& img) { return std::abs(img.Width() - 32) + std::abs(img.Height() - 32); };
    for (int i = 0; i < doc.Count(); ++i) {
        const TmyImagePal& img = doc.Image(i);
        if (!best || score(img) < score(*best) || (score(img) == score(*best) && img.BitCount > best->BitCount))
            best = &img;
    }
    return best;
}

QImage Render32(const TmyIcon& doc) {
    const TmyImagePal* img = Nearest32(doc);
    if (!img) return {};
    TTilePicture pic = PictureOfImage(*img, 1000);  // rendered, not fitted
    if (!pic.Ok) return {};
    if (pic.Bitmap.size() == QSize(32, 32)) return pic.Bitmap;
    return pic.Bitmap.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// An icon file made of group index's entries and their RT_ICON images.
bool BuildIconFile(const PeModule& module, int index, std::vector<std::uint8_t>& out) {
    const ResName groupType = ResName::FromId(RT_GROUP_ICON);
    const std::vector<ResName> names = module.ResourceNames(groupType);
    if (index < 0 || index >= static_cast<int>(names.size())) return false;
    const ResName& name = names[static_cast<std::size_t>(index)];
    const std::vector<std::uint32_t> languages = module.ResourceLanguages(groupType, name);
    if (languages.empty()) return false;
    const auto group = module.FindResource(groupType, name, languages.front());
    if (!group) return false;
    ByteReader r(*group);
    std::uint16_t reserved = 0, type = 0, count = 0;
    if (!r.u16le(reserved) || !r.u16le(type) || !r.u16le(count) || type != 1 || count == 0 || !r.has(14ull * count))
        return false;
    struct Part {
        std::uint8_t head[12];
        std::span<const std::uint8_t> data;
    };
    std::vector<Part> parts;
    for (int k = 0; k < count; ++k) {
        Part p{};
        std::uint16_t id = 0;
        if (!r.bytes(p.head, 12) || !r.u16le(id)) return false;
        const auto data =
            module.FindResourceAnyLanguage(ResName::FromId(RT_ICON), ResName::FromId(id), languages.front());
        if (!data) continue;
        p.data = *data;
        parts.push_back(p);
    }
    if (parts.empty()) return false;
    ByteWriter w;
    w.u16le(0);
    w.u16le(1);
    w.u16le(static_cast<std::uint16_t>(parts.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(parts.size());
    for (const Part& p : parts) {
        w.bytes(p.head, 8);  // width, height, colours, reserved, planes, bit count
        w.u32le(static_cast<std::uint32_t>(p.data.size()));
        w.u32le(offset);
        offset += static_cast<std::uint32_t>(p.data.size());
    }
    for (const Part& p : parts) w.bytes(p.data.data(), p.data.size());
    out = w.take();
    return true;
}

}  // namespace

bool IconExtractor::Open(const std::string& fileName) {
    fileName_ = fileName;
    count_ = 0;
    iconFile_ = false;
    const FileTypeResult type = DetectFileType(fileName);
    if (!type.ok()) return false;
    if (type.type == ftIcon) {
        iconFile_ = true;
        count_ = 1;
        return true;
    }
    PeModule module;
    if (!module.Load(fileName)) return false;
    count_ = static_cast<int>(module.ResourceNames(ResName::FromId(RT_GROUP_ICON)).size());
    return true;
}

QImage IconExtractor::Icon(int index) const {
    if (index < 0 || index >= count_) return {};
    TmyIcoIO reader(false);
    TmyIcon doc;
    if (iconFile_) {
        if (!reader.LoadFromFile(doc, fileName_)) return {};
        return Render32(doc);
    }
    PeModule module;
    std::vector<std::uint8_t> bytes;
    if (!module.Load(fileName_) || !BuildIconFile(module, index, bytes)) return {};
    ByteReader stream(bytes);
    if (!reader.LoadFromStream(doc, stream)) return {};
    return Render32(doc);
}

}  // namespace velto
