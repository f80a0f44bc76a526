#include "resources/LibrarySave.h"

#include <unistd.h>

#include "platform/FileIO.h"
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
    std::vector<std::uint8_t> before;
    FileError readError;
    if (!ReadWholeFile(save.FileName, before, ReadLimits{}.executableSize, &readError)) {
        SetLastError(ErrorOfUnreadFile(readError), readError);
        return false;
    }
    // The backup is a convenience for the user: the update itself never
    // leaves the library half-changed, so a backup that cannot be written
    // (a full disk) does not stop the save; the update then meets the same
    // trouble and says why. The copy is as private as the library.
    const std::string bak = BackupName(save.FileName);
    FileOwnership library;
    WriteOptions backup;
    if (FileOwnershipOf(save.FileName, library)) backup.ownership = &library;
    const bool backedUp = WriteWholeFile(bak, before, nullptr, backup);
    TResourceEditor editor(save.FileName);
    editor.ProgressBar = save.Progress;
    if (editor.SaveChanges(save.Deletions, save.Stores)) return true;
    TLastError why = GetLastErrorState();
    if (why.Code == kErrorSuccess) why.Code = kErrorAccessDenied;
    std::vector<std::uint8_t> after;
    if (backedUp && ReadWholeFile(save.FileName, after, ReadLimits{}.executableSize) && after == before)
        ::unlink(bak.c_str());
    SetLastError(why);
    return false;
}

}  // namespace velto
