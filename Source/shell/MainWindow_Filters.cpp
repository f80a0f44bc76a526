// The Filters menu: the last effect, the filters and their submenus, the
// shadows, the custom filter. (Filter on Alpha and Smooth Edges are option
// switches, wired from the table.)
#include "MainWindow.h"

#include "core/Language.h"
#include "core/SysUtils.h"

#include <QAction>

namespace velto {

void TfrmMain::SetupFiltersActions() {}

// Last Effect follows SetLastEffect; the filters are document commands.
void TfrmMain::UpdateFiltersActions() {}

void TfrmMain::SetLastEffect(QAction* action) {
    lastEffect_ = action;
    QAction* last = Action("actLast");
    last->setEnabled(action != nullptr);
    if (action && action != last) {
        QString caption = QString::fromStdString(ReplacePlaceholder(
            Lang().GetMessage("msgLastEffect", "Last Effect (%s1)"), "%s1", action->text().toStdString()));
        caption.remove(QStringLiteral("..."));
        last->setText(caption);
    }
}

}  // namespace velto
