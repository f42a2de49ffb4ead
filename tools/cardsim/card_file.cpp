#include "card_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cardsim {
namespace {
constexpr char kMagic[] = "cardsim1";

const char* stateName(CardState s) {
  switch (s) {
    case CardState::kPresent: return "present";
    case CardState::kUnreadable: return "unreadable";
    case CardState::kNone: break;
  }
  return "none";
}

const char* faultName(DriverFault f) {
  return f == DriverFault::kCrash ? "crash" : f == DriverFault::kHang ? "hang" : f == DriverFault::kChatty ? "chatty" : "none";
}
}  // namespace

std::string defaultCardFile() {
  if (const char* env = std::getenv("CARDSIM_FILE"); env && *env) return env;
  if (const char* home = std::getenv("QUORVALIS_HOME"); home && *home)
    return std::string(home) + "/cardsim.card";
  const char* user = std::getenv("HOME");
  return std::string(user ? user : ".") + "/quorvalis/cardsim.card";
}

SimCard loadCard(const std::string& path) {
  SimCard card;
  card.memory.fill(0xFF);
  std::ifstream in(path, std::ios::binary);
  if (!in) return card;
  std::string header;
  if (!std::getline(in, header)) return card;
  std::istringstream fields(header);
  std::string magic, state;
  int ready = 1, protect = 0;
  if (!(fields >> magic >> ready >> state >> protect) || magic != kMagic) return card;
  std::string fault;  // absent in files of earlier versions
  fields >> fault;
  SimCard loaded;
  if (!in.read(reinterpret_cast<char*>(loaded.memory.data()), loaded.memory.size())) return card;
  loaded.readerReady = ready != 0;
  loaded.writeProtected = protect != 0;
  loaded.fault = fault == "crash" ? DriverFault::kCrash
                 : fault == "hang" ? DriverFault::kHang
                 : fault == "chatty" ? DriverFault::kChatty
                                   : DriverFault::kNone;
  loaded.card = state == "present"      ? CardState::kPresent
                : state == "unreadable" ? CardState::kUnreadable
                                        : CardState::kNone;
  return loaded;
}

bool saveCard(const std::string& path, const SimCard& card) {
  // Written beside and renamed, so a reader never sees half a card.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << kMagic << ' ' << (card.readerReady ? 1 : 0) << ' ' << stateName(card.card) << ' '
        << (card.writeProtected ? 1 : 0) << ' ' << faultName(card.fault) << '\n';
    out.write(reinterpret_cast<const char*>(card.memory.data()), card.memory.size());
    if (!out.flush()) return false;
  }
  std::error_code error;  // std::rename does not replace an existing file on Windows
  std::filesystem::rename(temp, path, error);
  return !error;
}

void makeClubCard(SimCard& card, const std::string& mobile, const std::string& cardNumber) {
  card.memory.fill(0xFF);
  auto put = [&](size_t address, const std::string& text) {
    for (size_t i = 0; i < text.size() && address + i < card.memory.size(); ++i)
      card.memory[address + i] = static_cast<unsigned char>(text[i]);
  };
  put(1, "quorva");
  put(10, cardNumber.substr(0, 6));
  put(20, cardNumber.substr(6, 6));
  std::string length = std::to_string(mobile.size());
  if (length.size() < 2) length = "0" + length;
  put(28, length);
  put(30, mobile);
  card.card = CardState::kPresent;
}

}  // namespace cardsim
