#include "FileDialogs.h"

#include "MainWindowText.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QVariant>

namespace velto {

namespace {

struct DialogFilter {
    const char* dialog;
    std::span<const FilterEntry> entries;
};

constexpr FilterEntry kSaveImage[] = {
    {"msgBmp", "Bitmap", " (*.bmp)|*.bmp|"},
    {"msgJpg", "Jpg Image", " (*.jpg)|*.jpg|"},
    {"msgPng", "Portable Network Graphic", " (*.png)|*.png|"},
    {"msgGif", "Graphics Interchange Format", " (*.gif)|*.gif|"},
    {"msgJpg2000", "Jpeg2000 Image", " (*.jp2)|*.jp2|"},
    {"msgIco", "Windows Icon", " (*.ico)|*.ico|"},
    {"msgmsgIcns", "Macintosh Icon", " (*.icns)|*.icns"},
};
constexpr FilterEntry kOpenIcon[] = {
    {"msgAllCursor", "All Supported Cursors", " (*.cur;*.ani)|*.cur;*.ani|"},
    {"msgAllIcons", "All Supported Icons", " (*.ico;*.icns)|*.ico;*.icns|"},
    {"msgImages", "Images",
     " (*.bmp;*.jpg;*.png;*.gif;*.cur;*.jp2;*.j2k)|*.bmp;*.jpg;*.png;*.gif;*.cur;*.jp2;*.j2k|"},
    {"msgBinary", "Windows Binary", " (*.exe;*.dll;*.ocx;*.cul)|*.exe;*.dll;*.ocx;*.cul"},
};
constexpr FilterEntry kOpenImage[] = {
    {"msgBmp", "Bitmap", " (*.bmp)|*.bmp|"},
    {"msgJpg", "Jpg Image", " (*.jpg, *.jpeg)|*.jpg;*.jpeg|"},
    {"msgPng", "Portable Network Graphic", " (*.png)|*.png|"},
    {"msgGif", "Graphics Interchange Format", " (*.gif)|*.gif|"},
    {"msgCur", "Windows Cursor", " (*.cur)|*.cur|"},
    {"msgJpg2000", "Jpeg2000 Image", " (*.jp2;*.j2k)|*.jp2;*.j2k|"},
    {"msgAni", "Animated cursor file", " (*.ani)|*.ani|"},
    {"msgAllFormats", "All Formats",
     " (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ani)|*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ani"},
};
constexpr FilterEntry kExtractIcon[] = {
    {"msgAll", "All Files", " (*.*)|*.*|"},
    {"msgBinary", "Windows Binary", " (*.exe;*.dll;*.ocx;*.icl)|*.exe;*.dll;*.ocx;*.icl|"},
    {"msgMacBinary", "Macintosh Binary", " (*.bin;*.rsc;*.rsrc;._*)|*.bin;*.rsc;*.rsrc;._*|"},
    {"msgExe", "Executable", " (*.exe)|*.exe|"},
    {"msgDll", "Dynamic Link Library", " (*.dll)|*.dll|"},
    {"msgOcx", "OCX Files", " (*.ocx)|*.ocx|"},
    {"msgIcl", "Icon Library", " (*.icl)|*.icl|"},
    {"msgBin", "MacBin files", " (*.bin)|*.bin|"},
    {"msgApple", "AppleSingle or AppleDouble files", " (._*)|._*|"},
    {"msgRes", "Macintosh Resource Fork", " (*.rsc;*.rsrc)|*.rsc;*.rsrc"},
};
constexpr FilterEntry kLoadPal[] = {
    {"msgPal", "Microsoft Palette File", " (*.pal)|*.pal|"},
    {"msgAct", "Adobe Color Table", " (*.act)|*.act|"},
    {"msgAllPal", "All supported palette files", " (*.pal;*.act)|*.pal;*.act"},
};
constexpr FilterEntry kSavePal[] = {
    {"msgPal", "Microsoft Palette File", " (*.pal)|*.pal|"},
    {"msgAct", "Adobe Color Table", " (*.act)|*.act"},
};
constexpr FilterEntry kResSave[] = {{"msgCul", "Cursor Library", " (*.cul)|*.cul"}};
constexpr FilterEntry kResAdd[] = {{"msgCur", "Windows Cursor", " (*.cur)|*.cur"}};
constexpr FilterEntry kResOpen[] = {
    {"msgBinary", "Windows Binary", " (*.exe;*.dll;*.ocx;*.cul)|*.exe;*.dll;*.ocx;*.cul|"},
    {"msgExe", "Executable", " (*.exe)|*.exe|"},
    {"msgDll", "Dynamic Link Library", " (*.dll)|*.dll|"},
    {"msgOcx", "OCX Files", " (*.ocx)|*.ocx|"},
    {"msgCul", "Cursor Library", " (*.cul)|*.cul"},
};
constexpr FilterEntry kSnapshotSave[] = {
    {"msgBmp", "Bitmap", " (*.bmp)|*.bmp|"},
    {"msgJpg", "Jpg Image", " (*.jpg)|*.jpg|"},
    {"msgPng", "Portable Network Graphic", " (*.png)|*.png|"},
    {"msgJpg2000", "Jpeg2000 Image", " (*.jp2)|*.jp2"},
};

constexpr DialogFilter kDialogs[] = {
    {"frmMain.dlgSaveImage", kSaveImage},         {"frmMain.dlgOpenIcon", kOpenIcon},
    {"frmMain.dlgOpenImage", kOpenImage},         {"frmMain.dlgExtractIcon", kExtractIcon},
    {"frmColors.dlgLoadPal", kLoadPal},           {"frmColors.dlgSavePal", kSavePal},
    {"frmResourceEditor.dlgSave", kResSave},      {"frmResourceEditor.dlgAdd", kResAdd},
    {"frmResourceEditor.dlgOpen", kResOpen},      {"frmSnapshot.dlgSave", kSnapshotSave},
};

}  // namespace

QString JoinFilter(std::span<const FilterEntry> entries) {
    QString out;
    for (const FilterEntry& e : entries) out += Msg(e.key, e.text) + QString::fromLatin1(e.tail);
    return out;
}

QString FileDialogFilter(const QString& dialog) {
    for (const DialogFilter& d : kDialogs)
        if (dialog == QLatin1String(d.dialog)) return JoinFilter(d.entries);
    return QString();
}

QStringList FileDialogNames() {
    QStringList out;
    for (const DialogFilter& d : kDialogs) out << QString::fromLatin1(d.dialog);
    return out;
}

QString SaveIconFilter(bool animated) {
    static constexpr FilterEntry kAni[] = {{"msgAni", "Animated cursor file", " (*.ani)|*.ani"}};
    static constexpr FilterEntry kCur[] = {{"msgCur", "Windows Cursor", " (*.cur)|*.cur"}};
    return animated ? JoinFilter(kAni) : JoinFilter(kCur);
}

QStringList QtNameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        // The description shows its patterns in parentheses; the dialog reads
        // them from there, separated by blanks.
        const int paren = desc.lastIndexOf(QLatin1String(" ("));
        if (paren >= 0 && desc.endsWith(')')) desc.truncate(paren);
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) p = p.trimmed();
        out << desc + " (" + patterns.join(' ') + ")";
    }
    return out;
}

