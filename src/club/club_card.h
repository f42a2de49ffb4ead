// The club card's memory layout and the writes that erase, initialise and issue a card.
#pragma once

#include <QString>
#include <functional>

#include "platform/card_reader.h"

namespace quorvalis {

inline constexpr char kClubMarker[] = "quorva";  // bytes 1-6

// count bytes 0xFF, the erased state.
QString erasedBytes(int count);

// 0xFF at 1, 10, 20, 28 and 34, six bytes each, in this order; false at the first write that
// fails (a missing reader library fails too).
bool eraseCard(CardReader& reader);

// One character of the card number from a uniform draw in [0, 1): a digit or an upper-case
// letter; the seven characters between them are drawn again.
using UniformDraw = std::function<double()>;
QChar cardNumberCharacter(const UniformDraw& uniform);
QString cardNumberHalf(const UniformDraw& uniform);  // six characters
// Draws from a generator seeded once from the system's entropy source.
UniformDraw systemUniformDraw();

// Marker at 1, the card number's halves at 10 and 20, then a single "0" at 28 whose result
// does not count. False when one of the first three writes fails.
bool initialiseCard(CardReader& reader, const UniformDraw& uniform);

// The length field at 28: two decimal digits, "09" or "14".
QString lengthField(int length);
// The length field, then the number at 30; false at the first write that fails.
bool writeMemberNumber(CardReader& reader, const QString& number);

// What an inserted card says about itself.
struct ClubCard {
  bool own = false;       // the marker is there
  QString cardNumber;     // twelve characters from 10-15 and 20-25
  QString lengthText;     // the two bytes at 28
  QString mobile;         // empty when the length field holds no positive number
};
ClubCard readClubCard(CardReader& reader);
bool isBlankCard(CardReader& reader);  // 1-6, 10-15 and 20-25 all 0xFF

}  // namespace quorvalis
