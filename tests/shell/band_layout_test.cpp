#include <gtest/gtest.h>

#include "qt_printers.h"
#include "shell/band_layout.h"
#include "shell/watchdog.h"

namespace quorvalis::testing {

// A foreign window in front gets the band clicked or the tile pointed at; blanks and "3D-" mid-title don't count.
TEST(BandLayout, SmallestScreenIs600PixelsHighAndTheWatchdogClicksTheBandOrPointsAtTheTile) {
  EXPECT_FALSE(screenLargeEnough(15360, 8985));
  EXPECT_LT(bandLayout(15360, 9000).Butt2.right(), bandLayout(15360, 9000).Picture2.left());
  EXPECT_FALSE(watchdogStep("  Screen Saver  ", QRect(0, 9500, 19200, 2500)));
  const auto onBand = watchdogStep("Mein 3D-Spiel", QRect(0, 9500, 19200, 2500));
  const auto onTile = watchdogStep("Editor", QRect(18420, 11220, 780, 780));
  ASSERT_TRUE(onBand && onTile);
  EXPECT_EQ(QList({onBand->firstMove, onBand->secondMove.value_or(QPoint()), onTile->firstMove}),
            QList({QPoint(640, 688), QPoint(640, 748), QPoint(1228 + 2, 748 + 1)}));
  EXPECT_TRUE(onBand->click && !onTile->click && !onTile->secondMove);
  EXPECT_EQ(normalisedPosition(9600, 12000, 19200, 12000), QPoint(32767, 65535));
}

}  // namespace quorvalis::testing
