#include <QApplication>
#include <QLabel>

#include "platform/card_reader.h"
#include "server/http_central_server.h"
#include "server/services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorvalis::SystemClock clock;
  quorvalis::HttpCentralServer server(quorvalis::readServerSettings());
  quorvalis::LibraryCardReader reader;
  quorvalis::Services services{clock, server, reader};
  (void)services;

  QLabel window(QStringLiteral("quorvalis"));
  window.setWindowTitle(QStringLiteral("Eingabe erforderlich !"));
  window.resize(400, 200);
  window.show();
  return app.exec();
}
