#include "SaveWaits.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>

#include "Desk.h"
#include "MainWindowText.h"
#include "browse/FileNames.h"
#include "core/MessageBox.h"
#include "platform/PreviousCopy.h"
#include "platform/SaveLock.h"

namespace velto {

namespace {
void TellUser(const QString& text, int kind) { ShowMessageBox(text.toStdString(), kind, mbOK); }
}  // namespace

void ShowSaveWaitsIn(QLabel* label) {
    QPointer<QLabel> shown(label);
    SetSaveWaitHook([shown, before = QString(), showing = false, ownBusy = false](SaveWait wait) mutable {
        if (wait != SaveWait::Over) {
            if (!showing) {
                showing = true;
                // A save that shows no busy pointer of its own gets one for the wait alone.
                ownBusy = !QApplication::overrideCursor();
                if (ownBusy) BusyCursorOn();
                if (shown) before = shown->text();
            }
            // What it waits for may change: a reader's lock, then a save's.
            if (shown)
                shown->setText(wait == SaveWait::Save
                                   ? Msg("msgWaitingForSave", "Waiting for another save of this file to end...")
                                   : Msg("msgWaitingForReader", "Waiting for a program reading this file to let it go..."));
        } else if (showing) {
            showing = false;
            if (ownBusy) BusyCursorOff();
            if (shown) shown->setText(before);
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

std::shared_ptr<const ReadInstead> TellOfUnfinishedSave(const QString& path) {
    UnfinishedSave found;
    const FileError e = RecoverUnfinishedSave(FileNameBytes(path), found);
    const QString shown = FileNameShown(path);
    // What the system says of the file (missing, unreadable) the reader says.
    if (e.words())
        TellUser(WithReason(Msg("msgUnfinishedSaveUnchecked", "What an unfinished save may have left beside %s1 could "
                                                              "not be looked at.").replace(QLatin1String("%s1"), shown),
                            e),
                 mkWarning);
    if (found.found == UnfinishedSave::Found::Undone)
        TellUser(UnfinishedSaveUndone(path), mkInformation);
    else if (found.found == UnfinishedSave::Found::Others)
        TellUser(WithReason(Msg("msgUnfinishedSaveOthers", "%s1 may be damaged.").replace(QLatin1String("%s1"), shown),
                            found.why),
                 mkWarning);
    else if (found.found == UnfinishedSave::Found::Shown)
        TellUser(WithReason(Msg("msgUnfinishedSaveShown",
                                "%s1 is shown as it was before an unfinished save that left it torn.")
                                .replace(QLatin1String("%s1"), shown),
                            found.why),
                 mkWarning);
    return found.instead;
}

QString UnfinishedSaveUndone(const QString& path) {
    return Msg("msgUnfinishedSaveUndone",
               "An unfinished save of %s1 was undone: the file holds what it held before that save again.")
        .replace(QLatin1String("%s1"), FileNameShown(path));
}

}  // namespace velto
