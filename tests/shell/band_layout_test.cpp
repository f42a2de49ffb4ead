#include <gtest/gtest.h>

#include "qt_printers.h"
#include "shell/band_layout.h"
#include "shell/watchdog.h"

namespace quorvalis {
namespace {

// Where the band lands, and the 1024 x 600 limit, are checked on the band itself (MainScreenTest).
TEST(BandLayout, SmallestScreenIs600PixelsHighAndStillFitsTheControls) {
  EXPECT_FALSE(screenLargeEnough(15360, 8985));
  EXPECT_LT(bandLayout(15360, 9000).Butt2.right(), bandLayout(15360, 9000).Picture2.left());
}

// A foreign window in front: the pointer clicks the band, or goes to the tile's corner without a
// click. Blanks around a title do not count, and "3D-" only at its start.
TEST(Watchdog, ClicksTheBandOrPointsAtTheTileUnlessSpared) {
  EXPECT_FALSE(watchdogStep("  Screen Saver  ", QRect(0, 9500, 19200, 2500)));
  const auto onBand = watchdogStep("Mein 3D-Spiel", QRect(0, 9500, 19200, 2500));
  const auto onTile = watchdogStep("Editor", QRect(18420, 11220, 780, 780));
  ASSERT_TRUE(onBand && onTile);
  EXPECT_EQ(QList({onBand->firstMove, onBand->secondMove.value_or(QPoint()), onTile->firstMove}),
            QList({QPoint(640, 688), QPoint(640, 748), QPoint(1228 + 2, 748 + 1)}));
  EXPECT_TRUE(onBand->click && !onTile->click && !onTile->secondMove);
  EXPECT_EQ(normalisedPosition(9600, 12000, 19200, 12000), QPoint(32767, 65535));
}

}  // namespace
}  // namespace quorvalis
