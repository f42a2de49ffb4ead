// The branch report built from a redemption log of 100 000 lines, as the settings form does at
// every opening: the file read, the records taken, the lines and the total made.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "branch/branch_report.h"

namespace {

// A redemption log of n lines in a folder of its own.
QString writeLog(const QTemporaryDir& dir, int64_t n) {
  const QString path = dir.filePath("coupons.ini");
  QByteArray log;
  for (int64_t i = 0; i < n; ++i)
    log += "04.12.2026;" + QByteArray::number(1000 + i % 9000) + ";00491711234567;" +
           (i % 2 ? "7.5" : "5") + "\r\n";
  QFile out(path);
  out.open(QIODevice::WriteOnly);
  out.write(log);
  return path;
}

// The floor: reading the log and decoding its text once.
void BM_Baseline_ReadAndDecodeLog(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = writeLog(dir, state.range(0));
  for (auto _ : state) {
    QFile in(path);
    in.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(QString::fromLatin1(in.readAll()));
  }
}
BENCHMARK(BM_Baseline_ReadAndDecodeLog)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BuildReport(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = writeLog(dir, state.range(0));
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
