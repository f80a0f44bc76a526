#pragma once
// Temporary files of a save: the new file is built beside its target under a
// hidden name that carries the saving process's id,
// "<folder>/.<name>.velto-<pid, 8 hex digits>-<6 characters>", so that what a
// killed save left behind (its process is gone) can be told from the file of
// a save still running, and removed by the next save into that folder.
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace velto {

// The folder part of a path ("." for a bare name, "/" for the root).
std::string FolderOf(const std::string& path);

// Creates a new temporary file beside target (O_EXCL, never following a
// link) with the given permission bits (the umask applies); the open
// descriptor with its name in path, or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, unsigned mode, std::string& path);

// The process id a temporary name of this program carries, or 0.
unsigned long TemporaryOwner(std::string_view name);

// Removes, in folder, the regular files whose name ownerOf reads as carrying
// the id of a process that no longer runs. Files of other users, of running
// processes, links and folders stay.
void RemoveStaleFiles(const std::string& folder,
                      const std::function<unsigned long(std::string_view)>& ownerOf = TemporaryOwner);

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
