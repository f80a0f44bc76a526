#include "resources/CursorGroups.h"

#include <cstdio>

#include "core/MessageBox.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace velto {

void EnumCursorNamesProc(const ResName& name, std::vector<std::string>& list) {
    list.push_back(name.IsId ? ResNameText(ResName::FromId(name.Id & 0xFFFF)) : ResNameText(name));
}

void EnumResLangProc(std::uint32_t language, std::vector<std::string>& list) {
    list.push_back("#" + std::to_string(language));
}

namespace {

// The 14-byte entries of a group, checked against its length; nothing for a
// group that is shorter than its count says or lists more than 50 images.
struct GroupEntry {
    std::uint8_t width, height;
    std::uint16_t id;
};
std::optional<std::vector<GroupEntry>> ReadGroup(std::span<const std::uint8_t> group) {
    ByteReader r(group);
    std::uint16_t reserved = 0, type = 0, count = 0;
    if (!r.u16le(reserved) || !r.u16le(type) || !r.u16le(count)) return std::nullopt;
    if (count > kMaxGroupImages || r.remaining() < 14ull * count) return std::nullopt;
    std::vector<GroupEntry> entries(count);
    for (GroupEntry& e : entries) {
        r.u8(e.width);
        r.u8(e.height);
        r.skip(10);
        r.u16le(e.id);
    }
    return entries;
}

}  // namespace

int GetCursorGroupCount(const std::string& moduleFile, const ResName& groupName, std::uint16_t language) {
    PeModule module;
    if (!module.Load(moduleFile)) return -1;
    const auto group = module.FindResource(ResName::FromId(RT_GROUP_CURSOR), groupName, language);
    if (!group) return 0;
    const auto entries = ReadGroup(*group);
    return entries ? static_cast<int>(entries->size()) : 0;
}

bool IsPlainDib(std::span<const std::uint8_t> image) {
    ByteReader r(image);
    std::uint32_t headerSize = 0, compression = 0;
    std::uint16_t planes = 0;
    return r.u32le(headerSize) && r.seek(12) && r.u16le(planes) && r.seek(16) && r.u32le(compression) &&
           headerSize == 40 && planes == 1 && compression == 0;
}

void WriteCurHeader(std::vector<std::uint8_t>& out, std::uint16_t count) {
    ByteWriter w;
    w.u16le(0);
    w.u16le(2);
    w.u16le(count);
    out.insert(out.end(), w.buffer().begin(), w.buffer().end());
}

std::uint64_t CurFileSize(const std::vector<TCurImage>& images, std::size_t index) {
    std::uint64_t at = 6 + 16ull * images.size();
    for (std::size_t i = 0; i < index; ++i) at += images[i].Bytes.size();
    return at;
}

void WriteCurEntries(std::vector<std::uint8_t>& out, const std::vector<TCurImage>& images) {
    ByteWriter w;
    std::uint64_t at = CurFileSize(images, 0);
    for (const TCurImage& img : images) {
        w.u8(img.Width);
        w.u8(img.Height);
        w.u8(0);
        w.u8(0);
        w.u16le(img.HotX);
        w.u16le(img.HotY);
        w.u32le(static_cast<std::uint32_t>(img.Bytes.size()));
        w.u32le(static_cast<std::uint32_t>(at));
        at += img.Bytes.size();
    }
    out.insert(out.end(), w.buffer().begin(), w.buffer().end());
}

