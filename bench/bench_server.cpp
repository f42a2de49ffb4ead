// Round trips of one blocking request against the development central server on loopback,
// beside curl fetching the same URL over one kept-alive connection in the same run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "server/http_central_server.h"
#include "server/request_target.h"
#include "zentrale_process.h"

namespace {

constexpr int kRequests = 2000;
quorvalis::testing::ZentraleProcess* zentrale = nullptr;

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

void roundTrips(benchmark::State& state, const char* name, const QString& path) {
  quorvalis::HttpCentralServer server({zentrale->host(), 10000});
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
void curlTrips(benchmark::State& state, const char* name, const QString& path) {
  QTemporaryFile config;
  if (!config.open()) return state.SkipWithError("no config file");
  const QByteArray url = "http://" + zentrale->host().toLatin1() + quorvalis::encodeRequestTarget(path);
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

const std::pair<const char*, const char*> kUrls[] = {
    {"branch lookup", "/quorvalis/DATA/filiale.cgi?DEMO01"},
    {"coupon lookup", "/quorvalis/DATA/searchc.cgi?DEMO01---00491711234567---1234"},
    {"branch file", "/quorvalis/DATA/demo/filial.ini"},
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  quorvalis::testing::ZentraleProcess server;
  if (!server.started()) return 1;
  zentrale = &server;
  for (const auto& [name, path] : kUrls) {
    benchmark::RegisterBenchmark((std::string("Get/") + name).c_str(), roundTrips, name, QString::fromLatin1(path))
        ->Iterations(kRequests)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("Curl/") + name).c_str(), curlTrips, name, QString::fromLatin1(path))
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("QtNetwork/") + name).c_str(), qtNetworkTrips, name,
                                 QString::fromLatin1(path))
        ->Iterations(kRequests)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nmedian / p99 in us  %-13s %-13s %-7s %-13s\n", "get", "curl", "get/curl", "Qt Network");
  for (const auto& [name, r] : table)
    if (r.curl.median > 0)
      std::printf("%-19s %5.0f / %-5.0f %5.0f / %-5.0f %6.2fx  %5.0f / %-5.0f\n", name.c_str(), r.get.median,
                  r.get.p99, r.curl.median, r.curl.p99, r.get.median / r.curl.median, r.qtNetwork.median,
                  r.qtNetwork.p99);
  return 0;
}
