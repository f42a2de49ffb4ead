#include "demo_branch.h"
#include "platform/card_helper.h"
#include "platform/program_folder.h"

namespace quorvalis::testing {

using ClubE2E = DemoBranchTest<>;

// The club screen held as the program holds it, over the reader driver installed as a branch has
// it (on Windows the maker's 32-bit driver, through its helper) and a card of its own.
TEST_F(ClubE2E, MembersCardChecksInAndHandsItsNumberOn) {
  CardsimFile file{path("card")};
  ASSERT_TRUE(QFile::copy(QStringLiteral(CARD_DRIVER), cardReaderLibraryPath()));
  ASSERT_TRUE(QFile::copy(QStringLiteral(CARD_HELPER), programFile("quorval-card.exe")));
  const auto reader = createCardReader();
  Services withReader{clock, server, *reader, desktop, dialogs, printers};
  ScreenHost<ClubScreen> host([&] { return new ClubScreen(withReader, state); });
  host.show();
  ClubScreen& club = *host.screen();
  const auto card = [&](const QStringList& args) { cardsim(args); club.timer1Tick(); };
  card({"club", "00491711234567"});
  card({"remove"});
  card({"club", "00491609876543"});
  EXPECT_EQ(readBytes("data/12/4t.ini"), "00491711234567;Anna;Muster;04.12.2026;14:30:05\r\n"
                                         "00491609876543;Max;Beispiel;04.12.2026;14:30:05\r\n");
  CouponScreen coupons(withReader, state);  // the last card's number handed on
  EXPECT_EQ(coupons.findChild<QLineEdit*>("DATA_0")->text() + " " + coupons.findChild<QLineEdit*>("DATA_1")->text(), "0160 9876543");
  // Left by its own key, the screen is let go.
  club.findChild<QPushButton*>("ABBRUCH")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host.screen(), nullptr);
}

}  // namespace quorvalis::testing