bool BuildCursorFileFromGroup(const PeModule& module, const ResName& groupName, std::uint16_t language,
                              std::vector<std::uint8_t>& out) {
    out.clear();
    const auto group = module.FindResource(ResName::FromId(RT_GROUP_CURSOR), groupName, language);
    const auto entries = group ? ReadGroup(*group) : std::nullopt;
    if (!entries) return false;
    std::vector<TCurImage> images;
    // Entries may all name one large image: the file is bounded like any
    // document read whole.
    std::uint64_t total = 6 + 16ull * entries->size();
    for (const GroupEntry& e : *entries) {
        const auto data = module.FindResourceAnyLanguage(ResName::FromId(RT_CURSOR), ResName::FromId(e.id), language);
        ByteReader r(data ? *data : std::span<const std::uint8_t>{});
        TCurImage img;
        if (!r.u16le(img.HotX) || !r.u16le(img.HotY)) continue;
        total += data->size() - 4;
        if (total > module.Limits.fileSize) return false;
        img.Bytes.assign(data->begin() + 4, data->end());
        if (IsPlainDib(img.Bytes)) {
            std::int32_t width = 0, height = 0;
            ByteReader dib(img.Bytes);
            dib.seek(4);
            dib.i32le(width);
            dib.i32le(height);
            img.Width = static_cast<std::uint8_t>(width);
            img.Height = static_cast<std::uint8_t>(height / 2);
            // The image-size field is written as 0: readers compute it.
            for (int i = 20; i < 24; ++i) img.Bytes[i] = 0;
        }
        images.push_back(std::move(img));
    }
    if (images.empty()) return false;
    WriteCurHeader(out, static_cast<std::uint16_t>(images.size()));
    WriteCurEntries(out, images);
    for (const TCurImage& img : images) out.insert(out.end(), img.Bytes.begin(), img.Bytes.end());
    return true;
}

bool ExtractCursorGroupToFile(const std::string& moduleFile, const std::string& outputFile,
                              const ResName& groupName, std::uint16_t language) {
    PeModule module;
    std::vector<std::uint8_t> cur;
    if (!module.Load(moduleFile) || !BuildCursorFileFromGroup(module, groupName, language, cur)) return false;
    FileError error = FileError::None;
    if (!WriteWholeFile(outputFile, cur, &error)) {
        ShowMessageBox(FileErrorText(error), mkInformation, mbOK);
        return false;
    }
    return true;
}

TResourceEditor::~TResourceEditor() {
    if (Handle) EndUpdateResourceFile(Handle, true);
}

bool TResourceEditor::Open() {
    if (Handle) EndUpdateResourceFile(Handle, true);
    CursorNames.clear();
    // The names come from the file's own tree: nothing of it is loaded or run.
    Handle = Image.empty() ? BeginUpdateResourceFile(FileName, false) : BeginUpdateResourceMemory(Image, false);
    if (!Handle) return false;
    ListCursorNames();
    return true;
}

void TResourceEditor::ListCursorNames() {
    std::vector<std::string> names;
    for (const ResName& n : ResourceNamesOf(Handle, ResName::FromId(RT_CURSOR))) EnumCursorNamesProc(n, names);
    CursorNames.clear();
    CursorNames.insert(names.begin(), names.end());
}

std::string TResourceEditor::NextFreeName() const {
    for (std::uint32_t n = 1; n <= 0xFFFF; ++n) {
        std::string name = "#" + std::to_string(n);
        if (!CursorNames.count(name)) return name;
    }
    return {};
}

namespace {

// A group entry as resource compilers write it and the system's loader reads
// it: width and height as words (the height counts image and mask, twice the
// cursor's height), planes and bit count, then byte count and id, which the
// caller adds. Taken from the image itself: a bitmap's header, a PNG's
// header chunk, else the ".cur" entry's one-byte sizes (0 meaning 256).
struct StandardEntry {
    std::uint16_t width = 0, height = 0, planes = 1, bitCount = 32;
};
StandardEntry EntryOf(std::span<const std::uint8_t> image, const std::uint8_t* curEntry) {
    StandardEntry e;
    ByteReader r(image);
    std::uint32_t headerSize = 0;
    std::int32_t width = 0, height = 0;
    static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (r.u32le(headerSize) && headerSize >= 40 && r.i32le(width) && r.i32le(height) && r.u16le(e.planes) &&
        r.u16le(e.bitCount) && width > 0 && width <= 0xFFFF && height > 0 && height <= 0xFFFF) {
        e.width = static_cast<std::uint16_t>(width);
        e.height = static_cast<std::uint16_t>(height);
        return e;
    }
    std::uint32_t pngWidth = 0, pngHeight = 0;
    ByteReader png(image);
    if (image.size() >= 24 && std::equal(kPng, kPng + 8, image.begin()) && png.seek(16) && png.u32be(pngWidth) &&
        png.u32be(pngHeight) && pngWidth > 0 && pngWidth <= 0xFFFF && pngHeight > 0 && pngHeight <= 0x7FFF) {
        e.width = static_cast<std::uint16_t>(pngWidth);
        e.height = static_cast<std::uint16_t>(pngHeight * 2);
        e.planes = 1;
        e.bitCount = 32;
        return e;
    }
    e = StandardEntry{};
    e.width = curEntry[0] ? curEntry[0] : 256;
    e.height = static_cast<std::uint16_t>((curEntry[1] ? curEntry[1] : 256) * 2);
    return e;
}

}  // namespace

