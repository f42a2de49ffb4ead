#include "platform/file_write.h"

#include <QFile>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvalis {

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
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

bool appendDurably(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  if (file.write(bytes) != bytes.size() || !file.flush()) return false;
#ifdef Q_OS_WIN
  return _commit(file.handle()) == 0;
#else
  return ::fsync(file.handle()) == 0;
#endif
}

}  // namespace quorvalis
