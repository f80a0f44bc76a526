#pragma once
// The program's file dialogs: their filters (descriptions from the language
// file), what each dialog asks, and the one place that shows them.
//
// A filter is kept in its stored form, pairs of a description and its
// patterns separated by "|" ("Windows Cursor (*.cur)|*.cur"); the file dialog
// takes its Qt form, one "Description (*.a *.b)" per pair.
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

class QWidget;

namespace velto {

// The filter of one of the program's dialogs in its stored form, with the
// descriptions translated: "frmMain.dlgOpenIcon", "frmMain.dlgOpenImage",
// "frmMain.dlgSaveImage", "frmMain.dlgExtractIcon", "frmColors.dlgLoadPal",
// "frmColors.dlgSavePal", "frmResourceEditor.dlgSave",
// "frmResourceEditor.dlgAdd", "frmResourceEditor.dlgOpen",
// "frmSnapshot.dlgSave". Empty for another name.
QString FileDialogFilter(const QString& dialog);
QStringList FileDialogNames();

// One entry of a filter: the description's message key and English text,
// then the text that follows the description (its patterns).
struct FilterEntry {
    const char* key;
    const char* text;
    const char* tail;
};

// Entries joined into the stored form, their descriptions translated.
QString JoinFilter(std::span<const FilterEntry> entries);

// The filter of Save As: animated cursors or cursors.
QString SaveIconFilter(bool animated);

// The stored form as the file dialog's name filters.
QStringList QtNameFilters(const QString& filter);

// What one file dialog asks. Named as the translation knows it; its "Title"
// property is the title the translation sets.
class TFileDialogSpec : public QObject {
    Q_OBJECT
public:
    TFileDialogSpec(QObject* owner, const QString& name, const QString& title);

    QString Title() const;
    QString filter;           // stored form
    int filterIndex = 1;      // 1-based; the one chosen after the dialog ran
    QString defaultExt;       // appended to a name typed without extension
    QString fileName;         // proposed name (save dialogs)
    bool save = false;
    bool multiSelect = false;
};

// Shows the dialog; true and the chosen files (and spec.filterIndex) when the
// user confirmed it. Tests install their own.
using FileDialogRunner = std::function<bool(TFileDialogSpec& spec, QStringList& files)>;
// The toolkit's file dialog, over the active window. Overwriting is asked by
// the program itself, not by the dialog.
bool RunFileDialog(TFileDialogSpec& spec, QStringList& files);

// name with ext appended when it has no extension of its own.
QString WithDefaultSuffix(const QString& name, const QString& ext);

}  // namespace velto
