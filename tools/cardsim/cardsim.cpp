// Drives the simulated card reader from the shell: insert, remove, break, dump.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "card_file.h"

namespace {

std::string randomCardNumber() {
  static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::mt19937 gen{std::random_device{}()};
  std::uniform_int_distribution<int> pick(0, 35);
  std::string s;
  for (int i = 0; i < 12; ++i) s += kChars[pick(gen)];
  return s;
}

// --help prints it on standard output and succeeds; a wrong command line gets it on stderr.
int usage(std::FILE* out = stderr) {
  std::fputs(
      "usage: cardsim [--file F] COMMAND\n"
      "  blank            insert an erased card (all bytes 0xFF)\n"
      "  foreign          insert a card of another system\n"
      "  club NUMBER      insert a club card carrying the mobile number\n"
      "  remove           take the card out\n"
      "  unreadable       insert a card the reader cannot read\n"
      "  reader-fail      make the reader report that it is not ready\n"
      "  reader-ok        make the reader ready again\n"
      "  protect|unprotect  make writes fail or succeed\n"
      "  crash|hang       make the driver crash or hang inside its next call\n"
      "  chatty           make the driver print on its standard output at load and every call\n"
      "  heal             end the driver's fault\n"
      "  dump             print the reader state and the card memory\n",
      out);
  return out == stdout ? 0 : 2;
}

void dump(const cardsim::SimCard& card) {
  std::printf("reader: %s\ncard: %s\nwrite-protected: %s\n", card.readerReady ? "ready" : "error",
              card.card == cardsim::CardState::kPresent      ? "present"
              : card.card == cardsim::CardState::kUnreadable ? "unreadable"
                                                             : "none",
              card.writeProtected ? "yes" : "no");
  for (size_t row = 0; row < card.memory.size(); row += 16) {
    std::printf("%03zu:", row);
    for (size_t i = row; i < row + 16; ++i) std::printf(" %02X", card.memory[i]);
    std::printf("  ");
    for (size_t i = row; i < row + 16; ++i) {
      const unsigned char c = card.memory[i];
      std::putchar(c >= 32 && c < 127 ? c : '.');
    }
    std::putchar('\n');
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything else: help2man makes the manual page from them.
  if (argc == 2 && std::string_view(argv[1]) == "--help") return usage(stdout);
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("cardsim %s\n", QUORVALIS_VERSION);
    return 0;
  }
  std::string file = cardsim::defaultCardFile();
  int i = 1;
  if (i + 1 < argc && std::string(argv[i]) == "--file") {
    file = argv[i + 1];
    i += 2;
  }
  if (i >= argc) return usage();
  const std::string command = argv[i];
  cardsim::SimCard card = cardsim::loadCard(file);

  if (command == "dump") {
    dump(card);
    return 0;
  }
  if (command == "blank") {
    card.memory.fill(0xFF);
    card.card = cardsim::CardState::kPresent;
  } else if (command == "foreign") {
    card.memory.fill(0x00);
    const std::string marker = "OTHERCARD";
    for (size_t k = 0; k < marker.size(); ++k) card.memory[1 + k] = static_cast<unsigned char>(marker[k]);
    card.card = cardsim::CardState::kPresent;
  } else if (command == "club") {
    if (i + 1 >= argc) return usage();
    cardsim::makeClubCard(card, argv[i + 1], randomCardNumber());
  } else if (command == "remove") {
    card.card = cardsim::CardState::kNone;
  } else if (command == "unreadable") {
    card.card = cardsim::CardState::kUnreadable;
  } else if (command == "reader-fail") {
    card.readerReady = false;
  } else if (command == "reader-ok") {
    card.readerReady = true;
  } else if (command == "protect" || command == "unprotect") {
    card.writeProtected = command == "protect";
  } else if (command == "crash" || command == "hang" || command == "chatty" || command == "heal") {
    card.fault = command == "crash" ? cardsim::DriverFault::kCrash
                 : command == "hang" ? cardsim::DriverFault::kHang
                 : command == "chatty" ? cardsim::DriverFault::kChatty
                                     : cardsim::DriverFault::kNone;
  } else {
    return usage();
  }
  if (!cardsim::saveCard(file, card)) {
    std::fprintf(stderr, "cardsim: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}
