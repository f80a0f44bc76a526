#pragma once
// The one way a file is written. The content goes to a temporary file beside
// the target (see Temporaries.h) that takes the target's name only when it
// is complete, in one of two modes:
//
// - Replace: renamed over the target, so that the target holds its old bytes
//   or its new bytes at every instant. A target that exists must be a regular
//   file the caller may write to (a read-only file is refused, not replaced);
//   the new file gets its permission bits, owner and group. It keeps the
//   replaced file's access list and extended attributes too; one that cannot
//   be given to it fails the write, with the target untouched. Until it has
//   them the new file stays private, whatever default access list the folder
//   has, and no step on the way grants more than the end.
//   Where the system does not let the owner and group be kept (a user the
//   access list or group lets write saves another user's file), a new file
//   would hand the owner's rights to the saver and the group's to the
//   saver's group: the content is then written into the target in place
//   (same file, so all it is stays, and its other hard links see the new
//   bytes), once complete, its old bytes first kept in a copy of this
//   save's own beside it (see PreviousCopy.h), so that a kill leaves old or
//   new bytes in the target or the old ones in the copy, which goes back
//   into the file before anything else touches it. A file given an
//   ownership of the caller's (a backup) has no old file to keep: it gets no
//   group's rights whose group it cannot be given.
//   A link to a regular file stays a link: the file it leads to is replaced,
//   from a temporary beside that file. A dangling link is replaced by the
//   new file; a link to anything else is refused as that thing is. A name
//   the program owns (WriteOptions::ownName) is replaced whatever holds it.
// - Create: given a name nothing holds, never replacing anything, not even
//   what appears at that name while the file is written; a taken name fails
//   with EEXIST, and the caller may pick another.
//
// A save of an existing file holds its save lock (SaveLock.h) from the
// constructor to the end (a save by rename goes on without it where only
// readers' locks keep it away). Before the temporary is created, what killed
// saves left in the folder goes; before anything is written, what a killed
// save of the file left beside it goes back or goes (PreviousCopy.h).
// Every failure removes the temporary and carries the system's reason.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/FileAttributes.h"
#include "platform/FileIO.h"
#include "platform/SaveLock.h"
#include "platform/Temporaries.h"

namespace velto {

enum class WriteMode : std::uint8_t { Replace, Create };

// Permission bits (with set-ID and sticky bits), owner and group, and the
// access list that goes with the bits (the system's attribute as it stores
// it; empty when the file has none).
struct FileOwnership {
    unsigned mode = 0;
    unsigned uid = 0, gid = 0;
    std::string accessList;
};
// The ownership of the file at path (links followed); false when it cannot be read.
bool FileOwnershipOf(const std::string& path, FileOwnership& out);

struct WriteOptions {
    WriteMode mode = WriteMode::Replace;
    // Flushes the file and its folder to disk before and after naming it.
    // Outputs that can be made again from their inputs may go without: the
    // flushes cost more than making a small file.
    bool flush = true;
    // Folders the caller's run has already swept; null sweeps the target's
    // folder at every write.
    StaleSweep* sweep = nullptr;
    // Replace: the ownership the new file gets instead of the replaced one's.
    const FileOwnership* ownership = nullptr;
    // Replace: the name is the program's own (a backup beside a file), not
    // one the user chose: whatever holds it, a link or a read-only file, is
    // replaced itself, never followed or refused.
    bool ownName = false;
    // Replace: the target's save lock (SaveLock.h), taken by a caller that
    // read the file to build on it: the save works under that lock instead
    // of taking its own, and replaces the file only while it is the one read
    // (SaveLock::Replace). Null: none.
    SaveLock* lock = nullptr;
};

// A file written in pieces: created by the constructor, written in order and
// at offsets already written, named by Commit. Destroyed without a Commit it
// leaves nothing. The first failure is kept; later calls then do nothing and
// return false.
class FileWriter {
public:
    explicit FileWriter(std::string target, const WriteOptions& options = {});
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    bool ok() const { return error_.ok(); }
    FileError error() const { return error_; }

    bool Write(std::span<const std::uint8_t> data);
    bool WriteAt(std::uint64_t at, std::span<const std::uint8_t> data);
    // Gives the file its ownership and, unless asked not to, flushes it to
    // disk; the target is not touched yet. Commit does it when not done; a
    // file flushed may wait, complete, for its Commit (a backup named only
    // once the save it belongs to has succeeded).
    bool Flush();
    // Names the file: renamed over the target or linked to a free name; or,
    // on the in-place road, writes its content into the target. A folder the
    // system fails to flush after that fails it: the name holds the new file,
    // but may not after a crash.
    bool Commit();

private:
    bool Fail(int err);
    bool Fail(FileError e);
    void Discard();
    void TakeExisting();
    void ChooseRoad();
    bool CommitInPlace();

    std::string target_, temp_;
    WriteOptions options_;
    FileOwnership ownership_;
    std::vector<FileAttribute> attributes_;  // the replaced file's, but its access list
    bool owned_ = false;  // ownership_ is given to the new file
    bool inPlace_ = false;  // the content goes into the target, not over it
    bool flushed_ = false;
    int fd_ = -1;
    int held_ = -1;  // the temporary's open file once flushed: its lock, and its bytes for an in-place write
    SaveLock ownLock_;  // the replaced file's, held while the save works
    SaveLock* lock_ = nullptr;  // ownLock_ or the caller's: the replaced file, open (and locked where it can be)
    FileError error_;
};

// The whole file at once.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data, FileError* error = nullptr,
                    const WriteOptions& options = {});

namespace testhooks {
// Steps of a write that a test may make fail as the system would.
enum class WriterStep : std::uint8_t { Flush, Close };
// Makes the calling thread's writers fail at step with the error number err
// (0: never again). A failing close still closes.
void FailWriterAt(WriterStep step, int err);
}  // namespace testhooks

// Writes all of data to fd from where it stands; the system's reason when it
// cannot (a write that makes no progress counts as a full disk).
FileError WriteAll(int fd, std::span<const std::uint8_t> data);
// The same at offset at, wherever fd stands.
FileError WriteAllAt(int fd, std::span<const std::uint8_t> data, std::uint64_t at);

}  // namespace velto
