// The floor for the touch benchmark: a bare button on a band like the terminal's that opens a
// bare modal QDialog where the terminal's screens stand, with a close key where theirs is.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int w = screen.width(), h = screen.height();
  const Qt::WindowFlags topmost = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

  QWidget band(nullptr, topmost);
  band.setWindowTitle(QStringLiteral("bare dialog"));
  band.setGeometry(0, h - 166, w, 166);
  // Where the terminal's first band button is: 3300 x 1100 twips left of the middle.
  QPushButton open(QStringLiteral("open"), &band);
  open.setGeometry(w / 2 - 240, 20, 220, 73);
  QObject::connect(&open, &QPushButton::clicked, [&] {
    QDialog dialog(nullptr, topmost);
    dialog.setGeometry(0, h - 600, w, 600);
    QPushButton close(QStringLiteral("Abbrechen"), &dialog);
    close.setGeometry(w - 194, 480, 166, 53);
    QObject::connect(&close, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
  });
  band.show();
  return app.exec();
}
