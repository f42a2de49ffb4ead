// A chip card reader through the system's PC/SC service (pcscd with libccid on Linux): the
// maker's command texts become PC/SC part 3 storage-card commands, so the club screens see the
// same status texts, bytes and results as with the maker's driver.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "platform/card_reader.h"

namespace quorvalis {

// install.ini [card].
struct PcscSettings {
  QString reader;  // the reader whose name starts with this; empty: the first that holds or takes a memory card
  QString select;  // hex, sent to each card before its first read or write (a reader's card-type selection)
};

// Results as the maker's driver numbers them (cardsim's stand-in does the same).
namespace card_result {
inline constexpr int kOk = 0, kNoCard = 1, kUnreadable = 2, kBadAddress = 3, kProtected = 4,
                     kReaderDown = 5, kUnknownCommand = 9;
}

// True for a storage card's answer to reset: PC/SC part 3 (RID A0 00 00 03 06 in the historical
// bytes), or a synchronous card's own answer, which some readers pass on (first byte neither 3B nor 3F).
bool isStorageCardAtr(const QByteArray& atr);

// Without the service every call fails (called = false), and establishing it is tried again at
// most once a minute; a service that goes away while in use is established again at once.
class PcscCardReader : public CardReader {
 public:
  using MonotonicMs = LibraryCardReader::MonotonicMs;
  static constexpr qint64 kRetryMs = LibraryCardReader::kRetryMs;

  explicit PcscCardReader(PcscSettings settings = {}, MonotonicMs now = {});
  ~PcscCardReader() override;
  CardResult command(const QString& cmd, const QString& dataIn, int outLen) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace quorvalis