bool TResourceEditor::ReplaceCursorGroup(const std::string& cursorFile, const ResName& groupName,
                                         std::uint16_t language) {
    std::vector<std::uint8_t> file;
    FileError readError;
    if (!Handle) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if (!groupName.IsId && groupName.Name.size() > kMaxResNameUnits) {
        SetLastRefusal(kErrorInvalidParameter, kResNameTooLongText);
        return false;
    }
    if (!ReadWholeFile(cursorFile, file, ReadLimits{}.fileSize, &readError)) {
        SetLastError(ErrorOfUnreadFile(readError), readError);
        return false;
    }
    // Each check of the file says, when it refuses, what it found.
    auto refuse = [](const char* words) {
        SetLastRefusal(kErrorInvalidData, words);
        return false;
    };
    ByteReader r(file);
    std::uint16_t reserved = 0, type = 0;
    std::int16_t count = 0;
    if (!r.u16le(reserved) || !r.u16le(type)) return refuse("the cursor file is shorter than its header");
    if (reserved != 0 || type != 2) {  // not a cursor file: nothing to store
        SetLastError(kErrorSuccess);
        return true;
    }
    if (!r.i16le(count)) return refuse("the cursor file is shorter than its header");
    if (count > kMaxGroupImages) return refuse("the cursor file holds more than 50 images");
    // Every image is checked before anything is stored.
    struct Image {
        std::uint8_t head[12];
        std::span<const std::uint8_t> bytes;
    };
    std::vector<Image> images(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (Image& img : images) {
        std::uint32_t size = 0, offset = 0;
        if (!r.bytes(img.head, 12) || !r.seek(r.pos() - 4) || !r.u32le(size) || !r.u32le(offset))
            return refuse("the cursor file ends within its list of images");
        const auto bytes = ByteReader(file).sub(offset, size);
        if (!bytes || size > 0xFFFFFFFFu - 4) return refuse("an image of the cursor file lies outside the file");
        img.bytes = bytes->data();
    }
    // Stored as resource compilers store it, so that the system's loader finds it.
    const ResName name = UpperCaseResName(groupName);
    // A group stored over another of the same name and language takes its
    // place whole: the old group's images go unless another group lists them.
    if (!DeleteGroupResource(Handle, RT_GROUP_CURSOR, RT_CURSOR, name, language)) return false;
    ListCursorNames();
    ByteWriter group;
    group.u16le(0);
    group.u16le(2);
    group.u16le(static_cast<std::uint16_t>(images.size()));
    for (const Image& img : images) {
        const std::string free = NextFreeName();
        if (free.empty()) {
            SetLastRefusal(kErrorNotEnoughMemory, "the library has no free resource id for another image");
            return false;
        }
        const ResName id = *ResNameToId(free);
        std::vector<std::uint8_t> data;
        data.reserve(img.bytes.size() + 4);
        // Hotspots as their low byte and a zero byte.
        data.insert(data.end(), {img.head[4], 0, img.head[6], 0});
        data.insert(data.end(), img.bytes.begin(), img.bytes.end());
        const StandardEntry e = EntryOf(img.bytes, img.head);
        group.u16le(e.width);
        group.u16le(e.height);
        group.u16le(e.planes);
        group.u16le(e.bitCount);
        group.u32le(static_cast<std::uint32_t>(data.size()));
        group.u16le(static_cast<std::uint16_t>(id.Id));
        CursorNames.insert(free);
        if (!UpdateResourceEntry(Handle, ResName::FromId(RT_CURSOR), id, language, data.data(),
                                 static_cast<std::uint32_t>(data.size())))
            return false;
    }
    return UpdateResourceEntry(Handle, ResName::FromId(RT_GROUP_CURSOR), name, language, group.buffer().data(),
                               static_cast<std::uint32_t>(group.size()));
}

std::optional<ResName> TResourceEditor::StoredGroupName(const ResName& name, std::uint16_t language) const {
    const TResourceNode* type = Handle ? FindDirectoryChild(*Handle->Root, ResName::FromId(RT_GROUP_CURSOR)) : nullptr;
    if (!type) return std::nullopt;
    // As written, else upper-cased (FindNameDirectory), but only where the
    // language is: another program's "abc" of one language does not hide
    // the "ABC" of another.
    for (const ResName& key : {name, UpperCaseResName(name)})
        if (const TResourceNode* group = FindDirectoryChild(*type, key); group && FindLanguageLeaf(*group, language))
            return group->Key();
    return std::nullopt;
}

bool TResourceEditor::SaveGroups(const std::vector<TStoreEntry>& entries) { return SaveChanges({}, entries); }

bool TResourceEditor::DeleteGroups(const std::vector<TDeleteEntry>& entries) { return SaveChanges(entries, {}); }

bool TResourceEditor::SaveChanges(const std::vector<TDeleteEntry>& deletions, const std::vector<TStoreEntry>& stores) {
    if (!Handle && !Open()) return false;
    // A group that is not there is skipped: the library already lacks it.
    for (const TDeleteEntry& e : deletions) {
        if (const std::optional<ResName> stored = StoredGroupName(e.GroupName, e.Language))
            DeleteGroupResource(Handle, RT_GROUP_CURSOR, RT_CURSOR, *stored, e.Language);
        if (ProgressBar) ProgressBar();
    }
    // Ids the deletions freed are free again, as in a save of its own.
    if (!deletions.empty()) ListCursorNames();
    for (const TStoreEntry& e : stores) {
        if (!ReplaceCursorGroup(e.CursorFile, e.GroupName, e.Language)) {
            // The store's own reason, not the discard's success, goes to the
            // caller, with the cursor file it is about.
            TLastError why = GetLastErrorState();
            if (why.Code == kErrorSuccess) why.Code = kErrorInvalidData;
            why.Words = ExtractFileName(e.CursorFile) + ": " + LastErrorText();
            Discard();
            SetLastError(why);
            return false;
        }
        if (ProgressBar) ProgressBar();
    }
    return Commit();
}

bool TResourceEditor::Commit() {
    TResourceUpdateHandle* h = Handle;
    Handle = nullptr;
    return Image.empty() ? EndUpdateResourceFile(h, false) : CommitResourceUpdateToFile(h, FileName);
}

bool TResourceEditor::Discard() {
    TResourceUpdateHandle* h = Handle;
    Handle = nullptr;
    return EndUpdateResourceFile(h, true);
}

bool SaveNewLibrary(const std::string& emptyLibrary, const std::string& target,
                    const std::vector<TStoreEntry>& entries) {
    std::vector<std::uint8_t> empty;
    FileError readError;
    if (!ReadWholeFile(emptyLibrary, empty, ReadLimits{}.fileSize, &readError)) {
        SetLastError(ErrorOfUnreadFile(readError), readError);
        return false;
    }
    return SaveNewLibrary(empty, target, entries);
}

bool SaveNewLibrary(std::span<const std::uint8_t> emptyLibrary, const std::string& target,
                    const std::vector<TStoreEntry>& entries, const std::function<void()>& progress) {
    TResourceEditor editor(target);
    editor.Image.assign(emptyLibrary.begin(), emptyLibrary.end());
    editor.ProgressBar = progress;
    return editor.SaveGroups(entries);
}

}  // namespace velto
