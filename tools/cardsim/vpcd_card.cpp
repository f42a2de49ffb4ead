// The simulated card as a memory card in the virtual PC/SC reader (vsmartcard's vpcd driver in
// pcscd): plugged into the reader while the card file holds a card, pulled out when it is
// removed. It answers the storage-card commands of PC/SC part 3 over the same card file that
// cardsim drives, so the terminal's PC/SC reader sees what the stand-in library sees.
//   cardsim-vpcd [--file F] [--port P] [--chunk N] [--select HEX] [--atr HEX] [--processor] [--log F]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "card_file.h"

namespace {

using Bytes = std::vector<unsigned char>;

// vpcd's one-byte control messages.
enum Control : unsigned char { kPowerOff = 0x00, kPowerOn = 0x01, kReset = 0x02, kAtr = 0x04 };

// PC/SC part 3 storage card: RID A0 00 00 03 06, standard 0x0F (2-wire bus), no card name.
Bytes storageCardAtr() {
  Bytes atr{0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06,
            0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  unsigned char check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
  return atr;
}

Bytes status(unsigned sw) { return {static_cast<unsigned char>(sw >> 8), static_cast<unsigned char>(sw)}; }

bool parseHex(const std::string& text, Bytes& out) {
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != ':') digits += c;
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = digits.substr(i, 2);
    out.push_back(static_cast<unsigned char>(std::strtoul(pair.c_str(), &end, 16)));
    if (*end) return false;
  }
  return true;
}

struct Options {
  std::string file = cardsim::defaultCardFile();
  int port = 35963;
  size_t chunk = 255;  // longest read or write the reader takes; longer ones get 67 00
  Bytes select;        // a card-type selection the reader wants before the first command
  Bytes atr = storageCardAtr();  // as the reader reports the card: readers differ
  bool processor = false;        // another system's chip card: refuses the storage commands
  std::string log;               // each command received, in hex, one a line
};

class VirtualCard {
 public:
  explicit VirtualCard(Options options) : o_(std::move(options)) {}

  int run() {
    for (;;) {
      reload();
      // Another kind of card (an unreadable one for a good one) is a card taken out and another put in.
      if (sock_ >= 0 && card_.card != plugged_) pullOut();
      if (card_.card != cardsim::CardState::kNone && sock_ < 0) plugIn();
      pollfd p{sock_, POLLIN, 0};
      // Not plugged in: look at the card file ten times a second.
      if (sock_ < 0 || poll(&p, 1, 100) <= 0) {
        if (sock_ < 0) usleep(100000);
        continue;
      }
      Bytes message;
      if (!receive(message)) {
        pullOut();  // the reader went away (pcscd stopped): plug in again when it is back
        continue;
      }
      reload();
      if (message.size() == 1) {
        control(message[0]);
      } else if (!send(answer(message))) {
        pullOut();
      }
    }
  }

 private:
  void reload() {
    struct stat st {};
    const bool exists = ::stat(o_.file.c_str(), &st) == 0;
    const auto stamp = std::pair{exists ? st.st_ino : 0, exists ? st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1000000000LL : 0};
    if (loaded_ && stamp == stamp_) return;
    stamp_ = stamp;
    loaded_ = true;
    card_ = cardsim::loadCard(o_.file);
  }

