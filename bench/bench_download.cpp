// The update download of a 100 MB program from the development central server on loopback,
// plain and over TLS, beside curl fetching the same URL into the same folder in the same run.
// Ours runs as the band runs it: the terminal's bounds (512 MB, 15 minutes, 64 MB kept free) and
// its progress written into a label on screen for every piece that arrives.
// Usage: bench_download [RUNS] (default 7; the median of each is compared).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "server/http_central_server.h"
#include "server/request_target.h"
#include "zentrale_process.h"
#include "bench_certificates.h"

namespace {

constexpr qint64 kProgramBytes = 100LL * 1024 * 1024;
const QString kPath = QStringLiteral("/quorvalis/update/F999.exe");

struct Endpoint {
  QString host, ca;
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Timing {
  double total = 0, firstByte = 0;  // seconds; total 0: it failed
};

// One download through the terminal's own client, a new connection each time as curl makes one.
Timing ours(const Endpoint& at, const QString& file, QLabel& progress) {
  quorvalis::HttpCentralServer server({at.host, 10000, at.ca});
  QElapsedTimer timer;
  timer.start();
  Timing t;
  const bool ok = server.download(kPath, file,
                                  {512LL * 1024 * 1024, 15 * 60 * 1000, 64LL * 1024 * 1024, [&](qint64 received) {
                                     if (t.firstByte == 0) t.firstByte = static_cast<double>(timer.nsecsElapsed()) / 1e9;
                                     progress.setText(QStringLiteral("F999 %1 MB").arg(received >> 20));
                                   }});
  t.total = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  if (!ok || QFile(file).size() != kProgramBytes) t.total = 0;
  QFile::remove(file);
  return t;
}

// curl's own times for the transfer (without its process start).
Timing curl(const Endpoint& at, const QString& file) {
  QStringList args{"-s", "-f", "-o", file, "-w", "%{time_total} %{time_starttransfer}"};
  if (!at.ca.isEmpty()) args << "--cacert" << at.ca;
  args << quorvalis::centralServerUrl(at.host, kPath).toString(QUrl::FullyEncoded);
  QProcess p;
  p.start("curl", args);
  const bool ok = p.waitForFinished(120000) && p.exitCode() == 0 && QFile(file).size() == kProgramBytes;
  QFile::remove(file);
  const QList<QByteArray> times = p.readAllStandardOutput().split(' ');
  if (!ok || times.size() != 2) return {};
  return {times[0].toDouble(), times[1].toDouble()};
}


// The program both servers hand out: 100 MB that do not compress.
bool writeProgram(const QString& dataDir) {
  QDir(dataDir).mkpath(QStringLiteral("update"));
  QFile out(dataDir + QStringLiteral("/update/F999.exe"));
  if (!out.open(QIODevice::WriteOnly)) return false;
  QByteArray block(1024 * 1024, Qt::Uninitialized);
  quint32 x = 2463534242u;
  for (qint64 written = 0; written < kProgramBytes; written += block.size()) {
    for (char& c : block) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = static_cast<char>(x);
    }
    if (out.write(block) != block.size()) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
  quorvalis::testing::ZentraleProcess plain;
  QTemporaryDir certs, downloads;
  if (!plain.started() || !makeCertificates(certs.path()) || !writeProgram(plain.dataDir())) return 1;
  quorvalis::testing::ZentraleProcess secure({"--seed-demo", "--tls", certs.filePath("z.pem"), certs.filePath("z.key")});
  if (!secure.started() || !writeProgram(secure.dataDir())) return 1;
  QLabel progress;  // the band's version label, as the download shows its progress
  progress.resize(300, 30);
  progress.show();
  const QString file = downloads.filePath(QStringLiteral(" F999.exe"));

  std::printf("100 MB update program on loopback, median of %d runs each, taken in turn; the first byte\n"
              "comes once the development server has read the whole file\n", runs);
  std::printf("%-6s %8s %8s %10s %10s %12s %9s\n", "", "ours s", "curl s", "ours MB/s", "curl MB/s",
              "1st byte s", "ours/curl");
  for (const bool tls : {false, true}) {
    const Endpoint at = tls ? Endpoint{QStringLiteral("https://127.0.0.1:%1").arg(secure.port()), certs.filePath("ca.pem")}
                            : Endpoint{plain.host(), {}};
    std::vector<double> a, b, fa, fb;
    for (int i = 0; i < runs; ++i) {
      const Timing s = ours(at, file, progress), c = curl(at, file);
      if (s.total == 0 || c.total == 0) {
        std::fprintf(stderr, "%s run %d failed (ours %.3f, curl %.3f)\n", tls ? "TLS" : "plain", i + 1, s.total, c.total);
        return 1;
      }
      a.push_back(s.total);
      b.push_back(c.total);
      fa.push_back(s.firstByte);
      fb.push_back(c.firstByte);
    }
    const double mb = static_cast<double>(kProgramBytes) / (1024 * 1024);
    const double sa = median(a), sb = median(b);
    std::printf("%-6s %8.3f %8.3f %10.0f %10.0f  %.3f/%.3f %8.2fx\n", tls ? "TLS" : "plain", sa, sb, mb / sa, mb / sb,
                median(fa), median(fb), sb / sa);
  }
  return 0;
}
