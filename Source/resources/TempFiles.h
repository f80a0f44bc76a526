#pragma once
// Temporary files of a save: the new file is built beside its target under a
// hidden name that carries the saving process's id, so that what a killed
// save left behind (its process is gone) can be told from the file of a save
// still running, and removed at the next save into that folder. Parked
// resource data in the temporary folder carries the process id the same way.
#include <cstdint>
#include <span>
#include <string>

#include "platform/FileIO.h"

namespace velto {

// Creates "<folder>/.<name>.velto-<pid, 8 hex digits>-XXXXXX" exclusively
// with mode 0600 for target "<folder>/<name>"; the open descriptor, or -1
// with errno set. path receives the name.
int CreateSiblingTemp(const std::string& target, std::string& path);

// Writes data to path through a sibling temporary file that is flushed and
// renamed over it; false with the reason when any step fails (path is then
// as it was).
bool SaveFileBeside(const std::string& path, std::span<const std::uint8_t> data, FileError* error);

// The folder part of a path ("." for a bare name, "/" for the root).
std::string FolderOf(const std::string& path);

// Removes, in folder, the hidden save files of processes that no longer
// exist, and in the temporary folder the parked data of such processes.
// Files of other users or of running processes stay.
void RemoveStaleSaveFiles(const std::string& folder);

// The process id a temporary name of this program carries, or 0.
unsigned long SaveFileOwner(const std::string& name);

}  // namespace velto
