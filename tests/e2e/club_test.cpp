#include "demo_branch.h"

namespace quorvalis::testing {

using ClubE2E = DemoBranchTest<>;

// The club screen held as the program holds it; the reader stand-in loaded as the real library
// over a card file of the test's own.
TEST_F(ClubE2E, MembersCardChecksInAndHandsItsNumberOn) {
  CardsimFile card{path("card")};
  LibraryCardReader library{QStringLiteral(SCARD_LIBRARY)};
  Services withReader{clock, server, library, desktop, dialogs, printers};
  ScreenHost<ClubScreen> host([&] { return new ClubScreen(withReader, state); });
  host.show();
  ClubScreen& club = *host.screen();
  club.timer1Tick();
  cardsim({"club", "00491711234567"});
  club.timer1Tick();
  EXPECT_EQ(label(club, "Hinweis"), "Anna Muster");
  EXPECT_EQ(readBytes("data/12/4.ini"), "00491711234567;Anna;Muster;Gold;04.12.2026\r\n");
  EXPECT_EQ(readBytes("data/12/4t.ini"), "00491711234567;Anna;Muster;04.12.2026;14:30:05\r\n");
  cardsim({"remove"});
  club.timer1Tick();
  EXPECT_EQ(readSetting(keys::kTempNr) + label(club, "Hinweis"), "");
  cardsim({"club", "00491609876543"});
  club.timer1Tick();
  EXPECT_EQ(club.presentRecords().size(), 2);
  CouponScreen coupons(withReader, state);
  EXPECT_EQ(coupons.findChild<QLineEdit*>("DATA_0")->text() + " " + coupons.findChild<QLineEdit*>("DATA_1")->text(), "0160 9876543");
  // Left by its own key, the screen is let go.
  club.findChild<QPushButton*>("ABBRUCH")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host.screen(), nullptr);
}

}  // namespace quorvalis::testing
