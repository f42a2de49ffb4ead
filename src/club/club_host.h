// Keeps the club screen for the band and the settings: loads it on first show, hides it while
// the band is a tile, and lets it go when it is closed or club mode is switched off.
#pragma once

#include <QPointer>

#include "club/club_screen.h"

namespace quorvalis {

class ClubScreenHost {
 public:
  ClubScreenHost(Services& services, TerminalState& state) : services_(services), state_(state) {}
  ~ClubScreenHost() { unload(); }
  ClubScreenHost(const ClubScreenHost&) = delete;
  ClubScreenHost& operator=(const ClubScreenHost&) = delete;

  void show();
  void hide();
  void unload();
  ClubScreen* screen() const { return screen_; }

 private:
  Services& services_;
  TerminalState& state_;
  QPointer<ClubScreen> screen_;
};

}  // namespace quorvalis
