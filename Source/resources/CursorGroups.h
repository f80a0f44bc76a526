#pragma once
// Cursors inside executables and libraries: one RT_GROUP_CURSOR (type 12)
// listing the images, one RT_CURSOR (type 1) per image.
//
// RT_CURSOR as written: hotspot X and Y as 16-bit words (the low byte of each
// hotspot, then 0), then the image bytes exactly as in the ".cur" file.
// RT_GROUP_CURSOR as written: reserved 0, type 2, count, then 14-byte entries
// as resource compilers write them and the system's loader reads them: width
// and height as words (the height twice the cursor's: image and mask), planes
// and bit count, the RT_CURSOR's byte count, its id. Libraries written by
// earlier versions carry one-byte width, height, colours and reserved and the
// hotspot words instead of the first eight bytes; readers take the width from
// byte 0, the id from byte 12 and the hotspot from the RT_CURSOR prefix,
// which all layouts share, so both open.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "resources/PeModule.h"
#include "resources/ResName.h"
#include "resources/ResourceUpdate.h"

namespace velto {

// Groups of more images are not read (GetCursorGroupCount gives 0) nor written.
inline constexpr int kMaxGroupImages = 50;

// Enumeration helpers: "#%d" for an id (its low 16 bits) or the name's text.
void EnumCursorNamesProc(const ResName& name, std::vector<std::string>& list);
void EnumResLangProc(std::uint32_t language, std::vector<std::string>& list);

// Image count of the group (name, language) in a module file: -1 when the
// file cannot be loaded; 0 when the group is missing, shorter than its count
// says or lists more than 50 images.
int GetCursorGroupCount(const std::string& moduleFile, const ResName& groupName, std::uint16_t language);

// A device-independent bitmap with a 40-byte header, one plane and no compression.
bool IsPlainDib(std::span<const std::uint8_t> image);

// The group as a ".cur" file: 6-byte header, 16-byte entries, images in entry
// order. A plain bitmap's entry gets its width and half its height and its
// image-size field is written as 0; other images (PNG) get width and height
// 0. Hotspots come from each RT_CURSOR's prefix. Images whose RT_CURSOR is
// missing or shorter than its prefix are left out. False when the group is
// missing, malformed, lists more than 50 images or none that could be read,
// or when the file would exceed module.Limits.fileSize.
bool BuildCursorFileFromGroup(const PeModule& module, const ResName& groupName, std::uint16_t language,
                              std::vector<std::uint8_t>& out);

// BuildCursorFileFromGroup from a module file, saved to outputFile (replaced
// only when the whole file was built and written). A failed write shows a
// message box with the reason.
bool ExtractCursorGroupToFile(const std::string& moduleFile, const std::string& outputFile,
                              const ResName& groupName, std::uint16_t language);

// Parts of the ".cur" file the extraction writes.
struct TCurImage {
    std::uint8_t Width = 0, Height = 0;
    std::uint16_t HotX = 0, HotY = 0;
    std::vector<std::uint8_t> Bytes;
};
void WriteCurHeader(std::vector<std::uint8_t>& out, std::uint16_t count);
void WriteCurEntries(std::vector<std::uint8_t>& out, const std::vector<TCurImage>& images);
// Offset of image index: 6 + 16 x count + the sizes of the images before it.
std::uint64_t CurFileSize(const std::vector<TCurImage>& images, std::size_t index);

struct TStoreEntry {
    std::string CursorFile;
    ResName GroupName;
    std::uint16_t Language = 0;
};
struct TDeleteEntry {
    ResName GroupName;
    std::uint16_t Language = 0;
};

// Stores ".cur" files as cursor groups into a library and deletes groups,
// each save through one update of the engine.
class TResourceEditor {
public:
    std::string FileName;
    // A library not yet on disk (the empty library's bytes): the update
    // starts from these instead of FileName's content, and its commit writes
    // FileName whole.
    std::vector<std::uint8_t> Image;
    TResourceUpdateHandle* Handle = nullptr;
    // RT_CURSOR names present ("#n" or the name), so that new images get free ids.
    std::set<std::string> CursorNames;
    // Called once per stored or deleted group.
    std::function<void()> ProgressBar;

    explicit TResourceEditor(std::string fileName) : FileName(std::move(fileName)) {}
    ~TResourceEditor();  // an update still open is discarded
    TResourceEditor(const TResourceEditor&) = delete;
    TResourceEditor& operator=(const TResourceEditor&) = delete;

    // Begins the update and lists the RT_CURSOR names from its tree; false
    // when the update cannot begin.
    bool Open();
    // "#n" for the smallest n from 1 not in CursorNames; "" when all 65535 are taken.
    std::string NextFreeName() const;
    // Stores one ".cur" file as the group (name, language), string names
    // upper-cased (UpperCaseResName); a group already there under that name and
    // language is deleted first, with its images no other group lists. True,
    // storing nothing, for a file that is not a cursor file (type not 2). False when
    // the name is longer than a library holds (kMaxResNameUnits), the file
    // cannot be read, is malformed (an image outside the file), holds
    // more than 50 images, or a resource cannot be stored; nothing of the
    // file is stored then, and the last error says which (LastErrorText): the
    // file's reason with the code of an unread file, or the refusing check's
    // words.
    bool ReplaceCursorGroup(const std::string& cursorFile, const ResName& groupName, std::uint16_t language);
    // Open, every entry stored, Commit. Any failure discards the whole update
    // (the library is untouched) and gives false; a refused store's words
    // name its cursor file.
    bool SaveGroups(const std::vector<TStoreEntry>& entries);
    // Open, every group deleted with the images no other group lists,
    // Commit. A group is named as stored or in any case of it ("ärger"
    // deletes "ÄRGER"; FindNameDirectory). A group that is not there is
    // skipped.
    bool DeleteGroups(const std::vector<TDeleteEntry>& entries);
    // Both in one update, deletions first: the library changes completely or
    // not at all. An update the caller opened (to see what it starts from)
    // is the one used.
    bool SaveChanges(const std::vector<TDeleteEntry>& deletions, const std::vector<TStoreEntry>& stores);
    bool Commit();
    bool Discard();

private:
    void ListCursorNames();
    // The name of the group deleting (name, language) means, as stored: the
    // name as written, else its upper case, in a directory that holds the
    // language; nothing when there is none.
    std::optional<ResName> StoredGroupName(const ResName& name, std::uint16_t language) const;
};

// A new library at target from the empty library emptyLibrary with the
// groups of entries: built in memory and written through a temporary file
// beside target, which replaces target only when everything succeeded;
// target is untouched otherwise.
bool SaveNewLibrary(const std::string& emptyLibrary, const std::string& target,
                    const std::vector<TStoreEntry>& entries);
// The same from the empty library's bytes (MakeEmptyLibrary).
bool SaveNewLibrary(std::span<const std::uint8_t> emptyLibrary, const std::string& target,
                    const std::vector<TStoreEntry>& entries, const std::function<void()>& progress = {});

}  // namespace velto
