#include "shell/watchdog.h"

#include <QStringList>

namespace quorvalis {

std::optional<WatchdogAction> watchdogStep(const QString& foregroundTitle, const QRect& form) {
  QString title = foregroundTitle.left(255);
  const qsizetype nul = title.indexOf(QChar(0));
  if (nul >= 0) title.truncate(nul);
  while (title.startsWith(u' ')) title.remove(0, 1);
  while (title.endsWith(u' ')) title.chop(1);

  if (title == QStringLiteral("Screen Saver") || title.startsWith(QStringLiteral("3D-")))
    return std::nullopt;
  for (const char* spared : {"camguard", "quorvalis", "TimeReg", "tastatur"})
    if (title.contains(QLatin1String(spared), Qt::CaseSensitive)) return std::nullopt;

  const int left = form.left() / 15, top = form.top() / 15;
  WatchdogAction action;
  if (form.left() <= 0) {
    const int middle = form.width() / 15 / 2;
    action.firstMove = {middle, top + 55};
    action.click = true;
    action.secondMove = QPoint(middle, top + 115);
  } else {
    action.firstMove = {left + 2, top + 1};
  }
  return action;
}

QPoint normalisedPosition(int xTwips, int yTwips, int screenWTwips, int screenHTwips) {
  if (screenWTwips <= 0 || screenHTwips <= 0) return {};
  return {static_cast<int>(static_cast<double>(xTwips) / screenWTwips * 65535),
          static_cast<int>(static_cast<double>(yTwips) / screenHTwips * 65535)};
}

}  // namespace quorvalis
