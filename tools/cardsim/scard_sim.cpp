// Stand-in for the reader's driver library: the one entry point over a simulated card.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "card_file.h"

namespace {

enum Result : int32_t { kOk = 0, kNoCard = 1, kUnreadable = 2, kBadAddress = 3, kProtected = 4,
                        kReaderDown = 5, kUnknownCommand = 9 };

std::string cardFilePath() {
  if (const char* env = std::getenv("CARDSIM_FILE"); env && *env) return env;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&cardFilePath), &info) && info.dli_fname) {
    std::string self = info.dli_fname;
    const auto slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) +
           "/cardsim.card";
  }
  return "cardsim.card";
}

bool parseRange(const std::string& rest, int& address, int& length) {
  char* end = nullptr;
  address = static_cast<int>(std::strtol(rest.c_str(), &end, 10));
  if (!end || *end != ',') return false;
  length = static_cast<int>(std::strtol(end + 1, &end, 10));
  return end && *end == '\0' && address >= 0 && length >= 0 && address + length <= 256;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t SCardComand(
    int32_t* /*handle*/, const char* command, int32_t* /*commandLength*/, const char* dataIn,
    int32_t* dataInLength, char* dataOut, int32_t* dataOutLength) {
  if (!command) return kUnknownCommand;
  const std::string cmd = command;
  const std::string path = cardFilePath();
  cardsim::SimCard card = cardsim::loadCard(path);
  const int outCapacity = dataOutLength ? *dataOutLength : 0;

  if (cmd == "Card,Info,Status") {
    const char* status = !card.readerReady                              ? "error  "
                         : card.card == cardsim::CardState::kNone       ? "wait   "
                         : card.card == cardsim::CardState::kUnreadable ? "invalid"
                                                                        : "active ";
    if (dataOut) std::memcpy(dataOut, status, static_cast<size_t>(std::min(outCapacity, 7)));
    return kOk;
  }
  if (!card.readerReady) return kReaderDown;
  if (card.card == cardsim::CardState::kNone) return kNoCard;
  if (card.card == cardsim::CardState::kUnreadable) return kUnreadable;

  int address = 0, length = 0;
  if (cmd.rfind("Card,MemRead,", 0) == 0) {
    if (!parseRange(cmd.substr(13), address, length)) return kBadAddress;
    if (dataOut)
      std::memcpy(dataOut, card.memory.data() + address,
                  static_cast<size_t>(std::min(length, outCapacity)));
    return kOk;
  }
  if (cmd.rfind("Card,MemWrite,", 0) == 0) {
    if (!parseRange(cmd.substr(14), address, length)) return kBadAddress;
    if (card.writeProtected) return kProtected;
    const int available = dataInLength ? *dataInLength : 0;
    if (!dataIn || available < length) return kBadAddress;
    std::memcpy(card.memory.data() + address, dataIn, static_cast<size_t>(length));
    return cardsim::saveCard(path, card) ? kOk : kProtected;
  }
  return kUnknownCommand;
}
