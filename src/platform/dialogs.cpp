#include "platform/dialogs.h"

#include <QMessageBox>

namespace quorvalis {

Dialogs::Answer MessageBoxDialogs::message(const QString& text, const QString& title,
                                           Buttons buttons) {
  QMessageBox box(buttons == kYesNo ? QMessageBox::Question : QMessageBox::Information, title,
                  text, buttons == kYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);  // above the topmost band
  const int pressed = box.exec();
  if (buttons == kOk) return kAnswerOk;
  return pressed == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

}  // namespace quorvalis
