#pragma once
// What the windows show of a save that meets another: the wait for another
// save of the same file (busy, still drawing), and what a killed save left.
#include <QString>

#include <memory>

class QLabel;

namespace velto {

class ReadInstead;

// While a save of this (the GUI) thread waits for a lock (another save's, or
// a reader's where it writes into the file itself), the pointer shows busy,
// label says what it waits for, and the windows go on drawing (user input
// waits, so that nothing the save uses changes meanwhile).
void ShowSaveWaitsIn(QLabel* label);

// Before a document or library is read: puts back what a killed save of it
// left where the user may write it, and says so; another user's copy is told
// with where it is and whose; what keeps it from being looked at, when the
// system's words do not say it all (another save in progress). The reader
// says why a file cannot be read. A torn file whose copy cannot go back is
// read as it was before, from the copy, while the holder returned lives (the
// open keeps it until it has read the file), and the user is told so.
std::shared_ptr<const ReadInstead> TellOfUnfinishedSave(const QString& path);
// What the user is told when a killed save of path was undone.
QString UnfinishedSaveUndone(const QString& path);

}  // namespace velto
