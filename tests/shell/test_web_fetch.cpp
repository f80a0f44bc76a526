// The request path on its own: the page limit holds to the byte in chunks,
// redirects never leave https, the environment's proxy is not used, and a
// cancel returns at once with what the request opened closed.
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>

#include <filesystem>

#include "../support/GuiTestApp.h"
#include "LocalWebServer.h"
#include "shell/WebFetch.h"

using namespace velto;

namespace {

class WebFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        velto::test::EnsureGuiApp();
        QString why;
        server = velto::test::LocalWebServer::Get(&why);
        if (!server) GTEST_SKIP() << "no local web server: " << why.toStdString();
    }
    static WebFetchLimits Limits(int silenceMs) { return {silenceMs, kWebDeadlineMs, kMaxWebPageBytes, "Too large."}; }

    velto::test::LocalWebServer* server = nullptr;
};

// Every row runs with the environment naming a proxy that never answers.
TEST_F(WebFetchTest, WhatARequestTakesAndRefuses) {
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    QList<std::pair<const char*, QByteArray>> saved;
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        saved.append({name, qgetenv(name)});
        const bool exceptions = QByteArray(name).toLower() == "no_proxy";
        qputenv(name, exceptions ? QByteArray() : "http://127.0.0.1:" + QByteArray::number(proxy.serverPort()));
    }
    const auto restore = qScopeGuard([&] {
        for (const auto& [name, value] : saved) value.isNull() ? void(qunsetenv(name)) : void(qputenv(name, value));
        SetWebCertificates({});
    });
    SetWebCertificates(server->Certificate());
    server->Put("velto/small.html", "<html></html>");
    server->Put("velto/full.html", QByteArray(kMaxWebPageBytes, 'x'));
    server->Put("velto/over.html", QByteArray(kMaxWebPageBytes + 1, 'x'));
    const QString http = server->Base(), https = server->Base({}, true);
    const struct { QString base; const char* path; qsizetype size; const char* failure; } rows[] = {
        {http, "/chunked/velto/full.html", kMaxWebPageBytes, ""},  // the limit, with its framing
        {http, "/chunked/velto/over.html", 0, "Too large."},        // one byte over, in its last chunk
        {http, "/downgrade/velto/small.html", 13, ""},
        {https, "/redirect/velto/small.html", 13, ""},
        {https, "/downgrade/velto/small.html", 0, "Protocol \"http\""},  // never down to plain http
    };
    for (const auto& row : rows) {
        if (row.base.isEmpty()) continue;  // no https here
        SCOPED_TRACE(row.base.toStdString() + row.path);
        TWebFetch fetch(QUrl(row.base + row.path), Limits(3000), nullptr);
        QSignalSpy done(&fetch, &TWebFetch::finished);
        ASSERT_TRUE(done.wait(10000));
        EXPECT_TRUE(*row.failure ? fetch.Failure().startsWith(row.failure) : fetch.Failure().isEmpty())
            << fetch.Failure().toStdString();
        EXPECT_EQ(fetch.Body().size(), row.size);
    }
    EXPECT_FALSE(proxy.hasPendingConnections());
    if (https.isEmpty()) GTEST_SKIP() << "the https rows need a certificate made by openssl (is it installed?)";
}

// A cancel or deletion wakes the request and waits for its thread: it returns
// at once, not after the transfer's wait of up to a second on a silent server
// (reached once the request is as old as another's silence timeout), with
// every descriptor the request opened closed.
TEST_F(WebFetchTest, ACancelReturnsAtOnceWithTheRequestClosed) {
    const auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "deleted" : "cancelled");
        const auto before = descriptors();
        server->Forget();
        TWebFetch clock(QUrl(server->Base("silent") + "/clock"), Limits(300), nullptr);
        auto* fetch = new TWebFetch(QUrl(server->Base("silent") + "/page"), Limits(60000), nullptr);
        QSignalSpy timedOut(&clock, &TWebFetch::finished), done(fetch, &TWebFetch::finished);
        ASSERT_TRUE(server->Saw("OPEN /silent/page", 10000) && timedOut.wait(10000));
        QElapsedTimer took;
        took.start();
        deleted ? delete fetch : fetch->Cancel();
        EXPECT_LT(took.elapsed(), 500);
        EXPECT_EQ(descriptors(), before);
        EXPECT_TRUE(server->Saw("CLOSED /silent/page", 1000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(done.isEmpty());
        if (!deleted) delete fetch;
    }
}

}  // namespace
