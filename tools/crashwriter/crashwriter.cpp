// Drives the terminal's write paths in a loop for scripts/crash-test.sh, which kills it with
// SIGKILL at random moments, and checks the files it left behind.
//   crashwriter run DIR    write round after round until killed; prints "shown N" once the
//                          redemption of round N is on disk (the moment the screen says so)
//   crashwriter check DIR LAST_SHOWN   exit 1 and say why when any file is damaged
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

#include "common/text.h"
#include "platform/file_write.h"
#include "server/branch_configuration.h"
#include "server/central_server.h"
#include "settings/ini.h"

using namespace quorvalis;

namespace {

// The configuration the "server" hands out in round n: long enough to take several writes.
QString configuration(int n) {
  QString text = QStringLiteral("[clients]\r\nround=%1\r\n").arg(n);
  for (int i = 0; i < 200; ++i) text += QStringLiteral("key%1=value %2 %1\r\n").arg(i).arg(n);
  return text + QStringLiteral("end=%1").arg(n);
}

class RoundServer : public CentralServer {
 public:
  int round = 0;
  QString get(const QString&) override { return configuration(round); }
  QString getUrl(const QString&) override { return {}; }
  bool download(const QString&, const QString&, const DownloadLimits&) override { return false; }
  bool busy() const override { return false; }
};

QByteArray dayFile(int n) {
  QByteArray bytes;
  for (int i = 0; i <= n % 50; ++i)
    bytes += "0049171" + QByteArray::number(1000000 + i) + ";Vor;Nach;Gold;04.12.2026\r\n";
  return bytes;
}

QByteArray read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int run(const QString& dir) {
  RoundServer server;
  for (int n = 1;; ++n) {
    server.round = n;
    IniWrite(dir + "/cl.ini", "start", "round", QString::number(n));
    IniWrite(dir + "/cl.ini", "start", QStringLiteral("key%1").arg(n % 20), QString(40, u'x'));
    writeFileAtomically(dir + "/day.ini", dayFile(n));
    if (downloadBranchConfiguration(server, "demo", "1") != Download::kWritten) return 2;
    const QByteArray redemption = "04.12.2026;" + QByteArray::number(n) + ";00491711234567;5\r\n";
    if (appendDurably(dir + "/coupons.ini", redemption)) {
      std::printf("shown %d\n", n);
      std::fflush(stdout);
    }
    appendDurably(dir + "/visits.ini", "00491711234567;Anna;Muster;04.12.2026;" +
                                           QByteArray::number(n) + "\r\n");
  }
}

int fail(const char* what) {
  std::printf("damaged: %s\n", what);
  return 1;
}

int check(const QString& dir, int lastShown) {
  if (!QFile::exists(dir + "/cl.ini")) return 0;  // killed before the first write
  // The INI file: whole, every line a section or a key, the round a number.
  const QByteArray cl = read(dir + "/cl.ini");
  if (!cl.startsWith("[start]\r\n") || !cl.endsWith("\r\n")) return fail("cl.ini torn");
  static const QRegularExpression keyLine(QStringLiteral("\\A(\\[start\\]|round=\\d+|key\\d+=x{40})\\z"));
  for (const QString& line : QString::fromLatin1(cl).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    if (!keyLine.match(line).hasMatch()) return fail("cl.ini line");
  // The day file: exactly the content of one round.
  if (QFile::exists(dir + "/day.ini")) {
    const QByteArray day = read(dir + "/day.ini");
    bool whole = false;
    for (int n = 1; n <= 50 && !whole; ++n) whole = day == dayFile(n);
    if (!whole) return fail("day file torn");
  }
  // The downloaded configuration: exactly one round's file with its printed line end.
  if (QFile::exists(dir + "/filialini.ini")) {
    const QByteArray config = read(dir + "/filialini.ini");
    const int round = static_cast<int>(readNumber(iniReadText(config, "clients", "round", "0")));
    if (config != toCp1252(configuration(round) + QStringLiteral("\r\n"))) return fail("filialini.ini torn");
  }
  // The logs: whole lines only, and the last redemption shown is there.
  for (const char* log : {"coupons.ini", "visits.ini"}) {
    const QByteArray bytes = read(dir + "/" + log);
    if (!bytes.isEmpty() && !bytes.endsWith("\r\n")) return fail("log line cut");
  }
  if (lastShown > 0 &&
      !read(dir + "/coupons.ini").contains(";" + QByteArray::number(lastShown) + ";00491711234567;5\r\n"))
    return fail("a redemption shown is not in the log");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() >= 3 && args[1] == "run") {
    qputenv("QUORVALIS_HOME", args[2].toLocal8Bit());  // the download writes into the program folder
    return run(args[2]);
  }
  if (args.size() >= 4 && args[1] == "check") return check(args[2], args[3].toInt());
  std::fputs("usage: crashwriter run DIR | crashwriter check DIR LAST_SHOWN\n", stderr);
  return 2;
}
