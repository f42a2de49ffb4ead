// The chip card reader: its driver library is loaded at run time and offers one function.
#pragma once

#include <QLibrary>
#include <QString>
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

class LibraryCardReader : public CardReader {
 public:
  explicit LibraryCardReader(const QString& libraryPath = cardReaderLibraryPath());
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;
  bool loaded() const { return function_ != nullptr; }

 private:
  QLibrary library_;
  void* function_ = nullptr;
};

}  // namespace quorvalis
