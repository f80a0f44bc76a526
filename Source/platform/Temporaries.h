#pragma once
// Temporary files of a save: the new file is built beside its target under a
// hidden name that carries the machine and the saving process's id,
// "<folder>/.<name>.velto-<machine>-<pid, 8 hex digits>-<6 characters>", so
// that what a killed save left behind (its process is gone) can be told from
// the file of a save still running, and removed by the next save into that
// folder. A folder shared by several machines (a network home) also holds
// the temporaries of saves running elsewhere, whose process ids say nothing
// here: only this machine's are ever removed. Neither a process id nor a
// host name is certain (sandboxes of one host name, each with its own process
// ids, share folders), so a save holds a lock on its temporary for as long as
// it works on it, and a temporary is removed only by whoever can take that
// lock: the system drops it with the save's last descriptor of the file,
// however the process ends.
// Where the file system keeps no such locks, this machine's process ids
// decide alone.
//
// A save that writes a file in place first puts the file's old bytes in a
// copy beside it (see PreviousCopy.h): a sweep removes only its maker's
// copies of files no longer in the folder.
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace velto {

// The folder part of a path ("." for a bare name, "/" for the root).
std::string FolderOf(const std::string& path);

// A host name as temporary names carry it: letters, digits and "-" as they
// are, any other byte as "_" and two hex digits, at most 32 characters (a
// longer one keeps its start and a hash of the whole); never empty.
std::string MachineTag(std::string_view hostName);
// This machine's tag, from its current host name.
std::string ThisMachineTag();

// Flushes the folder's names to disk: 0, or the system's reason why a name
// given in it may not last. A folder this process may not read cannot be
// flushed, and a file system that cannot flush folders says EINVAL: neither
// is a failure of the disk.
int SyncFolder(const std::string& folder);

// Creates a new temporary file beside target (O_EXCL, never following a
// link) with the given permission bits (the umask applies), held by the lock
// of a save (see HoldForSave) as long as a descriptor of it stays open; the
// open descriptor (read and write) with its name in path, or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, unsigned mode, std::string& path);

// Names a complete temporary without replacing anything: 0, or the system's
// reason (EEXIST: the name is taken). File systems without the no-replace
// rename take a hard link, which fails on a taken name too.
int LinkToFreeName(const std::string& temp, const std::string& target);

// Takes the lock that marks a file as in use by a save: a write lock on the
// whole file that belongs to the open file, not the process (it conflicts
// with every other open of the file, in this process too), without waiting
// (a wait is the caller's, bounded: SaveLock.h); 0, EAGAIN when a save holds
// it, or the system's error number where the file system keeps no such locks.
int HoldForSave(int fd);
// Calls each(name, inode) for every name in the folder open as dir (the
// descriptor stays open and usable).
void EachName(int dir, const std::function<void(const char* name, std::uint64_t inode)>& each);
// Whether no save holds a leftover, open for writing as fd, that the process
// pid of this machine made (0: none known here): its lock is free (and now
// held through fd) or, where the file system keeps no locks, that process has
// ended. The one rule for removing or trusting what a save left.
bool NoSaveHolds(int fd, unsigned long pid);
// Whether the name in folder dir (AT_FDCWD: the name is a path) is the open file fd.
bool StillNamed(int dir, const char* name, int fd);

// What a name tells of the save that made it.
struct TemporaryOrigin {
    unsigned long pid = 0;     // 0: not a temporary name of this program
    std::string_view machine;  // its tag; empty in the names of earlier versions, which carry none
};
TemporaryOrigin OriginOfTemporary(std::string_view name);

// The id of the process of this machine that a temporary name carries, or 0.
unsigned long TemporaryOwner(std::string_view name);

// Removes, in folder, the temporaries of saves that no longer run: this
// machine's whose process id runs no process here and whose lock no save
// holds. One in the form of earlier versions may come from any machine: it
// goes only when no process of its id runs here and it has not changed for a
// day, far longer than any save takes. Files of other users, links and
// folders stay.
void RemoveStaleFiles(const std::string& folder);
// The same for names ownerOf reads as carrying the id of a process of this
// machine (0: none), removed as soon as that process has ended (and no save
// holds them).
void RemoveStaleFiles(const std::string& folder, const std::function<unsigned long(std::string_view)>& ownerOf);

// Stale temporaries removed once per folder: a run writing thousands of files
// into one folder looks at it once, not once a file. Safe across threads.
class StaleSweep {
public:
    void Folder(const std::string& folder);

private:
    std::mutex mutex_;
    std::set<std::string> done_;
};

}  // namespace velto
