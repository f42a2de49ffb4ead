// Keeps the band in front: which foreground windows are left alone, and where the pointer goes.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

namespace quorvalis {

struct WatchdogAction {
  QPoint firstMove;                  // pixels
  bool click = false;                // left click where the pointer then is
  std::optional<QPoint> secondMove;  // pixels
};

// The foreground title as the platform gave it (up to the first NUL, blanks trimmed) and the
// main screen's geometry in twips. No action when the window may keep the foreground.
std::optional<WatchdogAction> watchdogStep(const QString& foregroundTitle, const QRect& formTwips);

// Mausklick's move: normalised absolute coordinates for a position in twips.
QPoint normalisedPosition(int xTwips, int yTwips, int screenWTwips, int screenHTwips);

}  // namespace quorvalis
