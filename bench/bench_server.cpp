// Round trips of one blocking request against the development central server on loopback.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace {

quorvalis::testing::ZentraleProcess* zentrale = nullptr;

void roundTrips(benchmark::State& state, const QString& path) {
  quorvalis::HttpCentralServer server({zentrale->host(), 10000});
  std::vector<double> micros;
  QElapsedTimer timer;
  for (auto _ : state) {
    timer.start();
    const QString reply = server.get(path);
    micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    if (reply.isEmpty()) state.SkipWithError("no reply");
  }
  std::sort(micros.begin(), micros.end());
  if (micros.empty()) return;
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

void BM_GetBranchLookup(benchmark::State& state) {
  roundTrips(state, "/quorvalis/DATA/filiale.cgi?DEMO01");
}
void BM_GetCouponLookup(benchmark::State& state) {
  roundTrips(state, "/quorvalis/DATA/searchc.cgi?DEMO01---00491711234567---1234");
}
void BM_GetBranchFile(benchmark::State& state) {
  roundTrips(state, "/quorvalis/DATA/demo/filial.ini");
}
BENCHMARK(BM_GetBranchLookup)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetCouponLookup)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetBranchFile)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  quorvalis::testing::ZentraleProcess server;
  if (!server.started()) return 1;
  zentrale = &server;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
