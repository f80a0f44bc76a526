#include "resources/ResourceUpdate.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/ByteReader.h"
#include "platform/FileWriter.h"

namespace velto {

TResourceUpdateHandle::~TResourceUpdateHandle() {
    Root.reset();  // parked files go first (the lock goes with Lock)
}

namespace {

std::uint32_t ErrnoToError(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EWOULDBLOCK: return kErrorSharingViolation;
    case ENOMEM: return kErrorNotEnoughMemory;
    default: return kErrorAccessDenied;
    }
}

TResourceUpdateHandle* Fail(TResourceUpdateHandle* handle, std::uint32_t error, FileError cause = FileError::None) {
    delete handle;
    SetLastError(error, cause);
    return nullptr;
}

// A refusal of the file by a check of the update, in its words.
TResourceUpdateHandle* Refuse(TResourceUpdateHandle* handle, std::uint32_t error, const char* words) {
    delete handle;
    SetLastRefusal(error, words);
    return nullptr;
}

// The failure of a system call on the file, with its reason.
TResourceUpdateHandle* FailErrno(TResourceUpdateHandle* handle, int err) {
    return Fail(handle, ErrnoToError(err), FileError::FromErrno(err));
}

// Checks that a rewrite of the resource section can keep everything else of
// the file where the headers say it is: the headers and every other section
// lie outside the section's (aligned) raw range and pages, the tree starts
// the section, and no other directory, the symbol table or the certificate
// table points into it.
bool SoundLayout(const TResourceUpdateHandle& h) {
    const TPeHeaders& pe = h.Headers;
    const TPeSection& rs = pe.Sections[h.ResourceSection];
    const std::uint64_t size = h.View.size();
    const std::uint64_t rawStart = rs.PointerToRawData;
    const std::uint64_t rawEnd = rawStart + AlignUp(rs.SizeOfRawData, pe.FileAlignment);
    if (rs.SizeOfRawData == 0 || rawStart + rs.SizeOfRawData > size) return false;
    if (pe.SectionTableOffset + 40ull * pe.NumberOfSections > rawStart) return false;
    const std::uint64_t vStart = rs.VirtualAddress;
    // The section owns its pages whole: the rewrite may fill them.
    const std::uint64_t vEnd =
        vStart + AlignUp(std::max<std::uint64_t>(rs.VirtualExtent(), pe.Dirs[kDirResource].Size), pe.SectionAlignment);
    auto overlaps = [](std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) { return a < d && c < b; };
    for (std::size_t i = 0; i < pe.Sections.size(); ++i) {
        if (i == h.ResourceSection) continue;
        const TPeSection& s = pe.Sections[i];
        if (s.SizeOfRawData) {
            if (s.PointerToRawData + std::uint64_t{s.SizeOfRawData} > size) return false;
            if (overlaps(s.PointerToRawData, s.PointerToRawData + std::uint64_t{s.SizeOfRawData}, rawStart, rawEnd))
                return false;
        }
        if (overlaps(s.VirtualAddress, s.VirtualAddress + s.VirtualExtent(), vStart, vEnd)) return false;
    }
    for (std::uint32_t d = 0; d < pe.NumberOfRvaAndSizes; ++d) {
        const TPeDataDirectory& dir = pe.Dirs[d];
        if (d == kDirResource || dir.VirtualAddress == 0) continue;
        const std::uint64_t end = std::uint64_t{dir.VirtualAddress} + std::max<std::uint32_t>(dir.Size, 1);
        if (d == kDirCertificate ? overlaps(dir.VirtualAddress, end, rawStart, rawEnd)
                                 : overlaps(dir.VirtualAddress, end, vStart, vEnd))
            return false;
    }
    // The symbol and certificate tables must be in the file: they move with it.
    if (pe.PointerToSymbolTable &&
        (pe.PointerToSymbolTable > size || (pe.PointerToSymbolTable >= rawStart && pe.PointerToSymbolTable < rawEnd)))
        return false;
    const TPeDataDirectory cert = pe.Dirs[kDirCertificate];
    if (cert.VirtualAddress && std::uint64_t{cert.VirtualAddress} + cert.Size > size) return false;
    return true;
}

TResourceUpdateHandle* BeginOnView(TResourceUpdateHandle* h, bool deleteExisting) {
    std::uint32_t error = 0;
    if (!ParsePeHeaders(h->View, h->Headers, h->Limits, error)) return Fail(h, error);
    const TPeHeaders& pe = h->Headers;
    // The resource section is the one starting at the resource directory.
    const std::uint32_t rva = pe.Dirs[kDirResource].VirtualAddress;
    auto it = std::find_if(pe.Sections.begin(), pe.Sections.end(),
                           [&](const TPeSection& s) { return rva != 0 && s.VirtualAddress == rva; });
    if (pe.NumberOfRvaAndSizes <= kDirResource || it == pe.Sections.end())
        return Refuse(h, kErrorFileNotFound, "the file has no resource section");
    h->ResourceSection = static_cast<std::size_t>(it - pe.Sections.begin());
    if (!SoundLayout(*h))
        return Refuse(h, kErrorInvalidData, "the sections of the file leave no room to rewrite its resources");
    if (deleteExisting) {
        h->Root = NewDirectory();
    } else {
        const TResourceArea area{it->PointerToRawData, std::uint64_t{it->PointerToRawData} + it->SizeOfRawData};
        h->Root = ParseResourceDirectory(h->View, pe, area, h->Limits);
        if (!h->Root) return Refuse(h, kErrorInvalidData, kDamagedResourcesText);
    }
    SetLastError(kErrorSuccess);
    return h;
}

// The node path (type directory, name directory, leaf) of an entry; members
// missing from the tree are null.
struct EntryPath {
    TResourceNode* type = nullptr;
    TResourceNode* name = nullptr;
    TResourceNode* leaf = nullptr;
};

EntryPath Find(const TResourceUpdateHandle& h, const ResName& type, const ResName& name, std::uint32_t language) {
    EntryPath p;
    p.type = FindDirectoryChild(*h.Root, type);
    if (p.type) p.name = FindDirectoryChild(*p.type, name);
    if (p.name) p.leaf = FindLanguageLeaf(*p.name, language);
    return p;
}

// Gives a leaf new data: in memory up to the threshold, else in a parked file.
bool SetLeafData(TResourceNode& leaf, std::uint32_t language, const void* data, std::uint32_t size) {
    leaf.Id = language;
    leaf.MappedData = nullptr;
    leaf.Size = size;
    leaf.CodePage = 0;
    leaf.NewData.clear();
    leaf.DropParkFile();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size <= kParkThreshold) {
        leaf.NewData.assign(bytes, bytes + size);
        return true;
    }
    // The node's identity names the file; a name someone else holds moves on.
    for (std::uint64_t unique = reinterpret_cast<std::uintptr_t>(&leaf), tries = 0; tries < 100; ++unique, ++tries) {
        const std::string path = GetResTempFileName(unique);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        leaf.ParkFile = fd;
        leaf.ParkPath = path;
        const FileError written = WriteAll(fd, {bytes, size});
        if (written.ok()) return true;
        leaf.DropParkFile();
        SetLastError(kErrorWriteFault, written);
        return false;
    }
    SetLastError(kErrorWriteFault, FileError::FromErrno(errno));
    return false;
}

