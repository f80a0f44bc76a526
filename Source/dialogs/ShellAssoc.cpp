#include "ShellAssoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <string>

#include "core/SysUtils.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"
#include "platform/IniFile.h"

namespace velto {

namespace {

constexpr const char* kEntrySection = "Desktop Entry";
constexpr const char* kDefaults = "Default Applications";
constexpr const char* kUndoSection = "UndoClass";
// What the first association made, taken away again with the last one.
constexpr const char* kCreatedSection = "Created";
constexpr const char* kCreatedFile = "File";
constexpr const char* kCreatedDefaults = "Defaults";

std::string Std(const QString& s) { return s.toStdString(); }

bool SaveText(const QString& path, const std::string& text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteWholeFile(Std(path), {bytes, text.size()});
}

// An INI-like file of ours or the user's; false when it exists but cannot be
// read, so that it is never rewritten from nothing.
bool LoadIni(const QString& path, IniFile& ini) {
    ini.SetLineBreak("\n");
    if (!QFileInfo::exists(path)) return true;
    return ini.LoadFromFile(Std(path));
}

bool SaveIni(const QString& path, const IniFile& ini) {
    return QDir().mkpath(QFileInfo(path).absolutePath()) && ini.SaveToFile(Std(path));
}

// The desktop entry as far as we use it.
struct Entry {
    bool exists = false;
    QString exec;
    QStringList mimeTypes;
};

QStringList SplitList(const QString& value) {
    QStringList out;
    for (const QString& part : value.split(';')) {
        const QString t = part.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

Entry ReadEntry(const TAssocPaths& paths) {
    Entry e;
    IniFile ini;
    const QString file = paths.DesktopFile();
    if (!QFileInfo(file).isFile() || !ini.LoadFromFile(Std(file))) return e;
    e.exists = true;
    e.exec = QString::fromStdString(ini.ReadString(kEntrySection, "Exec", ""));
    e.mimeTypes = SplitList(QString::fromStdString(ini.ReadString(kEntrySection, "MimeType", "")));
    return e;
}

// Tells the desktop that handlers changed: a cache of entries by type that
// the folder already holds is rebuilt, or it would go on naming what is gone
// (none is made where there was none: desktops read the entries themselves).
// The tool takes milliseconds; it is waited for so that nothing writes into
// the folder after we return.
void NotifyDesktop(const TAssocPaths& paths) {
    if (!QFileInfo(paths.applications + QStringLiteral("/mimeinfo.cache")).isFile()) return;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty()) return;
    QProcess process;
    process.start(tool, {QStringLiteral("-q"), paths.applications});
    if (!process.waitForFinished(5000)) process.kill();
    process.waitForFinished(1000);
}

// The types the entry always takes on: those of the installed entry it stands
// in for (the user's entry of the same name hides the installed one).
const char* const kOwnTypes[] = {"image/x-win-bitmap", "application/x-navi-animation", "image/vnd.microsoft.icon"};

// Writes the entry with the given command; openWith adds the type of every
// file. False when it could not be written.
bool WriteEntry(const TAssocPaths& paths, const QString& exec, bool openWith) {
    QStringList types;
    if (openWith) types << QLatin1String(kOpenWithMime);
    for (const char* t : kOwnTypes) types << QLatin1String(t);
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Velto\n"
                       "GenericName=Cursor Editor\n"
                       "Comment=Create and edit mouse cursors and icons\n";
    text += "Exec=" + Std(exec) + "\n";
    text += "Terminal=false\n"
            "Categories=Graphics;2DGraphics;RasterGraphics;\n";
    text += "MimeType=" + Std(types.join(';')) + ";\n";
    return SaveText(paths.DesktopFile(), text);
}

bool OffersOpenWith(const Entry& e) { return e.exists && e.mimeTypes.contains(QLatin1String(kOpenWithMime)); }

QString FirstHandler(const IniFile& mimeApps, const QString& mime) {
    const QStringList ids = SplitList(QString::fromStdString(mimeApps.ReadString(kDefaults, Std(mime), "")));
    return ids.isEmpty() ? QString() : ids.first();
}

// The folder a file would go into can be made and written (checked on the
// nearest folder that exists; nothing is created).
bool CanWriteInto(const QString& file) {
    const QFileInfo info(file);
    if (info.exists()) return info.isFile() && info.isWritable();
    QString dir = info.absolutePath();
    while (!QFileInfo::exists(dir)) {
        const QString up = QFileInfo(dir).absolutePath();
        if (up == dir) return false;
        dir = up;
    }
    const QFileInfo d(dir);
    return d.isDir() && d.isWritable();
}

}  // namespace

TAssocPaths TAssocPaths::Default() {
    TAssocPaths p;
    const QString data = QString::fromStdString(GetUserDataFolder());
    const QString config = QString::fromStdString(GetAppDataFolder());
    const QString settings = QString::fromStdString(GetSettingsFolder());
    if (!data.isEmpty()) p.applications = data + QStringLiteral("/applications");
    if (!config.isEmpty()) p.mimeApps = config + QStringLiteral("/mimeapps.list");
    if (!settings.isEmpty()) p.undoFile = settings + QStringLiteral("/associations.cfg");
    return p;
}

QString TAssocPaths::DesktopFile() const {
    return applications.isEmpty() ? QString() : applications + '/' + QLatin1String(kDesktopId);
}

QString AssocMimeType(int kind) {
    return kind == akAnimated ? QStringLiteral("application/x-navi-animation") : QStringLiteral("image/x-win-bitmap");
}

QString AssocCommandLine(const QString& programPath) {
    QString quoted;
    for (const QChar c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return '"' + quoted + QStringLiteral("\" %F");
}

QString DesktopExecValue(const QString& programPath) {
    QString out;
    for (const QChar c : AssocCommandLine(programPath)) {
        if (c == '\\') out += QStringLiteral("\\\\");
        else if (c == '\n') out += QStringLiteral("\\n");
        else if (c == '\t') out += QStringLiteral("\\t");
        else if (c == '\r') out += QStringLiteral("\\r");
        else out += c;
    }
    return out;
}

bool CanWriteClassesRoot(const TAssocPaths& paths) {
    if (paths.applications.isEmpty() || paths.mimeApps.isEmpty() || paths.undoFile.isEmpty()) return false;
    return CanWriteInto(paths.DesktopFile()) && CanWriteInto(paths.mimeApps) && CanWriteInto(paths.undoFile);
}

bool IsOpenWithRegistered(const QString& programPath, const TAssocPaths& paths) {
    const Entry e = ReadEntry(paths);
    return OffersOpenWith(e) && e.exec == DesktopExecValue(programPath);
}

void RegisterOpenWith(const QString& programPath, const TAssocPaths& paths) {
    if (paths.applications.isEmpty()) return;
    if (WriteEntry(paths, DesktopExecValue(programPath), true)) NotifyDesktop(paths);
}

void UnregisterOpenWith(const TAssocPaths& paths) {
    const Entry e = ReadEntry(paths);
    if (!OffersOpenWith(e)) return;
    // The entry stays while a cursor type still names it.
    const bool named = IsFileTypeAssociated(akCursor, paths) || IsFileTypeAssociated(akAnimated, paths);
    if (named ? WriteEntry(paths, e.exec, false) : QFile::remove(paths.DesktopFile())) NotifyDesktop(paths);
}

void SetOpenWith(const QString& programPath, bool enable, const TAssocPaths& paths) {
    if (enable) RegisterOpenWith(programPath, paths);
    else UnregisterOpenWith(paths);
}

bool IsFileTypeAssociated(int kind, const TAssocPaths& paths) {
    IniFile mimeApps;
    if (paths.mimeApps.isEmpty() || !QFileInfo(paths.mimeApps).isFile() || !mimeApps.LoadFromFile(Std(paths.mimeApps)))
        return false;
    return FirstHandler(mimeApps, AssocMimeType(kind)) == QLatin1String(kDesktopId);
}

void AssociateFileType(int kind, const QString& programPath, const TAssocPaths& paths) {
    if (paths.applications.isEmpty() || paths.mimeApps.isEmpty() || paths.undoFile.isEmpty()) return;
    const QString mime = AssocMimeType(kind);
    IniFile mimeApps, undo;
    if (!LoadIni(paths.mimeApps, mimeApps) || !LoadIni(paths.undoFile, undo)) return;
    // The handler before ours is kept once: associating again keeps the first.
    const std::string old = mimeApps.ReadString(kDefaults, Std(mime), "");
    bool undoChanged = false;
    if (!old.empty() && FirstHandler(mimeApps, mime) != QLatin1String(kDesktopId)) {
        undo.WriteString(kUndoSection, Std(mime), old);
        undoChanged = true;
    }
    // The first association notes what it makes of the user's file, so that
    // the last one undone takes it away again.
    if (!IsFileTypeAssociated(akCursor, paths) && !IsFileTypeAssociated(akAnimated, paths)) {
        undo.EraseSection(kCreatedSection);
        if (!QFileInfo::exists(paths.mimeApps)) undo.WriteBool(kCreatedSection, kCreatedFile, true);
        if (!mimeApps.SectionExists(kDefaults)) undo.WriteBool(kCreatedSection, kCreatedDefaults, true);
        undoChanged = true;
    }
    if (undoChanged && !SaveIni(paths.undoFile, undo)) return;
    // The entry first: the default never names an entry that is not there.
    if (!WriteEntry(paths, DesktopExecValue(programPath), OffersOpenWith(ReadEntry(paths)))) return;
    mimeApps.WriteString(kDefaults, Std(mime), std::string(kDesktopId) + ";");
    SaveIni(paths.mimeApps, mimeApps);
    NotifyDesktop(paths);
}

void RestoreFileType(int kind, const TAssocPaths& paths) {
    if (!IsFileTypeAssociated(kind, paths)) return;
    const QString mime = AssocMimeType(kind);
    IniFile mimeApps, undo;
    if (!LoadIni(paths.mimeApps, mimeApps)) return;
    const bool undoRead = LoadIni(paths.undoFile, undo);
    // The handler kept goes back; without one (or an empty one) the type is
    // left to the system's choice rather than to an entry about to go.
    const std::string previous = undoRead ? undo.ReadString(kUndoSection, Std(mime), "") : std::string();
    if (!previous.empty()) mimeApps.WriteString(kDefaults, Std(mime), previous);
    else mimeApps.DeleteKey(kDefaults, Std(mime));
    const bool last = !IsFileTypeAssociated(kind == akCursor ? akAnimated : akCursor, paths);
    // The last association undone takes away what the first one made.
    const bool madeDefaults = undoRead && undo.ReadBool(kCreatedSection, kCreatedDefaults, false);
    const bool madeFile = undoRead && undo.ReadBool(kCreatedSection, kCreatedFile, false);
    if (last && madeDefaults && !mimeApps.SectionExists(kDefaults)) mimeApps.EraseSection(kDefaults);
    const bool empty = mimeApps.ToText().find_first_not_of(" \t\r\n") == std::string::npos;
    if (last && madeFile && empty) {
        if (!QFile::remove(paths.mimeApps)) return;
    } else if (!SaveIni(paths.mimeApps, mimeApps)) {
        return;
    }
    if (undoRead) {
        undo.DeleteKey(kUndoSection, Std(mime));
        if (last) undo.EraseSection(kCreatedSection);
        if (undo.ReadSection(kUndoSection).empty() && undo.ReadSection(kCreatedSection).empty())
            QFile::remove(paths.undoFile);
        else SaveIni(paths.undoFile, undo);
    }
    // The entry goes once nothing names or offers it; the other kind keeps
    // its association.
    const Entry e = ReadEntry(paths);
    if (e.exists && !OffersOpenWith(e) && last) QFile::remove(paths.DesktopFile());
    NotifyDesktop(paths);
}

void SetFileTypeAssociation(int kind, const QString& programPath, bool enable, const TAssocPaths& paths) {
    if (enable) AssociateFileType(kind, programPath, paths);
    else RestoreFileType(kind, paths);
}

}  // namespace velto
