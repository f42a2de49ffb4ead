#include "platform/file_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvalis {

namespace {

// On Windows a virus scanner, a backup or an open editor holds a file for a moment, and a
// replace or an append then fails; like SQLite's Windows layer, try again a few times over about
// a second before counting it as failed. Elsewhere nothing refuses for that reason.
template <class Write>
bool retryWhileBusy(const QString& path, Write write) {
#ifdef Q_OS_WIN
  static constexpr int kWaitsMs[] = {25, 50, 75, 100, 150, 200, 400};
  for (const int wait : kWaitsMs) {
    if (write()) return true;
    if (!QFileInfo(path).absoluteDir().exists()) return false;  // no folder: nothing to wait for
    QThread::msleep(static_cast<unsigned long>(wait));
  }
#else
  (void)path;
#endif
  return write();
}

bool replaceOnce(const QString& path, const QByteArray& bytes) {
  // QSaveFile writes to a temporary file in the same folder and its commit() syncs it to
  // disk before the rename.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool appendOnce(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  if (file.write(bytes) != bytes.size() || !file.flush()) return false;
#ifdef Q_OS_WIN
  return _commit(file.handle()) == 0;
#else
  return ::fsync(file.handle()) == 0;
#endif
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
  return retryWhileBusy(path, [&] { return replaceOnce(path, bytes); });
}

bool appendDurably(const QString& path, const QByteArray& bytes) {
  return retryWhileBusy(path, [&] { return appendOnce(path, bytes); });
}

}  // namespace quorvalis
