#pragma once
// Saving a cursor library as the resource editor window does: a new library
// is built from the empty library in a temporary file beside its target and
// takes the target's name only when complete (an existing file there is never
// deleted first); an existing library is changed in one update, deletions
// first, so a failure leaves it exactly as it was. Its backup, "<name>.bak",
// holds the bytes the update started from and replaces the previous one (or
// whatever holds that name, a link too) only once the update has succeeded.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileIO.h"
#include "resources/CursorGroups.h"

namespace velto {

struct TLibrarySave {
    std::string FileName;
    bool Untitled = false;                 // a new library: no file yet
    std::vector<TDeleteEntry> Deletions;   // groups read from the file, to delete
    std::vector<TStoreEntry> Stores;       // cursor files to store, in order
    std::function<void()> Progress;        // once per deletion and per store
};

enum class TSaveOutcome : std::uint8_t {
    Failed,              // the library is as it was; the engine's last error says why
    Saved,               // with its backup, when it had one to make
    SavedWithoutBackup,  // the library is saved; its backup could not be written
};

struct TLibrarySaveResult {
    TSaveOutcome Outcome = TSaveOutcome::Failed;
    FileError BackupError;  // SavedWithoutBackup: why
    // A killed save's copy of the library was put back before the update read it.
    bool UndidUnfinishedSave = false;
    // True when the library was saved, with or without its backup.
    explicit operator bool() const { return Outcome != TSaveOutcome::Failed; }
};

// Saves the library. What a killed save left goes back into the library
// before it is read; a copy of another user's that may hold its earlier
// content fails the save, naming it and its owner. A backup that cannot be
// written does not stop the save: the library is saved and the result says
// why its backup is missing.
TLibrarySaveResult SaveLibrary(const TLibrarySave& save);

// "<fileName>.bak".
std::string BackupName(const std::string& fileName);

}  // namespace velto
