// Parts of the desktop that Qt covers the same way on every platform.
#pragma once

#include "platform/desktop.h"

namespace quorvalis {

class QtDesktop : public Desktop {
 public:
  QSize screenSize() override;
  bool startProgram(const QString& program, const QStringList& args) override;
  bool startHeld(HeldProgram& program) override;
  void beep() override;
  void endProgram(const QString& reason) override;
};

}  // namespace quorvalis
