// Platforms without window or input access: the desktop does what Qt alone can.
#include "platform/desktop_common.h"

namespace quorvalis {
namespace {

class PlainDesktop : public QtDesktop {
 public:
  using QtDesktop::QtDesktop;
  QString foregroundTitle() override { return {}; }
  void setCursorPos(QPoint) override {}
  void mouseMoveNormalised(int, int) override {}
  void mouseClick(int) override {}
  void startOnScreenKeyboard() override {}
  void setAutostart(const QString&) override {}
  QString autostart() override { return {}; }
};

}  // namespace

std::unique_ptr<Desktop> createDesktop(const QString& release) { return std::make_unique<PlainDesktop>(release); }

QString executableName() { return QStringLiteral("quorval"); }

}  // namespace quorvalis
