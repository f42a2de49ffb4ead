#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "fakes.h"
#include "guests/new_guest_screen.h"
#include "program_folder_test.h"
#include "demo_branch.h"
#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis {
namespace {

// The real screen against the development central server: real HTTP, real files.
class RegistrationE2E : public testing::DemoBranchTest<testing::RecordingPrinterSystem> {
 protected:
  QString registerGuest(const QString& first, const QString& last, const QString& number,
                        bool confirm = false) {
    NewGuestScreen screen(services, state);
    screen.sexPictureTouched(false);
    const QStringList values{first, last, "0172", number, "24", "12", "1985"};
    for (int i = 0; i < values.size(); ++i)
      screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
    screen.Datapr_Click();
    if (confirm) screen.findChild<QPushButton*>("Datapr")->click();
    return screen.findChild<QLabel*>("Label1")->text();
  }
};

TEST_F(RegistrationE2E, GuestCouponAndSmsReachTheServer) {
  EXPECT_EQ(registerGuest("Jürgen", "Beispiel", "5550001"), "Die SMS wurde erfolgreich versendet.");

  const auto guests = zentrale.query(
      "SELECT number, first, last, birthday, branch_text, created, flags FROM guests");
  ASSERT_EQ(guests.size(), 1);
  EXPECT_EQ(guests[0].join(';'), QString::fromUtf8("00491725550001;Jürgen;Beispiel;24.12.1985;"
                                                   "12345-Bar Nord Demo;04.12.2026;ABCDEFMN"));
  const auto coupons = zentrale.query(
      "SELECT code, valid_until, text, value FROM coupons WHERE number = '00491725550001'");
  ASSERT_EQ(coupons.size(), 1);
  const QString code = coupons[0][0];
  EXPECT_EQ(coupons[0].mid(1).join(';'), "04.12.2027;Neuregistrierung;5");
  const auto sms = zentrale.query("SELECT gate, receiver, sender, msg, account FROM sms");
  ASSERT_EQ(sms.size(), 1);
  EXPECT_EQ(sms[0].join('|'),
            QString::fromUtf8("gate1|00491725550001|Basic|Hallo Jürgen, willkommen im Club! Ihr "
                              "Gutschein ") + code + QString::fromUtf8(" über 5 Euro wartet.|demoid"));
  EXPECT_EQ(zentrale.query("SELECT date, coupon, euro, postcode, sender FROM sms_sendings")
                .value(0)
                .join(';'),
            "04.12.2026;1;5;12345;Basic");
}

TEST_F(RegistrationE2E, KnownNumberAndDuplicateName) {
  ASSERT_EQ(registerGuest("Lisa", "Sommer", "5550002"), "Die SMS wurde erfolgreich versendet.");
  EXPECT_EQ(registerGuest("Lisa", "Sommer", "5550002"),
            QString::fromUtf8("Der Kunde ist bereits für den Newsletter eingetragen. Diese "
                              "Handy-Nummer ist bereits gespeichert."));
  // Same name and birthday on another number: known, nothing created.
  EXPECT_EQ(registerGuest("Lisa", "Sommer", "5550003"),
            QString::fromUtf8("Der Kunde ist bereits für den Newsletter eingetragen. Dieser Name "
                              "und Geburtstag ist bereits gespeichert."));
  EXPECT_EQ(zentrale.query("SELECT COUNT(*) FROM guests WHERE last = 'Sommer'")[0][0], "1");
}

TEST_F(RegistrationE2E, SameNameOtherBirthdayIsCreatedAfterConfirmation) {
  ASSERT_EQ(registerGuest("Tom", "Winter", "5550004"), "Die SMS wurde erfolgreich versendet.");
  // Another Tom Winter with another birthday: the question, then the confirmation.
  NewGuestScreen screen(services, state);
  screen.sexPictureTouched(false);
  const QStringList values{"Tom", "Winter", "0172", "5550005", "01", "01", "1970"};
  for (int i = 0; i < values.size(); ++i)
    screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
  screen.Datapr_Click();
  EXPECT_TRUE(screen.findChild<QLabel*>("Label1")->text().startsWith("Der Name ist bereits 1x"));
  EXPECT_EQ(zentrale.query("SELECT COUNT(*) FROM guests WHERE last = 'Winter'")[0][0], "1");
  screen.findChild<QPushButton*>("Datapr")->click();
  EXPECT_EQ(screen.findChild<QLabel*>("Label1")->text(), "Die SMS wurde erfolgreich versendet.");
  EXPECT_EQ(zentrale.query("SELECT COUNT(*) FROM guests WHERE last = 'Winter'")[0][0], "2");
}

}  // namespace
}  // namespace quorvalis
