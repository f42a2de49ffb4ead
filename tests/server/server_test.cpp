#include <gtest/gtest.h>

#include <algorithm>

#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QPushButton>
#include <QTest>
#include <QFileInfo>
#include <QTimer>

#include "common/text.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "recording_http_server.h"
#include "server/branch_configuration.h"
#include "server/http_central_server.h"
#include "server/update_signature.h"

namespace quorvalis::testing {

// Only what cannot stand in a request line is percent-encoded, as single-byte text; a "%"
// starting a code stays.
TEST(HttpCentralServer, RequestTargetArrivesAsEncoded) {
  const struct { const char* text; const char* wire; } cases[] = {
      {"/quorvalis/DATA/search2.cgi?B---00491711234567---Anna---Müller---01.02.1990",
       "/quorvalis/DATA/search2.cgi?B---00491711234567---Anna---M%FCller---01.02.1990"},
      {"/x.cgi?Bar Nord", "/x.cgi?Bar%20Nord"}, {"/x.cgi?Bar%20Nord", "/x.cgi?Bar%20Nord"},
      {"/x.cgi?50% Rabatt%20heute", "/x.cgi?50%25%20Rabatt%20heute"}, {"/a?%2", "/a?%252"}, {"/a?%zz%aF", "/a?%25zz%aF"},
      {"/x.cgi?a;b-c&d=e---f", "/x.cgi?a;b-c&d=e---f"}, {"/x.cgi?a#b", "/x.cgi?a%23b"}, {"/x.cgi?€", "/x.cgi?%80"},
      {"/x.cgi?msg=Hallo <VN>", "/x.cgi?msg=Hallo%20%3CVN%3E"},
      {"/x.cgi?\"q\"|{}^`\\", "/x.cgi?%22q%22%7C%7B%7D%5E%60%5C"},
      {"/a?\t\r\n\x7f", "/a?%09%0D%0A%7F"},  // no header can be slipped in
  };
  RecordingHttpServer http;
  HttpCentralServer server({http.host(), 5000});
  for (const auto& c : cases) {
    http.requestLines.clear();
    EXPECT_EQ(server.get(QString::fromUtf8(c.text)), "OK");
    EXPECT_EQ(http.requestLines, QList<QByteArray>{"GET " + QByteArray(c.wire) + " HTTP/1.1"}) << c.text;
  }
}

// The screen while the terminal waits for the server: a timer that counts its ticks (the
// progress bar) and a button touched once, touchAfterMs into the wait.
struct WaitingScreen {
  WaitingScreen(int tickMs, int touchAfterMs) {
    QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
    timer.start(tickMs);
    button.show();
    QObject::connect(&button, &QPushButton::clicked, [this] { ++clicks; });
    QTimer::singleShot(touchAfterMs, &button, [this] { QTest::mouseClick(&button, Qt::LeftButton); });
  }
  int ticks = 0, clicks = 0;
  QTimer timer;
  QPushButton button;
};

// A silent server: the wait ends at the timeout, timers keep running (the progress bar moves),
// and touches are dropped, not delivered afterwards onto whatever the answer put on the screen.
TEST(HttpCentralServer, SilentServerTimesOutWhileTimersRunAndTouchesAreDropped) {
  RecordingHttpServer http;
  http.neverAnswer();
  HttpCentralServer server({http.host(), 1000});
  WaitingScreen screen(50, 50);
  EXPECT_EQ(server.get("/quorvalis/DATA/filiale.cgi?1"), "");
  EXPECT_GT(screen.ticks, 0);
  EXPECT_EQ(http.requestLines.size(), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(screen.clicks, 0);
  QTest::mouseClick(&screen.button, Qt::LeftButton);  // and counted again once the wait is over
  EXPECT_EQ(screen.clicks, 1);
}

class DownloadTest : public ProgramFolderTest {};

// A download ends as a whole file or as none: a not-found page, a missing folder, nobody
// listening, a body past its limit, a server that trickles past the deadline, a disk that would
// be left too full.
TEST_F(DownloadTest, OnlyAWhole200BodyWithinItsLimitsBecomesAFile) {
  const QByteArray program(200000, '\x7f');
  const qint64 moreThanTheDiskHas = QStorageInfo(path(".")).bytesTotal() + 1;
  const struct { const char* what; std::function<void(RecordingHttpServer&)> answer; DownloadLimits limits; const char* file; bool ok; } rows[] = {
      {"whole", [&](auto& h) { h.answer(200, program); }, {}, " F200.exe", true},
      {"exactly its limit", [&](auto& h) { h.answer(200, program); }, {program.size()}, " F200.exe", true},
      {"not found", [](auto& h) { h.answer(404, "<h1>File Not Found</h1>"); }, {}, " F201.exe", false},
      {"missing folder", [](auto& h) { h.answer(200, "x"); }, {}, "missing/F202.exe", false},
      {"nobody listening", nullptr, {}, " F203.exe", false},
      {"a byte past its limit", [&](auto& h) { h.answer(200, program); }, {program.size() - 1}, " F204.exe", false},
      {"trickling past the deadline", [](auto& h) { h.trickle(1 << 20); }, {-1, 500}, " F205.exe", false},
      {"the disk left too full", [&](auto& h) { h.answer(200, program); }, {-1, 0, moreThanTheDiskHas}, " F206.exe", false},
  };
  for (const auto& r : rows) {
    RecordingHttpServer http;
    if (r.answer) r.answer(http);
    HttpCentralServer server({r.answer ? http.host() : "127.0.0.1:1", 5000});  // port 1: nobody listens
    qint64 progress = 0;
    DownloadLimits limits = r.limits;
    limits.progress = [&progress](qint64 received) { progress = received; };
    EXPECT_EQ(server.download("/quorvalis/update/F200.exe", path(r.file), limits), r.ok) << r.what;
    EXPECT_EQ(exists(r.file), r.ok) << r.what;
    if (r.ok) {
      EXPECT_EQ(readBytes(r.file) + " " + QByteArray::number(progress), program + " 200000") << r.what;
    }
    QFile::remove(path(r.file));
  }
}

// While the body comes, the screens' timers run, a touch meanwhile is dropped, and the progress
// is shown as it grows, ending at the whole size.
TEST_F(DownloadTest, WhileTheBodyComesTimersRunTouchesAreDroppedAndTheProgressGrows) {
  RecordingHttpServer http;
  http.trickle(20);  // a byte every 20 ms
  HttpCentralServer server({http.host(), 5000});
  WaitingScreen screen(20, 100);
  QList<qint64> shown;
  DownloadLimits limits;
  limits.progress = [&](qint64 received) { shown << received; };
  EXPECT_TRUE(server.download("/quorvalis/update/F300.exe", path(" F300.exe"), limits));
  EXPECT_EQ(QFileInfo(path(" F300.exe")).size(), 20);
  EXPECT_GT(screen.ticks, 5);
  QCoreApplication::processEvents();
  EXPECT_EQ(screen.clicks, 0);
  ASSERT_GE(shown.size(), 3) << "progress shown while it came, not only at the end";
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()) && std::adjacent_find(shown.begin(), shown.end()) == shown.end());
  EXPECT_EQ(shown.last(), 20);
}

