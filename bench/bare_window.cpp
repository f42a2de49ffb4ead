// The baseline for the start-up benchmark: a bare Qt window built like the terminal.
#include <QApplication>
#include <QLabel>
#include <QScreen>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel band(QStringLiteral("bare"));
  band.setWindowTitle(QStringLiteral("bare window"));
  band.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  band.setGeometry(0, screen.height() - 166, screen.width(), 166);
  band.show();
  return app.exec();
}
