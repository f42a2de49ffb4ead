#include "coupons/coupon_screen.h"

#include <QEvent>
#include <QKeyEvent>

#include "common/text.h"
#include "coupons/print_receipt.h"
#include "coupons/receipts.h"
#include "coupons/redemption_journal.h"
#include "coupons/texts.h"
#include "keyboard/entry_widgets.h"
#include "platform/file_write.h"
#include "platform/program_folder.h"
#include "platform/support_log.h"
#include "platform/widgets.h"
#include "settings/ini.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

namespace t = coupon_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr QRect kFieldPlace[kCouponFields] = {
    {480, 1560, 1215, 495}, {1920, 1560, 2775, 495}, {480, 3000, 1215, 495}};
const QString kMessageStyle = QStringLiteral("font: bold 17px 'Arial'; color: rgb(0,62,110);");
const QString kRed = QStringLiteral("color: rgb(200, 0, 0);");

}  // namespace

CouponScreen::CouponScreen(Services& services, TerminalState& state, QWidget* parent)
    : EntryScreen(state, "coupons", text(t::kTitle), parent),
      services_(services),
      logo_(receiptLogo()) {
  for (int i = 0; i < kCouponFields; ++i)
    DATA[static_cast<size_t>(i)] = makeEntryField(this, i, kFieldPlace[i], text(t::kLabels[i]), this);
  Label1 = makeLabel(this, "Label1");
  Label2 = makeLabel(this, "Label2");
  Label4 = makeLabel(this, "Label4");
  Label5 = makeLabel(this, "Label5");
  int y = 3900;
  for (QLabel* l : {Label1, Label2, Label4, Label5}) {
    l->setWordWrap(true);
    placeTwips(l, 480, y, 8200, 560);
    y += 600;
  }
  pname = makeLabel(this, "pname");
  pname->setStyleSheet(QStringLiteral("font: 12px 'Arial'; color: rgb(90,90,90);"));
  Datapr = makeKey(this, QStringLiteral("Datapr"), text(t::kSearch));
  Datapr->setGeometry(twipsToPixels(QRect(2160, 2880, 3600, 735)));
  Datapr->hide();
  connect(Datapr, &QPushButton::clicked, this, &CouponScreen::Datapr_Click);
  guteinl = makeKey(this, QStringLiteral("guteinl"), text(t::kRedeem));
  guteinl->setGeometry(twipsToPixels(QRect(480, 6400, 5400, 900)));
  guteinl->hide();
  connect(guteinl, &QPushButton::clicked, this, &CouponScreen::guteinl_Click);
  Quittung = makeNamed<QListWidget>(this, QStringLiteral("Quittung"));
  Quittung->hide();

  KeyboardHooks hooks;
  hooks.currentField = [this] { return field(current_); };
  hooks.resetIdle = [this] { timerc_ = 0; };
  hooks.enter = [this] { cmdEnterNum_Click(); };
  keypad_ = std::make_unique<NumericKeypad>(this, hooks);

  connect(Timer1, &QTimer::timeout, this, &CouponScreen::timer1Tick);
  reset();
}

// Opening: the last look-up and redemption go, then the form loads as it first did.
void CouponScreen::reset() {
  EntryScreen::reset();
  for (QLineEdit* f : DATA) {
    f->setText(QString());  // no undo back to the last guest's number
    f->setEnabled(true);
  }
  current_ = 0;
  geldwert_ = QStringLiteral("0");
  const std::pair<QLabel*, QString> messages[] = {{Label1, text(t::kEingabe)},
                                                  {Label2, QString()},
                                                  {Label4, QStringLiteral("Hinweis")},
                                                  {Label5, QStringLiteral("Euro")}};
  for (const auto& [label, opening] : messages) {
    label->setText(opening);
    // Red after a redemption; set only when changed, a style sheet is parsed anew each time.
    if (label->styleSheet() != kMessageStyle) label->setStyleSheet(kMessageStyle);
    label->setVisible(label == Label1);
  }
  Datapr->hide();
  guteinl->hide();
  Quittung->clear();
  Quittung->hide();

  // Form load.
  const int w = screenWidth();
  loading_ = true;
  LayoutScreen();
  loading_ = false;
  const QString handedOver = readSetting(keys::kTempNr);
  if (!handedOver.isEmpty()) {
    const auto [prefix, number] = splitHandedOverNumber(handedOver);
    field(0)->setText(prefix);
    field(1)->setText(number);
  }
  placeTwips(pname, w - 6400, 300, 6000, 400);
  pname->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setTimerInterval(Timer1, 500);
  setTimerInterval(Timer2, 1000);
}

