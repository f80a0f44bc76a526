#include "resources/LibrarySave.h"

#include <unistd.h>

#include "platform/FileWriter.h"
#include "resources/EmptyLibrary.h"
#include "resources/ResName.h"

namespace velto {

std::string BackupName(const std::string& fileName) { return fileName + ".bak"; }

TLibrarySaveResult SaveLibrary(const TLibrarySave& save) {
    TLibrarySaveResult result;
    if (save.Untitled) {
        const std::vector<std::uint8_t> empty = MakeEmptyLibrary();
        // A new library holds only what is stored; there is nothing to delete.
        if (SaveNewLibrary(empty, save.FileName, save.Stores, save.Progress)) result.Outcome = TSaveOutcome::Saved;
        return result;
    }
    TResourceEditor editor(save.FileName);
    editor.ProgressBar = save.Progress;
    // The update reads the library once; the backup is made of the same bytes.
    // (It puts back what a killed save of the library left before reading it.)
    if (!editor.Open()) return result;
    result.UndidUnfinishedSave = editor.Handle->UndidUnfinishedSave;
    // The backup is a convenience for the user: the update itself never
    // leaves the library half-changed, so a backup that cannot be written
    // does not stop the save, which then says why it is missing. It is
    // written only once the library is saved, from the bytes kept here: a
    // failed save leaves the previous backup, and the backup never takes the
    // room the update needs (by then the replaced library's room is free
    // again, unless a program holds it open). The copy is as private as the
    // library; the name is ours, so a link there is replaced, not written
    // through.
    const std::vector<std::uint8_t> before = editor.Handle->View;
    FileOwnership library;
    if (!FileOwnershipOf(save.FileName, library)) library = {0600, ::getuid(), ::getgid(), {}};
    if (!editor.SaveChanges(save.Deletions, save.Stores)) {
        TLastError why = GetLastErrorState();
        if (why.Code == kErrorSuccess) why.Code = kErrorAccessDenied;
        SetLastError(why);
        return result;
    }
    WriteOptions options;
    options.ownership = &library;
    options.ownName = true;
    FileWriter backup(BackupName(save.FileName), options);
    if (backup.Write(before) && backup.Commit()) {
        result.Outcome = TSaveOutcome::Saved;
    } else {
        result.Outcome = TSaveOutcome::SavedWithoutBackup;
        result.BackupError = backup.error();
    }
    return result;
}

}  // namespace velto