  void plugIn() {
    sock_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(o_.port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(sock_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
      close(sock_);
      sock_ = -1;
      return;
    }
    const int one = 1;
    setsockopt(sock_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    plugged_ = card_.card;
    selected_ = o_.select.empty();
  }

  void pullOut() {
    if (sock_ >= 0) close(sock_);
    sock_ = -1;
  }

  bool readAll(unsigned char* data, size_t size) {
    while (size) {
      const ssize_t n = recv(sock_, data, size, 0);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  bool receive(Bytes& message) {
    unsigned char head[2];
    if (!readAll(head, 2)) return false;
    message.resize(static_cast<size_t>(head[0] << 8 | head[1]));
    return message.empty() || readAll(message.data(), message.size());
  }

  bool send(const Bytes& payload) {
    Bytes frame{static_cast<unsigned char>(payload.size() >> 8), static_cast<unsigned char>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return ::send(sock_, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
  }

  void control(unsigned char what) {
    if (what == kAtr) {
      if (!send(o_.atr)) pullOut();
    } else if (what == kPowerOn || what == kReset) {
      // A card that cannot be read gives no answer to reset: pcscd sees it mute. Plugged in
      // again at once, it stays in the reader as far as pcscd can tell.
      if (card_.card == cardsim::CardState::kUnreadable) pullOut();
      selected_ = o_.select.empty();
    }
  }

  void record(const Bytes& apdu) {
    if (o_.log.empty()) return;
    if (std::FILE* f = std::fopen(o_.log.c_str(), "a")) {
      for (unsigned char b : apdu) std::fprintf(f, "%02X", b);
      std::fputc('\n', f);
      std::fclose(f);
    }
  }

  Bytes answer(const Bytes& apdu) {
    record(apdu);
    if (apdu.size() < 4) return status(0x6700);
    // A processor card knows no class FF: that is the reader's, for memory cards.
    if (apdu[0] != 0xFF || o_.processor) return status(0x6E00);
    if (!o_.select.empty() && apdu == o_.select) {
      selected_ = true;
      return status(0x9000);
    }
    if (!selected_) return status(0x6986);
    const size_t address = static_cast<size_t>(apdu[2] << 8 | apdu[3]);
    if (apdu[1] == 0xB0 && apdu.size() == 5) {
      const size_t length = apdu[4] ? apdu[4] : 256;
      if (length > o_.chunk) return status(0x6700);
      if (address + length > card_.memory.size()) return status(0x6B00);
      Bytes out(card_.memory.begin() + static_cast<long>(address), card_.memory.begin() + static_cast<long>(address + length));
      out.push_back(0x90);
      out.push_back(0x00);
      return out;
    }
    if (apdu[1] == 0xD6 && apdu.size() >= 5) {
      const size_t length = apdu[4];
      if (length == 0 || apdu.size() != 5 + length || length > o_.chunk) return status(0x6700);
      if (address + length > card_.memory.size()) return status(0x6B00);
      if (card_.writeProtected) return status(0x6982);
      std::memcpy(card_.memory.data() + address, apdu.data() + 5, length);
      if (!cardsim::saveCard(o_.file, card_)) return status(0x6581);
      return status(0x9000);
    }
    return status(0x6D00);
  }

  Options o_;
  cardsim::SimCard card_;
  std::pair<ino_t, long long> stamp_{};
  bool loaded_ = false;
  int sock_ = -1;
  cardsim::CardState plugged_ = cardsim::CardState::kNone;
  bool selected_ = true;
};

// --help prints it on standard output and succeeds; a wrong command line gets it on stderr.
int usage(std::FILE* out = stderr) {
  std::fputs(
      "usage: cardsim-vpcd [--file F] [--port P] [--chunk N] [--select HEX] [--atr HEX] [--processor] [--log F]\n"
      "  Plugs the cardsim card into vpcd's virtual reader on 127.0.0.1:P (35963) while the card\n"
      "  file holds a card, as a 256-byte memory card; cardsim inserts, removes, protects it.\n"
      "  --chunk N     longest read or write taken at once (255)\n"
      "  --select HEX  a command that must come first after each power-on, as some readers want\n"
      "  --atr HEX     the answer to reset the reader reports (PC/SC storage card, 2-wire bus)\n"
      "  --processor   answer as another system's chip card: every reader command refused (6E 00)\n"
      "  --log F       append each command the card receives to F, in hex\n",
      out);
  return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything else: help2man makes the manual page from them.
  if (argc == 2 && std::string_view(argv[1]) == "--help") return usage(stdout);
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("cardsim-vpcd %s\n", QUORVALIS_VERSION);
    return 0;
  }
  Options o;
  for (int i = 1; i < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--processor") {
      o.processor = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) return usage();
    const std::string value = argv[i + 1];
    if (arg == "--file") {
      o.file = value;
    } else if (arg == "--port") {
      o.port = std::atoi(value.c_str());
    } else if (arg == "--chunk") {
      o.chunk = static_cast<size_t>(std::atoi(value.c_str()));
    } else if (arg == "--atr") {
      o.atr.clear();
      if (!parseHex(value, o.atr) || o.atr.empty() || o.atr.size() > 33) return usage();
    } else if (arg == "--log") {
      o.log = value;
    } else if (arg != "--select" || !parseHex(value, o.select)) {
      return usage();
    }
  }
  if (o.port <= 0 || o.port > 65535 || o.chunk == 0) return usage();
  std::signal(SIGPIPE, SIG_IGN);
  return VirtualCard(o).run();
}
