// The request path on its own: the page limit holds to the byte in chunks, redirects never leave https, the
// environment's proxy is not used, and a cancel returns at once with what the request opened closed.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>

#include <filesystem>

#include "../support/GuiTestApp.h"
#include "LocalWebServer.h"
#include "shell/WebFetch.h"

using namespace velto;

namespace {

// Every request of this program's tests runs with the environment naming a proxy (where none is) and no exceptions to
// it: none may use it.
[[maybe_unused]] const bool kProxyNamed =
    qputenv("http_proxy", "127.0.0.1:1") && qputenv("https_proxy", "127.0.0.1:1") && qputenv("no_proxy", "");

class WebFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureGuiApp();
        QString why;
        if (!(server = test::LocalWebServer::Get(&why))) GTEST_SKIP() << "no local web server: " << why.toStdString();
    }
    static WebFetchLimits Limits(int silenceMs) { return {silenceMs, kWebDeadlineMs, kMaxWebPageBytes, "Too large."}; }
    test::LocalWebServer* server = nullptr;
};

TEST_F(WebFetchTest, WhatARequestTakesAndRefuses) {
    SetWebCertificates(server->Certificate());
    const auto trustNoMore = qScopeGuard([] { SetWebCertificates({}); });
    const struct { bool https; const char* mode; qsizetype bytes; const char* failure; } rows[] = {
        {false, "chunked", kMaxWebPageBytes, ""},                // the limit, with its framing
        {false, "chunked", kMaxWebPageBytes + 1, "Too large."},  // one byte over, in its last chunk
        {false, "downgrade/chunked", 13, ""},
        {true, "redirect/chunked", 13, ""},
        {true, "downgrade/chunked", 13, "Protocol \"http\""},  // never down to plain http
    };
    for (const auto& row : rows) {
        const QString base = server->Base(row.mode, row.https);
        if (base.isEmpty()) continue;  // no https here
        SCOPED_TRACE(base.toStdString() + '/' + std::to_string(row.bytes));
        TWebFetch fetch(QUrl(base + '/' + QString::number(row.bytes)), Limits(3000), nullptr);
        QSignalSpy done(&fetch, &TWebFetch::finished);
        ASSERT_TRUE(done.wait(10000));
        EXPECT_TRUE(*row.failure ? fetch.Failure().startsWith(row.failure) : fetch.Failure().isEmpty())
            << fetch.Failure().toStdString();
        EXPECT_EQ(fetch.Body().size(), *row.failure ? 0 : row.bytes);
    }
    if (server->Base({}, true).isEmpty()) GTEST_SKIP() << "the https rows need a certificate made by openssl";
}

// A cancel or deletion wakes the request and waits for its thread: it returns at once, not after the transfer's wait
// of up to a second on a silent server (reached once the request is as old as another's silence timeout), with every
// descriptor the request opened closed.
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
