#pragma once
// Texts shared by the main window's source files and the windows of the dialogs.
#include <QString>

#include "core/Language.h"

namespace velto {

// A message of the language file, or its English default.
inline QString Msg(const char* key, const char* def) { return QString::fromStdString(Lang().GetMessage(key, def)); }

// A caption as shown in a menu: "&" is a literal ampersand, not a mnemonic.
inline QString MenuText(QString s) { return s.replace('&', QStringLiteral("&&")); }

}  // namespace velto
