#include "guests/registration.h"

#include <QRegularExpression>

#include <random>

#include "common/text.h"

namespace quorvalis {
namespace {
const QString kData = QStringLiteral("/quorvalis/DATA/");
const QString kSep = QStringLiteral("---");
}  // namespace

void padDayAndMonth(GuestFields& f) {
  for (size_t i : {size_t{4}, size_t{5}}) {
    const double value = readNumber(f[i]);
    if (value < 10) f[i] = QStringLiteral("0") + writeNumber(value);
  }
}

QString guestRecord(const GuestFields& f, const GuestChoice& choice, const QString& postcode,
                    const QString& branchName, const QDate& today) {
  const QString flags = choice.categories + (choice.man ? QStringLiteral("M") : QString()) +
                        (choice.woman ? QStringLiteral("W") : QString()) + QStringLiteral("N");
  return QStringList{internationalNumber(f[2], f[3]),
                     f[0],
                     f[1],
                     f[4] + u'.' + f[5] + u'.' + f[6],
                     postcode + u'-' + branchName,
                     dateText(today),
                     flags}
      .join(u';');
}

QString duplicateCheckPath(const QString& branchId, const GuestFields& f) {
  return kData + "search2.cgi?" + branchId + kSep + internationalNumber(f[2], f[3]) + kSep + f[0] +
         kSep + f[1] + kSep + f[4] + u'.' + f[5] + u'.' + f[6];
}

QString creationPath(const QString& branchId, const QString& record) {
  return kData + "addclient.cgi?" + branchId + kSep + record;
}

CheckResult checkResultCode(const QString& received, bool questionShown) {
  // Only the script's own answers count: three counts or the blocked mark. An error page or a
  // cut reply is no answer, never "number known" (long) or a new guest (short).
  static const QRegularExpression form(QStringLiteral("\\A(\\d+-\\d+-\\d+|---)\\z"));
  const QString reply = received.trimmed();
  if (!form.match(reply).hasMatch()) return {};
  if (reply == QStringLiteral("0-0-0")) return {QStringLiteral("OK"), {}};
  const QStringList f = reply.split(u'-');
  CheckResult result{reply, f.value(1)};
  const double numbers = readNumber(f.value(0)), names = readNumber(f.value(1)),
               birthdays = readNumber(f.value(2));
  if (numbers > 0) {
    result.code = QStringLiteral("--");
    return result;
  }
  if (names > 0) result.code = QStringLiteral("----");
  if (birthdays > 0) result.code = QStringLiteral("-----");
  if (names > 0 && questionShown) result.code = QStringLiteral("OK");
  return result;
}

CheckOutcome decideOutcome(const QString& code) {
  if (code.size() > 5 || code == QStringLiteral("--")) return CheckOutcome::kNumberKnown;
  if (code == QStringLiteral("---")) return CheckOutcome::kBlocked;
  if (code == QStringLiteral("----")) return CheckOutcome::kAskName;
  if (code == QStringLiteral("-----")) return CheckOutcome::kNameAndBirthdayKnown;
  if (code.isEmpty()) return CheckOutcome::kNoDatabase;
  return CheckOutcome::kCreate;
}

QDate couponValidity(const QDate& today) {
  const QDate next(today.year() + 1, today.month(), today.day());
  return next.isValid() ? next : QDate(today.year() + 1, today.month(), today.day() - 1);
}

QString couponCode(int number) { return QString::number(number).rightJustified(4, u'0'); }

QString randomCouponCode() {
  static std::mt19937 generator{std::random_device{}()};
  return couponCode(std::uniform_int_distribution<int>(0, 9999)(generator));
}

QString couponBookingPath(const QString& branchId, const QString& number, const QString& code,
                          const QDate& validUntil, const QString& euro, const QDate& today) {
  return kData + "addcoupon.cgi?" + branchId + kSep + number + u';' + code + u';' +
         dateText(validUntil) + ";Neuregistrierung;" + euro + u';' + dateText(today) + ";-";
}

QString credentialsPath(const QString& directory, const QString& sender) {
  return kData + directory +
         (sender == QStringLiteral("Basic") ? QStringLiteral("/smsauth.ini")
                                            : QStringLiteral("/smsauthpro.ini"));
}

GatewayAccount parseCredentials(const QString& reply) {
  const QStringList f = reply.split(u'-');
  return {f.value(0), f.value(1), f.value(2)};
}

QString gatewayRequest(const GatewayAccount& account, const QString& number, const QString& sender,
                       const QString& templ, const WelcomeMessage& fill) {
  QString request = account.address + "receiver=" + number + "&sender=" + sender + "&msg=" + templ +
                    "&id=" + account.id + "&pw=" + account.password + "&msgtype=t";
  return request.replace(QStringLiteral("<VN>"), fill.first)
      .replace(QStringLiteral("<NN>"), fill.last)
      .replace(QStringLiteral("<E>"), fill.euro)
      .replace(QStringLiteral("<C>"), fill.code);
}

QString sendingLogPath(const QString& branchId, const QDate& today, bool coupon,
                       const QString& euro, const QString& postcode, const QString& sender) {
  return kData + "smssending.cgi?" + branchId + kSep + dateText(today) + ";1;" +
         (coupon ? QStringLiteral("1") : QStringLiteral("0")) + u';' + normaliseNumber(euro) + u';' +
         postcode + u';' + sender;
}

}  // namespace quorvalis
