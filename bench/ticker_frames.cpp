// Frames of the news strip as the X server shows them, step by step: the strip is put on the
// display with a fixed feed, stepped by hand (its own timer held back), and after each step's
// paint and flush the window is read back from the display. Two builds' frames at the same steps
// must be equal pixel for pixel (ImageMagick: compare -metric AE a.png b.png null: prints 0).
// Usage (on an X display): ticker_frames OUT_DIR STEP...   (steps counted from the first entry's start)
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "server/feed_source.h"
#include "server/terminal_state.h"
#include "ticker/ticker_screen.h"

namespace {

// One feed with a headline longer than the strip and one shorter, the same at every fetch.
class FixedFeed : public quorvalis::FeedSource {
 public:
  void fetch(const QString&, QObject* context, Done done) override {
    QTimer::singleShot(0, context, [done = std::move(done)] {
      done(QByteArray("<rss><channel><title>Kanal</title>"
                      "<item><title>Heute im Haus: Jazz am Abend, Brunch am Sonntag und die neue Karte mit "
                      "Gerichten der Saison, Kaffee und Kuchen ab 14 Uhr, Tischreservierung am Tresen</title>"
                      "<description>d</description><pubDate>Mo, 07 Dez 2026</pubDate></item>"
                      "<item><title>Kurz</title><description>d</description><pubDate>Di</pubDate></item>"
                      "</channel></rss>"));
    });
  }
};

void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir home;
  qputenv("QUORVALIS_HOME", home.path().toLocal8Bit());
  QFile ini(home.filePath(QStringLiteral("rss.ini")));
  if (!ini.open(QIODevice::WriteOnly) || ini.write("[rss]\r\nmain=1\r\nitems=3\r\nspeed=2\r\n") <= 0) return 1;
  ini.close();
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: ticker_frames OUT_DIR STEP...\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());
  quorvalis::TerminalState state;
  state.quorvalverz = QStringLiteral("demo");
  const QSize screen = QGuiApplication::primaryScreen()->size();
  state.screenW = QString::number(screen.width() * 15);
  state.screenH = QString::number(screen.height() * 15);
  FixedFeed feeds;
  quorvalis::TickerScreen ticker(state, feeds, [] { return false; });
  ticker.show();
  for (int i = 0; i < 200 && ticker.scrollText().isEmpty(); ++i) settle();
  // The steps come from here, not from the strip's 10 ms timer.
  auto* timer = ticker.findChild<QTimer*>(QStringLiteral("Timer1"));
  if (!timer || ticker.scrollText().isEmpty()) return 1;
  constexpr int kHeld = 24 * 3600 * 1000;
  timer->start(kHeld);
  settle();
  // Steps the timer made before it was held count as made (speed 2).
  int done = (ticker.scroller()->parentWidget()->width() - ticker.scroller()->x()) / 2;
  for (int a = 2; a < argc; ++a) {
    const int step = atoi(argv[a]);
    if (step < done) {
      std::fprintf(stderr, "step %d has passed already (%d)\n", step, done);
      return 1;
    }
    for (; done < step; ++done) {
      ticker.timer1Tick();
      QCoreApplication::processEvents();  // each step painted and flushed as the timer would
      // The next entry: its feed fetched and the strip's timer held back again.
      while (ticker.loading()) settle();
      if (timer->interval() != kHeld) {
        timer->start(kHeld);
        settle();
      }
    }
    settle();
    const QPixmap frame = QGuiApplication::primaryScreen()->grabWindow(ticker.winId());
    if (!frame.save(out.filePath(QStringLiteral("step-%1.png").arg(step, 5, 10, QChar(u'0'))))) return 1;
  }
  return 0;
}
