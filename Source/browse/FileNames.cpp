#include "FileNames.h"

#include <sys/stat.h>

#include "platform/Text.h"

namespace velto {

QString FileNameText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const std::span<const std::uint8_t> b(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (std::size_t i = 0; i < b.size();) {
        const std::size_t n = Utf8SequenceAt(b, i);
        if (n == 0) {
            text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? b[i] : b[i] & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (b[i + k] & 0x3F);
        if (cp < 0x10000) {
            text += QChar(static_cast<char16_t>(cp));
        } else {
            text += QChar(QChar::highSurrogate(cp));
            text += QChar(QChar::lowSurrogate(cp));
        }
        i += n;
    }
    return text;
}

std::string FileNameBytes(const QString& name) {
    std::string out;
    out.reserve(static_cast<std::size_t>(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            AppendUtf8(out, QChar::surrogateToUcs4(u, name[i + 1].unicode()));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);  // a byte of the name kept as it was
        } else if (QChar::isSurrogate(u)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

namespace {

bool HoldsKeptBytes(const QString& name) {
    for (const QChar c : name)
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) return true;
    return false;
}

}  // namespace

QString FileNameShown(const QString& name) {
    if (!HoldsKeptBytes(name)) return name;
    QString shown = name;
    for (QChar& c : shown)
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) c = QChar(QChar::ReplacementCharacter);
    return shown;
}

QUrl FileNameUrl(const QString& name) {
    // Names in UTF-8 keep the toolkit's own form of the URL.
    if (!HoldsKeptBytes(name)) return QUrl::fromLocalFile(name);
    const std::string bytes = FileNameBytes(name);
    const QByteArray path = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toPercentEncoding("/");
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + path, QUrl::StrictMode);
}

QString FileNameOfUrl(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    // A file on another host is the toolkit's business (a UNC-like name).
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) return url.toLocalFile();
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return FileNameText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool IsRegularFileName(const QString& name, std::int64_t* size) {
    struct stat st {};
    if (name.isEmpty() || ::stat(FileNameBytes(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (size) *size = static_cast<std::int64_t>(st.st_size);
    return true;
}

bool FileNameExists(const QString& name) {
    struct stat st {};
    return !name.isEmpty() && ::stat(FileNameBytes(name).c_str(), &st) == 0;
}

}  // namespace velto