// Removes a node and then, level by level up to `levels` levels, each parent
// left without children; the root stays.
void Prune(TResourceUpdateHandle& h, EntryPath p, int levels) {
    TResourceNode* chain[3] = {p.leaf, p.name, p.type};
    TResourceNode* parents[3] = {p.name, p.type, h.Root.get()};
    const int first = 3 - levels;
    for (int i = first; i < 3; ++i) {
        RemoveChild(*parents[i], chain[i]);
        if (!parents[i]->Children.empty() || parents[i] == h.Root.get()) break;
    }
}

}  // namespace

std::string GetResTempFileName(std::uint64_t unique) {
    const char* env = std::getenv("TMPDIR");
    std::string folder = env && *env ? env : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + "/$rsx$res" + IntToHexEx(static_cast<std::uint64_t>(::getpid()), 8, '0') +
           IntToHexEx(unique, 0, '0') + "$";
}

unsigned long ParkedDataOwner(std::string_view name) {
    // "$rsx$res$<8 hex>$<hex>$".
    constexpr std::string_view kPrefix = "$rsx$res$";
    constexpr std::size_t pidAt = kPrefix.size();
    auto hex = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789abcdef") == std::string_view::npos;
    };
    if (!name.starts_with(kPrefix) || name.size() < pidAt + 11 || name[pidAt + 8] != '$' || name.back() != '$' ||
        !hex(name.substr(pidAt, 8)) || !hex(name.substr(pidAt + 9, name.size() - pidAt - 10)))
        return 0;
    return std::stoul(std::string(name.substr(pidAt, 8)), nullptr, 16);
}

