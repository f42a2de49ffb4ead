// The band's pictures, drawn by the program itself.
#pragma once

#include <QPixmap>

namespace quorvalis::pictures {

QPixmap shrink(int size);    // arrow into the corner
QPixmap settings(int size);  // cog wheel
QPixmap tile(int size);      // the corner tile: the product mark

}  // namespace quorvalis::pictures
