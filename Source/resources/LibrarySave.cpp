#include "resources/LibrarySave.h"

#include <unistd.h>

#include "platform/FileWriter.h"
#include "platform/PreviousCopy.h"
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
    // The update reads the library to build on it: what a killed save of it
    // left goes back first, and another user's such copy stops the save.
    UnfinishedSave unfinished;
    if (const FileError e = RecoverUnfinishedSave(save.FileName, unfinished); !e.ok()) {
        SetLastError(ErrorOfUnreadFile(e), e);
        return result;
    }
    if (unfinished.found == UnfinishedSave::Found::Others) {
        SetLastError(kErrorAccessDenied, OthersCopyError(unfinished));
        return result;
    }
    result.UndidUnfinishedSave = unfinished.found == UnfinishedSave::Found::Undone;
    TResourceEditor editor(save.FileName);
    editor.ProgressBar = save.Progress;
    // The update reads the library once; the backup is made of the same bytes.
    if (!editor.Open()) return result;
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
