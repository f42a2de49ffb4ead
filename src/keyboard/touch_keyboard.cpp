#include "keyboard/touch_keyboard.h"

#include <QStyle>
#include <optional>

#include "keyboard/key_rules.h"
#include "platform/widgets.h"

namespace quorvalis {
namespace {

constexpr int kKeyW = 855, kKeyH = 615;
constexpr char kLetters[] = "\xC3\x9C" "ABCDEFGHIJKLMNOPQRSTUVWXZY\xC3\x96\xC3\x84";  // UTF-8

// The three rows in German typewriter order, by key index.
constexpr int kTopRow[] = {17, 23, 5, 18, 20, 25, 21, 9, 15, 16, 0};      // Q W E R T Z U I O P Ü
constexpr int kMiddleRow[] = {1, 19, 4, 6, 7, 8, 10, 11, 12, 27, 28};    // A S D F G H J K L Ö Ä
constexpr int kBottomRow[] = {26, 24, 3, 22, 2, 14, 13};                // Y X C V B N M

QLabel* makePanel(QWidget* parent, const char* name, const QRect& twips) {
  auto* panel = makeLabel(parent, name);
  panel->setStyleSheet(QStringLiteral("background-color: rgb(210, 222, 235); border-radius: 10px;"));
  panel->setGeometry(twipsToPixels(twips));
  panel->lower();
  return panel;
}

void call(const std::function<void()>& f) {
  if (f) f();
}

}  // namespace

QString touchKeyStyle() {
  return QStringLiteral(
      "QPushButton[touchKey=\"true\"] { font: bold 18px 'Arial'; background: white;"
      " border: 2px solid rgb(0,92,153); border-radius: 6px; }"
      "QPushButton[touchKey=\"true\"]:pressed { background: rgb(255,170,0); border-color: rgb(200,120,0); }");
}

QPushButton* makeKey(QWidget* parent, const QString& objectName, const QString& caption) {
  auto* key = new QPushButton(caption, parent);
  key->setObjectName(objectName);
  key->setFocusPolicy(Qt::NoFocus);  // a touch must not take the focus from the field
  // Its look comes from its window's style sheet (touchKeyStyle), which it took before it was a key.
  key->setProperty("touchKey", true);
  key->style()->unpolish(key);
  key->style()->polish(key);
  return key;
}

QString AlphaKeyboard::caption(int index) { return QString::fromUtf8(kLetters).mid(index, 1); }

QPoint AlphaKeyboard::position(int index) {
  auto find = [index](const int* row, int n, int x0, int y) -> std::optional<QPoint> {
    for (int k = 0; k < n; ++k)
      if (row[k] == index) return QPoint(x0 + 960 * k, y);
    return std::nullopt;
  };
  if (auto p = find(kTopRow, 11, 480, 4800)) return *p;
  if (auto p = find(kMiddleRow, 11, 720, 5520)) return *p;
  if (auto p = find(kBottomRow, 7, 960, 6240)) return *p;
  return {};
}

AlphaKeyboard::AlphaKeyboard(QWidget* parent, KeyboardHooks hooks) : hooks_(std::move(hooks)) {
  panel_ = makePanel(parent, "backkey", QRect(360, 4680, 10935, 3015));
  for (int i = 0; i < 29; ++i) {
    QPushButton* key = makeKey(parent, QStringLiteral("cmdAlpha_%1").arg(i), caption(i));
    const QPoint p = position(i);
    key->setGeometry(twipsToPixels(QRect(p.x(), p.y(), kKeyW, kKeyH)));
    QObject::connect(key, &QPushButton::clicked, key, [this, i] { letterClicked(i); });
    letters_.push_back(key);
  }
  space_ = makeKey(parent, QStringLiteral("cmdSpace"), QString());
  space_->setGeometry(twipsToPixels(QRect(2640, 6960, 5175, kKeyH)));
  QObject::connect(space_, &QPushButton::clicked, space_, [this] {
    if (QLineEdit* field = hooks_.currentField()) field->setText(field->text() + u' ');
  });
  backspace_ = makeKey(parent, QStringLiteral("cmdBackSpace"), QStringLiteral("\u2190"));
  backspace_->setGeometry(twipsToPixels(QRect(9960, 6240, 1215, kKeyH)));
  QObject::connect(backspace_, &QPushButton::clicked, backspace_, [this] {
    QLineEdit* field = hooks_.currentField();
    if (field && !field->text().isEmpty()) field->setText(removeLastCharacter(field->text()));
  });
  // The dot key is part of the design but has no action.
  dot_ = makeKey(parent, QStringLiteral("cmdDot"), QStringLiteral("."));
  dot_->setGeometry(twipsToPixels(QRect(7680, 6240, kKeyW, kKeyH)));
}

void AlphaKeyboard::letterClicked(int index) {
  call(hooks_.resetIdle);
  if (QLineEdit* field = hooks_.currentField())
    field->setText(appendLetter(field->text(), caption(index)));
}

void AlphaKeyboard::setVisible(bool visible) {
  for (QPushButton* key : letters_) key->setVisible(visible);
  for (QWidget* w : std::initializer_list<QWidget*>{space_, backspace_, dot_, panel_})
    w->setVisible(visible);
}

QRect NumericKeypad::digitRect(int d, const KeypadPlace& place) {
  if (d == 0) return {place.zero.x(), place.zero.y(), kKeyW, kKeyH};
  const int row = 2 - (d - 1) / 3;  // 7 8 9 on top, 1 2 3 at the bottom
  const int column = (d - 1) % 3;
  return {place.columns[column], place.rows[row], kKeyW, kKeyH};
}

NumericKeypad::NumericKeypad(QWidget* parent, KeyboardHooks hooks, const KeypadPlace& place)
    : hooks_(std::move(hooks)) {
  panel_ = makePanel(parent, "backnum",
                     QRect(place.columns[0] - 120, place.rows[0] - 120,
                           place.columns[2] + kKeyW + 120 - (place.columns[0] - 120),
                           place.zero.y() + kKeyH + 120 - (place.rows[0] - 120)));
  for (int d = 0; d < 10; ++d) {
    QPushButton* key = makeKey(parent, QStringLiteral("cmdNumeric_%1").arg(d), QString::number(d));
    key->setGeometry(twipsToPixels(digitRect(d, place)));
    QObject::connect(key, &QPushButton::clicked, key, [this, d] {
      call(hooks_.beforeDigit);
      call(hooks_.resetIdle);
      if (QLineEdit* field = hooks_.currentField()) field->setText(field->text() + QString::number(d));
    });
    digits_.push_back(key);
  }
  clear_ = makeKey(parent, QStringLiteral("numclear"), QStringLiteral("C"));
  clear_->setGeometry(twipsToPixels(QRect(place.clear.x(), place.clear.y(), kKeyW, 495)));
  QObject::connect(clear_, &QPushButton::clicked, clear_, [this] {
    call(hooks_.beforeClear);
    if (QLineEdit* field = hooks_.currentField()) field->clear();
    call(hooks_.afterClear);
  });
  enter_ = makeKey(parent, QStringLiteral("cmdEnterNum"), QStringLiteral("Enter"));
  enter_->setGeometry(twipsToPixels(QRect(place.columns[2], place.clear.y(), kKeyW, 495)));
  QObject::connect(enter_, &QPushButton::clicked, enter_, [this] {
    call(hooks_.resetIdle);
    call(hooks_.enter);
  });
}

void NumericKeypad::setVisible(bool visible) {
  for (QPushButton* key : digits_) key->setVisible(visible);
  clear_->setVisible(visible);
  panel_->setVisible(visible);
}

}  // namespace quorvalis
