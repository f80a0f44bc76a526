// File names that are no UTF-8 as URLs and as shown text: the bytes come back
// whole from every form the program hands out.
#include <gtest/gtest.h>

#include <QUrl>

#include <string>

#include "browse/FileNames.h"

using namespace velto;

namespace {

std::string UrlPathBytes(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

TEST(FileNames, AUrlCarriesTheNamesBytesAndGivesThemBack) {
    // Kept bytes beside characters a URL treats as its own.
    for (const std::string& bytes : {std::string("/t/\xff\xfe-bad.cur"), std::string("/t/50%\xc3 #1?.cur"),
                                    std::string("/t/\xed\xa0\x80 %41.ani")}) {
        SCOPED_TRACE(bytes);
        const QString name = FileNameText(bytes);
        const QUrl url = FileNameUrl(name);
        ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_TRUE(url.query().isEmpty() && url.fragment().isEmpty());
        EXPECT_EQ(UrlPathBytes(url), bytes);
        // Through the text a drag carries, and back.
        const QUrl again(QString::fromLatin1(url.toEncoded()));
        EXPECT_EQ(FileNameBytes(FileNameOfUrl(again)), bytes);
    }
}

TEST(FileNames, TextNamesKeepTheToolkitsUrlsBothWays) {
    for (const QString& name : {QStringLiteral("/tmp/three.cur"), QString::fromUtf8("/t/caf\xc3\xa9 #2%.cur")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(FileNameUrl(name), QUrl::fromLocalFile(name));
        EXPECT_EQ(FileNameOfUrl(QUrl::fromLocalFile(name)), name);
    }
    EXPECT_TRUE(FileNameOfUrl(QUrl(QStringLiteral("https://example.org/x.cur"))).isEmpty());
    EXPECT_TRUE(FileNameOfUrl(QUrl()).isEmpty());
}

TEST(FileNames, AShownNameReplacesOnlyTheKeptBytes) {
    EXPECT_EQ(FileNameShown(FileNameText("/t/\xff-\xc3\xa9.cur")), QString::fromUtf8("/t/\xef\xbf\xbd-\xc3\xa9.cur"));
    const QString astral = QString::fromUtf8("/t/\xf0\x9f\x98\x80.cur");  // a pair of surrogates, not kept bytes
    EXPECT_EQ(FileNameShown(astral), astral);
}

}  // namespace
