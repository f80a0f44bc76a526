#pragma once
// Saving a cursor library as the resource editor window does: a new library
// is built from the empty library in a temporary file beside its target and
// takes the target's name only when complete (an existing file there is never
// deleted first); an existing library is changed in one update, deletions
// first, so a failure leaves it exactly as it was. Its backup, "<name>.bak",
// holds the bytes the update started from and replaces the previous one (or
// whatever holds that name, a link too) only once the update has succeeded.
#include <functional>
#include <string>
#include <vector>

#include "resources/CursorGroups.h"

namespace velto {

struct TLibrarySave {
    std::string FileName;
    bool Untitled = false;                 // a new library: no file yet
    std::vector<TDeleteEntry> Deletions;   // groups read from the file, to delete
    std::vector<TStoreEntry> Stores;       // cursor files to store, in order
    std::function<void()> Progress;        // once per deletion and per store
};

// True when the library was saved. False, with the engine's last error and
// its reason, when it was not; the file is then as it was before.
bool SaveLibrary(const TLibrarySave& save);

// "<fileName>.bak".
std::string BackupName(const std::string& fileName);

}  // namespace velto
