#include "club/club_host.h"

#include "platform/window.h"

namespace quorvalis {

void ClubScreenHost::show() {
  if (!screen_) {
    screen_ = new ClubScreen(services_, state_);
    // Closed by its own button: gone once the touch has been handled.
    QObject::connect(screen_, &ClubScreen::unloaded, screen_, &QObject::deleteLater);
  }
  screen_->show();
  SetTopmost(screen_);
}

void ClubScreenHost::hide() {
  if (screen_) screen_->hide();
}

void ClubScreenHost::unload() { delete screen_.data(); }

}  // namespace quorvalis
