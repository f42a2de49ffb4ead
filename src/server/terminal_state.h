// What the main band keeps for every other screen (its hidden labels), by their names.
#pragma once

#include <QString>

namespace quorvalis {

struct TerminalState {
  QString quorvalisID;  // branch ID from the start form
  QString quorvalverz;  // the branch's directory on the central server
  QString quorvalName;  // display name of the branch
  QString HalleName;    // branch name, also the coupons' branch filter target
  QString HallePLZ;     // branch postcode
  QString pwds;         // unscrambled settings password, "" = none
  bool pwdsLocked = false;  // a password is configured but unreadable: only the service code
  QString pwdu;         // always ""
  QString nominimize = QStringLiteral("0");  // "1" while a modal screen from the band is up
  QString screenW;      // screen size in twips, as text
  QString screenH;
  QString versinfo;     // version line shown at the foot of the screens
};

}  // namespace quorvalis
