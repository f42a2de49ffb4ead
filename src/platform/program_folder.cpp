#include "platform/program_folder.h"

#include <QDir>

namespace quorvalis {

QString programFolder() {
  const QString home = qEnvironmentVariable("QUORVALIS_HOME");
  if (!home.isEmpty()) return QDir::cleanPath(home);
#ifdef Q_OS_WIN
  return QStringLiteral("c:/quorvalis");
#else
  return QDir::homePath() + QStringLiteral("/quorvalis");
#endif
}

QString programFile(const QString& name) { return programFolder() + u'/' + name; }

bool ensureProgramFolder() { return QDir().mkpath(programFolder()); }

}  // namespace quorvalis
