// Stand-in for the reader's driver library: the one entry point over a simulated card.
#ifdef _WIN32
#include <windows.h>
#define SCARD_EXPORT extern "C" __declspec(dllexport)
#else
#include <dlfcn.h>
#include <unistd.h>
#define SCARD_EXPORT extern "C" __attribute__((visibility("default")))
#endif
// The maker's 32-bit driver uses __stdcall, exported undecorated (see SCard32.def).
#if defined(_WIN32) && !defined(_WIN64)
#define SCARD_CALL __stdcall
#else
#define SCARD_CALL
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "card_file.h"

namespace {

enum Result : int32_t { kOk = 0, kNoCard = 1, kUnreadable = 2, kBadAddress = 3, kProtected = 4,
                        kReaderDown = 5, kUnknownCommand = 9 };

// The library's own file name, for the card file beside it.
std::string selfPath() {
#ifdef _WIN32
  HMODULE self = nullptr;
  char name[MAX_PATH] = {};
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&selfPath), &self) &&
      GetModuleFileNameA(self, name, MAX_PATH))
    return name;
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&selfPath), &info) && info.dli_fname) return info.dli_fname;
#endif
  return {};
}

std::string cardFilePath() {
  if (const char* env = std::getenv("CARDSIM_FILE"); env && *env) return env;
  const std::string self = selfPath();
  const auto slash = self.find_last_of("/\\");
  return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/cardsim.card";
}

void sleepMs(int ms) {
#ifdef _WIN32
  Sleep(static_cast<DWORD>(ms));
#else
  usleep(static_cast<useconds_t>(ms) * 1000);
#endif
}

bool parseRange(const std::string& rest, int& address, int& length) {
  char* end = nullptr;
  address = static_cast<int>(std::strtol(rest.c_str(), &end, 10));
  if (!end || *end != ',') return false;
  length = static_cast<int>(std::strtol(end + 1, &end, 10));
  return end && *end == '\0' && address >= 0 && length >= 0 && address + length <= 256;
}

// Says so when it loads, where a debug build would.
[[maybe_unused]] const bool announced = [] {
  if (cardsim::loadCard(cardFilePath()).fault != cardsim::DriverFault::kChatty) return false;
  std::printf("SCard32 debug build loaded\n");
  std::fflush(stdout);
  return true;
}();

}  // namespace

SCARD_EXPORT int32_t SCARD_CALL SCardComand(
    int32_t* /*handle*/, const char* command, int32_t* /*commandLength*/, const char* dataIn,
    int32_t* dataInLength, char* dataOut, int32_t* dataOutLength) {
  if (!command) return kUnknownCommand;
  const std::string cmd = command;
  const std::string path = cardFilePath();
  cardsim::SimCard card = cardsim::loadCard(path);
  // An access violation, as a faulty driver makes it: on Windows the kind that brings up the error box.
  if (card.fault == cardsim::DriverFault::kCrash) {
    int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  if (card.fault == cardsim::DriverFault::kChatty) {
    std::printf("SCard32: %s\n", command);
    std::fprintf(stderr, "SCard32: %s\n", command);
    std::fflush(stdout);
  }
  while (card.fault == cardsim::DriverFault::kHang) {  // until healed: a hung driver's process
    sleepMs(100);
    card = cardsim::loadCard(path);
  }
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
