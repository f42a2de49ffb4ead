// Round trips of one blocking request against the development central server on loopback,
// beside curl fetching the same URL over one kept-alive connection in the same run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "server/http_central_server.h"
#include "server/request_target.h"
#include "zentrale_process.h"
#include "bench_certificates.h"

namespace {

constexpr int kRequests = 2000;
quorvalis::testing::ZentraleProcess* zentrale = nullptr;
// The same server over TLS, with an authority made for the run.
QString tlsHost, tlsCa;

const std::pair<const char*, const char*> kUrls[] = {
    {"branch lookup", "/quorvalis/DATA/filiale.cgi?DEMO01"},
    {"coupon lookup", "/quorvalis/DATA/searchc.cgi?DEMO01---00491711234567---1234"},
    {"branch file", "/quorvalis/DATA/demo/filial.ini"},
};

struct Endpoint {
  QString host, ca;
};
Endpoint endpoint(bool tls) { return tls ? Endpoint{tlsHost, tlsCa} : Endpoint{zentrale->host(), {}}; }

struct Figures {
  double median = 0, p99 = 0;
};
struct Row {
  Figures get, curl, qtNetwork;
};
std::map<std::string, Row> table;

Figures figures(std::vector<double> micros) {
  if (micros.empty()) return {};
  std::sort(micros.begin(), micros.end());
  return {micros[micros.size() / 2], micros[std::min(micros.size() - 1, micros.size() * 99 / 100)]};
}

void report(benchmark::State& state, const Figures& f) {
  state.counters["median_us"] = f.median;
  state.counters["p99_us"] = f.p99;
}

void roundTrips(benchmark::State& state, std::string name, const QString& path, bool tls) {
  quorvalis::HttpCentralServer server({endpoint(tls).host, 10000, endpoint(tls).ca});
  std::vector<double> micros;
  QElapsedTimer timer;
  for (auto _ : state) {
    timer.start();
    const QString reply = server.get(path);
    micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    if (reply.isEmpty()) state.SkipWithError("no reply");
  }
  table[name].get = figures(micros);
  report(state, table[name].get);
}

// curl's own time for each transfer; all of them share one connection.
void curlTrips(benchmark::State& state, std::string name, const QString& path, bool tls) {
  QTemporaryFile config;
  if (!config.open()) return state.SkipWithError("no config file");
  const QByteArray url = quorvalis::centralServerUrl(endpoint(tls).host, path).toEncoded();
  if (tls) config.write("cacert = \"" + tlsCa.toLocal8Bit() + "\"\n");
  for (int i = 0; i < kRequests; ++i) config.write("url = \"" + url + "\"\noutput = /dev/null\n");
  config.flush();
  std::vector<double> micros;
  for (auto _ : state) {
    QProcess curl;
    curl.start("curl", {"-s", "-w", "%{time_total}\\n", "-K", config.fileName()});
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0) return state.SkipWithError("curl failed");
    for (const QByteArray& line : curl.readAllStandardOutput().split('\n'))
      if (!line.isEmpty()) micros.push_back(line.toDouble() * 1e6);
  }
  table[name].curl = figures(micros);
  report(state, table[name].curl);
}

// The first request of a new client: the connection, and over TLS the handshake.
void firstRequests(benchmark::State& state, std::string name, bool tls) {
  std::vector<double> micros;
  QElapsedTimer timer;
  for (auto _ : state) {
    quorvalis::HttpCentralServer server({endpoint(tls).host, 10000, endpoint(tls).ca});
    timer.start();
    if (server.get(QString::fromLatin1(kUrls[0].second)).isEmpty()) state.SkipWithError("no reply");
    micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
  }
  table[name].get = figures(micros);
  report(state, table[name].get);
}

// The same requests through Qt Network, as the terminal made them before.
void qtNetworkTrips(benchmark::State& state, const char* name, const QString& path) {
  QNetworkAccessManager manager;
  const QUrl url = quorvalis::centralServerUrl(zentrale->host(), path);
  std::vector<double> micros;
  QElapsedTimer timer;
  for (auto _ : state) {
    timer.start();
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    if (reply->readAll().isEmpty()) state.SkipWithError("no reply");
    micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
  }
  table[name].qtNetwork = figures(micros);
  report(state, table[name].qtNetwork);
}

}  // namespace


int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  quorvalis::testing::ZentraleProcess server;
  QTemporaryDir certs;
  if (!server.started() || !makeCertificates(certs.path())) return 1;
  quorvalis::testing::ZentraleProcess secure({"--seed-demo", "--tls", certs.filePath("z.pem"), certs.filePath("z.key")});
  if (!secure.started()) return 1;
  zentrale = &server;
  tlsHost = QStringLiteral("https://127.0.0.1:%1").arg(secure.port());
  tlsCa = certs.filePath("ca.pem");
  for (const bool tls : {false, true}) {
    const std::string name = tls ? "first, TLS" : "first";
    benchmark::RegisterBenchmark(("FirstGet/" + name).c_str(), firstRequests, name, tls)
        ->Iterations(200)
        ->Unit(benchmark::kMicrosecond);
  }
  for (const auto& [label, path] : kUrls) {
    for (const bool tls : {false, true}) {
      const std::string name = std::string(label) + (tls ? ", TLS" : "");
      benchmark::RegisterBenchmark(("Get/" + name).c_str(), roundTrips, name, QString::fromLatin1(path), tls)
          ->Iterations(kRequests)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("Curl/" + name).c_str(), curlTrips, name, QString::fromLatin1(path), tls)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
    const char* name = label;
    benchmark::RegisterBenchmark((std::string("QtNetwork/") + name).c_str(), qtNetworkTrips, name,
                                 QString::fromLatin1(path))
        ->Iterations(kRequests)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nmedian / p99 in us       %-13s %-13s %-7s %-13s\n", "get", "curl", "get/curl", "Qt Network");
  for (const auto& [name, r] : table)
    if (r.curl.median == 0)
      std::printf("%-24s %5.0f / %-5.0f (a new client's first request)\n", name.c_str(), r.get.median, r.get.p99);
    else
      std::printf("%-24s %5.0f / %-5.0f %5.0f / %-5.0f %6.2fx  %5.0f / %-5.0f\n", name.c_str(), r.get.median,
                  r.get.p99, r.curl.median, r.curl.p99, r.get.median / r.curl.median, r.qtNetwork.median,
                  r.qtNetwork.p99);
  return 0;
}
