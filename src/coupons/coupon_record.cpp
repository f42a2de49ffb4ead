#include "coupons/coupon_record.h"

#include <QStringList>

#include "common/text.h"

namespace quorvalis {
namespace {

bool digitsOnly(const QString& s) {
  for (QChar c : s)
    if (c < u'0' || c > u'9') return false;
  return true;
}

}  // namespace

int firstFailingCouponField(const CouponFields& f) {
  if (const int mobile = firstFailingMobileField(f[0], f[1]); mobile >= 0) return mobile;
  if (f[2].size() != 4 || !digitsOnly(f[2])) return 2;
  return -1;
}

QString lookupPath(const QString& branchId, const CouponFields& f) {
  return QStringLiteral("/quorvalis/DATA/searchc.cgi?") + branchId + "---" +
         internationalNumber(f[0], f[1]) + "---" + f[2];
}

QString deletionPath(const QString& branchId, const CouponFields& f, const QDate& today) {
  return QStringLiteral("/quorvalis/DATA/delcoupon.cgi?") + branchId + "---" +
         internationalNumber(f[0], f[1]) + "---" + f[2] + "---" + dateText(today);
}

QString redemptionLogLine(const CouponFields& f, const QString& value, const QDate& today) {
  return dateText(today) + u';' + f[2] + u';' + loggedNumber(f[0], f[1]) + u';' +
         normaliseNumber(value);
}

std::pair<QString, QString> splitHandedOverNumber(const QString& number) {
  const QString rest = number.mid(4);
  return {QStringLiteral("0") + rest.left(3), rest.mid(3)};
}

CouponEvaluation evaluateCoupon(const QString& reply, const QString& typedCode,
                                const QDate& today, const QString& branchName) {
  CouponEvaluation e;
  if (reply.left(4) != typedCode || reply.isEmpty()) {
    e.label1 = QStringLiteral("Kein Gutschein gefunden !");
    return e;
  }
  const QStringList f = reply.split(u';');
  auto field = [&f](int i) { return f.value(i); };  // missing fields are empty texts

  e.countdownMs = 350;
  const QString redeemed = field(6);
  if (redeemed != QStringLiteral("-") && !redeemed.isEmpty()) {
    e.result = CouponEvaluation::kRedeemed;
    e.label1 = QStringLiteral("Der Gutschein wurde bereits am ") +
               (redeemed.size() >= 6 ? redeemed : field(7)) + QStringLiteral(" eingelöst !");
    return e;
  }
  e.label1 = QStringLiteral("Gutschein gefunden.");
  const QString validUntil = field(1);
  if (validUntil.size() == 10) {
    const QDate last = parseDateText(validUntil);
    // A date that cannot be read never validates a coupon.
    if (!last.isValid() || last < today) {
      e.result = CouponEvaluation::kExpired;
      e.label2 = QStringLiteral("Sorry - Der Gutschein war gültig bis ") + validUntil + u'.';
      e.countdownMs = 200;
      return e;
    }
  }
  e.label2 = QStringLiteral("Der Gutschein ist gültig.");
  const QString filter = field(5);
  const bool here = filter.size() < 3 || branchName.contains(restoreBlanks(filter), Qt::CaseSensitive);
  if (!here) {
    e.result = CouponEvaluation::kValidElsewhere;
    e.label2 = QStringLiteral("Der Gutschein ist in dieser Filiale nicht gültig !!!");
    return e;
  }
  e.result = CouponEvaluation::kValidHere;
  e.label4 = restoreBlanks(field(2));
  e.label5 = QStringLiteral("Der Gutschein hat einen Geldwert von - ") + field(3) + " EURO.";
  e.value = normaliseNumber(field(3));
  return e;
}

}  // namespace quorvalis
