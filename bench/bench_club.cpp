// What the club screen costs: one polling tick through the reader library (every second, all
// day long), and the check-in's file work (day file rewritten and synced, visit line synced).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include "club/club_screen.h"
#include "fakes.h"

namespace {

using namespace quorvalis;

struct ClubBench {
  ClubBench() {
    qputenv("QUORVALIS_HOME", dir.path().toLocal8Bit());
    qputenv("CARDSIM_FILE", dir.filePath("card").toLocal8Bit());
  }
  void cardsim(const QStringList& args) { QProcess::execute(QStringLiteral(CARDSIM_BINARY), args); }

  QTemporaryDir dir;
  testing::FixedClock clock;
  testing::ScriptedCentralServer server;
  LibraryCardReader reader{QStringLiteral(SCARD_LIBRARY)};
  testing::RecordingDesktop desktop;
  testing::ScriptedDialogs dialogs;
  testing::RecordingPrinterSystem printers;
  Services services{clock, server, reader, desktop, dialogs, printers};
  TerminalState state = testing::bandState();
};

// Arg 0: no card in the reader; 1: a member's card, read at its insertion and left in.
void BM_PollTick(benchmark::State& st) {
  ClubBench b;
  b.server.reply("/quorvalis/DATA/clubsearch.cgi?", "00491711234567;Anna;Muster;Gold");
  if (st.range(0) == 1) b.cardsim({"club", "00491711234567"});
  ClubScreen club(b.services, b.state);
  club.timer1Tick();
  for (auto _ : st) club.timer1Tick();
}
BENCHMARK(BM_PollTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One check-in with Arg members already present.
void BM_CheckIn(benchmark::State& st) {
  ClubBench b;
  ClubScreen club(b.services, b.state);
  for (int i = 0; i < st.range(0); ++i) {
    const QString number = QStringLiteral("0049171%1").arg(1000000 + i);
    b.server.reply("/quorvalis/DATA/clubsearch.cgi?B---" + number, number + ";Vor;Nach;");
    club.findChild<QLineEdit*>("DATA_0")->setText("0171");
    club.findChild<QLineEdit*>("DATA_1")->setText(number.mid(7));
    club.search_Click();
  }
  b.server.reply("/quorvalis/DATA/clubsearch.cgi?B---00491609876543", "00491609876543;Max;Beispiel;");
  if (club.presentRecords().size() != st.range(0)) st.SkipWithError("members not checked in");
  for (auto _ : st) {
    club.findChild<QLineEdit*>("DATA_0")->setText("0160");
    club.findChild<QLineEdit*>("DATA_1")->setText("9876543");
    club.search_Click();
    st.PauseTiming();
    if (club.presentRecords().size() != st.range(0) + 1) st.SkipWithError("no check-in");
    club.findChild<QListWidget*>("angemeldet2")->setCurrentRow(static_cast<int>(st.range(0)));
    club.angemeldet2_Click();
    club.abmelden_Click();
    st.ResumeTiming();
  }
}
BENCHMARK(BM_CheckIn)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
