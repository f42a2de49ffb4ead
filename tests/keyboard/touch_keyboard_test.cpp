#include <gtest/gtest.h>

#include <QTest>

#include "keyboard/touch_keyboard.h"
#include "qt_printers.h"

namespace quorvalis::testing {

class KeyboardTest : public ::testing::Test {
 protected:
  void press(const QStringList& keys) {
    for (const QString& key : keys) QTest::mouseClick(host.findChild<QPushButton*>(key), Qt::LeftButton);
  }

  QWidget host;
  QLineEdit* field = new QLineEdit(&host);
  QStringList calls;  // the hooks called, in order
  KeyboardHooks hooks{[this] { return field; }, [this] { calls << "idle"; }, [this] { calls << "enter"; }, {}, {}, {}};
};

// Capitals at the start of the field and after a blank, judged by what the field holds.
TEST_F(KeyboardTest, LetterSpaceAndBackspaceKeys) {
  AlphaKeyboard keys(&host, hooks);
  field->setText("A");
  press({"cmdAlpha_13", "cmdAlpha_1", "cmdAlpha_24", "cmdSpace", "cmdAlpha_13", "cmdAlpha_28"});
  EXPECT_EQ(field->text() + " " + QString::number(calls.count("idle")), "Amax Mä 5");  // not reset by the space bar
  press({"cmdBackSpace", "cmdDot"});  // the dot key is designed in, without an action
  EXPECT_EQ(field->text(), "Amax M");
}

// Digits and Enter reset the idle counter, the clear key does not.
TEST_F(KeyboardTest, DigitClearAndEnterKeys) {
  NumericKeypad keys(&host, hooks);
  press({"cmdNumeric_0", "cmdNumeric_1", "cmdNumeric_7"});
  EXPECT_EQ(field->text(), "017");
  press({"numclear", "cmdEnterNum"});
  EXPECT_EQ(field->text() + calls.join(" "), "idle idle idle idle enter");
}

}  // namespace quorvalis::testing
