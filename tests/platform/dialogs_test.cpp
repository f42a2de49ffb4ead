#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/dialogs.h"

namespace quorvalis {
namespace {

// The button the person touches is the answer the caller gets.
TEST(MessageBoxDialogs, AnswerIsTheButtonTouched) {
  const struct {
    Dialogs::Buttons buttons;
    QMessageBox::StandardButton touched;
    Dialogs::Answer answer;
  } cases[] = {
      {Dialogs::kOk, QMessageBox::Ok, Dialogs::kAnswerOk},
      {Dialogs::kYesNo, QMessageBox::Yes, Dialogs::kAnswerYes},
      {Dialogs::kYesNo, QMessageBox::No, Dialogs::kAnswerNo},
      {Dialogs::kOkCancel, QMessageBox::Ok, Dialogs::kAnswerOk},
      {Dialogs::kOkCancel, QMessageBox::Cancel, Dialogs::kAnswerCancel},
  };
  MessageBoxDialogs dialogs;
  for (const auto& c : cases) {
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      box->button(c.touched)->click();
    });
    EXPECT_EQ(dialogs.message("Frage ?", "?", c.buttons), c.answer) << c.touched;
  }
}

}  // namespace
}  // namespace quorvalis
