#include <gtest/gtest.h>

#include <QSslSocket>
#include <QTest>

#include "cardsim_control.h"
#include "program_folder_test.h"
#include "server/branch_configuration.h"
#include "server/feed_source.h"
#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis::testing {

// A head office's own authority and server certificates, made at test time with openssl.
class TlsE2E : public ProgramFolderTest {
 protected:
  void openssl(const QStringList& args) {
    ASSERT_EQ(run(QStringLiteral("openssl"), args, 30000), 0)
        << "openssl is needed (Debian package openssl; for Windows, scripts/windows-openssl.sh)";
  }
  // A new key and its certificate: an authority's own (by none), else one signed by the authority by.
  void certificate(const QString& name, const QString& by = {}, const QString& days = "2", const QString& names = {}) {
    const QStringList key{"req", "-config", path("req.cnf"), "-newkey", "rsa:2048", "-nodes", "-keyout", path(name + ".key")};
    if (by.isEmpty()) return openssl(key + QStringList{"-x509", "-out", path(name + ".pem"), "-days", days, "-subj", "/CN=" + name});
    openssl(key + QStringList{"-out", path(name + ".csr"), "-subj", "/CN=zentrale"});
    openssl({"x509", "-req", "-in", path(name + ".csr"), "-CA", path(by + ".pem"), "-CAkey", path(by + ".key"),
             "-CAcreateserial", "-out", path(name + ".pem"), "-days", days, "-extfile", path(names)});
  }
};

// The branch set to https with the office's authority: a certificate that verifies carries every
// request, download and feed; an expired one, one for another name, one of another authority for
// the same name, or any at all when the authority's file is missing, is no answer, and nothing is
// written from it: no settings file, no ticker settings, no program.
TEST_F(TlsE2E, OnlyAVerifiedServerAnswers) {
  writeBytes("san", "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
  writeBytes("elsewhere", "subjectAltName=DNS:zentrale.example\n");
  // Its own settings: a Windows PC has no openssl.cnf in the place the command looks.
  writeBytes("req.cnf", "[req]\ndistinguished_name=dn\nx509_extensions=ca\n[dn]\n"
                        "[ca]\nbasicConstraints=critical,CA:true\nkeyUsage=keyCertSign,cRLSign\n");
  for (const char* name : {"office", "stranger"}) certificate(name);
  certificate("good", "office", "1", "san");
  certificate("expired", "office", "-1", "san");
  certificate("wrongname", "office", "1", "elsewhere");
  certificate("foreign", "stranger", "1", "san");
  const struct { const char* cert; const char* ca; bool answers; } rows[] = {
      {"good", "office.pem", true},       {"expired", "office.pem", false}, {"wrongname", "office.pem", false},
      {"foreign", "office.pem", false},   {"good", "missing.pem", false}};
  // The backend the installer ships for Windows, as on Linux: the same trust rules.
  EXPECT_EQ(QSslSocket::activeBackend(), "openssl");
  for (const auto& r : rows) {
    const QString cert(r.cert);
    const std::string row = std::string(r.cert) + " with " + r.ca;
    ZentraleProcess zentrale({"--seed-demo", "--tls", path(cert + ".pem"), path(cert + ".key")});
    ASSERT_TRUE(zentrale.started()) << row;
    writeBytes("install.ini", QStringLiteral("[server]\r\nhost=https://127.0.0.1:%1\r\ntimeout=5\r\nca=%2\r\n")
                                  .arg(zentrale.port()).arg(r.ca).toLatin1());
    const ServerSettings settings = readServerSettings();
    HttpCentralServer server(settings);
    EXPECT_EQ(server.get("/quorvalis/DATA/filiale.cgi?DEMO01"), r.answers ? "demo;Demo%20Filiale;Bar%20Nord%20Demo;12345" : "") << row;
    writeBytes(zentrale.dataDir() + "/update/F108.exe", "MZ");
    for (const char* file : {"filialini.ini", "rss.ini", " F108.exe"}) QFile::remove(path(file));
    EXPECT_EQ(downloadBranchConfiguration(server, "demo", "") == Download::kWritten, r.answers) << row;
    EXPECT_EQ(downloadTickerSettings(server, "demo") == Download::kWritten, r.answers) << row;
    EXPECT_EQ(server.download("/quorvalis/update/F108.exe", path(" F108.exe"), {}), r.answers) << row;
    for (const char* file : {"filialini.ini", "rss.ini", " F108.exe"}) EXPECT_EQ(exists(file), r.answers) << row << " " << file;
    HttpFeedSource feeds(settings);
    QObject context;
    std::optional<std::optional<QByteArray>> feed;
    feeds.fetch("/quorvalis/DATA/demo/rss.xml", &context, [&](std::optional<QByteArray> d) { feed = d; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return feed.has_value(); }, 10000)) << row;
    EXPECT_EQ(feed->has_value() && feed->value().contains("<rss"), r.answers) << row;
  }
}

}  // namespace quorvalis::testing
