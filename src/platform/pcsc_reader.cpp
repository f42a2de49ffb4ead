#include "platform/pcsc_reader.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <winscard.h>

#include <QHash>
#include <algorithm>
#include <optional>
#include <vector>

#include "common/text.h"

namespace quorvalis {
namespace {

namespace r = card_result;

// Windows' winscard.dll and pcsc-lite share the calls, states and codes; Windows names the
// calls that take reader names twice, and Qt builds select the wide ones. Names stay 8-bit here.
#ifdef _WIN32
using ReaderState = SCARD_READERSTATEA;
#define QUORVALIS_NARROW(name) name##A
#else
using ReaderState = SCARD_READERSTATE;
#define QUORVALIS_NARROW(name) name
#endif
inline LONG listReaders(SCARDCONTEXT c, char* names, DWORD* size) {
  return QUORVALIS_NARROW(SCardListReaders)(c, nullptr, names, size);
}
inline LONG statusChange(SCARDCONTEXT c, ReaderState* s, DWORD n) { return QUORVALIS_NARROW(SCardGetStatusChange)(c, 0, s, n); }
inline LONG connectReader(SCARDCONTEXT c, const char* r, DWORD* protocol, SCARDHANDLE* h) {
  return QUORVALIS_NARROW(SCardConnect)(c, r, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, h, protocol);
}
#undef QUORVALIS_NARROW

constexpr int kCardBytes = 256;     // the club's memory cards
constexpr int kFirstChunk = 128;    // halved until the reader takes it

// The service is gone or was restarted: the context is dead.
bool serviceLost(LONG rv) {
  return rv == SCARD_E_NO_SERVICE || rv == SCARD_E_SERVICE_STOPPED || rv == SCARD_E_INVALID_HANDLE ||
         rv == SCARD_F_COMM_ERROR;
}

int statusWordResult(int sw) {
  switch (sw) {
    case 0x6982: case 0x6985: case 0x6581: return r::kProtected;
    case 0x6B00: case 0x6A82: case 0x6A83: case 0x6A86: return r::kBadAddress;
    default: return r::kUnreadable;
  }
}

// "FF A4 00 00 01 06", blanks and colons allowed.
std::optional<QByteArray> parseHex(QString digits) {
  digits.remove(u' ').remove(u':');
  if (digits.isEmpty() || digits.size() % 2) return std::nullopt;
  for (QChar c : digits)
    if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c)) return std::nullopt;
  return QByteArray::fromHex(digits.toLatin1());
}

// "Card,MemRead,1,6": address and length, digits only.
bool parseRange(const QString& rest, int& address, int& length) {
  const QStringList parts = rest.split(u',');
  bool a = false, l = false;
  if (parts.size() != 2) return false;
  address = parts[0].toInt(&a);
  length = parts[1].toInt(&l);
  return a && l && address >= 0 && length >= 0;
}

}  // namespace

