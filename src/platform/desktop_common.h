// Parts of the desktop that Qt covers the same way on every platform.
#pragma once

#include "platform/desktop.h"

namespace quorvalis {

class QtDesktop : public Desktop {
 public:
  explicit QtDesktop(const QString& release);
  QSize screenSize() override;
  bool startProgram(const QString& program, const QStringList& args) override;
  bool startHeld(HeldProgram& program) override;
  void beep() override;
  void endProgram(const QString& reason) override;
  QString packagedRelease() override;
  bool programReplaced() override;
  bool restartIntoNewProgram(const QString& reason) override;

 private:
  QString release_;
  QString program_;  // as it was found at start: once replaced, the system names it "(deleted)"
};

}  // namespace quorvalis
