// The club screen's one-second status poll, through the reader driver in process, through its
// helper process and, as the terminal makes its reader without a driver, through the PC/SC
// service (Linux), side by side: median and 99th percentile of single calls. A plain timing loop
// (no Google Benchmark) so that it also runs in the Windows build, under Wine.
//   bench_card_poll DIRECT_DRIVER HELPER HELPER_DRIVER [CARD_FILE]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cardsim/card_file.h"
#include "platform/card_helper.h"

using namespace quorvalis;

namespace {

void measure(const char* name, CardReader& reader) {
  constexpr int kCalls = 2000;
  if (!reader.command(statusCommand(), {}, 7).called) {
    std::printf("%-28s reader not available\n", name);
    return;
  }
  std::vector<qint64> ns;
  ns.reserve(kCalls);
  QElapsedTimer t;
  for (int i = 0; i < kCalls; ++i) {
    t.start();
    reader.command(statusCommand(), {}, 7);
    ns.push_back(t.nsecsElapsed());
  }
  std::sort(ns.begin(), ns.end());
  std::printf("%-28s median %8.1f us   p99 %8.1f us   (%d calls)\n", name, ns[kCalls / 2] / 1000.0,
              ns[kCalls * 99 / 100] / 1000.0, kCalls);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_card_poll DIRECT_DRIVER HELPER HELPER_DRIVER [CARD_FILE]\n");
    return 2;
  }
  if (argc > 4) qputenv("CARDSIM_FILE", argv[4]);
  LibraryCardReader direct(QString::fromLocal8Bit(argv[1]));
  HelperCardReader helper(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  measure("status poll, in process", direct);
  measure("status poll, through helper", helper);
  if (argc > 4) {
    // A driver that hangs: how long one call keeps the club screen waiting.
    cardsim::SimCard card = cardsim::loadCard(argv[4]);
    card.fault = cardsim::DriverFault::kHang;
    cardsim::saveCard(argv[4], card);
    QElapsedTimer t;
    t.start();
    const bool answered = helper.command(statusCommand(), {}, 7).called;
    std::printf("%-28s the call returned after %lld ms%s\n", "hung driver, through helper", t.elapsed(),
                answered ? " WITH an answer" : "");
    card.fault = cardsim::DriverFault::kNone;
    cardsim::saveCard(argv[4], card);
  }
  // No driver in the program folder: the service's reader (scripts/bench.sh starts one).
  QTemporaryDir folder;
  qputenv("QUORVALIS_HOME", folder.path().toLocal8Bit());
  const auto service = createCardReader();
  measure("status poll, PC/SC service", *service);
  return 0;
}
