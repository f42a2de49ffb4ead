#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "cardsim_control.h"
#include "club/club_screen.h"
#include "platform/screen_host.h"
#include "coupons/coupon_screen.h"
#include "demo_branch.h"
#include "settings/settings_files.h"
#include "shell/main_screen.h"

namespace quorvalis {
namespace {

// The club screen against the development central server, with the reader stand-in loaded as
// the real library over a card file of the test's own.
class ClubE2E : public testing::DemoBranchTest<testing::RecordingPrinterSystem> {
 protected:
  testing::CardsimFile card{path("card")};
  LibraryCardReader library{QStringLiteral(SCARD_LIBRARY)};
  Services withReader{clock, server, library, desktop, dialogs, printers};
};

TEST_F(ClubE2E, MembersCardChecksInAndHandsItsNumberToTheCouponScreen) {
  ClubScreen club(withReader, state);
  club.timer1Tick();
  testing::cardsim({"club", "00491711234567"});
  club.timer1Tick();
  EXPECT_EQ(club.findChild<QLabel*>("Hinweis")->text(), "Anna Muster");
  EXPECT_EQ(club.presentRecords(), QStringList{"00491711234567;Anna;Muster;Gold;04.12.2026"});
  EXPECT_EQ(readBytes("data/12/4.ini"), "00491711234567;Anna;Muster;Gold;04.12.2026\r\n");
  EXPECT_EQ(readBytes("data/12/4t.ini"), "00491711234567;Anna;Muster;04.12.2026;14:30:05\r\n");
  EXPECT_TRUE(zentrale.requestLog().contains("/quorvalis/DATA/clubsearch.cgi?DEMO01---00491711234567"));

  testing::cardsim({"remove"});
  club.timer1Tick();
  EXPECT_EQ(readSetting(keys::kTempNr), "");
  EXPECT_EQ(club.findChild<QLabel*>("Hinweis")->text(), "");

  testing::cardsim({"club", "00491609876543"});
  club.timer1Tick();
  EXPECT_EQ(club.presentRecords().size(), 2);
  CouponScreen coupons(withReader, state);
  EXPECT_EQ(coupons.findChild<QLineEdit*>("DATA_0")->text(), "0160");
  EXPECT_EQ(coupons.findChild<QLineEdit*>("DATA_1")->text(), "9876543");
}

TEST_F(ClubE2E, BandShowsHidesAndReloadsTheClubScreen) {
  writeBytes("cl.ini", "[start]\r\nclub=1\r\n");
  ScreenHost<ClubScreen> host([&] { return new ClubScreen(withReader, state); });
  MainScreen band(withReader, state, "DEMO01");
  band.screens.club = [&](bool show) { show ? host.show() : host.hide(); };
  band.show();
  band.timer2Tick();
  ASSERT_NE(host.screen(), nullptr);
  EXPECT_TRUE(host.screen()->isVisible());
  // Above the band and the demo branch's ticker: 12000 - 2500 - 5500 - 1350 twips.
  EXPECT_EQ(host.screen()->geometry(), QRect(0, 2650 / 15, 1280, 5500 / 15));
  EXPECT_TRUE(host.screen()->polling());

  band.Picture1_Click();
  EXPECT_FALSE(host.screen()->isVisible());
  band.Picture3_Click();
  EXPECT_TRUE(host.screen()->isVisible());

  host.screen()->findChild<QPushButton*>("ABBRUCH")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(host.screen(), nullptr);
  band.Picture1_Click();
  band.Picture3_Click();
  ASSERT_NE(host.screen(), nullptr);
  EXPECT_TRUE(host.screen()->isVisible());
}

}  // namespace
}  // namespace quorvalis
