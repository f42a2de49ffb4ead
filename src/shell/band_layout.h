// Where the band's controls go for a screen size, in twips.
#pragma once

#include <QRect>

namespace quorvalis {

inline constexpr int kMinScreenW = 15360, kMinScreenH = 9000;
inline constexpr int kBandHeight = 2500, kTileSize = 780, kPictureSize = 1000;

struct BandLayout {
  QRect form, mainbackgr, Butt1, Butt2, moment, versinfo, gpwd, gpwdok, tasta3, Picture1,
      Picture2, pwd, pwdok, tasta2, ProgressBar1, ende, quorvalName, quorvalStatus, vers;
};

bool screenLargeEnough(int screenW, int screenH);
BandLayout bandLayout(int screenW, int screenH);
QRect tileRect(int screenW, int screenH);

}  // namespace quorvalis