// The club's cards are synchronous memory cards (SLE 4442/4432/4428 class). Readers report them
// in one of three ways, and each is taken at its word:
//  - PC/SC's storage-card answer: historical bytes 80 4F 0C with the RID A0 00 00 03 06;
//  - the card's own four bytes, first byte neither 3B nor 3F (no ISO answer at all);
//  - the short form 3B 04 H1 H2 H3 H4: no interface bytes, the card's own bytes as historical
//    ones. Its H1 tells a synchronous card when it names a bus of ISO 7816-10 (8 serial data
//    access, 9 three-wire, A two-wire) with a general-purpose or proprietary structure
//    (SLE 4442 A2 13 10 91, SLE 4428 92 23 10 91). Telephone and laundry cards put other bytes
//    there, and so does a processor card read by a reader set to memory cards: those are asked.
// A processor card says so: a protocol other than T=0 (T=1 is block transfer, which no memory
// card speaks) or historical bytes that start with a category indicator of ISO 7816-4 (00, 10,
// 80): another system's card, never sent a command. Anything else, and an answer cut short, is
// asked with a read of byte 0.
AtrKind classifyAtr(const QByteArray& atr) {
  if (atr.isEmpty()) return AtrKind::kProcessor;  // nothing answered: nothing to read
  const auto at = [&](int i) { return i < atr.size() ? static_cast<unsigned char>(atr[i]) : 0; };
  if (at(0) != 0x3B && at(0) != 0x3F) return AtrKind::kMemory;
  // Walk the interface bytes to the historical ones, noting the protocols named.
  const int historical = at(1) & 0x0F;
  int y = at(1) >> 4;
  int i = 2;
  bool blockProtocol = false;
  for (;;) {
    i += ((y & 1) != 0) + ((y & 2) != 0) + ((y & 4) != 0);
    if (!(y & 8)) break;
    const int protocol = at(i) & 0x0F;
    blockProtocol = blockProtocol || (protocol != 0 && protocol != 15);  // 15: global bytes, no protocol
    y = at(i) >> 4;
    ++i;
  }
  const QByteArray bytes = atr.mid(i, historical);
  static const QByteArray kStorage = QByteArray::fromHex("804F0CA000000306");
  if (historical >= kStorage.size() && bytes.startsWith(kStorage)) return AtrKind::kMemory;
  if (at(1) == 0x04 && atr.size() == 6) {
    const int h1 = at(2), bus = h1 >> 4;
    return bus >= 0x8 && bus <= 0xA && (h1 & 0x0B) == 0x02 ? AtrKind::kMemory : AtrKind::kAsk;
  }
  if (blockProtocol) return AtrKind::kProcessor;
  if (i + historical > atr.size()) return AtrKind::kAsk;
  const int category = bytes.isEmpty() ? -1 : static_cast<unsigned char>(bytes[0]);
  if (category == 0x00 || category == 0x10 || category == 0x80) return AtrKind::kProcessor;
  return AtrKind::kAsk;
}

bool probeSaysMemory(const QByteArray& answer) { return answer.size() == 3 && answer.endsWith(QByteArray::fromHex("9000")); }

struct PcscCardReader::Impl {
  struct Card {
    QByteArray reader;
    DWORD counter = 0;  // pcscd counts insertions and removals: another card, another count
    SCARDHANDLE handle = 0;
    DWORD protocol = 0;
    bool storage = false;
    int chunk = kFirstChunk;
  };

  PcscSettings settings;
  std::optional<QByteArray> select;
  MonotonicMs now;
  SCARDCONTEXT context = 0;
  bool hasContext = false;
  bool attempted = false;
  qint64 lastAttempt = 0;
  std::optional<Card> card;
  QByteArray shown;  // the card the last "active" or "invalid" spoke of: reader and count
  QHash<QByteArray, std::pair<DWORD, bool>> asked;  // reader: the card (by count) asked, and whether it is a memory card
  QString info;      // the reader in use and its card's kind, after the last status

