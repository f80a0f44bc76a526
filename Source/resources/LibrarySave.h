#pragma once
// Saving a cursor library as the resource editor window does: a new library
// is built from the empty library in a temporary file beside its target and
// takes the target's name only when complete (an existing file there is never
// deleted first); an existing library is backed up to "<name>.bak" and then
// changed in one update, deletions first, so a failure leaves it exactly as
// it was. The backup is removed after a failure only when the library was
// checked to be unchanged.
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