void RemoveStaleParkedData() { RemoveStaleFiles(FolderOf(GetResTempFileName(0)), ParkedDataOwner); }

TResourceUpdateHandle* BeginUpdateResourceFile(const std::string& fileName, bool deleteExisting,
                                               const ReadLimits& limits) {
    auto* h = new TResourceUpdateHandle;
    h->Limits = limits;
    // The commit replaces the file a link points to, not the link.
    char resolved[PATH_MAX];
    if (!::realpath(fileName.c_str(), resolved)) return FailErrno(h, errno);
    h->FileName = resolved;
    // Opened for writing too, so that a file the commit could not replace is
    // refused now, and held against every other save to the end; read once,
    // by the one reader, after what a killed save left beside it.
    FileError unread = h->Lock.Take(resolved);
    if (!unread.ok())
        return Fail(h, unread.sysError() == EAGAIN ? kErrorSharingViolation : ErrorOfUnreadFile(unread), unread);
    h->File = h->Lock.fd();
    UnfinishedSave unfinished;
    if (const FileError e = LookBeside(resolved, h->Lock, Road::Rebuild, unfinished); !e.ok())
        return Fail(h, e.sysError() == EBUSY ? kErrorSharingViolation : kErrorWriteFault, e);
    h->UndidUnfinishedSave = unfinished.found == UnfinishedSave::Found::Undone;
    struct stat st {};
    if (::fstat(h->File, &st) != 0) return FailErrno(h, errno);
    unread = ReadOpenedFile(h->File, static_cast<std::uint64_t>(st.st_size), limits.executableSize, h->View);
    if (!unread.ok()) return Fail(h, ErrorOfUnreadFile(unread), unread);
    return BeginOnView(h, deleteExisting);
}

TResourceUpdateHandle* BeginUpdateResourceMemory(std::vector<std::uint8_t> image, bool deleteExisting,
                                                 const ReadLimits& limits) {
    auto* h = new TResourceUpdateHandle;
    h->Limits = limits;
    if (image.size() > limits.executableSize) return Fail(h, kErrorFileTooLarge);
    h->View = std::move(image);
    return BeginOnView(h, deleteExisting);
}

bool UpdateResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                         std::uint16_t language, const void* data, std::uint32_t size) {
    if (!handle) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if ((!type.IsId && type.Name.empty()) || (!name.IsId && name.Name.empty())) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    EntryPath p = Find(*handle, type, name, language);
    if (!data) {
        if (p.leaf) Prune(*handle, p, 3);
        else if (p.name && language == 0) Prune(*handle, p, 2);
        else if (p.type && !p.name && language == 0 && name.IsId && name.Id == 0) Prune(*handle, p, 1);
        return true;
    }
    if (!p.type) p.type = AddDirectoryChild(*handle->Root, type);
    if (!p.name) p.name = AddDirectoryChild(*p.type, name);
    if (!p.leaf) p.leaf = AddLanguageLeaf(*p.name, language);
    return SetLeafData(*p.leaf, language, data, size);
}

