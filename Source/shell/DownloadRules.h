#pragma once
// The rules of the language download and the update check that need no
// network: which file a download may become, which of two language files is
// newer, and what the version page's title says.
#include <QByteArray>
#include <QString>
#include <QUrl>

#include "platform/ReadLimits.h"

namespace velto {

// The most bytes a language file may have, downloaded or read: the files
// are read only up to this, so no larger one is taken in.
inline constexpr qint64 kMaxLanguageFileBytes = static_cast<qint64>(ReadLimits{}.iniFileSize);

// Paths below the web server.
inline constexpr char kLanguagesPage[] = "velto/v1_0/languages.html";
inline constexpr char kVersionPage[] = "velto/version.html";
// The version page's title when this program is the newest.
inline constexpr char kCurrentVersionTitle[] = "Version 1.0";

// A link is a download when its path ends in ".lng" exactly (lower case);
// any other link is a page to show.
bool IsLanguageFileLink(const QUrl& url);

// The text after the last "/" of the address's path, percent-decoded: an
// encoded "/" or ".." shows up here and is refused by the check below.
QString LanguageFileNameFromUrl(const QUrl& url);

// A name a download may be stored under: letters of any language (with
// their marks), digits, space, "_", "." and "-" only, no leading ".", no
// "..", ending in ".lng" after at least one character. Never a path.
bool IsPlainLanguageFileName(const QString& name);

// "Version" of section "General" as a number; missing or not a number is 0.
// Of the file at path, as the program reads the language in use:
double LanguageFileVersion(const QString& path);
// and of a file's bytes, read the same way.
double LanguageFileVersion(const QByteArray& text);

// Why text is no language file (no "[General]" section with a "Version", or
// larger than kMaxLanguageFileBytes); empty when it is one.
QString LanguageFileProblem(const QByteArray& text);

enum class InstallResult { Installed, NotNewer, Failed };

// Puts a downloaded language file at target. With an installed file (which
// may be target itself or a file of another folder), only a download of a
// higher version goes in. target is replaced in one step, never left half;
// when it cannot be, it stays as it was and reason says why.
InstallResult InstallLanguageFile(const QString& installed, const QByteArray& downloaded, const QString& target,
                                  QString* reason = nullptr);

// A page's bytes as text: the encoding its byte-order mark or <meta> names,
// else UTF-8.
QString DecodeHtml(const QByteArray& html);

// The text of the page's <title>, entities decoded and white space
// collapsed; empty when the page has none.
QString ExtractHtmlTitle(const QByteArray& html);

enum class VersionAnswer { Unknown, Current, Newer };
// Unknown when the title does not carry "Version"; Current for the title of
// this program's version; Newer for any other.
VersionAnswer JudgeVersionTitle(const QString& title);

}  // namespace velto
