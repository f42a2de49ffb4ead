// The branch report built from a redemption log of 100 000 lines, as the settings form does at
// every opening: the file read, the records taken, the lines and the total made.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "branch/branch_report.h"

namespace {

void BM_BuildReport(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath("coupons.ini");
  QByteArray log;
  for (int i = 0; i < state.range(0); ++i)
    log += "04.12.2026;" + QByteArray::number(1000 + i % 9000) + ";00491711234567;" +
           (i % 2 ? "7.5" : "5") + "\r\n";
  QFile out(path);
  out.open(QIODevice::WriteOnly);
  out.write(log);
  out.close();
  for (auto _ : state) {
    QFile in(path);
    in.open(QIODevice::ReadOnly);
    const QStringList lines =
        quorvalis::reportLines(quorvalis::reportRecords(in.readAll()), "Bar Nord", "---", QDate(2026, 12, 4));
    benchmark::DoNotOptimize(lines);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
