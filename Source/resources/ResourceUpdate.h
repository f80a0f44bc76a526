#pragma once
// The resource update engine: opens a PE executable or library for update,
// holds its resource directory as a tree, takes additions, replacements and
// deletions of single resources (type, name, language), and at the end either
// drops every change or rewrites the file with a new resource section.
//
// Begin reads it whole, holding the file's save lock (platform/SaveLock.h)
// until the end (where readers' locks let it be taken), after putting back
// what a killed save of it left (a copy of another user's that may hold its
// earlier content fails it); the commit writes the complete new file to a
// temporary file in the same folder, flushes it and renames it over the
// original, so any failure, or a crash, leaves the original byte for byte.
// Replacing the file this way keeps its permission bits, owner and group
// (where allowed) but breaks hard links to it and drops extended attributes.
// Nothing in the file is executed.
//
// New data of more than 32768 bytes is parked in a temporary file (created
// exclusively with mode 0600, deleted when the leaf goes) rather than held in
// memory. Every failure sets the thread's last error (ResName.h).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PreviousCopy.h"
#include "platform/ReadLimits.h"
#include "platform/SaveLock.h"
#include "resources/PeFile.h"
#include "resources/ResName.h"
#include "resources/ResourceTree.h"

namespace velto {

// New data up to this many bytes is held in memory; larger data is parked.
inline constexpr std::uint32_t kParkThreshold = 32768;

struct TResourceUpdateHandle {
    std::string FileName;  // the file the commit replaces (links resolved)
    SaveLock Lock;         // the file's, held from begin to end where it could be taken
    int File = -1;         // the open file that holds it
    bool UndidUnfinishedSave = false;  // a killed save's copy was put back before the read
    std::vector<std::uint8_t> View;  // the whole file as read at begin
    TPeHeaders Headers;
    std::size_t ResourceSection = 0;  // index into Headers.Sections
    std::unique_ptr<TResourceNode> Root;
    ReadLimits Limits;

    TResourceUpdateHandle() = default;
    TResourceUpdateHandle(const TResourceUpdateHandle&) = delete;
    TResourceUpdateHandle& operator=(const TResourceUpdateHandle&) = delete;
    ~TResourceUpdateHandle();
};

// Opens fileName for update. deleteExisting starts from an empty resource
// tree. Null on failure, with the last error: 2 missing file or no resource
// section, 5 not writable, 32 already being updated, 193 not a PE image, 13
// headers or resource tree unsound (see ResourceUpdate.cpp), 223 larger than
// limits.executableSize.
TResourceUpdateHandle* BeginUpdateResourceFile(const std::string& fileName, bool deleteExisting,
                                               const ReadLimits& limits = {});
// The same on bytes in memory: such an update can only be committed with
// CommitResourceUpdateToMemory (fuzzing, tests).
TResourceUpdateHandle* BeginUpdateResourceMemory(std::vector<std::uint8_t> image, bool deleteExisting,
                                                 const ReadLimits& limits = {});

// Adds or replaces the leaf (type, name, language) with a copy of size bytes
// at data, or deletes when data is null. False with the last error 6 for a
// null handle, 87 for an empty string name, and the error of a parked file
// that could not be written in full.
bool UpdateResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                         std::uint16_t language, const void* data, std::uint32_t size);

// The data of an existing leaf as read from the file; false (null, 0) when
// any level is missing. A leaf given new data in this update yields null.
bool GetResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                      std::uint16_t language, const std::uint8_t*& data, std::uint32_t& size);
// The leaf's current data from whichever source holds it (file, memory or
// parked file); false when it is missing or cannot be read.
bool ReadResourceEntry(TResourceUpdateHandle* handle, const ResName& type, const ResName& name,
                       std::uint16_t language, std::vector<std::uint8_t>& out);

bool GetIconGroupResource(TResourceUpdateHandle* handle, const ResName& name, std::uint16_t language,
                          const std::uint8_t*& data, std::uint32_t& size);

// Deletes a group (groupType) and those of its images (imageType, ids in the
// 14-byte entries) that exist in the same language and that no remaining
// group of that type still lists. True when the group does not exist; else
// the AND of the deletions made.
bool DeleteGroupResource(TResourceUpdateHandle* handle, std::uint16_t groupType, std::uint16_t imageType,
                         const ResName& name, std::uint16_t language);
// DeleteGroupResource for icon groups (type 14) and their images (type 3).
bool DeleteIconGroupResource(TResourceUpdateHandle* handle, const ResName& name, std::uint16_t language);

// The names of one type's directory in tree order (empty when the type is missing).
std::vector<ResName> ResourceNamesOf(const TResourceUpdateHandle* handle, const ResName& type);

// Ends the update and frees the handle in every case. With discard nothing is
// written (true). Otherwise the file is replaced by the rewritten one; false,
// with the original untouched, when that fails. A null handle gives false
// (last error 6).
bool EndUpdateResourceFile(TResourceUpdateHandle* handle, bool discard);
// Ends an update by writing the rewritten file to target, replacing it whole
// (an update begun in memory, such as a new library); frees the handle. False,
// with target untouched, when that fails.
bool CommitResourceUpdateToFile(TResourceUpdateHandle* handle, const std::string& target);
// Ends an update by building the rewritten file in out instead; frees the handle.
bool CommitResourceUpdateToMemory(TResourceUpdateHandle* handle, std::vector<std::uint8_t>& out);

// The name of a temporary file of the update: the temporary folder ($TMPDIR,
// else /tmp), "/$rsx$res", "$" and the process id in 8 hex digits, "$" and
// unique in hex, "$".
std::string GetResTempFileName(std::uint64_t unique);
// The process id a parked file's name carries, or 0.
unsigned long ParkedDataOwner(std::string_view name);
// Removes from the temporary folder the parked data of processes that no
// longer run (not that of other users or of running processes).
void RemoveStaleParkedData();

namespace testhooks {
// Steps of the commit, in order, after which a test may make it fail.
enum CommitStep : int {
    kCommitCreated = 1,   // the temporary file exists
    kCommitHead,          // headers and sections before the resources written
    kCommitSection,       // the new resource section written
    kCommitTail,          // everything after it written
    kCommitChecksum,      // the checksum written
    kCommitFlushed,       // flushed to disk, not yet renamed
};
// Makes the calling thread's next commits fail after `step` (0: never). With
// exitCode not 0 the process ends there instead, as a crash would.
void FailCommitAfter(int step, int exitCode = 0);
}  // namespace testhooks

}  // namespace velto
