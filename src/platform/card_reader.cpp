#include "platform/card_reader.h"

#include <QFile>
#include <QtEndian>

#include <chrono>
#include <cstdint>
#include <vector>

#include "common/text.h"
#include "platform/program_folder.h"

#include "platform/scard_abi.h"

namespace quorvalis {

QString statusCommand() { return QStringLiteral("Card,Info,Status"); }

QString readCommand(int address, int length) {
  return QStringLiteral("Card,MemRead,%1,%2").arg(address).arg(length);
}

QString writeCommand(int address, int length) {
  return QStringLiteral("Card,MemWrite,%1,%2").arg(address).arg(length);
}

QString cardStatus(CardReader& reader) { return reader.command(statusCommand(), {}, 7).dataOut; }

QString cardRead(CardReader& reader, int address, int length) {
  return reader.command(readCommand(address, length), {}, length).dataOut;
}

int cardWrite(CardReader& reader, int address, const QString& bytes) {
  return reader.command(writeCommand(address, static_cast<int>(bytes.size())), bytes, 0).result;
}

QString cardReaderLibraryPath() {
#ifdef Q_OS_WIN
  return programFile(QStringLiteral("SCard32.DLL"));
#else
  return programFile(QStringLiteral("libSCard32.so"));
#endif
}

int libraryBits(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray head = file.read(4096);
  if (head.startsWith("\x7f" "ELF") && head.size() > 4) return head[4] == 2 ? 64 : head[4] == 1 ? 32 : 0;
  if (!head.startsWith("MZ") || head.size() < 0x40) return 0;
  const quint32 pe = qFromLittleEndian<quint32>(head.constData() + 0x3c);
  if (pe + 6 > static_cast<quint32>(head.size()) || !head.mid(pe, 4).startsWith(QByteArray("PE\0\0", 4))) return 0;
  const quint16 machine = qFromLittleEndian<quint16>(head.constData() + pe + 4);
  return machine == 0x14c ? 32 : machine == 0x8664 ? 64 : 0;
}

qint64 steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LibraryCardReader::LibraryCardReader(const QString& libraryPath, MonotonicMs now)
    : path_(libraryPath), now_(now ? std::move(now) : MonotonicMs(steadyMs)) {
  load();
}

void LibraryCardReader::load() {
  lastAttempt_ = now_();
  auto library = std::make_unique<QLibrary>(path_);
  if (!library->load()) return;
  function_ = reinterpret_cast<void*>(library->resolve(scard::kEntryPoint));
  if (function_) library_ = std::move(library);
}

CardResult LibraryCardReader::command(const QString& cmd, const QString& dataIn, int outLen) {
  CardResult out;
  outLen = std::max(outLen, 0);
  out.dataOut = QString(outLen, u' ');
  if (!function_ && now_() - lastAttempt_ >= kRetryMs) load();
  if (!function_) return out;

  const QByteArray command = toCp1252(cmd);
  const QByteArray input = toCp1252(dataIn);
  std::vector<char> buffer(static_cast<size_t>(outLen) + 1, ' ');
  buffer[static_cast<size_t>(outLen)] = '\0';
  int32_t handle = 0;
  int32_t commandLength = 0;
  int32_t inputLength = static_cast<int32_t>(input.size());
  int32_t outputLength = outLen;
  auto fn = reinterpret_cast<scard::ComandFn>(function_);
  out.result = fn(&handle, command.constData(), &commandLength, input.constData(), &inputLength,
                  buffer.data(), &outputLength);
  out.called = true;
  out.dataOut = fromCp1252(QByteArray(buffer.data(), outLen));
  return out;
}

}  // namespace quorvalis
