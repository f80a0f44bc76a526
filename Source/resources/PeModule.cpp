#include "resources/PeModule.h"

#include "platform/FileIO.h"

namespace velto {

bool PeModule::Fail(std::uint32_t error, FileError cause) {
    image_.clear();
    root_.reset();
    headers_ = TPeHeaders{};
    error_ = error;
    SetLastError(error, cause);
    return false;
}

bool PeModule::Fail(std::uint32_t error, const char* words) {
    Fail(error);
    SetLastRefusal(error, words);
    return false;
}

bool PeModule::Load(const std::string& fileName) {
    std::vector<std::uint8_t> bytes;
    FileError e = FileError::None;
    if (!ReadWholeFile(fileName, bytes, Limits.executableSize, &e)) return Fail(ErrorOfUnreadFile(e), e);
    return LoadFromMemory(std::move(bytes));
}

bool PeModule::LoadFromMemory(std::vector<std::uint8_t> image) {
    root_.reset();
    image_ = std::move(image);
    std::uint32_t error = 0;
    if (image_.size() > Limits.executableSize) return Fail(kErrorFileTooLarge);
    if (!ParsePeHeaders(image_, headers_, Limits, error)) return Fail(error);
    const TPeDataDirectory dir =
        headers_.NumberOfRvaAndSizes > kDirResource ? headers_.Dirs[kDirResource] : TPeDataDirectory{};
    if (dir.VirtualAddress != 0 && dir.Size != 0) {
        const TPeSection* s = headers_.SectionOfRva(dir.VirtualAddress, 16);
        if (!s) return Fail(kErrorInvalidData, kDamagedResourcesText);
        const std::uint64_t start = s->PointerToRawData + std::uint64_t{dir.VirtualAddress - s->VirtualAddress};
        root_ = ParseResourceDirectory(image_, headers_, {start, std::uint64_t{s->PointerToRawData} + s->SizeOfRawData},
                                       Limits);
        if (!root_) return Fail(kErrorInvalidData, kDamagedResourcesText);
    }
    error_ = kErrorSuccess;
    return true;
}

std::vector<ResName> PeModule::ResourceTypes() const {
    std::vector<ResName> out;
    if (root_)
        for (const auto& c : root_->Children) out.push_back(c->Key());
    return out;
}

std::vector<ResName> PeModule::ResourceNames(const ResName& type) const {
    std::vector<ResName> out;
    if (const TResourceNode* t = root_ ? FindDirectoryChild(*root_, type) : nullptr)
        for (const auto& c : t->Children) out.push_back(c->Key());
    return out;
}

const TResourceNode* PeModule::NameDirectory(const ResName& type, const ResName& name) const {
    const TResourceNode* t = root_ ? FindDirectoryChild(*root_, type) : nullptr;
    return t ? FindNameDirectory(*t, name) : nullptr;
}

std::vector<std::uint32_t> PeModule::ResourceLanguages(const ResName& type, const ResName& name) const {
    std::vector<std::uint32_t> out;
    if (const TResourceNode* n = NameDirectory(type, name))
        for (const auto& c : n->Children) out.push_back(c->Id);
    return out;
}

std::optional<std::span<const std::uint8_t>> PeModule::FindResource(const ResName& type, const ResName& name,
                                                                    std::uint32_t language) const {
    const TResourceNode* n = NameDirectory(type, name);
    const TResourceNode* leaf = n ? FindLanguageLeaf(*n, language) : nullptr;
    if (!leaf) return std::nullopt;
    return std::span<const std::uint8_t>(leaf->MappedData, leaf->Size);
}

std::optional<std::span<const std::uint8_t>> PeModule::FindResourceAnyLanguage(const ResName& type,
                                                                               const ResName& name,
                                                                               std::uint32_t preferred) const {
    const TResourceNode* n = NameDirectory(type, name);
    if (!n || n->Children.empty()) return std::nullopt;
    const TResourceNode* leaf = FindLanguageLeaf(*n, preferred);
    if (!leaf) leaf = FindLanguageLeaf(*n, 0);
    if (!leaf) leaf = n->Children.front().get();
    return std::span<const std::uint8_t>(leaf->MappedData, leaf->Size);
}

}  // namespace velto
