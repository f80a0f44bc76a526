#include "DownloadRules.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstdint>
#include <span>
#include <string>

#include "core/Language.h"
#include "platform/FileWriter.h"
#include "platform/IniFile.h"

namespace velto {

bool IsLanguageFileLink(const QUrl& url) { return url.path().endsWith(QLatin1String(".lng")); }

QString LanguageFileNameFromUrl(const QUrl& url) {
    const QString encoded = url.path(QUrl::FullyEncoded);
    return QUrl::fromPercentEncoding(encoded.mid(encoded.lastIndexOf('/') + 1).toLatin1());
}

bool IsPlainLanguageFileName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[\\p{L}\\p{M}\\p{Nd} _.\\-]+\\.lng$"));
    return plain.match(name).hasMatch() && !name.startsWith('.') && !name.contains(QLatin1String(".."));
}

namespace {

// Locale-independent: "1.5" is one and a half wherever the user lives.
double VersionNumber(const std::string& text) {
    bool ok = false;
    const double v = QString::fromStdString(text).trimmed().toDouble(&ok);
    return ok ? v : 0.0;
}

std::span<const std::uint8_t> Bytes(const QByteArray& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

IniFile Parsed(const QByteArray& text) {
    IniFile file;
    file.Parse(Bytes(text));
    return file;
}

}  // namespace

double LanguageFileVersion(const QString& path) {
    TLanguage file;
    file.SetFileName(path.toStdString());
    return VersionNumber(file.GetVersion());
}

double LanguageFileVersion(const QByteArray& text) {
    return VersionNumber(Parsed(text).ReadString("General", "Version", ""));
}

QString LanguageFileProblem(const QByteArray& text) {
    // Language files are read only up to this: a larger one would be in use
    // as a language that reads empty.
    if (text.size() > kMaxLanguageFileBytes) return QStringLiteral("The file is larger than a language file can be.");
    if (QString::fromStdString(Parsed(text).ReadString("General", "Version", "")).trimmed().isEmpty())
        return QStringLiteral("This is no language file: it has no [General] section with a Version.");
    return {};
}

InstallResult InstallLanguageFile(const QString& installed, const QByteArray& downloaded, const QString& target,
                                  QString* reason) {
    if (!installed.isEmpty() && QFileInfo::exists(installed) &&
        !(LanguageFileVersion(installed) < LanguageFileVersion(downloaded)))
        return InstallResult::NotNewer;
    FileError error;
    if (!WriteWholeFile(target.toStdString(), Bytes(downloaded), &error)) {
        if (reason) *reason = QString::fromStdString(FileErrorText(error));
        return InstallResult::Failed;
    }
    return InstallResult::Installed;
}

namespace {

// The character references a title may carry.
QString DecodeEntities(const QString& text) {
    static const QRegularExpression ref(QStringLiteral("&(#[0-9]+|#[xX][0-9A-Fa-f]+|[A-Za-z]+);"));
    static const std::pair<const char*, char16_t> named[] = {
        {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"nbsp", u' '},
    };
    QString out;
    qsizetype at = 0;
    for (auto it = ref.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString body = m.captured(1);
        if (body.startsWith('#')) {
            bool ok = false;
            const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
            const uint code = body.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                continue;
            }
        } else {
            bool found = false;
            for (const auto& [name, ch] : named)
                if (body == QLatin1String(name)) {
                    out += QChar(ch);
                    found = true;
                    break;
                }
            if (found) continue;
        }
        out += m.captured(0);  // unknown: kept as written
    }
    out += text.mid(at);
    return out;
}

}  // namespace

QString DecodeHtml(const QByteArray& html) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    return decoder.isValid() ? decoder.decode(html) : QString::fromUtf8(html);
}

QString ExtractHtmlTitle(const QByteArray& html) {
    static const QRegularExpression title(QStringLiteral("<title(?:\\s[^>]*)?>(.*?)</title\\s*>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(DecodeHtml(html));
    return m.hasMatch() ? DecodeEntities(m.captured(1)).simplified() : QString();
}

VersionAnswer JudgeVersionTitle(const QString& title) {
    if (!title.contains(QLatin1String("Version"))) return VersionAnswer::Unknown;
    return title == QLatin1String(kCurrentVersionTitle) ? VersionAnswer::Current : VersionAnswer::Newer;
}

}  // namespace velto
