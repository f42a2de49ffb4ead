#include "platform/card_helper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QtEndian>
#include <algorithm>

#include "common/text.h"
#include "platform/program_folder.h"
#include "platform/scard_abi.h"
#include "platform/threaded_card_reader.h"

namespace quorvalis {
namespace {

QByteArray number(quint32 value) {
  QByteArray b(4, '\0');
  qToLittleEndian(value, b.data());
  return b;
}

}  // namespace

HelperCardReader::HelperCardReader(QString helperPath, QString libraryPath, MonotonicMs now,
                                   int callLimitMs)
    : helper_(std::move(helperPath)),
      library_(std::move(libraryPath)),
      now_(now ? std::move(now) : MonotonicMs(steadyMs)),
      callLimitMs_(callLimitMs) {}

HelperCardReader::~HelperCardReader() { stop(); }

void HelperCardReader::stop() {
  if (!process_) return;
  process_->kill();
  process_->waitForFinished(1000);
  process_.reset();
}

// Waits on the pipe itself: a call blocks the screen as a driver call in process does, but the
// whole call never longer than the limit, however its answer trickles in.
bool HelperCardReader::readExactly(char* data, qint64 size, const QElapsedTimer& call) {
  qint64 got = 0;
  while (got < size) {
    const qint64 n = process_->read(data + got, size - got);
    if (n < 0) return false;
    got += n;
    if (got == size) break;
    const qint64 left = callLimitMs_ - call.elapsed();
    if (left <= 0 || !process_->waitForReadyRead(static_cast<int>(left))) return false;
  }
  return true;
}

bool HelperCardReader::start() {
  if (everStarted_ && now_() - lastStart_ < kRetryMs) return false;
  everStarted_ = true;
  lastStart_ = now_();
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  process_->setStandardErrorFile(QProcess::nullDevice());
  // With this process's id: the helper ends with the terminal, even inside a hung driver call.
  process_->start(helper_, {QDir::toNativeSeparators(library_), QString::number(QCoreApplication::applicationPid())});
  QElapsedTimer call;
  call.start();
  char ready = 0;
  if (!process_->waitForStarted(callLimitMs_) || !readExactly(&ready, 1, call) ||
      ready != scard::kReady) {
    stop();
    return false;
  }
  return true;
}

CardResult HelperCardReader::command(const QString& cmd, const QString& dataIn, int outLen) {
  CardResult out;
  outLen = std::clamp(outLen, 0, static_cast<int>(scard::kMaxField));
  out.dataOut = QString(outLen, u' ');
  if (!running() && !start()) return out;

  QElapsedTimer call;
  call.start();
  const QByteArray command = toCp1252(cmd);
  const QByteArray input = toCp1252(dataIn);
  process_->write(number(command.size()) + command + number(input.size()) + input +
                  number(static_cast<quint32>(outLen)));
  char head[8];
  QByteArray buffer(outLen, ' ');
  if (!readExactly(head, 8, call) || qFromLittleEndian<quint32>(head + 4) != static_cast<quint32>(outLen) ||
      !readExactly(buffer.data(), outLen, call)) {
    // Dead or hanging: the reader is missing until a later start works.
    lastStart_ = now_();
    stop();
    return out;
  }
  out.result = qFromLittleEndian<qint32>(head);
  out.called = true;
  out.dataOut = fromCp1252(buffer);
  return out;
}

CardResult DriverOrServiceReader::command(const QString& cmd, const QString& dataIn, int outLen) {
  return (QFileInfo::exists(library_) ? driver_ : service_)->command(cmd, dataIn, outLen);
}

namespace {

std::unique_ptr<CardReader> createPlatformReader(const PcscSettings& pcsc) {
#ifdef Q_OS_WIN
  const QString library = cardReaderLibraryPath();
  return std::make_unique<DriverOrServiceReader>(
      library,
      std::make_unique<FallbackCardReader>(
          std::make_unique<LibraryCardReader>(library),
          std::make_unique<HelperCardReader>(programFile(QStringLiteral("quorval-card.exe")), library)),
      std::make_unique<PcscCardReader>(pcsc));
#else
  auto library = std::make_unique<LibraryCardReader>();
  if (library->loaded()) return library;
  return std::make_unique<FallbackCardReader>(std::move(library), std::make_unique<PcscCardReader>(pcsc));
#endif
}

}  // namespace

// Made, called and destroyed on the reader's own thread: its waits never hold the screens.
std::unique_ptr<CardReader> createCardReader(const PcscSettings& pcsc) {
  return std::make_unique<ThreadedCardReader>([pcsc] { return createPlatformReader(pcsc); });
}

}  // namespace quorvalis
