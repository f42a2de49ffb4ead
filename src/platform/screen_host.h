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
  // A screen at work further down the stack (waiting for the card, with events going on) is let
  // go at once and deletes itself once that work is over.
  void unload() {
    Screen* screen = screen_.data();
    screen_ = nullptr;
    if constexpr (requires { screen->working(); screen->retire(); }) {
      if (screen && screen->working()) return screen->retire();
    }
    delete screen;
  }
  Screen* screen() const { return screen_; }

 private:
  std::function<Screen*()> make_;
  QPointer<Screen> screen_;
};

}  // namespace quorvalis
