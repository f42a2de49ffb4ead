#include "platform/desktop_common.h"

#include "platform/guard_link.h"
#include "platform/held_program.h"
#include "platform/support_log.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScreen>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace quorvalis {

QtDesktop::QtDesktop(const QString& release)
    : release_(release), program_(QCoreApplication::applicationFilePath()) {}

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


QString QtDesktop::packagedRelease() {
#ifdef Q_OS_WIN
  return {};  // the terminal fetches and starts the installer itself
#else
  return release_;
#endif
}

bool QtDesktop::programReplaced() {
#ifdef Q_OS_WIN
  return false;
#else
  struct stat running {}, onDisk {};
  if (::stat("/proc/self/exe", &running) != 0) return false;
  // Missing: in the middle of being replaced; the next look decides.
  if (program_.isEmpty() || ::stat(QFile::encodeName(program_).constData(), &onDisk) != 0) return false;
  return running.st_ino != onDisk.st_ino || running.st_dev != onDisk.st_dev;
#endif
}

bool QtDesktop::restartIntoNewProgram(const QString& reason) {
  if (!guardlink::guarded()) return false;
  logInfo("terminal", QStringLiteral("ends to start anew: ") + reason);
  guardlink::restartWanted(reason);
  QCoreApplication::exit(0);
  return true;
}

}  // namespace quorvalis
