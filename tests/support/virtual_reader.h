// A PC/SC service of the test's own: pcscd with vsmartcard's virtual reader (vpcd) on a free
// port, and the cardsim card plugged into it by cardsim-vpcd. pcscd 1.9.9 has its socket fixed
// at /run/pcscd (only the client reads PCSCLITE_CSOCK_NAME), so it runs in a mount namespace of
// its own with a folder of this process bound there: no clash with a system pcscd or another test.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

namespace quorvalis::testing {

class VirtualReader {
 public:
  // The client library reads the socket's name once per process: one folder per process.
  explicit VirtualReader(const QString& cardFile, QStringList cardOptions = {})
      : dir_(QDir::tempPath() + QStringLiteral("/quorvalis-pcsc-%1").arg(QCoreApplication::applicationPid())) {
    QDir().mkpath(dir_ + "/run");
    QDir().mkpath(dir_ + "/conf");
    qputenv("PCSCLITE_CSOCK_NAME", (dir_ + "/run/pcscd.comm").toLocal8Bit());
    port_ = freePortPair();
    QFile conf(dir_ + "/conf/vpcd");
    if (conf.open(QIODevice::WriteOnly))
      conf.write(QStringLiteral("FRIENDLYNAME \"Virtual PCD\"\nDEVICENAME /dev/null:%1\nLIBPATH "
                                "/usr/lib/pcsc/drivers/serial/libifdvpcd.so\nCHANNELID %1\n").arg(port_).toLatin1());
    card_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cardFile_ = cardFile;
    replug(cardOptions);
  }
  // The card taken out; pcscd notices in its own time.
  void pullOut() {
    card_.kill();
    card_.waitForFinished(5000);
  }
  // Another card put in, with these options (an answer to reset, a kind).
  bool replug(const QStringList& cardOptions) {
    pullOut();
    card_.start(QStringLiteral(CARDSIM_VPCD_BINARY),
                QStringList{"--file", cardFile_, "--port", QString::number(port_)} + cardOptions);
    return card_.waitForStarted(5000);
  }
  ~VirtualReader() {
    stopService();
    card_.kill();
    card_.waitForFinished(5000);
    QDir(dir_).removeRecursively();
  }
  VirtualReader(const VirtualReader&) = delete;
  VirtualReader& operator=(const VirtualReader&) = delete;

  // True once pcscd takes connections.
  bool startService() {
    QDir().mkpath(QStringLiteral("/run/pcscd"));  // the mount point
    QFile::remove(socket());
    pcscd_.setStandardOutputFile(dir_ + "/pcscd.log", QIODevice::Append);
    pcscd_.setStandardErrorFile(dir_ + "/pcscd.log", QIODevice::Append);
    QStringList args{"--mount"};
    if (QFileInfo(QStringLiteral("/proc/self")).ownerId() != 0) args << "--map-root-user";
    pcscd_.start(QStringLiteral("unshare"),
                 args + QStringList{"sh", "-c", "mount --bind \"$0\" /run/pcscd && exec /usr/sbin/pcscd --foreground --config \"$1\"",
                                    dir_ + "/run", dir_ + "/conf"});
    return QTest::qWaitFor([&] { return QFile::exists(socket()) || pcscd_.state() == QProcess::NotRunning; }, 20000) &&
           pcscd_.state() == QProcess::Running;
  }
  void stopService() {
    if (pcscd_.state() == QProcess::NotRunning) return;
    pcscd_.terminate();
    if (!pcscd_.waitForFinished(10000)) pcscd_.kill();
    pcscd_.waitForFinished(5000);
  }
  QString socket() const { return dir_ + "/run/pcscd.comm"; }
  QString log() const {
    QFile f(dir_ + "/pcscd.log");
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
  }
  static constexpr char kFirstSlot[] = "Virtual PCD 00 00", kSecondSlot[] = "Virtual PCD 00 01";

 private:
  // vpcd listens on the port and the next, one for each of its two slots.
  // Each service of a process on ports of its own: the last one's may linger after it ended.
  static int freePortPair() {
    static int services = 0;
    const int first = 20000 + static_cast<int>((QCoreApplication::applicationPid() * 8 + services++ * 2) % 44000);
    for (int port = first; port < 65000; port += 2) {
      QTcpServer a, b;
      if (a.listen(QHostAddress::Any, static_cast<quint16>(port)) && b.listen(QHostAddress::Any, static_cast<quint16>(port + 1)))
        return port;
    }
    return 35963;
  }

  QString dir_, cardFile_;
  int port_ = 0;
  QProcess pcscd_, card_;
};

}  // namespace quorvalis::testing
