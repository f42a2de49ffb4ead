// The coupon lookup's request and the evaluation of the record the server sends back.
#pragma once

#include <QDate>
#include <QString>
#include <array>

namespace quorvalis {

inline constexpr int kCouponFields = 3;  // prefix, number, code
using CouponFields = std::array<QString, kCouponFields>;

// The Enter checks in their order: the index of the first field that fails, or -1. Every
// field takes digits only (the code too): anything else could change the requests.
int firstFailingCouponField(const CouponFields& fields);

QString lookupPath(const QString& branchId, const CouponFields& fields);
QString deletionPath(const QString& branchId, const CouponFields& fields, const QDate& today);
// DD.MM.YYYY;code;0049 + prefix + number (no kept "0");value
QString redemptionLogLine(const CouponFields& fields, const QString& value, const QDate& today);

// The hand-over from the club screen: 0049PPPNNNNNNN fills 0PPP and NNNNNNN.
std::pair<QString, QString> splitHandedOverNumber(const QString& number);

struct CouponEvaluation {
  enum Result { kNotFound, kRedeemed, kExpired, kValidElsewhere, kValidHere };
  Result result = kNotFound;
  QString label1, label2, label4, label5;
  QString value;       // geldwert: the money value as a plain number
  int countdownMs = 200;
};

// A record with fewer than eight fields is read with empty texts for the missing ones.
CouponEvaluation evaluateCoupon(const QString& reply, const QString& typedCode,
                                const QDate& today, const QString& branchName);

}  // namespace quorvalis
