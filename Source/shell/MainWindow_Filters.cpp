// The Filters menu: the last effect, the filters and their submenus, the
// shadows, the custom filter. (Filter on Alpha and Smooth Edges are option
// switches, wired from the table.)
#include "MainWindow.h"

#include "ModalForms.h"
#include "core/Language.h"
#include "core/SysUtils.h"

#include <QAction>

namespace velto {

// The filters themselves are one-click effects (MainWindow_Effects.cpp). The
// Custom Filter's OK makes it the last effect, which then applies the kernel
// entered in it.
void TfrmMain::SetupFiltersActions() {
    on("actCustom", [] { ShowModalForm(QStringLiteral("frmFilter")); });
    on("actAdvancedShadow", [] { ShowModalForm(QStringLiteral("frmShadow")); });
}

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