bool GetResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                      std::uint16_t language, const std::uint8_t*& data, std::uint32_t& size) {
    data = nullptr;
    size = 0;
    if (!handle) return false;
    const EntryPath p = Find(*handle, type, name, language);
    if (!p.leaf) return false;
    data = p.leaf->MappedData;
    size = p.leaf->Size;
    return true;
}

bool ReadResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                       std::uint16_t language, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!handle) return false;
    const EntryPath p = Find(*handle, type, name, language);
    if (!p.leaf) return false;
    const TResourceNode& leaf = *p.leaf;
    if (leaf.MappedData) {
        out.assign(leaf.MappedData, leaf.MappedData + leaf.Size);
    } else if (!leaf.NewData.empty() || leaf.Size == 0) {
        out = leaf.NewData;
    } else {
        if (leaf.ParkFile < 0) return false;
        out.resize(leaf.Size);
        if (::pread(leaf.ParkFile, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) return false;
    }
    return true;
}

bool GetIconGroupResource(TResourceUpdateHandle* handle, const ResName& name, std::uint16_t language,
                          const std::uint8_t*& data, std::uint32_t& size) {
    return GetResourceEntry(handle, ResName::FromId(RT_GROUP_ICON), name, language, data, size);
}

std::vector<ResName> ResourceNamesOf(const TResourceUpdateHandle* handle, const ResName& type) {
    std::vector<ResName> names;
    if (!handle) return names;
    if (const TResourceNode* t = FindDirectoryChild(*handle->Root, type))
        for (const auto& c : t->Children) names.push_back(c->Key());
    return names;
}

namespace {

// The image ids a group lists: the 16-bit words at byte 12 of its 14-byte
// entries, as many as both the count and the data hold.
std::vector<std::uint16_t> GroupImageIds(std::span<const std::uint8_t> group) {
    std::vector<std::uint16_t> ids;
    ByteReader r(group);
    std::uint16_t count = 0;
    if (!r.seek(4) || !r.u16le(count)) return ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint16_t id = 0;
        if (!r.seek(6 + 14ull * i + 12) || !r.u16le(id)) break;
        ids.push_back(id);
    }
    return ids;
}

}  // namespace

bool DeleteGroupResource(TResourceUpdateHandle* handle, std::uint16_t groupType, std::uint16_t imageType,
                         const ResName& name, std::uint16_t language) {
    std::vector<std::uint8_t> group;
    const ResName gType = ResName::FromId(groupType), iType = ResName::FromId(imageType);
    if (!ReadResourceEntry(handle, gType, name, language, group)) return true;
    bool ok = UpdateResourceEntry(handle, gType, name, language, nullptr, 0);
    // Images that groups left behind still list (libraries of other programs
    // share them) are kept.
    std::set<std::uint16_t> stillUsed;
    if (const TResourceNode* t = FindDirectoryChild(*handle->Root, gType))
        for (const auto& n : t->Children)
            for (const auto& leaf : n->Children) {
                std::vector<std::uint8_t> other;
                if (ReadResourceEntry(handle, gType, n->Key(), static_cast<std::uint16_t>(leaf->Id), other))
                    for (const std::uint16_t id : GroupImageIds(other)) stillUsed.insert(id);
            }
    for (const std::uint16_t id : GroupImageIds(group)) {
        if (stillUsed.count(id) || !Find(*handle, iType, ResName::FromId(id), language).leaf) continue;
        ok = UpdateResourceEntry(handle, iType, ResName::FromId(id), language, nullptr, 0) && ok;
    }
    return ok;
}

bool DeleteIconGroupResource(TResourceUpdateHandle* handle, const ResName& name, std::uint16_t language) {
    return DeleteGroupResource(handle, RT_GROUP_ICON, RT_ICON, name, language);
}

}  // namespace velto
