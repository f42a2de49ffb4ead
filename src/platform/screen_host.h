// Keeps a modeless screen for the band: made on its first show, hidden and shown as the band
// says, and let go when it closes itself (its unloaded signal) or is unloaded.
#pragma once

#include <QPointer>
#include <functional>

#include "platform/window.h"

namespace quorvalis {

template <class Screen>
class ScreenHost {
 public:
  explicit ScreenHost(std::function<Screen*()> make) : make_(std::move(make)) {}
  ~ScreenHost() { unload(); }
  ScreenHost(const ScreenHost&) = delete;
  ScreenHost& operator=(const ScreenHost&) = delete;

  void show() {
    if (!screen_) {
      screen_ = make_();
      // Closed by itself: gone once the event that closed it has been handled.
      QObject::connect(screen_, &Screen::unloaded, screen_, &QObject::deleteLater);
    }
    screen_->show();
    SetTopmost(screen_);
  }
  void hide() {
    if (screen_) screen_->hide();
  }
  void unload() { delete screen_.data(); }
  Screen* screen() const { return screen_; }

 private:
  std::function<Screen*()> make_;
  QPointer<Screen> screen_;
};

}  // namespace quorvalis
