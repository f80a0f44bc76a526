#include "resources/LibrarySave.h"

#include <unistd.h>

#include "platform/FileWriter.h"
#include "resources/EmptyLibrary.h"
#include "resources/ResName.h"

namespace velto {

std::string BackupName(const std::string& fileName) { return fileName + ".bak"; }

bool SaveLibrary(const TLibrarySave& save) {
    if (save.Untitled) {
        const std::vector<std::uint8_t> empty = MakeEmptyLibrary();
        // A new library holds only what is stored; there is nothing to delete.
        return SaveNewLibrary(empty, save.FileName, save.Stores, save.Progress);
    }
    TResourceEditor editor(save.FileName);
    editor.ProgressBar = save.Progress;
    // The update reads the library once; the backup is made of the same bytes.
    if (!editor.Open()) return false;
    // The backup is a convenience for the user: the update itself never
    // leaves the library half-changed, so a backup that cannot be written
    // (a full disk) does not stop the save; the update then meets the same
    // trouble and says why. The copy is as private as the library. It waits
    // complete beside the library and takes its name only once the library
    // is saved, so that a failed save leaves the previous backup; the name is
    // ours, so a link there is replaced, not written through.
    FileOwnership library;
    if (!FileOwnershipOf(save.FileName, library)) library = {0600, ::getuid(), ::getgid(), {}};
    WriteOptions options;
    options.ownership = &library;
    options.ownName = true;
    FileWriter backup(BackupName(save.FileName), options);
    if (backup.Write(editor.Handle->View)) backup.Flush();
    if (!editor.SaveChanges(save.Deletions, save.Stores)) {
        TLastError why = GetLastErrorState();
        if (why.Code == kErrorSuccess) why.Code = kErrorAccessDenied;
        SetLastError(why);
        return false;
    }
    backup.Commit();
    return true;
}

}  // namespace velto