// A timeout never as long as the screens' idle limit, never zero.
TEST_F(DownloadTest, ServerSettingsFromInstallIni) {
  const struct { const char *server, *seen; } rows[] = {  // server: install.ini's section, nullptr: no file
      {nullptr, "localhost 30000"}, {"host=zentrale.example:8080\r\ntimeout=5", "zentrale.example:8080 5000"},
      {"timeout=600", "localhost 110000"}, {"timeout=abc", "localhost 30000"}};
  for (const auto& r : rows) {
    if (r.server) writeBytes("install.ini", QByteArray("[server]\r\n") + r.server + "\r\n");
    const ServerSettings s = readServerSettings();
    EXPECT_EQ(s.host + ' ' + QString::number(s.timeoutMs), r.seen) << r.server;
  }
}

// Every way an HTTP/1.1 server may frame its answer, whole or broken, through a real socket.
// (However the bytes are split, the reader ends the same: the fuzz target checks that.)
TEST(HttpCentralServer, RepliesFramedAnyWay) {
  const struct { const char* raw; const char* text; } cases[] = {  // text: what get() gives
      {"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nBar S\xFC" "d", "Bar S\xFC" "d"},  // single-byte text
      {"HTTP/1.1 200 OK\r\ncontent-length:  2 \r\nConnection: close\r\n\r\nja", "ja"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
       "3;x=y\r\nOK-\r\nA\r\n0123456789\r\n0\r\nX-Trailer: 1\r\n\r\n",
       "OK-0123456789"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK", "OK"},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 14\r\n\r\nFile Not Found", "File Not Found"},
      {"HTTP/1.0 200 OK\n\nbis zum Ende", "bis zum Ende"},  // ends with the connection
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\nFail", ""},
      {"HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", ""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncut", ""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nOK", ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nOK\r\n0\r\n\r\n", ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nOKX\r\n0\r\n\r\n", ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nOK\r\n", ""},
      {"ICY 200 OK\r\n\r\nmusic", ""}, {"HTTP/1.1 2x0 OK\r\n\r\nbody", ""}, {"", ""},
      {"HTTP/1.1 200 OK\r\nno colon here\r\n\r\nbody", ""},
  };
  RecordingHttpServer http;
  HttpCentralServer server({http.host(), 5000});
  for (const auto& c : cases) {
    http.answerRaw(c.raw, true);
    EXPECT_EQ(server.get("/x"), QString::fromLatin1(c.text)) << c.raw;
  }
}

// One connection carries request after request; one the server closed while it lay idle is
// replaced, and no request reaches the server twice.
TEST(HttpCentralServer, ConnectionKeptAndRenewed) {
  RecordingHttpServer http;
  HttpCentralServer server({http.host(), 5000});
  http.answerRaw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK", false);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(server.get("/a"), "OK");
  EXPECT_EQ(http.connections, 1);
  http.closeConnections();  // whether the client has seen the close yet or not
  EXPECT_EQ(server.get("/b"), "OK");
  EXPECT_EQ(http.connections, 2);
  http.answerRaw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK", true);
  EXPECT_EQ(server.get("/c"), "OK");
  EXPECT_EQ(server.get("/d"), "OK");
  EXPECT_EQ(http.connections, 3);
  EXPECT_EQ(http.requestLines.size(), 6);
}

// The head office's scrambling, written from the rule: nine filler characters, then the
// password; middle character i (from 1) is the plain code minus i plus A plus B.
QString scramble(const QString& password, int a, int b) {
  const QByteArray plain = toCp1252(QStringLiteral("xY3#fil9!") + password);
  QByteArray middle;
  for (qsizetype i = 0; i < plain.size(); ++i)
    middle += static_cast<char>(static_cast<unsigned char>(plain[i]) - (i + 1) + a + b);
  return QString::number(a) + fromCp1252(middle) + QStringLiteral("%1").arg(b, 2, 10, QChar('0'));
}

// Scrambled and unscrambled for several keys; nine characters or fewer leave no password.
TEST(BranchReplies, PasswordAndVersion) {
  const struct { const char* password; int a, b; } keys[] = {
      {"1234", 0, 0}, {"geheim", 3, 17}, {"Bar-Nord", 9, 99}, {"x", 5, 40}, {"Kühl", 2, 8}};
  for (const auto& k : keys)
    EXPECT_EQ(unscramblePassword(scramble(QString::fromUtf8(k.password), k.a, k.b)), QString::fromUtf8(k.password));
  for (const char* pass : {"", "123", "5abcdefghi00"}) EXPECT_EQ(unscramblePassword(QString::fromLatin1(pass)), "") << pass;

  // The reply becomes a file name: only a plain name of at most 15 characters counts.
  const struct { QString reply; UpdateCheck expected; } versions[] = {
      {"", UpdateCheck::kNoReply},         {QString(16, u'F'), UpdateCheck::kNoReply},
      {QString(15, u'F'), UpdateCheck::kNewer}, {"F106", UpdateCheck::kCurrent},
      {"F107", UpdateCheck::kNewer},       {"<h1>404 File Not Found</h1>", UpdateCheck::kNoReply},
      {"F1.0-rc_2", UpdateCheck::kNewer},  {"a/../../x", UpdateCheck::kNoReply},
      {"..\\..\\x", UpdateCheck::kNoReply}, {"..", UpdateCheck::kNoReply},
      {"F107\r\n", UpdateCheck::kNoReply}, {"F 107", UpdateCheck::kNoReply},
      {"c:x", UpdateCheck::kNoReply},      {QString::fromUtf8("F10ä"), UpdateCheck::kNoReply}};
  for (const auto& v : versions) EXPECT_EQ(checkVersionReply(v.reply, "F106"), v.expected) << v.reply.toStdString();
}

// A Linux branch gets releases from apt, which orders package versions as dpkg does: for every
// release name a head office uses (letters, then a number), in the package's form, dpkg must
// agree with the terminal, or apt would take an older release for a newer one.
TEST(UpdateRules, DpkgOrdersPackagedReleasesAsTheTerminalDoes) {
  const QString dpkg = QStandardPaths::findExecutable("dpkg");
  if (dpkg.isEmpty()) GTEST_SKIP() << "no dpkg on this machine";
  const QString prefix = "0.";  // the package's version is this and the release name
  ASSERT_EQ(QStringLiteral(QUORVALIS_DEBIAN_VERSION), prefix + QStringLiteral(QUORVALIS_RELEASE_NAME));
  const char* names[] = {"F9",  "F99",  "F100", "F107", "F108", "F0108", "F1000", "F99999999999999999999",
                         "G1",  "FA1",  "FB1",  "Fa1",  "f107", "AB12",  "A123",  QUORVALIS_RELEASE_NAME};
  for (const char* a : names) {
    for (const char* b : names) {
      const int ours = std::clamp(compareVersions(a, b), -1, 1);
      const auto dpkgSays = [&](const char* relation) {
        return QProcess::execute(dpkg, {"--compare-versions", prefix + a, relation, prefix + b}) == 0;
      };
      const int theirs = dpkgSays("lt") ? -1 : dpkgSays("eq") ? 0 : 1;
      EXPECT_EQ(ours, theirs) << a << " vs " << b;
    }
  }
}

// The head office's names order by letters, then number; other names by their text. A release
// must be newer; a rollback is good for the one version it names.
TEST(UpdateRules, VersionOrderAndWhatAStatementAdmits) {
  const struct { const char* a; const char* b; int order; } pairs[] = {
      {"F99", "F108", -1}, {"F108", "F108", 0}, {"F0108", "F108", 0}, {"F109", "F108", 1}, {"G1", "F999", 1},
      {"F", "F1", -1}, {"F100000000000000", "F99999999999999", 1}, {"1.10", "1.9", -1}, {"beta", "alpha", 1}};
  for (const auto& p : pairs) {
    EXPECT_EQ(std::clamp(compareVersions(p.a, p.b), -1, 1), p.order) << p.a << " " << p.b;
    EXPECT_EQ(std::clamp(compareVersions(p.b, p.a), -1, 1), -p.order) << p.b << " " << p.a;
  }
  const struct { const char* version; const char* rollbackFrom; const char* offered; const char* installed; bool admitted; } statements[] = {
      {"F108", "", "F108", "F107", true},       {"F108", "", "F108", "F108", false},
      {"F108", "", "F108", "F109", false},      {"F108", "F109", "F108", "F109", true},
      {"F108", "F109", "F108", "F110", false},  {"F108", "F109", "F108", "F107", false},
      {"F108", "", "F109", "F107", false},      {"F108", "F108", "F108", "F108", false},
  };
  for (const auto& st : statements)
    EXPECT_EQ(statementAdmits({st.version, 1, st.rollbackFrom, {}}, st.offered, st.installed), st.admitted)
        << st.version << " from " << st.rollbackFrom << " offered as " << st.offered << " to " << st.installed;
}

// Statements made once by the head office's tool and kept here, over a program of several
// megabytes made the same way each time: a change of the signed form fails here before it
// fails every terminal in the field.
TEST_F(ProgramFolderTest, KnownStatementsVerifyAndNothingElseDoes) {
  const QByteArray key = "4Q4VS9XjDiMTmdgmubHBT1BXeIDxLUs4dNdhP4RB4IY=";
  const QByteArray release =
      "quorvalis update 2\nversion=F200\nlength=3145745\nrollback-from=\n"
      "signature=4yKzX5ufsv0aai1gsEbkpZLmvsb5BylPiqPb-FcXa_kQNxeG48z7t61o53ibr-bjemQ6QiPYl0Phz1S_NizZBg==\n";
  const QByteArray rollback =
      "quorvalis update 2\nversion=F199\nlength=3145745\nrollback-from=F200\n"
      "signature=Do6CgxuJdr0SJO4gpFD0IoJ5LDGCN2LPXZ-Vk3JlRzbQg5kJ5VIh9JXslDDgpiiddjG3PbmWiXNnX0L_svehCQ==\n";
  QByteArray program(3 * 1024 * 1024 + 17, '\0');
  quint32 x = 20261207;
  for (char& byte : program) {
    x = x * 1103515245u + 12345u;
    byte = static_cast<char>(x >> 24);
  }
  QByteArray lastAltered = program;
  lastAltered.back() = static_cast<char>(lastAltered.back() ^ 1);
  const struct { const char* what; QByteArray statement, bytes; bool verifies; } rows[] = {
      {"release", release, program, true}, {"rollback", rollback, program, true},
      {"last byte altered", release, lastAltered, false}, {"shorter", release, program.chopped(1), false},
      {"longer", release, program + "!", false}, {"other version", QByteArray(release).replace("F200", "F201"), program, false},
      {"no rollback", QByteArray(rollback).replace("rollback-from=F200", "rollback-from="), program, false},
      {"other format", QByteArray(release).replace("update 2", "update 1"), program, false},
  };
  for (const auto& r : rows) {
    writeBytes("program", r.bytes);
    QFile file(path("program"));
    const auto statement = UpdateStatement::parse(r.statement);
    EXPECT_EQ(statement && file.open(QIODevice::ReadOnly) && verifyUpdateProgram(file, *statement, key), r.verifies) << r.what;
  }
  EXPECT_EQ(UpdateStatement::parse(rollback)->text(), rollback);
}

// The branch's settings file: its numbered file, else the common one. A not-found page removes
// the old file, no answer keeps it, and a file is written only when it holds its section.
TEST_F(ProgramFolderTest, ConfigurationDownloads) {
  const QString numbered = "/quorvalis/DATA/demo/filialen/7.ini", common = "/quorvalis/DATA/demo/filial.ini";
  // numbered: the branch's own file, or the news settings for the ticker; nullptr: no answer.
  const struct { bool ticker; const char *numbered, *common; Download result; const char* file; } cases[] = {
      {false, "[clients]\r\nautomin=1", nullptr, Download::kWritten, "[clients]\r\nautomin=1\r\n"},
      {false, "<title>404 Not Found</title> File Not Found", "[clients]\r\nwin=1", Download::kWritten,
       "[clients]\r\nwin=1\r\n"},
      {false, "[clients]\r\n; File Not here\r\nwin=1", "[x] File Not Found", Download::kNotFound, nullptr},
      {false, nullptr, nullptr, Download::kNoAnswer, "old"},
      {false, "File Not Found", nullptr, Download::kNoAnswer, "old"},  // one not found, one silent
      {true, "[rss]\r\nmain=2", nullptr, Download::kWritten, "[rss]\r\nmain=2\r\n"},
      {true, nullptr, nullptr, Download::kNoAnswer, "old"}, {true, "404 File Not Found", nullptr, Download::kNotFound, nullptr},
  };
  for (const auto& c : cases) {
    testing::ScriptedCentralServer server;
    const QString file = c.ticker ? "rss.ini" : "filialini.ini";
    if (c.numbered) server.reply(c.ticker ? "/quorvalis/DATA/demo/rss.ini" : numbered, c.numbered);
    if (c.common) server.reply(common, c.common);
    writeBytes(file, "old");
    EXPECT_EQ(c.ticker ? downloadTickerSettings(server, "demo") : downloadBranchConfiguration(server, "demo", "7"), c.result)
        << c.numbered;
    EXPECT_EQ(exists(file) ? readBytes(file) : "(none)", c.file ? c.file : "(none)") << c.numbered;
  }
}

}  // namespace quorvalis::testing
