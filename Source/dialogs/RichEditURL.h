#pragma once
// TRichEditURL: read-only rich text whose web, mail and file addresses are
// found in the text and shown as links; a click on one reports its address.
#include <QStringList>
#include <QTextBrowser>

namespace velto {

// The addresses found in a line, in order: text starting with "http://",
// "https://", "ftp://", "file:", "mailto:" or "www.", up to the next blank,
// less closing punctuation.
QStringList FindUrls(const QString& line);

class TRichEditURL : public QTextBrowser {
    Q_OBJECT
public:
    explicit TRichEditURL(QWidget* parent = nullptr);

    // Replaces the text by lines, each with its addresses made links.
    void SetLines(const QStringList& lines);
    QStringList Lines() const { return lines_; }
    // Writes one line back (the addresses in it become links).
    void SetLine(int index, const QString& line);

signals:
    void urlClicked(const QString& url);

private:
    void render();

    QStringList lines_;
};

}  // namespace velto
