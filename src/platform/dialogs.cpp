#include "platform/dialogs.h"

#include <QMessageBox>

namespace quorvalis {

Dialogs::Answer MessageBoxDialogs::message(const QString& text, const QString& title,
                                           Buttons buttons) {
  const QMessageBox::StandardButtons shown =
      buttons == kYesNo      ? QMessageBox::Yes | QMessageBox::No
      : buttons == kOkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                             : QMessageBox::Ok;
  QMessageBox box(buttons == kOk ? QMessageBox::Information : QMessageBox::Question, title, text,
                  shown);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);  // above the topmost band
  switch (box.exec()) {
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    case QMessageBox::Ok: return kAnswerOk;
    default: return buttons == kOk ? kAnswerOk : buttons == kYesNo ? kAnswerNo : kAnswerCancel;
  }
}

}  // namespace quorvalis