TFileDialogSpec::TFileDialogSpec(QObject* owner, const QString& name, const QString& title) : QObject(owner) {
    setObjectName(name);
    setProperty("Title", title);
}

QString TFileDialogSpec::Title() const { return property("Title").toString(); }

QString WithDefaultSuffix(const QString& name, const QString& ext) {
    if (name.isEmpty() || ext.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
    return name + '.' + ext;
}

bool RunFileDialog(TFileDialogSpec& spec, QStringList& files) {
    QFileDialog dlg(QApplication::activeWindow(), spec.Title());
    dlg.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(spec.save ? QFileDialog::AnyFile
                              : (spec.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = QtNameFilters(spec.filter);
    dlg.setNameFilters(filters);
    if (spec.filterIndex >= 1 && spec.filterIndex <= filters.size()) dlg.selectNameFilter(filters[spec.filterIndex - 1]);
    if (!spec.defaultExt.isEmpty()) dlg.setDefaultSuffix(spec.defaultExt);
    if (!spec.fileName.isEmpty()) dlg.selectFile(spec.fileName);
    if (dlg.exec() != QDialog::Accepted) return false;
    files = dlg.selectedFiles();
    const int chosen = static_cast<int>(filters.indexOf(dlg.selectedNameFilter()));
    if (chosen >= 0) spec.filterIndex = chosen + 1;
    return !files.isEmpty();
}

}  // namespace velto
