// coupons: looks up a guest's SMS coupon and redeems it.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>

#include "coupons/coupon_record.h"
#include "coupons/receipts.h"
#include "keyboard/entry_screen.h"
#include "keyboard/touch_keyboard.h"
#include "server/services.h"
#include "server/terminal_state.h"

namespace quorvalis {

class CouponScreen : public EntryScreen {
  Q_OBJECT
 public:
  CouponScreen(Services& services, TerminalState& state, QWidget* parent = nullptr);
  ~CouponScreen() override;

  void reset() override;

  void LayoutScreen();
  void ShowKeypad(int flag);
  void ShowPrinterName();
  void DATA_GotFocus(int index);
  void cmdEnterNum_Click();
  void Datapr_Click();
  void guteinl_Click();
  bool LogRedemption();
  void timer1Tick();

  QString geldwert() const { return geldwert_; }
  QStringList receipt() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* field(int i) const { return DATA[static_cast<size_t>(i)]; }
  CouponFields fields() const;
  void startCountdown(int ms);
  ReceiptValues receiptValues() const;
  void buildReceipt(const ReceiptValues& values, const QString& qprinter);

  Services& services_;
  int current_ = 0;
  bool loading_ = false;
  QString geldwert_ = QStringLiteral("0");
  QString Drucken_, druckQ_;
  QImage logo_;

  std::array<QLineEdit*, kCouponFields> DATA{};
  QLabel *Label1, *Label2, *Label4, *Label5, *pname;
  QPushButton *Datapr, *guteinl;
  QListWidget* Quittung;
  std::unique_ptr<NumericKeypad> keypad_;
};

}  // namespace quorvalis
