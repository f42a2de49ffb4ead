// The chip card reader: its driver library is loaded at run time and offers one function.
#pragma once

#include <QLibrary>
#include <QString>
#include <functional>
#include <memory>

namespace quorvalis {

struct CardResult {
  int result = -1;   // 0 = success
  QString dataOut;   // the whole data-out buffer after the call, one character per card byte
  bool called = false;  // false when the library or its function was not there
};

class CardReader {
 public:
  virtual ~CardReader() = default;
  // One SCardComand call. dataOut is prefilled with outLen blanks, as the library expects.
  virtual CardResult command(const QString& cmd, const QString& dataIn, int outLen) = 0;
  // True while a call waits for its answer with events going on: timers that fire inside that
  // wait (the club screen's polling) leave their calls for a later tick.
  virtual bool busy() const { return false; }
};

// Status replies of "Card,Info,Status", seven characters each.
inline constexpr char kStatusError[] = "error  ";
inline constexpr char kStatusInvalid[] = "invalid";
inline constexpr char kStatusWait[] = "wait   ";
inline constexpr char kStatusActive[] = "active ";

// Command texts: numbers in decimal without blanks or leading zeros.
QString statusCommand();
QString readCommand(int address, int length);
QString writeCommand(int address, int length);

// The three calls the club screens make.
QString cardStatus(CardReader& reader);
QString cardRead(CardReader& reader, int address, int length);
int cardWrite(CardReader& reader, int address, const QString& bytes);

// The reader library in the program folder: SCard32.DLL on Windows, libSCard32.so elsewhere.
QString cardReaderLibraryPath();

// 32 or 64 for a Windows DLL or an ELF library by its header; 0 when it is neither or missing.
int libraryBits(const QString& path);

// Milliseconds of a steady clock: the readers' retry timing when no clock is given.
qint64 steadyMs();

// Loads the library at construction. Without it every call fails (called = false), and a
// call tries loading again at most once a minute, so a reader installed later is found
// without flooding the disk with attempts from the one-second polling.
class LibraryCardReader : public CardReader {
 public:
  using MonotonicMs = std::function<qint64()>;
  static constexpr qint64 kRetryMs = 60000;

  explicit LibraryCardReader(const QString& libraryPath = cardReaderLibraryPath(),
                             MonotonicMs now = {});
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;
  bool loaded() const { return function_ != nullptr; }

 private:
  void load();

  QString path_;
  MonotonicMs now_;
  std::unique_ptr<QLibrary> library_;
  void* function_ = nullptr;
  qint64 lastAttempt_ = 0;
};

}  // namespace quorvalis
