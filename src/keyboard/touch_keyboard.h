// The on-screen keys of the entry screens: the German letter keyboard and the numeric keypad.
// Both write into the screen's current field; what Enter does and what a key does besides
// editing belongs to the screen and comes in as callbacks.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

namespace quorvalis {

struct KeyboardHooks {
  std::function<QLineEdit*()> currentField;  // nullptr while there is none
  std::function<void()> resetIdle;           // letter, digit and Enter keys
  std::function<void()> enter;
  std::function<void()> beforeDigit;         // club screen: withdraw the offered actions
  std::function<void()> beforeClear;
  std::function<void()> afterClear;
};

// A key that shows clearly when it is pressed: a finger hides the key it touches. Its look is
// touchKeyStyle(), which the window it stands on has in its style sheet: one sheet for all the
// keys of a screen instead of one for each (half a megabyte for the two kept screens).
QPushButton* makeKey(QWidget* parent, const QString& objectName, const QString& caption);
QString touchKeyStyle();

class AlphaKeyboard {
 public:
  AlphaKeyboard(QWidget* parent, KeyboardHooks hooks);
  void setVisible(bool visible);
  QPushButton* letter(int index) const { return letters_[static_cast<size_t>(index)]; }

  // Indexes 0-28 as the branch screens number them: Ü, A to X, Z, Y, Ö, Ä.
  static QString caption(int index);
  static QPoint position(int index);  // twips

 private:
  void letterClicked(int index);
  KeyboardHooks hooks_;
  std::vector<QPushButton*> letters_;
  QPushButton *space_, *backspace_, *dot_;
  QLabel* panel_;
};

// Where the keypad's keys stand; the new-guest screen's is the default.
struct KeypadPlace {
  int columns[3] = {8880, 9960, 11040};
  int rows[3] = {2880, 3600, 4320};
  QPoint zero{9960, 5040};
  QPoint clear{8880, 5160};
};

class NumericKeypad {
 public:
  NumericKeypad(QWidget* parent, KeyboardHooks hooks, const KeypadPlace& place = {});
  void setVisible(bool visible);  // the ten digits, C and the panel
  QPushButton* digit(int d) const { return digits_[static_cast<size_t>(d)]; }
  QPushButton* enterKey() const { return enter_; }
  static QRect digitRect(int d, const KeypadPlace& place);  // twips

 private:
  KeyboardHooks hooks_;
  std::vector<QPushButton*> digits_;
  QPushButton *clear_, *enter_;
  QLabel* panel_;
};

}  // namespace quorvalis
