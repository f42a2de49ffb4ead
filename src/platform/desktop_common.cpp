#include "platform/desktop_common.h"

#include "platform/guard_link.h"
#include "platform/held_program.h"
#include "platform/support_log.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScreen>

namespace quorvalis {

QSize QtDesktop::screenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize();
}

bool QtDesktop::startProgram(const QString& program, const QStringList& args) {
  // A downloaded program arrives without the execute bit.
  QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner | QFile::ExeUser);
  return QProcess::startDetached(program, args);
}

bool QtDesktop::startHeld(HeldProgram& program) { return program.start(); }

void QtDesktop::beep() { QApplication::beep(); }

// Leaves every running event loop, a modal screen's included; callers stop their own work.
void QtDesktop::endProgram(const QString& reason) {
  logInfo("terminal", QStringLiteral("ends: ") + reason);
  guardlink::plannedEnd(reason);
  QCoreApplication::exit(0);
}

}  // namespace quorvalis
