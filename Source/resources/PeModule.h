#pragma once
// A Windows executable or library opened as data: its resources listed and
// read, nothing of it executed. Any well-formed PE32 or PE32+ image loads,
// also one without resources (it then lists none). The resource tree is read
// by the same checked parser as the update engine's, wherever in its section
// the directory starts.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ReadLimits.h"
#include "resources/PeFile.h"
#include "resources/ResName.h"
#include "resources/ResourceTree.h"

namespace velto {

class PeModule {
public:
    ReadLimits Limits;

    // Reads the file; false with Error() set (ResName.h codes) when it is
    // missing, unreadable, larger than Limits.executableSize, not a PE image,
    // or its resource tree is unsound.
    bool Load(const std::string& fileName);
    bool LoadFromMemory(std::vector<std::uint8_t> image);
    std::uint32_t Error() const { return error_; }

    const TPeHeaders& Headers() const { return headers_; }
    // The bytes of the image as loaded; resource data lies inside them.
    std::span<const std::uint8_t> Image() const { return image_; }
    // Directory order: named entries first (ascending), then ids ascending.
    std::vector<ResName> ResourceTypes() const;
    std::vector<ResName> ResourceNames(const ResName& type) const;
    std::vector<std::uint32_t> ResourceLanguages(const ResName& type, const ResName& name) const;
    // Names are found as FindNameDirectory finds them: "ärger" finds "ÄRGER".
    // The data of (type, name, language), or nothing.
    std::optional<std::span<const std::uint8_t>> FindResource(const ResName& type, const ResName& name,
                                                              std::uint32_t language) const;
    // The data of (type, name) in the preferred language, else the neutral
    // one (0), else the first there is.
    std::optional<std::span<const std::uint8_t>> FindResourceAnyLanguage(const ResName& type, const ResName& name,
                                                                         std::uint32_t preferred) const;

private:
    const TResourceNode* NameDirectory(const ResName& type, const ResName& name) const;
    bool Fail(std::uint32_t error, FileError cause = FileError::None);
    bool Fail(std::uint32_t error, const char* words);

    std::vector<std::uint8_t> image_;
    TPeHeaders headers_;
    std::unique_ptr<TResourceNode> root_;  // null when the image has no resources
    std::uint32_t error_ = 0;
};

}  // namespace velto
