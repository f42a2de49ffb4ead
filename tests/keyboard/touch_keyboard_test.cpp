#include <gtest/gtest.h>

#include <QTest>

#include "keyboard/touch_keyboard.h"
#include "qt_printers.h"

namespace quorvalis::testing {

// Capitals at the start of the field and after a blank, judged by what the field holds; letters,
// digits and Enter reset the idle counter, the space bar and the clear key do not.
TEST(KeyboardTest, LetterAndDigitKeys) {
  QWidget host;
  QLineEdit* field = new QLineEdit(&host);
  QStringList calls;  // the hooks called, in order
  KeyboardHooks hooks{[&] { return field; }, [&] { calls << "idle"; }, [&] { calls << "enter"; }, {}, {}, {}};
  const auto press = [&host](const QStringList& keys) {
    for (const QString& key : keys) QTest::mouseClick(host.findChild<QPushButton*>(key), Qt::LeftButton);
  };
  AlphaKeyboard letters(&host, hooks);
  NumericKeypad digits(&host, hooks);
  field->setText("A");
  press({"cmdAlpha_13", "cmdAlpha_1", "cmdAlpha_24", "cmdSpace", "cmdAlpha_13", "cmdAlpha_28", "cmdBackSpace"});
  press({"cmdDot", "cmdNumeric_0", "cmdNumeric_7"});  // the dot key is designed in, without an action
  EXPECT_EQ(field->text() + " " + QString::number(calls.count("idle")), "Amax M07 7");
  press({"numclear", "cmdEnterNum"});
  EXPECT_EQ(field->text() + calls.mid(7).join(" "), "idle enter");
}

}  // namespace quorvalis::testing
