// The reader's driver in a helper process: the maker's SCard32.DLL is a 32-bit library that the
// 64-bit terminal cannot load, and a driver that crashes or hangs must not take the terminal
// with it.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <memory>

#include "platform/card_reader.h"
#include "platform/pcsc_reader.h"

namespace quorvalis {

// Talks to quorval-card over a pipe, one call at a time. A helper that cannot load the
// library, dies, or does not answer a call within callLimitMs is ended and the reader counts as
// missing (called = false); it is started again at most once a minute.
class HelperCardReader : public CardReader {
 public:
  using MonotonicMs = LibraryCardReader::MonotonicMs;
  static constexpr qint64 kRetryMs = LibraryCardReader::kRetryMs;

  HelperCardReader(QString helperPath, QString libraryPath, MonotonicMs now = {},
                   int callLimitMs = 2000);
  ~HelperCardReader() override;
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;
  bool running() const { return process_ && process_->state() == QProcess::Running; }

 private:
  bool start();
  void stop();
  bool readExactly(char* data, qint64 size, const QElapsedTimer& call);

  QString helper_, library_;
  MonotonicMs now_;
  int callLimitMs_;
  std::unique_ptr<QProcess> process_;
  qint64 lastStart_ = 0;
  bool everStarted_ = false;
};

// In process while the library loads there (a 64-bit driver), else through the helper.
class FallbackCardReader : public CardReader {
 public:
  FallbackCardReader(std::unique_ptr<LibraryCardReader> direct,
                     std::unique_ptr<CardReader> helper)
      : direct_(std::move(direct)), helper_(std::move(helper)) {}
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override {
    CardResult out = direct_->command(cmd, dataIn, outLen);
    return out.called ? out : helper_->command(cmd, dataIn, outLen);
  }

 private:
  std::unique_ptr<LibraryCardReader> direct_;
  std::unique_ptr<CardReader> helper_;
};

// The maker's driver while its library lies in the program folder, else the PC/SC service: the
// file decides at every call, so a path is never half one and half the other while a driver is
// restarted, and a driver installed or removed later takes over at the next call.
class DriverOrServiceReader : public CardReader {
 public:
  DriverOrServiceReader(QString libraryPath, std::unique_ptr<CardReader> driver, std::unique_ptr<CardReader> service)
      : library_(std::move(libraryPath)), driver_(std::move(driver)), service_(std::move(service)) {}
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;

 private:
  QString library_;
  std::unique_ptr<CardReader> driver_, service_;
};

// The reader of this platform's terminal: on Windows the library in process or, for the maker's
// 32-bit driver, through quorval-card.exe; without the maker's library Windows' own PC/SC
// (winscard.dll), through the same mapping as on Linux. On Linux the library in process when it loads;
// otherwise the PC/SC service's reader, with the library still looked for once a minute. Either
// runs on a thread of its own (ThreadedCardReader).
std::unique_ptr<CardReader> createCardReader(const PcscSettings& pcsc = {});

}  // namespace quorvalis
