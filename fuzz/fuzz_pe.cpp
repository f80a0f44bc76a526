// The module reader and the resource update engine on arbitrary bytes. The
// reader either refuses the image or lists resources whose data lies inside
// it, and every cursor group it can turn into a cursor file reads back as one.
// An update either fails to begin or commits to an image that loads again
// and holds what was added.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/MessageBox.h"
#include "model/IcoIO.h"
#include "resources/CursorGroups.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

velto::ReadLimits Limits() {
    velto::ReadLimits limits;
    limits.executableSize = 64ull << 20;
    limits.resourceNodes = 1u << 14;
    return limits;
}

void Read(const std::vector<std::uint8_t>& bytes) {
    velto::PeModule module;
    module.Limits = Limits();
    if (!module.LoadFromMemory(bytes)) {
        Check(module.ResourceTypes().empty());
        return;
    }
    const std::uint8_t* begin = module.Image().data();
    Check(module.Image().size() == bytes.size());
    for (const velto::ResName& type : module.ResourceTypes())
        for (const velto::ResName& name : module.ResourceNames(type))
            for (const std::uint32_t lang : module.ResourceLanguages(type, name)) {
                const auto data = module.FindResource(type, name, lang);
                Check(data.has_value());
                Check(data->empty() || (data->data() >= begin && data->data() + data->size() <= begin + bytes.size()));
                std::vector<std::uint8_t> cur;
                if (type.IsId && type.Id == velto::RT_GROUP_CURSOR &&
                    velto::BuildCursorFileFromGroup(module, name, static_cast<std::uint16_t>(lang), cur)) {
                    velto::TmyIcon doc;
                    velto::ByteReader reader(cur);
                    velto::TmyIcoIO(false).LoadFromStream(doc, reader);
                    Check(reader.pos() <= cur.size());
                }
            }
}

void Update(const std::vector<std::uint8_t>& bytes) {
    velto::TResourceUpdateHandle* h = velto::BeginUpdateResourceMemory(bytes, false, Limits());
    if (!h) return;
    const velto::ResName type = velto::ResName::FromId(velto::RT_CURSOR), name = velto::ResName::FromString(u"FUZZ");
    Check(velto::UpdateResourceEntry(h, type, name, 0, "data", 4));
    velto::UpdateResourceEntry(h, velto::ResName::FromId(velto::RT_GROUP_CURSOR), velto::ResName::FromId(1), 0,
                               nullptr, 0);
    std::vector<std::uint8_t> out;
    if (!velto::CommitResourceUpdateToMemory(h, out)) return;
    velto::PeModule again;
    again.Limits = Limits();
    again.Limits.executableSize = out.size();
    again.Limits.resourceNodes += 8;  // the entry added
    Check(again.LoadFromMemory(out));
    const auto data = again.FindResource(type, name, 0);
    Check(data && data->size() == 4);
    velto::TResourceUpdateHandle* reopened = velto::BeginUpdateResourceMemory(out, false, again.Limits);
    Check(reopened != nullptr);
    velto::EndUpdateResourceFile(reopened, true);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velto::SilenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    Read(bytes);
    Update(bytes);
    return 0;
}