  bool establish() {
    attempted = true;
    lastAttempt = now();
    hasContext = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) == SCARD_S_SUCCESS;
    return hasContext;
  }

  bool ensureContext() {
    if (hasContext) return true;
    if (attempted && now() - lastAttempt < kRetryMs) return false;
    return establish();
  }

  void disconnect() {
    if (card && card->handle) SCardDisconnect(card->handle, SCARD_LEAVE_CARD);
    card.reset();
  }

  void dropContext() {
    disconnect();
    if (hasContext) SCardReleaseContext(context);
    hasContext = false;
    attempted = false;  // a restarted service is found again at once; a stopped one once a minute
    // A service started again counts afresh and cannot vouch for the card still in the reader:
    // the screen is told of an empty reader once and reads the card anew.
    shown = "(service restarted)";
  }

  // nullopt: the service went away.
  std::optional<QString> poll() {
    // Room for 16 readers with long names; more are not looked at.
    char names[16 * 256 + 1] = {};
    DWORD size = sizeof names - 1;
    const LONG listed = listReaders(context, names, &size);
    if (serviceLost(listed)) return std::nullopt;
    std::vector<ReaderState> states;
    if (listed == SCARD_S_SUCCESS) {
      size = std::min<DWORD>(size, sizeof names - 1);
      for (const char* name = names; name < names + size && *name; name += qstrlen(name) + 1) {
        if (!settings.reader.isEmpty() && !QString::fromLocal8Bit(name).startsWith(settings.reader)) continue;
        ReaderState s{};
        s.szReader = name;
        s.dwCurrentState = SCARD_STATE_UNAWARE;
        states.push_back(s);
        if (!settings.reader.isEmpty()) break;
      }
    }
    info.clear();
    if (states.empty()) {  // no reader, or not the one named
      disconnect();
      return QString::fromLatin1(kStatusError);
    }
    const LONG rv = statusChange(context, states.data(), static_cast<DWORD>(states.size()));
    if (serviceLost(rv)) return std::nullopt;
    if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) return QString::fromLatin1(kStatusError);

    for (const ReaderState& r : states)
      if (!ask(r)) return std::nullopt;
    const ReaderState& s = states[choose(states)];
    const DWORD state = s.dwEventState;
    const QString name = QString::fromLocal8Bit(s.szReader);
    if (!(state & (SCARD_STATE_EMPTY | SCARD_STATE_PRESENT)) ||
        (state & (SCARD_STATE_UNAVAILABLE | SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE))) {
      disconnect();
      return QString::fromLatin1(kStatusError);
    }
    if (state & SCARD_STATE_EMPTY) {
      info = "none," + name;
      disconnect();
      shown.clear();
      return QString::fromLatin1(kStatusWait);
    }
    const QByteArray identity = QByteArray(s.szReader) + '#' + QByteArray::number(state >> 16);
    // Another card came in since the last look: the screen reads a card once per insertion,
    // so it is told of the empty reader in between.
    if (!shown.isEmpty() && shown != identity) {
      info = "none," + name;
      disconnect();
      shown.clear();
      return QString::fromLatin1(kStatusWait);
    }
    shown = identity;
    if (state & SCARD_STATE_MUTE) {
      info = "mute," + name;
      disconnect();
      return QString::fromLatin1(kStatusInvalid);
    }
    if (!card || card->reader != s.szReader || card->counter != state >> 16) {
      const std::optional<bool> connected =
          connect(s.szReader, state >> 16, QByteArray(reinterpret_cast<const char*>(s.rgbAtr), static_cast<int>(s.cbAtr)));
      if (!connected) return std::nullopt;
      if (!*connected) {
        info = "mute," + name;
        return QString::fromLatin1(kStatusInvalid);
      }
    }
    info = (card->storage ? "memory," : "processor,") + name;
    return QString::fromLatin1(kStatusActive);
  }

  // The reader of the memory card in use while it holds it, else the first with a memory card or
  // one that does not answer (most likely a memory card put in badly), else the first with a card
  // still to be asked, else the first empty one: a reader holding another kind of card does not
  // keep the club's cards out.
  size_t choose(const std::vector<ReaderState>& states) const {
    const auto present = [](const ReaderState& s) { return (s.dwEventState & SCARD_STATE_PRESENT) != 0; };
    const auto kind = [](const ReaderState& s) {
      return classifyAtr(QByteArray(reinterpret_cast<const char*>(s.rgbAtr), static_cast<int>(s.cbAtr)));
    };
    const auto answered = [this](const ReaderState& s) {
      const auto it = asked.constFind(QByteArray(s.szReader));
      return it != asked.cend() && it->first == s.dwEventState >> 16 ? std::optional<bool>(it->second) : std::nullopt;
    };
    const auto memory = [&](const ReaderState& s) {
      return (s.dwEventState & SCARD_STATE_MUTE) || !settings.select.isEmpty() || kind(s) == AtrKind::kMemory ||
             answered(s).value_or(false);
    };
    for (size_t i = 0; i < states.size(); ++i)
      if (card && card->storage && present(states[i]) && card->reader == states[i].szReader) return i;
    for (size_t i = 0; i < states.size(); ++i)
      if (present(states[i]) && memory(states[i])) return i;
    for (size_t i = 0; i < states.size(); ++i)
      if (present(states[i]) && kind(states[i]) == AtrKind::kAsk && !answered(states[i])) return i;
    for (size_t i = 0; i < states.size(); ++i)
      if (states[i].dwEventState & SCARD_STATE_EMPTY) return i;
    return 0;
  }

  // A card its answer to reset leaves open is asked once per insertion, before a reader is chosen:
  // the read of byte 0, in a connection of its own. False: the service went away.
  bool ask(const ReaderState& s) {
    const DWORD counter = s.dwEventState >> 16;
    if (!(s.dwEventState & SCARD_STATE_PRESENT) || (s.dwEventState & SCARD_STATE_MUTE) || !settings.select.isEmpty() ||
        classifyAtr(QByteArray(reinterpret_cast<const char*>(s.rgbAtr), static_cast<int>(s.cbAtr))) != AtrKind::kAsk)
      return true;
    const auto it = asked.constFind(QByteArray(s.szReader));
    if (it != asked.cend() && it->first == counter) return true;
    SCARDHANDLE handle = 0;
    DWORD protocol = 0;
    const LONG rv = connectReader(context, s.szReader, &protocol, &handle);
    if (serviceLost(rv)) return false;
    if (rv != SCARD_S_SUCCESS) return true;  // chosen, it is found not to answer
    QByteArray answer;
    const LONG sent = transmit(handle, protocol, QByteArray(kProbeApdu, 5), answer);
    SCardDisconnect(handle, SCARD_LEAVE_CARD);
    if (serviceLost(sent)) return false;
    if (sent == SCARD_S_SUCCESS) asked.insert(QByteArray(s.szReader), {counter, probeSaysMemory(answer)});
    return true;
  }

  // nullopt: the service went away; false: the card does not answer as a card should.
  std::optional<bool> connect(const char* reader, DWORD counter, const QByteArray& atr) {
    disconnect();
    Card c;
    c.reader = reader;
    c.counter = counter;
    // With a selection configured the reader is set up for memory cards, whatever the card
    // answers before it is selected.
    AtrKind kind = settings.select.isEmpty() ? classifyAtr(atr) : AtrKind::kMemory;
    if (kind == AtrKind::kAsk) {  // asked before: a card that did not answer is one that does not answer
      const auto it = asked.constFind(c.reader);
      if (it == asked.cend() || it->first != counter) return false;
      kind = it->second ? AtrKind::kMemory : AtrKind::kProcessor;
    }
    c.storage = kind == AtrKind::kMemory;
    if (kind == AtrKind::kProcessor) {  // another system's card: there, but nothing of it is read
      card = c;
      return true;
    }
    const LONG rv = connectReader(context, reader, &c.protocol, &c.handle);
    if (serviceLost(rv)) return std::nullopt;
    if (rv != SCARD_S_SUCCESS) return false;
    card = c;
    if (!settings.select.isEmpty()) {
      QByteArray answer;
      if (!select || transmit(*select, answer) != SCARD_S_SUCCESS || !answer.endsWith(QByteArray::fromHex("9000"))) {
        disconnect();
        return false;
      }
    }
    return true;
  }

  LONG transmit(const QByteArray& apdu, QByteArray& answer) { return transmit(card->handle, card->protocol, apdu, answer); }
  static LONG transmit(SCARDHANDLE handle, DWORD protocol, const QByteArray& apdu, QByteArray& answer) {
    unsigned char buffer[kCardBytes + 2];
    DWORD length = sizeof buffer;
    const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    const LONG rv = SCardTransmit(handle, pci, reinterpret_cast<const unsigned char*>(apdu.constData()),
                                  static_cast<DWORD>(apdu.size()), nullptr, buffer, &length);
    answer = rv == SCARD_S_SUCCESS ? QByteArray(reinterpret_cast<const char*>(buffer), static_cast<int>(length)) : QByteArray();
    return rv;
  }

  int transportResult(LONG rv) {
    if (serviceLost(rv)) {
      dropContext();
      return r::kReaderDown;
    }
    disconnect();  // the next status connects again
    return rv == SCARD_W_REMOVED_CARD || rv == SCARD_E_NO_SMARTCARD ? r::kNoCard : r::kUnreadable;
  }

  // Reads (data empty) or writes from address on, in pieces the reader takes; all or nothing
  // for a read, and a write stops at the first piece refused.
  int storage(bool write, int address, int length, QByteArray& data) {
    if (address + length > kCardBytes) return r::kBadAddress;
    if (!card) return r::kNoCard;
    if (!card->storage) return r::kUnreadable;
    QByteArray read;
    for (int done = 0; done < length;) {
      const int n = std::min(length - done, card->chunk);
      const int at = address + done;
      QByteArray apdu("\xFF", 1);
      apdu += static_cast<char>(write ? 0xD6 : 0xB0);
      apdu += static_cast<char>(at >> 8);
      apdu += static_cast<char>(at & 0xFF);
      apdu += static_cast<char>(n);
      if (write) apdu += data.mid(done, n);
      QByteArray answer;
      const LONG rv = transmit(apdu, answer);
      if (rv != SCARD_S_SUCCESS) return transportResult(rv);
      if (answer.size() < 2) return r::kUnreadable;
      const int sw = static_cast<unsigned char>(answer[answer.size() - 2]) << 8 | static_cast<unsigned char>(answer.back());
      if (sw == 0x6700 && n > 1) {  // too long for this reader
        card->chunk = n / 2;
        continue;
      }
      if (sw >> 8 == 0x6C && (sw & 0xFF) > 0 && (sw & 0xFF) < n) {
        card->chunk = sw & 0xFF;
        continue;
      }
      if (sw != 0x9000 || (!write && answer.size() != n + 2)) return statusWordResult(sw);
      if (!write) read += answer.left(n);
      done += n;
    }
    if (!write) data = read;
    return r::kOk;
  }
};

