// The baseline for the start-up benchmark: a bare Qt window built like the terminal. With a
// number, a timer of that many milliseconds that does nothing: the floor of a step's cost
// (scripts/bench-day.sh).
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel band(QStringLiteral("bare"));
  band.setWindowTitle(QStringLiteral("bare window"));
  band.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  band.setGeometry(0, screen.height() - 166, screen.width(), 166);
  band.show();
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [] {});
  // Only a number of milliseconds: anything else would make a 0 ms timer that spins.
  const int ms = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
  if (ms > 0) tick.start(ms);
  return app.exec();
}
