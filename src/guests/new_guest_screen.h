// newclient: registers a guest for the branch's SMS newsletter.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>

#include "guests/entry_checks.h"
#include "keyboard/entry_screen.h"
#include "keyboard/touch_keyboard.h"
#include "platform/widgets.h"
#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis {

class NewGuestScreen : public EntryScreen {
  Q_OBJECT
 public:
  NewGuestScreen(Services& services, TerminalState& state, QWidget* parent = nullptr);
  ~NewGuestScreen() override;

  void reset() override;

  // Procedures of the screen.
  void InitGuestForm();
  void ShowAlphaKeyboard(int flag);
  void ShowNumericKeypad(int flag);
  void ShowEntryFields(int flag);
  void CheckEntries();
  void ApplyCheckResult();
  void BeginClosingCountdown();
  void BuildGuestRecord();

  // Events.
  void DATA_GotFocus(int index);
  void DATA_Change(int index);
  void DATA_LostFocus(int index);
  void enterPressed();
  void sexPictureTouched(bool woman);
  void Datapr_Click();
  void timer1Tick();
  void timer3Tick();

  int currentField() const { return current_; }
  const QString& datensatz() const { return datensatz_; }
  const QString& couponcode() const { return couponcode_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void makeEntryFields();
  void makePictures();
  void makeKeys();
  QLineEdit* field(int i) const { return DATA[static_cast<size_t>(i)]; }
  GuestFields fields() const;
  bool manChosen() const;
  bool womanChosen() const;
  void moveLabel1(int yTwips);
  void closeScreen() override;
  void welcome();
  QString sendToGateway(QString request);

  Services& services_;
  int current_ = -1;
  QString Absender_, message_, coupon_, euro_, Drucken_, pruefen_, HallePLZ_;
  QString datensatz_, couponcode_, gueltigbistemp_;

  std::array<QLineEdit*, kGuestFields> DATA{};
  std::array<QLabel*, kGuestFields> data_label{}, ok{};
  std::array<QCheckBox*, 6> kat{};
  QLabel *Label1, *Label4;
  ClickLabel *m0, *m1, *m02, *w0, *w1, *w02;
  QPushButton* Datapr;
  QTimer* Timer3;
  std::unique_ptr<AlphaKeyboard> alpha_;
  std::unique_ptr<NumericKeypad> numeric_;
};

}  // namespace quorvalis
