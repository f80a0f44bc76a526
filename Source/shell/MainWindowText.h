#pragma once
// Texts shared by the main window's source files and the windows of the dialogs.
#include <QString>

#include "core/Language.h"
#include "platform/FileIO.h"

namespace velto {

// A message of the language file, or its English default.
inline QString Msg(const char* key, const char* def) { return QString::fromStdString(Lang().GetMessage(key, def)); }

// A message followed, on its own line, by why a file could not be read or
// written, in the system's words. Content the format cannot hold, or no
// failure at all, adds nothing: the message says it all.
inline QString WithReason(QString text, FileError error) {
    if (!error.ok() && error != FileError::Unsupported) text += QLatin1Char('\n') + QString::fromStdString(FileErrorText(error));
    return text;
}

// "The file could not be saved" for path, with the reason as above.
inline QString SaveFailedText(const QString& path, FileError error) {
    return WithReason(Msg("msgSaveError", "The file %s1 could not be saved!").replace(QLatin1String("%s1"), path), error);
}

// A caption as shown in a menu: "&" is a literal ampersand, not a mnemonic.
inline QString MenuText(QString s) { return s.replace('&', QStringLiteral("&&")); }

}  // namespace velto
