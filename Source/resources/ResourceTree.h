#pragma once
// The resource directory of a PE image as a tree: type directories, name
// directories, language leaves. The parser follows only offsets that lie in
// the resource data, accepts exactly three levels and counts every node it
// expands; the layout routines turn a tree back into a section image.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ReadLimits.h"
#include "resources/PeFile.h"
#include "resources/ResName.h"

namespace velto {

struct TResourceNode {
    TResourceNode() = default;
    TResourceNode(const TResourceNode&) = delete;
    TResourceNode& operator=(const TResourceNode&) = delete;
    ~TResourceNode();  // closes and deletes a parked data file

    std::uint32_t Id = 0;   // id in the parent (type, name, or a leaf's language); 0 when named
    std::u16string Name;    // name in the parent; named exactly when not empty
    // The ordered child list: named children first, ascending; then ids, ascending.
    std::vector<std::unique_ptr<TResourceNode>> Children;
    bool IsDirectory = false;

    // Directories.
    std::uint32_t Characteristics = 0;
    std::uint32_t TimeDateStamp = 0;
    std::uint16_t MajorVersion = 0;
    std::uint16_t MinorVersion = 0;
    std::uint32_t NamedCount = 0;
    std::uint32_t IdCount = 0;

    // Leaves. The data comes from MappedData when set, else NewData when not
    // empty, else the parked file.
    const std::uint8_t* MappedData = nullptr;
    std::uint32_t Size = 0;
    std::vector<std::uint8_t> NewData;
    int ParkFile = -1;
    std::string ParkPath;
    std::uint32_t CodePage = 0;
    std::uint32_t Reserved = 0;

    bool IsNamed() const { return !Name.empty(); }
    ResName Key() const { return IsNamed() ? ResName::FromString(Name) : ResName::FromId(Id); }
    // Closes and deletes the parked file, if any.
    void DropParkFile();
};

// Where a resource directory lies: its file offset and the end of the raw
// data it may use (the end of its section's raw data, within the file).
struct TResourceArea {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
};

// Parses the tree at area.Start of image; leaf data addresses are mapped
// through the section table and must lie in the file. Nothing (the last
// error then kErrorInvalidData) for a tree that leaves its area, is not
// exactly three levels deep, holds an empty name or more than
// limits.resourceNodes nodes.
// What a user is told when the resource tree cannot be read.
inline constexpr char kDamagedResourcesText[] = "the resources of the file are damaged";
std::unique_ptr<TResourceNode> ParseResourceDirectory(std::span<const std::uint8_t> image, const TPeHeaders& pe,
                                                      TResourceArea area, const ReadLimits& limits);

// A new, empty directory node.
std::unique_ptr<TResourceNode> NewDirectory();

// Tree order of two entries of one directory: negative when a sorts first.
int CompareEntries(const TResourceNode& a, const ResName& b);

TResourceNode* FindDirectoryChild(const TResourceNode& dir, const ResName& key);
// The name directory name finds in a type directory: the one stored under
// the name as written (names other programs stored in lower case), else the
// one under its upper case, where the system's loader looks (UpperCaseResName).
TResourceNode* FindNameDirectory(const TResourceNode& typeDir, const ResName& name);
TResourceNode* FindLanguageLeaf(const TResourceNode& dir, std::uint32_t language);
TResourceNode* AddDirectoryChild(TResourceNode& dir, const ResName& key);
TResourceNode* AddLanguageLeaf(TResourceNode& dir, std::uint32_t language);
// Unlinks and frees a child (with its subtree), keeping the counts.
void RemoveChild(TResourceNode& dir, const TResourceNode* child);

// The layout of a tree as a resource section: D bytes of directories and
// data entries, N bytes of names, A bytes of 4-aligned data.
struct TResourceMeasure {
    std::uint64_t D = 0, N = 0, A = 0;
    std::uint64_t T() const { return AlignUp(D + N, 4) + A; }
};
TResourceMeasure MeasureResourceTree(const TResourceNode& root);

// The directory and name areas of the section image (AlignUp(D + N, 4)
// bytes), data addresses counted from sectionRva, and the leaves in the order
// their data follows, each at a multiple of 4 from the data area's start.
// Nothing, with the last error's words kResNameTooLongText, for a tree with
// a name longer than the format holds (kMaxResNameUnits).
struct TResourceLayout {
    std::vector<std::uint8_t> Head;
    std::vector<const TResourceNode*> Leaves;
};
std::optional<TResourceLayout> WriteResourceTree(const TResourceNode& root, std::uint32_t sectionRva);

}  // namespace velto
