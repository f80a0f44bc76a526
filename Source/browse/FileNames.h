#pragma once
// File names as the program holds them (QString) and as the system has them
// (bytes). A name in UTF-8 reads as its text; a byte that is no part of
// valid UTF-8 is held as the lone code unit 0xDC00 + byte (which no valid
// text holds), so every name a folder lists goes back to the same bytes and
// the file can be opened and written again. The toolkit's own file classes
// do not know this form: names are checked and opened through the bytes.
#include <QString>
#include <QUrl>

#include <cstdint>
#include <string>
#include <string_view>

namespace velto {

QString FileNameText(std::string_view bytes);
std::string FileNameBytes(const QString& name);

// The name as a reader sees it: a kept byte shows as U+FFFD. For display
// only; it may not reach the file.
QString FileNameShown(const QString& name);

// The file's URL, its path percent-encoded from the name's bytes; and the
// name a local file URL stands for, from its path's bytes (empty for other
// URLs). The toolkit's own conversions go through text and lose kept bytes.
QUrl FileNameUrl(const QString& name);
QString FileNameOfUrl(const QUrl& url);

// The name is a regular file (links followed); its size in bytes when asked.
bool IsRegularFileName(const QString& name, std::int64_t* size = nullptr);
// Anything exists under the name (links followed).
bool FileNameExists(const QString& name);

}  // namespace velto
