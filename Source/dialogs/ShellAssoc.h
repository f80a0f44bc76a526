#pragma once
// The program as the desktop's handler of cursor files, and as an "Open with"
// choice for every file, for the current user only (freedesktop.org rules):
//
//   <data home>/applications/velto.desktop   the program's desktop entry with
//       this program's command line, for the types it opens (and for
//       application/octet-stream while it is offered for every file); while
//       it exists it stands in for an installed entry of the same name
//   <config home>/mimeapps.list              [Default Applications]: the cursor
//       types name "velto.desktop" while associated
//   <settings>/associations.cfg              the handler each cursor type had
//       before, given back when the association is undone
//
// Everything is done only when the preferences ask for it and undone the same
// way: once no type names the entry and it is not offered for every file, it
// is removed.
// Failures are silent (a folder that cannot be written skips the write); the
// preferences find out through CanWriteClassesRoot and the read-back routines.
#include <QString>
#include <QStringList>

namespace velto {

// Where the files live; Default() follows XDG_DATA_HOME and XDG_CONFIG_HOME.
struct TAssocPaths {
    QString applications;  // folder of desktop entries
    QString mimeApps;      // the user's mimeapps.list
    QString undoFile;      // the handlers kept for restoring

    static TAssocPaths Default();
    QString DesktopFile() const;
};

// Kinds of file: 0 ".cur", 1 ".ani".
enum TAssocKind : int { akCursor = 0, akAnimated = 1 };

inline constexpr const char* kDesktopId = "velto.desktop";
inline constexpr const char* kOpenWithMime = "application/octet-stream";
// The MIME type of a kind (shared-mime-info's names for the two extensions).
QString AssocMimeType(int kind);

// The command line of the desktop entry for the program at path: the path in
// double quotes (with the characters the entry's rules reserve escaped) and
// the field for the files, "%F".
QString AssocCommandLine(const QString& programPath);
// The Exec value as stored in the entry (backslashes doubled, "%" doubled
// inside the path).
QString DesktopExecValue(const QString& programPath);

// Whether the user's folders for entries and defaults can be written.
bool CanWriteClassesRoot(const TAssocPaths& paths = TAssocPaths::Default());

// The entry offers the program for every file with exactly this program's
// command line (false after the program was moved).
bool IsOpenWithRegistered(const QString& programPath, const TAssocPaths& paths = TAssocPaths::Default());
void RegisterOpenWith(const QString& programPath, const TAssocPaths& paths = TAssocPaths::Default());
void UnregisterOpenWith(const TAssocPaths& paths = TAssocPaths::Default());
void SetOpenWith(const QString& programPath, bool enable, const TAssocPaths& paths = TAssocPaths::Default());

// The user's default handler of the kind's type is this program's entry.
bool IsFileTypeAssociated(int kind, const TAssocPaths& paths = TAssocPaths::Default());
// Keeps the current default handler (unless it is ours already), makes ours
// the default and has the entry take on the type.
void AssociateFileType(int kind, const QString& programPath, const TAssocPaths& paths = TAssocPaths::Default());
// When associated: gives the type back to the handler kept (or to the
// system's choice when none was kept) and drops it from the entry.
void RestoreFileType(int kind, const TAssocPaths& paths = TAssocPaths::Default());
void SetFileTypeAssociation(int kind, const QString& programPath, bool enable,
                            const TAssocPaths& paths = TAssocPaths::Default());

}  // namespace velto
