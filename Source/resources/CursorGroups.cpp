#include "resources/CursorGroups.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "core/MessageBox.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"

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
    if (!SaveFileAtomic(outputFile, cur, &error)) {
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
    Handle = BeginUpdateResourceFile(FileName, false);
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

bool TResourceEditor::ReplaceCursorGroup(const std::string& cursorFile, const ResName& groupName,
                                         std::uint16_t language) {
    std::vector<std::uint8_t> file;
    if (!Handle || !ReadWholeFile(cursorFile, file)) return false;
    ByteReader r(file);
    std::uint16_t reserved = 0, type = 0;
    std::int16_t count = 0;
    if (!r.u16le(reserved) || !r.u16le(type)) return false;
    if (reserved != 0 || type != 2) return true;  // not a cursor file: nothing to store
    if (!r.i16le(count) || count > kMaxGroupImages) return false;
    // Every image is checked before anything is stored.
    struct Image {
        std::uint8_t head[12];
        std::span<const std::uint8_t> bytes;
    };
    std::vector<Image> images(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (Image& img : images) {
        std::uint32_t size = 0, offset = 0;
        if (!r.bytes(img.head, 12) || !r.seek(r.pos() - 4) || !r.u32le(size) || !r.u32le(offset)) return false;
        const auto bytes = ByteReader(file).sub(offset, size);
        if (!bytes || size > 0xFFFFFFFFu - 4) return false;
        img.bytes = bytes->data();
    }
    ByteWriter group;
    group.u16le(0);
    group.u16le(2);
    group.u16le(static_cast<std::uint16_t>(images.size()));
    for (const Image& img : images) {
        const std::string name = NextFreeName();
        if (name.empty()) return false;
        const ResName id = *ResNameToId(name);
        std::vector<std::uint8_t> data;
        data.reserve(img.bytes.size() + 4);
        // Hotspots as their low byte and a zero byte.
        data.insert(data.end(), {img.head[4], 0, img.head[6], 0});
        data.insert(data.end(), img.bytes.begin(), img.bytes.end());
        group.bytes(img.head, 8);
        group.u32le(static_cast<std::uint32_t>(data.size()));
        group.u16le(static_cast<std::uint16_t>(id.Id));
        CursorNames.insert(name);
        if (!UpdateResourceEntry(Handle, ResName::FromId(RT_CURSOR), id, language, data.data(),
                                 static_cast<std::uint32_t>(data.size())))
            return false;
    }
    return UpdateResourceEntry(Handle, ResName::FromId(RT_GROUP_CURSOR), groupName, language, group.buffer().data(),
                               static_cast<std::uint32_t>(group.size()));
}

bool TResourceEditor::SaveGroups(const std::vector<TStoreEntry>& entries) { return SaveChanges({}, entries); }

bool TResourceEditor::DeleteGroups(const std::vector<TDeleteEntry>& entries) { return SaveChanges(entries, {}); }

bool TResourceEditor::SaveChanges(const std::vector<TDeleteEntry>& deletions, const std::vector<TStoreEntry>& stores) {
    if (!Open()) return false;
    // The outcome of single deletions is not used: a group that is not there is skipped.
    for (const TDeleteEntry& e : deletions) {
        DeleteGroupResource(Handle, RT_GROUP_CURSOR, RT_CURSOR, e.GroupName, e.Language);
        if (ProgressBar) ProgressBar();
    }
    // Ids the deletions freed are free again, as in a save of its own.
    if (!deletions.empty()) ListCursorNames();
    for (const TStoreEntry& e : stores) {
        if (!ReplaceCursorGroup(e.CursorFile, e.GroupName, e.Language)) {
            Discard();
            return false;
        }
        if (ProgressBar) ProgressBar();
    }
    return Commit();
}

bool TResourceEditor::Commit() {
    TResourceUpdateHandle* h = Handle;
    Handle = nullptr;
    return EndUpdateResourceFile(h, false);
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
        SetLastError(kErrorFileNotFound, readError);
        return false;
    }
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string tmpl = folder + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".velto-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastError(kErrorAccessDenied, FileError::FromErrno(errno));
        return false;
    }
    const std::string temp = buf.data();
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // The first failing call's reason is kept (a short write: the disk is full).
    FileError cause;
    if (::fchmod(fd, 0666 & ~mask) != 0) KeepFirstError(&cause, FileError::FromErrno(errno));
    const ssize_t written = ::write(fd, empty.data(), empty.size());
    if (written != static_cast<ssize_t>(empty.size()))
        KeepFirstError(&cause, FileError::FromErrno(written < 0 ? errno : ENOSPC));
    if (::close(fd) != 0) KeepFirstError(&cause, FileError::FromErrno(errno));
    bool ok = cause.ok();
    if (!ok) SetLastError(kErrorAccessDenied, cause);
    // The update replaces the temporary file in turn; only a complete library
    // takes the target's name.
    ok = ok && TResourceEditor(temp).SaveGroups(entries);
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        SetLastError(kErrorAccessDenied, FileError::FromErrno(errno));
        ok = false;
    }
    if (!ok) {
        const std::uint32_t error = GetLastError();
        const FileError why = GetLastFileError();
        ::unlink(temp.c_str());
        SetLastError(error ? error : kErrorAccessDenied, why);
    }
    return ok;
}

}  // namespace velto