PcscCardReader::PcscCardReader(PcscSettings settings, MonotonicMs now) : d_(std::make_unique<Impl>()) {
  d_->settings = std::move(settings);
  d_->now = now ? std::move(now) : MonotonicMs(steadyMs);
  if (!d_->settings.select.isEmpty()) d_->select = parseHex(d_->settings.select);
  d_->establish();
}

PcscCardReader::~PcscCardReader() { d_->dropContext(); }

CardResult PcscCardReader::command(const QString& cmd, const QString& dataIn, int outLen) {
  CardResult out;
  outLen = std::max(outLen, 0);
  out.dataOut = QString(outLen, u' ');
  if (!d_->ensureContext()) return out;

  if (cmd == QLatin1String(kReaderInfoCommand)) {
    out.called = true;
    out.result = r::kOk;
    out.dataOut.replace(0, std::min(outLen, static_cast<int>(d_->info.size())), d_->info.left(outLen));
    return out;
  }
  if (cmd == statusCommand()) {
    // A selection that is no hex string cannot be sent: the reader is not ready for the cards.
    std::optional<QString> status = QString::fromLatin1(kStatusError);
    if (d_->settings.select.isEmpty() || d_->select) status = d_->poll();
    if (!status) {  // restarted, or gone: one attempt now, then once a minute
      d_->dropContext();
      if (!d_->ensureContext() || !(status = d_->poll())) {
        d_->dropContext();
        d_->attempted = true;  // the attempt just made counts: the next one in a minute
        return out;
      }
    }
    out.called = true;
    out.result = r::kOk;
    out.dataOut.replace(0, std::min(outLen, 7), status->left(outLen));
    return out;
  }
  out.called = true;
  const bool read = cmd.startsWith(u"Card,MemRead,"), write = cmd.startsWith(u"Card,MemWrite,");
  if (!read && !write) {
    out.result = r::kUnknownCommand;
    return out;
  }
  int address = 0, length = 0;
  if (!parseRange(cmd.mid(read ? 13 : 14), address, length)) {
    out.result = r::kBadAddress;
    return out;
  }
  QByteArray data;
  if (write) {
    data = toCp1252(dataIn);
    if (data.size() < length) {
      out.result = r::kBadAddress;
      return out;
    }
    data.truncate(length);
  }
  out.result = d_->storage(write, address, length, data);
  if (read && out.result == r::kOk) {
    const QString bytes = fromCp1252(data);
    out.dataOut.replace(0, std::min(outLen, static_cast<int>(bytes.size())), bytes.left(outLen));
  }
  return out;
}

}  // namespace quorvalis
