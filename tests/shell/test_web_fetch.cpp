// The one request path on its own against the test web server: the page limit
// holds to the byte whatever the framing, redirects never leave https, the
// environment's proxy is not used, and a cancel returns at once with what the
// request opened closed.
#include <dirent.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>

#include <map>
#include <optional>
#include <string>

#include "../support/GuiTestApp.h"
#include "LocalWebServer.h"
#include "shell/WebFetch.h"

using namespace velto;
using velto::test::LocalWebServer;

namespace {

const QString kTooLarge = QStringLiteral("The page is too large.");

// The process's sockets: descriptor -> "socket:[inode]".
std::map<int, std::string> Sockets() {
    std::map<int, std::string> out;
    DIR* dir = ::opendir("/proc/self/fd");
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        char link[64] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (::readlink(path.c_str(), link, sizeof link - 1) > 0 && std::string_view(link).starts_with("socket:"))
            out[std::atoi(entry->d_name)] = link;
    }
    if (dir) ::closedir(dir);
    return out;
}

// Every variable curl takes a proxy from names proxy, and none makes an
// exception, until this ends.
class EnvironmentProxy {
public:
    explicit EnvironmentProxy(const QByteArray& proxy) {
        for (const char* name : kNames) {
            saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
            if (QByteArray(name).toLower() == "no_proxy") qunsetenv(name);
            else qputenv(name, proxy);
        }
    }
    ~EnvironmentProxy() {
        for (const auto& [name, value] : saved_)
            if (value) qputenv(name.c_str(), *value);
            else qunsetenv(name.c_str());
    }

private:
    static constexpr const char* kNames[] = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                             "ALL_PROXY",  "no_proxy",    "NO_PROXY"};
    std::map<std::string, std::optional<QByteArray>> saved_;
};

class WebFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        velto::test::EnsureGuiApp();
        QString why;
        server = LocalWebServer::Get(&why);
        if (!server) GTEST_SKIP() << "no local web server: " << why.toStdString();
    }
    static WebFetchLimits Limits(int silenceMs) { return {silenceMs, kWebDeadlineMs, kMaxWebPageBytes, kTooLarge}; }

    LocalWebServer* server = nullptr;
};

TEST_F(WebFetchTest, WhatARequestTakesAndRefuses) {
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    const EnvironmentProxy environment("http://127.0.0.1:" + QByteArray::number(proxy.serverPort()));
    SetWebCertificates(server->Certificate());
    const QByteArray small = "<html><title>Version 1.0</title></html>";
    server->Put("velto/small.html", small);
    server->Put("velto/full.html", QByteArray(kMaxWebPageBytes, 'x'));
    server->Put("velto/over.html", QByteArray(kMaxWebPageBytes + 1, 'x'));
    const QString http = server->Base(), https = server->TlsBase();
    const struct { QString base; const char* path; qsizetype size; const char* failure; } rows[] = {
        {http, "/chunked/velto/full.html", kMaxWebPageBytes, ""},  // the limit, with its framing
        {http, "/chunked/velto/over.html", 0, "The page is too large."},  // over in its last chunk
        {http, "/downgrade/velto/small.html", small.size(), ""},
        {https, "/redirect/velto/small.html", small.size(), ""},
        {https, "/downgrade/velto/small.html", 0, "Protocol \"http\""},  // never down to plain http
    };
    for (const auto& row : rows) {
        if (row.base.isEmpty()) continue;  // no https here
        SCOPED_TRACE(row.base.toStdString() + row.path);
        // A proxy that never answers lets the silence end a request that went to it.
        TWebFetch fetch(QUrl(row.base + row.path), Limits(3000), nullptr);
        QSignalSpy done(&fetch, &TWebFetch::finished);
        ASSERT_TRUE(done.wait(10000));
        EXPECT_TRUE(*row.failure ? fetch.Failure().contains(row.failure) : fetch.Failure().isEmpty())
            << fetch.Failure().toStdString();
        EXPECT_EQ(fetch.Body().size(), row.size);
    }
    SetWebCertificates({});
    EXPECT_FALSE(proxy.hasPendingConnections());
    if (https.isEmpty()) GTEST_SKIP() << "the https rows need " << server->TlsWhy().toStdString();
}

// A cancel (or deletion) wakes the request's thread and waits for it: it
// returns at once, not after the transfer's wait of up to a second on a silent
// server, with every socket the request opened closed. The request cancelled
// has been waiting as long as another one's silence timeout, past the
// transfer's own early wake-ups.
TEST_F(WebFetchTest, ACancelReturnsAtOnceWithTheRequestsSocketsClosed) {
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "deleted" : "cancelled");
        const std::map<int, std::string> before = Sockets();
        server->Forget();
        TWebFetch clock(QUrl(server->Base("silent") + "/velto/clock.html"), Limits(300), nullptr);
        auto* fetch = new TWebFetch(QUrl(server->Base("silent") + "/velto/page.html"), Limits(60000), nullptr);
        QSignalSpy done(fetch, &TWebFetch::finished), timedOut(&clock, &TWebFetch::finished);
        ASSERT_TRUE(server->Saw("OPEN /silent/velto/page.html", 10000));
        ASSERT_TRUE(timedOut.wait(10000));
        std::map<int, std::string> opened = Sockets();
        std::erase_if(opened, [&](const auto& s) { return before.contains(s.first) && before.at(s.first) == s.second; });
        ASSERT_FALSE(opened.empty());
        QElapsedTimer took;
        took.start();
        if (deleted) delete fetch;
        else fetch->Cancel();
        EXPECT_LT(took.elapsed(), 500);
        const std::map<int, std::string> after = Sockets();
        for (const auto& [fd, link] : opened) EXPECT_FALSE(after.contains(fd) && after.at(fd) == link) << link;
        EXPECT_TRUE(server->Saw("CLOSED /silent/velto/page.html", 1000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(done.isEmpty());
        if (!deleted) delete fetch;
    }
}

}  // namespace