CouponScreen::~CouponScreen() = default;

void CouponScreen::LayoutScreen() {
  placeAtBottomEdge();
  ShowKeypad(1);
  Drucken_ = readSetting(keys::kPrint);
  druckQ_ = readSetting(keys::kQuitt);
  if (isVisible()) ShowPrinterName();  // else when it shows
}

// Asked when the screen shows, not when the band makes it at start: the print system's libraries
// (CUPS and its TLS and Kerberos) load only once coupons are opened.
void CouponScreen::showEvent(QShowEvent* event) {
  ShowPrinterName();
  EntryScreen::showEvent(event);
}

void CouponScreen::ShowKeypad(int flag) {
  keypad_->setVisible(flag == 1);
  keypad_->enterKey()->setVisible(flag == 1);
}

void CouponScreen::ShowPrinterName() {
  const QString printer = services_.printers.currentPrinter();
  if (printer.isEmpty()) {
    pname->setText(text(t::kNoPrinter));
    Drucken_ = QStringLiteral("0");
  } else {
    pname->setText(printer);
  }
}

CouponFields CouponScreen::fields() const {
  return {field(0)->text(), field(1)->text(), field(2)->text()};
}

void CouponScreen::DATA_GotFocus(int i) {
  timerc_ = 0;
  current_ = i;
  Label1->setText(text(t::kPrompts[i]));
  Label1->show();
  placeFocusFrame(background, kFieldPlace[i], field(i));
}

