#include <gtest/gtest.h>

#include "qt_printers.h"
#include "shell/band_layout.h"
#include "shell/watchdog.h"

namespace quorvalis {
namespace {

TEST(BandLayout, FollowsTheScreenWidth) {
  const struct {
    int w, h;
    int top, butt1, butt2, moment, picture1, picture2, pwdok, tasta2, ende;
  } cases[] = {
      // W/2-300-3300, W/2+300, W/2-2000, W-1700, P1-2250, pwd+1100+150, pwdok+500+150, W-375
      {15360, 9000, 6500, 4080, 7980, 5680, 13660, 11410, 12660, 13310, 14985},
      {28800, 16200, 13700, 10800, 14700, 12400, 27100, 24850, 26100, 26750, 28425},
  };
  for (const auto& c : cases) {
    const BandLayout l = bandLayout(c.w, c.h);
    EXPECT_EQ(l.form, QRect(0, c.top, c.w, 2500)) << c.w;
    EXPECT_EQ(l.Butt1.left(), c.butt1) << c.w;
    EXPECT_EQ(l.Butt2.left(), c.butt2) << c.w;
    EXPECT_EQ(l.moment.left(), c.moment) << c.w;
    EXPECT_EQ(l.Picture1.left(), c.picture1) << c.w;
    EXPECT_EQ(l.Picture2.left(), c.picture2) << c.w;
    EXPECT_EQ(l.pwd.left(), c.picture2) << c.w;
    EXPECT_EQ(l.pwdok.left(), c.pwdok) << c.w;
    EXPECT_EQ(l.tasta2.left(), c.tasta2) << c.w;
    EXPECT_EQ(l.ende.left(), c.ende) << c.w;
    EXPECT_EQ(l.versinfo, QRect(0, 1560, c.w, 300)) << c.w;
    EXPECT_EQ(l.mainbackgr, QRect(150, 150, c.w - 300, 2200)) << c.w;
    EXPECT_EQ(l.ProgressBar1.left() * 2 + l.ProgressBar1.width(), c.w) << c.w;
    EXPECT_NEAR((l.gpwd.left() + l.tasta3.right()) / 2, l.Butt1.center().x(), 1) << c.w;
    EXPECT_LT(l.Butt2.right(), l.Picture2.left()) << "buttons and pictures must not overlap";
  }
  EXPECT_EQ(tileRect(15360, 9000), QRect(14580, 8220, 780, 780));
}

TEST(BandLayout, ScreenMustBeAtLeast15360By9000Twips) {
  EXPECT_TRUE(screenLargeEnough(15360, 9000));
  EXPECT_FALSE(screenLargeEnough(15345, 9000));
  EXPECT_FALSE(screenLargeEnough(15360, 8985));
}

TEST(Watchdog, LeavesTheSparedWindowsAlone) {
  const QRect band(0, 9500, 19200, 2500);  // twips
  const struct {
    QString title;
    bool acts;
  } cases[] = {
      {"Screen Saver", false},
      {"  Screen Saver  ", false},  // blanks trimmed
      {"Screen Saver 2", true},
      {"3D-Labyrinth", false},
      {"Mein 3D-Spiel", true},      // only the first three characters count
      {"Bildschirmtastatur", false},
      {"camguard live", false},
      {"quorvalis - Filial - Einstellungen", false},
      {"TimeReg", false},
      {"TASTATUR", true},           // the list is case-sensitive
      {"Quorvalis", true},
      {"", true},                   // the desktop itself
      {QStringLiteral("Editor") + QChar(0) + "quorvalis", true},  // only the part before NUL
      {"Eingabe erforderlich !", true},
      {"Form1", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(watchdogStep(c.title, band).has_value(), c.acts) << c.title.toStdString();
}

TEST(Watchdog, PointerTargetsOnBandAndTile) {
  const auto onBand = watchdogStep("Editor", QRect(0, 9500, 19200, 2500));
  ASSERT_TRUE(onBand);
  EXPECT_EQ(onBand->firstMove, QPoint(640, 633 + 55));
  EXPECT_TRUE(onBand->click);
  EXPECT_EQ(onBand->secondMove, QPoint(640, 633 + 115));

  const auto onTile = watchdogStep("Editor", QRect(18420, 11220, 780, 780));
  ASSERT_TRUE(onTile);
  EXPECT_EQ(onTile->firstMove, QPoint(1228 + 2, 748 + 1));
  EXPECT_FALSE(onTile->click);
  EXPECT_FALSE(onTile->secondMove);
}

TEST(Watchdog, MausklickCoordinatesAreNormalised) {
  EXPECT_EQ(normalisedPosition(0, 0, 19200, 12000), QPoint(0, 0));
  EXPECT_EQ(normalisedPosition(19200, 12000, 19200, 12000), QPoint(65535, 65535));
  EXPECT_EQ(normalisedPosition(9600, 3000, 19200, 12000), QPoint(32767, 16383));
}

}  // namespace
}  // namespace quorvalis
