#include "demo_branch.h"

namespace quorvalis::testing {

namespace t = guest_texts;

using RegistrationE2E = DemoBranchTest<>;

TEST_F(RegistrationE2E, NewGuestThenEveryKindOfDuplicate) {
  EXPECT_EQ(registerGuest({"Jürgen", "Beispiel", "0172", "5550001", "24", "12", "1985"}), t::kSmsSent);
  const auto row = [&](const char* sql) { return zentrale.query(sql).value(0).join(';'); };
  EXPECT_EQ(row("SELECT number, first, last, birthday, branch_text, created, flags FROM guests"),
            QString::fromUtf8("00491725550001;Jürgen;Beispiel;24.12.1985;12345-Bar Nord Demo;04.12.2026;ABCDEFMN"));
  const QString coupon = row("SELECT code, valid_until, text, value FROM coupons WHERE number = '00491725550001'");
  EXPECT_EQ(coupon.section(';', 1), "04.12.2027;Neuregistrierung;5");
  EXPECT_EQ(row("SELECT gate, receiver, sender, msg, account FROM sms"),
            QString::fromUtf8("gate1;00491725550001;Basic;Hallo Jürgen, willkommen im Club! Ihr Gutschein ") +
                coupon.section(';', 0, 0) + QString::fromUtf8(" über 5 Euro wartet.;demoid"));
  EXPECT_EQ(row("SELECT date, coupon, euro, postcode, sender FROM sms_sendings"), "04.12.2026;1;5;12345;Basic");

  // The same number again is known; a namesake born on another day is created once confirmed.
  EXPECT_EQ(registerGuest({"Jürgen", "Beispiel", "0172", "5550001", "24", "12", "1985"}), t::kNumberKnown);
  EXPECT_EQ(registerGuest({"Jürgen", "Beispiel", "0172", "5550002", "01", "01", "1970"}, true),
            QString::fromUtf8(t::kNameQuestionStart) + "1" + t::kNameQuestionEnd + " / " + t::kSmsSent);
}

}  // namespace quorvalis::testing