bool CouponScreen::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < kCouponFields; ++i) {
    if (watched != field(i)) continue;
    if (event->type() == QEvent::FocusIn) DATA_GotFocus(i);
    if (event->type() == QEvent::KeyPress) {
      timerc_ = 0;
      const int key = static_cast<QKeyEvent*>(event)->key();
      if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !loading_) {
        cmdEnterNum_Click();
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CouponScreen::cmdEnterNum_Click() {
  timerc_ = 0;
  const int failing = firstFailingCouponField(fields());
  if (failing >= 0) {
    field(failing)->clear();
    field(failing)->setFocus();
    DATA_GotFocus(failing);
    return;
  }
  Datapr->show();
}

void CouponScreen::startCountdown(int ms) {
  ProgressBar1->setValue(1);
  setTimerInterval(Timer1, ms);
  ProgressBar1->show();
}

void CouponScreen::Datapr_Click() {
  timerc_ = 0;
  ABBRUCH->setFocus();
  Datapr->hide();
  ShowKeypad(0);
  Label1->setText(text(t::kMoment));
  Label1->repaint();
  startCountdown(100);
  for (QLineEdit* f : DATA) f->setEnabled(false);
  background->hide();

  const QString reply = services_.server.get(lookupPath(state_.quorvalisID, fields()));
  const CouponEvaluation e =
      evaluateCoupon(reply, field(2)->text(), services_.clock.today(), state_.HalleName);
  Label1->setText(e.label1);
  if (e.result != CouponEvaluation::kNotFound && e.result != CouponEvaluation::kRedeemed) {
    Label2->setText(e.label2);
    Label2->show();
  }
  if (e.result == CouponEvaluation::kValidHere) {
    Label4->setText(e.label4);
    Label4->show();
    Label5->setText(e.label5);
    Label5->show();
    geldwert_ = e.value;
    guteinl->show();
  }
  startCountdown(e.countdownMs);
}

ReceiptValues CouponScreen::receiptValues() const {
  const QDateTime now = services_.clock.now();
  return {geldwert_,       field(0)->text(), field(1)->text(),     state_.HallePLZ,
          state_.HalleName, dateText(now.date()), timeText(now.time()), readSetting(keys::kCla)};
}

void CouponScreen::buildReceipt(const ReceiptValues& values, const QString& qprinter) {
  Quittung->clear();
  Quittung->addItems(redemptionReceipt(values, druckQ_, qprinter));
}

QStringList CouponScreen::receipt() const {
  QStringList lines;
  for (int i = 0; i < Quittung->count(); ++i) lines << Quittung->item(i)->text();
  return lines;
}

void CouponScreen::guteinl_Click() {
  timerc_ = 0;
  ABBRUCH->setFocus();
  guteinl->hide();
  Label1->setText(text(t::kMoment));
  Label1->setStyleSheet(Label1->styleSheet() + kRed);
  Label1->repaint();
  Label2->setText(text(t::kDeleting));
  Label2->setStyleSheet(Label2->styleSheet() + kRed);
  Label2->repaint();
  startCountdown(100);

  // What is about to happen, written before the deletion: an end of the program from here to
  // the log line is finished (or dropped) at the next start.
  PendingRedemption pending;
  pending.lookup = lookupPath(state_.quorvalisID, fields());
  pending.code = field(2)->text();
  pending.logLine = redemptionLogLine(fields(), geldwert_, services_.clock.today());
  pending.print = Drucken_ == QStringLiteral("1");
  pending.qprinter = readSetting(keys::kQPrinter);
  pending.druckQ = druckQ_;
  pending.values = receiptValues();
  // The job's name tells the receipts apart in the printer queue.
  pending.title = QStringLiteral("quorvalis Quittung ") + field(2)->text();
  if (!journalRedemption(pending)) logError("coupons", QStringLiteral("the redemption journal could not be written"));

  const QString reply =
      services_.server.get(deletionPath(state_.quorvalisID, fields(), services_.clock.today()));
  if (reply == QStringLiteral("OK")) {
    Label1->setText(text(t::kRedeemed));
    Label2->clear();
    pending.phase = PendingRedemption::kDeleted;
    if (pending.print) {
      pending.values = receiptValues();
      pending.values.receiptNumber = IniRead(programFile(files::kCl), "start", "cla", "-");
      buildReceipt(pending.values, pending.qprinter);
      journalRedemption(pending);
      advanceReceiptCounter(pending.values.receiptNumber);
      pending.phase = PendingRedemption::kPrinting;
      journalRedemption(pending);
      PrintReceipt(services_.printers, services_.dialogs, receipt(), pending.qprinter, logo_, pending.title);
      pending.phase = PendingRedemption::kPrinted;
      journalRedemption(pending);
      Label1->setText(Label1->text() + text(t::kPrinted));
    } else {
      journalRedemption(pending);
    }
    if (LogRedemption()) dropRedemption(pending.key());
    else Label2->setText(text(t::kNotLogged));
  } else {
    // Not deleted: nothing to finish later.
    dropRedemption(pending.key());
    Label1->setText(text(t::kError));
    Label2->clear();
    Label4->setText(text(t::kNotDeleted));
    Label4->show();
    Label5->clear();
  }
  startCountdown(200);
}

bool CouponScreen::LogRedemption() {
  ensureProgramFolder();
  const QString line = redemptionLogLine(fields(), geldwert_, services_.clock.today());
  const bool logged = appendDurably(programFile(files::kCouponsLog), toCp1252(line + QStringLiteral("\r\n")));
  if (!logged) logError("coupons", QStringLiteral("a redemption could not be written to the redemption log"));
  return logged;
}

void CouponScreen::timer1Tick() {
  if (Timer1->interval() == 500) {
    setTimerInterval(Timer1, 0);
    field(0)->setFocus();
    DATA_GotFocus(0);
    return;
  }
  if (countdownTick(ProgressBar1, Timer1)) closeScreen();
}

}  // namespace quorvalis
