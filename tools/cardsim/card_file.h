// The simulated card and reader, kept in one file so that the terminal's reader library and
// the cardsim command (separate processes) see the same card.
#pragma once

#include <array>
#include <string>

namespace cardsim {

enum class CardState { kNone, kPresent, kUnreadable };
// A driver that crashes or hangs inside its next call, for the terminal's fault handling; a
// chatty one prints on its standard output and error when it loads and at every call, as
// drivers' debug builds do.
enum class DriverFault { kNone, kCrash, kHang, kChatty };

struct SimCard {
  bool readerReady = true;
  CardState card = CardState::kNone;
  bool writeProtected = false;
  DriverFault fault = DriverFault::kNone;
  std::array<unsigned char, 256> memory{};
};

// CARDSIM_FILE, else cardsim.card in QUORVALIS_HOME, else in ~/quorvalis.
std::string defaultCardFile();

// A missing or unreadable file is a ready reader without a card.
SimCard loadCard(const std::string& path);
bool saveCard(const std::string& path, const SimCard& card);

// The club card layout: marker, twelve-character card number, length and mobile number.
void makeClubCard(SimCard& card, const std::string& mobile, const std::string& cardNumber);

}  // namespace cardsim
