#include "platform/window.h"

#include <QWidget>

namespace quorvalis {

void SetTopmost(QWidget* window) {
  if (!window) return;
  if (!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
    // Changing the flags re-creates the native window, which hides it and may drop its place.
    const bool visible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->setGeometry(geometry);
    if (visible) window->show();
  }
  window->raise();
}

}  // namespace quorvalis
