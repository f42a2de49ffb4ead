#include "shell/band_layout.h"

namespace quorvalis {
namespace {
constexpr int kButtonW = 3300, kButtonH = 1100, kTop = 300;
}

bool screenLargeEnough(int w, int h) { return w >= kMinScreenW && h >= kMinScreenH; }

QRect tileRect(int w, int h) { return {w - kTileSize, h - kTileSize, kTileSize, kTileSize}; }

BandLayout bandLayout(int w, int h) {
  BandLayout l;
  l.form = {0, h - kBandHeight, w, kBandHeight};
  l.mainbackgr = {150, 150, w - 300, kBandHeight - 300};
  l.Butt1 = {w / 2 - 300 - kButtonW, kTop, kButtonW, kButtonH};
  l.Butt2 = {w / 2 + 300, kTop, kButtonW, kButtonH};
  l.moment = {w / 2 - 2000, 600, 4000, 500};
  l.versinfo = {0, 1560, w, 300};
  // The unused new-guest password row, centred under Butt1.
  const int rowW = 1800 + 150 + 600 + 150 + 900;
  const int rowLeft = l.Butt1.center().x() - rowW / 2;
  l.gpwd = {rowLeft, 1450, 1800, 400};
  l.gpwdok = {l.gpwd.right() + 1 + 150, 1450, 600, 400};
  l.tasta3 = {l.gpwdok.right() + 1 + 150, 1450, 900, 400};
  l.Picture1 = {w - 1700, kTop, kPictureSize, kPictureSize};
  l.Picture2 = {l.Picture1.left() - 2250, kTop, kPictureSize, kPictureSize};
  l.pwd = {l.Picture2.left(), 1350, 1100, 400};
  l.pwdok = {l.pwd.right() + 1 + 150, 1350, 500, 400};
  l.tasta2 = {l.pwdok.right() + 1 + 150, 1350, 900, 400};
  l.ProgressBar1 = {(w - 6000) / 2, 2000, 6000, 200};
  l.ende = {w - 375, 150, 360, 360};
  l.quorvalName = {450, kTop, l.Butt1.left() - 600, 500};
  l.quorvalStatus = {450, 850, l.Butt1.left() - 600, 350};
  l.vers = {450, 1200, l.Butt1.left() - 600, 300};
  return l;
}

}  // namespace quorvalis
