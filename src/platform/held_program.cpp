#include "platform/held_program.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvalis {

#ifdef Q_OS_WIN

HeldProgram::HeldProgram(const QString& file) : file_(QFileInfo(file).absoluteFilePath()) {
  // No write or delete sharing: while this handle is open the file can be read and started,
  // nothing else.
  const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(file_).utf16()),
                               GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  held_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (held_ < 0) {
    CloseHandle(h);
    return;
  }
  content_.open(held_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
}

bool HeldProgram::start() {
  if (!isOpen()) return false;
  return QProcess::startDetached(file_, {}, QFileInfo(file_).absolutePath());
}

HeldProgram::~HeldProgram() {
  content_.close();
  if (held_ >= 0) _close(held_);
}

#else

HeldProgram::HeldProgram(const QString& file) : file_(QFileInfo(file).absoluteFilePath()) {
  QFile in(file_);
  if (!in.open(QIODevice::ReadOnly)) return;
  // Inherited by the started program: it runs from this descriptor.
  const int fd = memfd_create("quorvalis-update", MFD_ALLOW_SEALING);
  if (fd < 0) return;
  QFile copy;
  bool ok = copy.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
  QByteArray chunk;
  while (ok && !(chunk = in.read(1 << 16)).isEmpty()) ok = copy.write(chunk) == chunk.size();
  ok = ok && in.error() == QFileDevice::NoError && copy.flush();
  copy.close();
  ok = ok && fchmod(fd, 0500) == 0 &&
       fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0;
  // A program open for writing cannot be started (ETXTBSY): keep a read-only descriptor only.
  const int readOnly = ok ? ::open(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), O_RDONLY) : -1;
  ::close(fd);
  if (readOnly < 0) return;
  held_ = readOnly;
  content_.open(held_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
}

bool HeldProgram::start() {
  if (!isOpen()) return false;
  // The child inherits the descriptor; a script's interpreter reads it as /dev/fd/N.
  return QProcess::startDetached(QStringLiteral("/proc/self/fd/%1").arg(held_), {},
                                 QFileInfo(file_).absolutePath());
}

HeldProgram::~HeldProgram() {
  content_.close();
  if (held_ >= 0) ::close(held_);
}

#endif

}  // namespace quorvalis
