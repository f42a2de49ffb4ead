#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "keyboard/key_rules.h"
#include "keyboard/touch_keyboard.h"
#include "platform/widgets.h"
#include "qt_printers.h"

namespace quorvalis {
namespace {

TEST(AutomaticCapitals, DecidedByTheFieldAlone) {
  const struct {
    const char* keys;
    const char* result;
  } cases[] = {{"MAX MUSTER", "Max Muster"}, {"MÄ", "Mä"}, {"ÜÖÄ", "Üöä"}, {"A B", "A B"}};
  for (const auto& c : cases) {
    QString field;
    for (QChar key : QString::fromUtf8(c.keys))
      field = key == u' ' ? field + u' ' : appendLetter(field, QString(key));
    EXPECT_EQ(field, QString::fromUtf8(c.result)) << c.keys;
  }
  EXPECT_EQ(removeLastCharacter("Anna"), "Ann");
  EXPECT_EQ(removeLastCharacter(""), "");
}

TEST(KeyLayout, GermanOrderAtTheDesignedPlaces) {
  EXPECT_EQ(AlphaKeyboard::caption(0), QString::fromUtf8("Ü"));
  EXPECT_EQ(AlphaKeyboard::caption(25), "Z");
  EXPECT_EQ(AlphaKeyboard::caption(26), "Y");
  EXPECT_EQ(AlphaKeyboard::caption(27), QString::fromUtf8("Ö"));
  EXPECT_EQ(AlphaKeyboard::caption(28), QString::fromUtf8("Ä"));
  const struct {
    int index;
    QPoint twips;
  } places[] = {{17, {480, 4800}},  {0, {480 + 10 * 960, 4800}}, {1, {720, 5520}},
                {28, {720 + 10 * 960, 5520}}, {26, {960, 6240}}, {13, {960 + 6 * 960, 6240}}};
  for (const auto& p : places) EXPECT_EQ(AlphaKeyboard::position(p.index), p.twips) << p.index;
  const KeypadPlace guest;
  EXPECT_EQ(NumericKeypad::digitRect(7, guest).topLeft(), QPoint(8880, 2880));
  EXPECT_EQ(NumericKeypad::digitRect(9, guest).topLeft(), QPoint(11040, 2880));
  EXPECT_EQ(NumericKeypad::digitRect(5, guest).topLeft(), QPoint(9960, 3600));
  EXPECT_EQ(NumericKeypad::digitRect(1, guest).topLeft(), QPoint(8880, 4320));
  EXPECT_EQ(NumericKeypad::digitRect(0, guest), QRect(9960, 5040, 855, 615));
}

class KeyboardTest : public ::testing::Test {
 protected:
  KeyboardTest() {
    field = new QLineEdit(&host);
    hooks.currentField = [this] { return current ? field : nullptr; };
    hooks.resetIdle = [this] { ++idleResets; };
    hooks.enter = [this] { ++enters; };
  }
  QPushButton* key(const QString& name) { return host.findChild<QPushButton*>(name); }
  void press(const QString& name) { QTest::mouseClick(key(name), Qt::LeftButton); }

  QWidget host;
  QLineEdit* field;
  bool current = true;
  KeyboardHooks hooks;
  int idleResets = 0, enters = 0;
};

TEST_F(KeyboardTest, LetterSpaceAndBackspaceKeys) {
  AlphaKeyboard keys(&host, hooks);
  for (const char* name : {"cmdAlpha_13", "cmdAlpha_1", "cmdAlpha_24", "cmdSpace", "cmdAlpha_13",
                           "cmdAlpha_28"})
    press(QString::fromLatin1(name));
  EXPECT_EQ(field->text(), QString::fromUtf8("Max Mä"));
  EXPECT_EQ(idleResets, 5);  // letters reset the idle counter, the space bar does not
  press("cmdBackSpace");
  EXPECT_EQ(field->text(), "Max M");
  press("cmdDot");
  EXPECT_EQ(field->text(), "Max M");  // the dot key has no action

  field->clear();
  QSignalSpy changes(field, &QLineEdit::textChanged);
  press("cmdBackSpace");
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(changes.count(), 0);

  current = false;  // no current field yet: the keys write nowhere
  press("cmdAlpha_1");
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(key("cmdAlpha_17")->geometry(), twipsToPixels(QRect(480, 4800, 855, 615)));
}

TEST_F(KeyboardTest, DigitClearAndEnterKeys) {
  NumericKeypad keys(&host, hooks);
  press("cmdNumeric_0");
  press("cmdNumeric_1");
  press("cmdNumeric_7");
  EXPECT_EQ(field->text(), "017");
  EXPECT_EQ(idleResets, 3);
  press("numclear");
  EXPECT_EQ(field->text(), "");
  QSignalSpy changes(field, &QLineEdit::textChanged);
  press("numclear");
  EXPECT_EQ(changes.count(), 0);
  press("cmdEnterNum");
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(idleResets, 4);
}

TEST_F(KeyboardTest, ClubVariantWithdrawsTheOfferedActions) {
  QStringList calls;
  hooks.resetIdle = nullptr;  // the club screen has no idle counter
  hooks.beforeDigit = [&] { calls << "hide search and Karte_zu, empty Hinweis"; };
  hooks.beforeClear = [&] { calls << "hide search and Karte_zu"; };
  hooks.afterClear = [&] { calls << "empty Hinweis"; };
  KeypadPlace place;
  place.columns[0] = 600;
  NumericKeypad keys(&host, hooks, place);
  ASSERT_TRUE(field->text().isEmpty());
  press("cmdNumeric_4");  // even on an empty field
  press("numclear");
  EXPECT_EQ(calls, (QStringList{"hide search and Karte_zu, empty Hinweis",
                               "hide search and Karte_zu", "empty Hinweis"}));
  EXPECT_EQ(key("cmdNumeric_7")->geometry().x(), 40);
}

}  // namespace
}  // namespace quorvalis
