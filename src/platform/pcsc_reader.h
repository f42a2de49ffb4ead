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

// What a card's answer to reset says of it: a memory card (read and written), another system's
// chip card (left alone), or not enough to tell (the card is asked: a read of byte 0).
enum class AtrKind { kMemory, kProcessor, kAsk };
AtrKind classifyAtr(const QByteArray& atr);
inline bool isStorageCardAtr(const QByteArray& atr) { return classifyAtr(atr) == AtrKind::kMemory; }

// The storage-card read of byte 0 that settles a card its answer to reset leaves open, and
// whether the card's answer to it is a memory card's (one byte, 90 00); a processor card refuses
// the reader's class (6E 00, 6D 00, 68 8x, 6A 81 ...).
inline constexpr char kProbeApdu[] = "\xFF\xB0\x00\x00\x01";
bool probeSaysMemory(const QByteArray& answer);

// Asked of the PC/SC reader through any wrapper: "memory|processor|mute|none,<reader name>" of
// the reader in use after the last status; blank when there is none (the maker's library does
// not know the command).
inline constexpr char kReaderInfoCommand[] = "Card,Info,Reader";

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
