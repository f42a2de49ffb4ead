// Guest record, duplicate check, welcome coupon and SMS: the requests and the reply rules.
#pragma once

#include <QDate>
#include <QString>

#include "guests/entry_checks.h"

namespace quorvalis {

// Day and month below 10 become "0" + their number value (7 and 07 both give 07).
void padDayAndMonth(GuestFields& fields);

struct GuestChoice {
  QString categories;  // ticked boxes, in the order A to F
  bool man = false;
  bool woman = false;
};

QString guestRecord(const GuestFields& fields, const GuestChoice& choice, const QString& postcode,
                    const QString& branchName, const QDate& today);
QString duplicateCheckPath(const QString& branchId, const GuestFields& fields);
QString creationPath(const QString& branchId, const QString& record);

// The duplicate check's reply turned into the code the outcome is decided by.
struct CheckResult {
  QString code;
  QString nameCount;  // the second count as received, for the question
};
CheckResult checkResultCode(const QString& reply, bool questionShown);

enum class CheckOutcome { kNumberKnown, kBlocked, kAskName, kNameAndBirthdayKnown, kNoDatabase, kCreate };
CheckOutcome decideOutcome(const QString& code);

// Welcome coupon: valid to the same day next year; 29 February gives 28 February.
QDate couponValidity(const QDate& today);
QString couponCode(int number);  // 0..9999 as four digits, leading zeros kept
QString randomCouponCode();      // couponCode of a uniform draw
QString couponBookingPath(const QString& branchId, const QString& number, const QString& code,
                          const QDate& validUntil, const QString& euro, const QDate& today);

struct GatewayAccount {
  QString id, password, address;
};
QString credentialsPath(const QString& directory, const QString& sender);
GatewayAccount parseCredentials(const QString& reply);

struct WelcomeMessage {
  QString first, last, euro, code;
};
QString gatewayRequest(const GatewayAccount& account, const QString& number, const QString& sender,
                       const QString& templ, const WelcomeMessage& fill);
QString sendingLogPath(const QString& branchId, const QDate& today, bool coupon,
                       const QString& euro, const QString& postcode, const QString& sender);

}  // namespace quorvalis
