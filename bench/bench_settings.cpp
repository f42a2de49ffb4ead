// How long one settings lookup takes in a large settings file.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "settings/ini.h"

namespace {

// A settings file of 200 keys (about 3 KB) in a folder of its own.
QString writeSettingsFile(const QTemporaryDir& dir) {
  const QString file = dir.filePath("filialini.ini");
  QByteArray text = "; branch configuration\r\n[clients]\r\n";
  for (int i = 0; i < 200; ++i) text += "key" + QByteArray::number(i) + "=value " + QByteArray::number(i) + "\r\n";
  QFile f(file);
  f.open(QIODevice::WriteOnly);
  f.write(text);
  return file;
}

// The floor of any lookup: opening the file, reading it and decoding its text once.
void BM_Baseline_ReadAndDecodeFile(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = writeSettingsFile(dir);
  for (auto _ : state) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(QString::fromLatin1(f.readAll()));
  }
}
BENCHMARK(BM_Baseline_ReadAndDecodeFile);

void BM_IniReadOneKeyOf200(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = writeSettingsFile(dir);
  const QString key = QStringLiteral("key%1").arg(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(quorvalis::IniRead(file, "clients", key, "0"));
}
BENCHMARK(BM_IniReadOneKeyOf200)->Arg(0)->Arg(100)->Arg(199);

void BM_IniWriteOneKeyOf200(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = dir.filePath("cl.ini");
  for (int i = 0; i < 200; ++i) quorvalis::IniWrite(file, "start", QStringLiteral("k%1").arg(i), "x");
  int n = 0;
  for (auto _ : state) quorvalis::IniWrite(file, "start", "k100", QString::number(++n));
}
BENCHMARK(BM_IniWriteOneKeyOf200);

// The same write without the disk: what the rules cost, apart from the sync that makes a
// power cut safe.
void BM_IniWriteTextOneKeyOf200(benchmark::State& state) {
  QByteArray text = "[start]\r\n";
  for (int i = 0; i < 200; ++i) text += "k" + QByteArray::number(i) + "=x\r\n";
  int n = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(quorvalis::iniWriteText(text, "start", "k100", QString::number(++n)));
}
BENCHMARK(BM_IniWriteTextOneKeyOf200);

}  // namespace

BENCHMARK_MAIN();
