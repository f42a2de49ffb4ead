#include "club/club_card.h"

#include <random>

#include "common/text.h"

namespace quorvalis {
namespace {

constexpr int kEraseAddresses[] = {1, 10, 20, 28, 34};

}  // namespace

QString erasedBytes(int count) { return QString(count, QChar(0xFF)); }

bool eraseCard(CardReader& reader) {
  const QString erased = erasedBytes(6);
  for (int address : kEraseAddresses)
    if (cardWrite(reader, address, erased) != 0) return false;
  return true;
}

QChar cardNumberCharacter(const UniformDraw& uniform) {
  for (;;) {
    const int code = static_cast<int>(uniform() * 43) + 48;
    if (code < 58 || code > 64) return QChar(code);
  }
}

QString cardNumberHalf(const UniformDraw& uniform) {
  QString half;
  for (int i = 0; i < 6; ++i) half += cardNumberCharacter(uniform);
  return half;
}

UniformDraw systemUniformDraw() {
  auto generator = std::make_shared<std::mt19937>(std::random_device{}());
  return [generator] { return std::uniform_real_distribution<double>(0.0, 1.0)(*generator); };
}

bool initialiseCard(CardReader& reader, const UniformDraw& uniform) {
  if (cardWrite(reader, 1, QString::fromLatin1(kClubMarker)) != 0) return false;
  if (cardWrite(reader, 10, cardNumberHalf(uniform)) != 0) return false;
  if (cardWrite(reader, 20, cardNumberHalf(uniform)) != 0) return false;
  cardWrite(reader, 28, QStringLiteral("0"));
  return true;
}

QString lengthField(int length) { return QStringLiteral("%1").arg(length, 2, 10, QChar(u'0')); }

bool writeMemberNumber(CardReader& reader, const QString& number) {
  return cardWrite(reader, 28, lengthField(static_cast<int>(number.size()))) == 0 &&
         cardWrite(reader, 30, number) == 0;
}

ClubCard readClubCard(CardReader& reader) {
  ClubCard card;
  if (cardRead(reader, 1, 6) != QString::fromLatin1(kClubMarker)) return card;
  card.own = true;
  card.cardNumber = cardRead(reader, 10, 6) + cardRead(reader, 20, 6);
  card.lengthText = cardRead(reader, 28, 2);
  // An initialised card holds "0" and an erased byte here: no number to read.
  const int length = static_cast<int>(readNumber(card.lengthText));
  if (length > 0) card.mobile = cardRead(reader, 30, length);
  return card;
}

bool isBlankCard(CardReader& reader) {
  const QString erased = erasedBytes(6);
  return cardRead(reader, 1, 6) == erased && cardRead(reader, 10, 6) == erased &&
         cardRead(reader, 20, 6) == erased;
}

}  // namespace quorvalis
