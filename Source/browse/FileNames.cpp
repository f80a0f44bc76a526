#include "FileNames.h"

#include <sys/stat.h>

#include "platform/Text.h"

namespace velto {

namespace {

// The code point of the well-formed UTF-8 sequence at bytes[i] (no
// overlongs, surrogates or values past U+10FFFF) and its length; 0 for none.
int DecodeOne(std::string_view bytes, std::size_t i, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c == 0xE0) n = 3, lo = 0xA0, cp = c & 0x0F;
    else if (c >= 0xE1 && c <= 0xEC) n = 3, cp = c & 0x0F;
    else if (c == 0xED) n = 3, hi = 0x9F, cp = c & 0x0F;
    else if (c >= 0xEE && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c == 0xF0) n = 4, lo = 0x90, cp = c & 0x07;
    else if (c >= 0xF1 && c <= 0xF3) n = 4, cp = c & 0x07;
    else if (c == 0xF4) n = 4, hi = 0x8F, cp = c & 0x07;
    else return 0;
    if (i + static_cast<std::size_t>(n) > bytes.size()) return 0;
    for (int k = 1; k < n; ++k) {
        const unsigned char t = b(i + static_cast<std::size_t>(k));
        if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF)) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    return n;
}


}  // namespace

QString FileNameText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const int n = DecodeOne(bytes, i, cp);
        if (n == 0) {
            text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (cp < 0x10000) {
            text += QChar(static_cast<char16_t>(cp));
        } else {
            text += QChar(QChar::highSurrogate(cp));
            text += QChar(QChar::lowSurrogate(cp));
        }
        i += static_cast<std::size_t>(n);
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
