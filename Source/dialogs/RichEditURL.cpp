#include "RichEditURL.h"

#include <QRegularExpression>
#include <QUrl>

namespace velto {

namespace {
const QRegularExpression& UrlPattern() {
    static const QRegularExpression re(
        QStringLiteral(R"((?:https?://|ftp://|file:|mailto:|www\.)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString Trimmed(QString url) {
    // Sentence punctuation after an address is not part of it.
    while (!url.isEmpty() && QStringLiteral(".,;:!?)]}'").contains(url.back())) url.chop(1);
    return url;
}
}  // namespace

namespace {
struct UrlMatch {
    qsizetype start;
    QString url;
};

QList<UrlMatch> Matches(const QString& line) {
    QList<UrlMatch> out;
    auto it = UrlPattern().globalMatch(line);
    while (it.hasNext()) {
        const auto m = it.next();
        const QString u = Trimmed(m.captured(0));
        if (!u.isEmpty() && u.compare(QStringLiteral("www."), Qt::CaseInsensitive) != 0)
            out.append({m.capturedStart(), u});
    }
    return out;
}
}  // namespace

QStringList FindUrls(const QString& line) {
    QStringList out;
    for (const UrlMatch& m : Matches(line)) out << m.url;
    return out;
}

TRichEditURL::TRichEditURL(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        emit urlClicked(url.toString(QUrl::FullyDecoded));
    });
}

void TRichEditURL::SetLines(const QStringList& lines) {
    lines_ = lines;
    render();
}

void TRichEditURL::SetLine(int index, const QString& line) {
    if (index < 0) return;
    while (lines_.size() <= index) lines_ << QString();
    lines_[index] = line;
    render();
}

void TRichEditURL::render() {
    QString html;
    for (const QString& line : lines_) {
        QString out;
        qsizetype pos = 0;
        for (const UrlMatch& m : Matches(line)) {
            out += line.mid(pos, m.start - pos).toHtmlEscaped();
            out += QStringLiteral("<a href=\"%1\">%1</a>").arg(m.url.toHtmlEscaped());
            pos = m.start + m.url.size();
        }
        out += line.mid(pos).toHtmlEscaped();
        out.replace(QLatin1Char('\t'), QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;"));
        html += out + QStringLiteral("<br>");
    }
    setHtml(QStringLiteral("<html><body style=\"white-space: pre-wrap\">") + html + QStringLiteral("</body></html>"));
}

}  // namespace velto
