// How long the screens stall while the club screen polls a reader holding a mute card: pcsc-lite
// keeps such a status call about 410 ms. The club screen polls its reader every second while a
// 5 ms timer stands in for keys and painting; the gaps between that timer's ticks are the stalls.
// The reader called on the screens' thread, and on its own thread (ThreadedCardReader), side by
// side, beside a reader that answers at once (the machine's own noise): the longest gap, the 99th percentile, and how many gaps passed 20 ms.
// With "pcsc", the PC/SC service's reader instead (scripts/bench-card-stall.sh presents a mute card
// through pcscd and vpcd).
//   bench_card_stall [SECONDS per run, default 10] [MUTE_MS, default 410 | pcsc]
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "club/club_screen.h"
#include "fakes.h"
#include "platform/pcsc_reader.h"
#include "platform/threaded_card_reader.h"

using namespace quorvalis;

namespace {

// A reader with a card that does not answer: each status call keeps the caller muteMs.
class MuteCardReader : public CardReader {
 public:
  explicit MuteCardReader(int muteMs) : muteMs_(muteMs) {}
  CardResult command(const QString& cmd, const QString&, int outLen) override {
    CardResult out;
    out.called = true;
    out.dataOut = QString(outLen, u' ');
    if (cmd == statusCommand()) {
      QThread::msleep(static_cast<unsigned long>(muteMs_));
      out.result = 0;
      out.dataOut = QString::fromLatin1(kStatusInvalid);
    }
    return out;
  }

 private:
  int muteMs_;
};

struct Stalls {
  double longestMs = 0, p99Ms = 0, p999Ms = 0;
  int over20 = 0, ticks = 0;
};

Stalls measure(CardReader& reader, int seconds) {
  testing::FakeServices fakes;
  Services services{fakes.clock, fakes.server, reader, fakes.desktop, fakes.dialogs, fakes.printers};
  TerminalState state = testing::bandState();
  ClubScreen club(services, state);
  club.show();
  std::vector<double> gaps;
  QElapsedTimer clock;
  clock.start();
  qint64 last = clock.nsecsElapsed();
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    gaps.push_back((now - last) / 1e6);
    last = now;
  });
  probe.start(5);
  QTimer end;
  QEventLoop loop;
  QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
  end.start(seconds * 1000);
  loop.exec();
  probe.stop();
  Stalls s;
  s.ticks = static_cast<int>(gaps.size());
  std::sort(gaps.begin(), gaps.end());
  if (!gaps.empty()) {
    s.longestMs = gaps.back();
    s.p99Ms = gaps[gaps.size() * 99 / 100];
    s.p999Ms = gaps[gaps.size() * 999 / 1000];
    s.over20 = static_cast<int>(gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 20.0));
  }
  return s;
}

// Counts the status calls that reached the mute reader.
class CountingReader : public CardReader {
 public:
  explicit CountingReader(CardReader& to, int& count) : to_(to), count_(count) {}
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override {
    if (cmd == statusCommand()) ++count_;
    return to_.command(cmd, dataIn, outLen);
  }

 private:
  CardReader& to_;
  int& count_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
  const int muteMs = argc > 2 ? std::max(1, atoi(argv[2])) : 410;  // "pcsc": 1, unused
  QTemporaryDir folder;
  qputenv("QUORVALIS_HOME", folder.path().toLocal8Bit());

  const bool pcsc = argc > 2 && QByteArray(argv[2]) == "pcsc";
  const auto reader = [&]() -> std::unique_ptr<CardReader> {
    if (pcsc) return std::make_unique<PcscCardReader>();
    return std::make_unique<MuteCardReader>(muteMs);
  };
  int directPolls = 0, threadedPolls = 0, instantPolls = 0;
  Stalls before, after, noise;
  {
    // The machine's own noise: the same screen over a reader that answers at once.
    testing::MemoryCardReader instant;
    CountingReader counted(instant, instantPolls);
    noise = measure(counted, seconds);
  }
  {
    const auto mute = reader();
    CountingReader direct(*mute, directPolls);
    before = measure(direct, seconds);
  }
  {
    ThreadedCardReader threaded([&]() -> std::unique_ptr<CardReader> {
      struct Owning : CountingReader {
        Owning(std::unique_ptr<CardReader> r, int& n) : CountingReader(*r, n), held(std::move(r)) {}
        std::unique_ptr<CardReader> held;
      };
      return std::make_unique<Owning>(reader(), threadedPolls);
    });
    after = measure(threaded, seconds);
  }
  if (pcsc) std::printf("mute card in the PC/SC service's reader");
  else std::printf("mute card: status call %d ms", muteMs);
  std::printf(", club screen polling every second, %d s per run, 5 ms probe timer\n", seconds);
  std::printf("%-34s %14s %14s %16s\n", "", "before (UI)", "after (thread)", "instant reader");
  std::printf("%-34s %11.1f ms %11.1f ms %13.1f ms\n", "longest event-loop stall", before.longestMs, after.longestMs, noise.longestMs);
  std::printf("%-34s %11.1f ms %11.1f ms %13.1f ms\n", "99th percentile of tick gaps", before.p99Ms, after.p99Ms, noise.p99Ms);
  std::printf("%-34s %11.1f ms %11.1f ms %13.1f ms\n", "99.9th percentile of tick gaps", before.p999Ms, after.p999Ms, noise.p999Ms);
  std::printf("%-34s %14d %14d %16d\n", "gaps over 20 ms", before.over20, after.over20, noise.over20);
  std::printf("%-34s %14d %14d %16d\n", "probe ticks", before.ticks, after.ticks, noise.ticks);
  std::printf("%-34s %14d %14d %16d\n", "status calls to the reader", directPolls, threadedPolls, instantPolls);
  return 0;
}
