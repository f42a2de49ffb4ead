#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "coupons/coupon_screen.h"
#include "coupons/receipts.h"
#include "coupons/texts.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

namespace t = coupon_texts;
QString text(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kSearch = "/quorvalis/DATA/searchc.cgi?";
const QString kDelete = "/quorvalis/DATA/delcoupon.cgi?";
const QString kValid = "1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;-;";

// A valid coupon that the server deletes when asked.
class CouponScreenTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    fakes.server.reply(kSearch, kValid);
    fakes.server.reply(kDelete, "OK");
  }
  void settings(const QByteArray& clients) { writeBytes("filialini.ini", "[clients]\r\n" + clients); }
  void open() { screen = std::make_unique<CouponScreen>(fakes.services, state); }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  bool shown(const char* name) { return !screen->findChild<QWidget*>(name)->isHidden(); }
  QTimer* timer1() { return screen->findChild<QTimer*>("Timer1"); }
  // The texts of the message labels shown.
  QString labels() {
    QStringList texts;
    for (const char* name : {"Label1", "Label2", "Label4", "Label5"})
      if (shown(name)) texts << screen->findChild<QLabel*>(name)->text();
    return texts.join(u'|');
  }
  void type(const QString& prefix, const QString& number, const QString& code) {
    data(0)->setText(prefix);
    data(1)->setText(number);
    data(2)->setText(code);
    screen->cmdEnterNum_Click();
  }
  void lookUp(const QString& number = "1234567") {
    open();
    type("0171", number, "1234");
    screen->Datapr_Click();
  }
  void ticks(int n) { while (n-- > 0) screen->timer1Tick(); }

  testing::FakeServices fakes;
  TerminalState state = testing::bandState();
  std::unique_ptr<CouponScreen> screen;
};

TEST_F(CouponScreenTest, EnterEmptiesTheFirstWrongFieldOnly) {
  open();
  type("171", "12345", "12a4");
  EXPECT_EQ(data(0)->text() + "/" + data(1)->text(), "/12345");
  EXPECT_EQ(labels(), text(t::kPrompts[0]));
  type("0171", "123456", "12a4");
  EXPECT_EQ(data(2)->text(), "");
  EXPECT_EQ(labels(), text(t::kPrompts[2]));
  EXPECT_FALSE(shown("Datapr"));
  type("0171", "123456", "0042");
  EXPECT_TRUE(shown("Datapr"));
}

TEST_F(CouponScreenTest, HandedOverNumberFillsBothFields) {
  writeBytes("cl.ini", "[temp]\r\nnr=00491711234567\r\n");
  open();
  EXPECT_EQ(data(0)->text() + "/" + data(1)->text() + "/" + data(2)->text(), "0171/1234567/");
}

// What a look-up shows; whatever it found, the screen then counts down to closing.
TEST_F(CouponScreenTest, LookUpShowsTheCouponThenCountsDown) {
  const struct { QString reply; const char* labels; bool redeemable; int countdown; } cases[] = {
      {kValid, "Gutschein gefunden.|Der Gutschein ist gültig.|Freigetränk an der Bar|"
               "Der Gutschein hat einen Geldwert von - 5 EURO.", true, 350},
      {"1234;-;T;5;x;;01.12.2026;", "Der Gutschein wurde bereits am 01.12.2026 eingelöst !", false, 350},
      {"", "Kein Gutschein gefunden !", false, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.labels);
    state.nominimize = "1";
    fakes.server.reply(kSearch, c.reply);
    lookUp("0234567");
    EXPECT_EQ(fakes.server.requests.last(), kSearch + "B---00491710234567---1234");
    EXPECT_EQ(labels(), text(c.labels));
    EXPECT_EQ(shown("guteinl"), c.redeemable);
    EXPECT_EQ(screen->geldwert(), c.redeemable ? "5" : "0");
    EXPECT_FALSE(shown("cmdNumeric_1") || data(0)->isEnabled());
    EXPECT_EQ(timer1()->interval(), c.countdown);
    ticks(98);
    EXPECT_FALSE(screen->closedItself());
    ticks(1);
    EXPECT_TRUE(screen->closedItself());
    EXPECT_EQ(state.nominimize, "0");
  }
}

TEST_F(CouponScreenTest, NeverClosesWhileARequestRuns) {
  open();
  auto* bar = screen->findChild<QProgressBar*>("ProgressBar1");
  bar->setValue(1);
  timer1()->start(100);  // what the busy display sets while the server works
  ticks(500);
  EXPECT_FALSE(screen->closedItself());
  EXPECT_LE(bar->value(), 99);
}

// What the server's reply and the settings make of a redemption: the labels, the receipt and its
// printer, the receipt counter and the log.
TEST_F(CouponScreenTest, Redemption) {
  using Layout = QStringList (*)(const ReceiptValues&);
  const Layout empty = [](const ReceiptValues&) { return QStringList(); };
  const QByteArray bon = "[Settings]\r\nQPrinter=BON\r\n", cla3 = "[start]\r\ncla=3\r\n";
  const struct {
    QString deleted, value;
    QByteArray clients, cl;
    Layout layout;              // nullptr: nothing printed
    const char *printer, *cla;  // cla after; nullptr: still missing
  } cases[] = {
      {"OK", "5", "", cla3, nullptr, "", "3"},  // receipts off
      {"OK", "5", "print=1\r\n", "[start]\r\ncla=7\r\n", BuildPlainReceipt, "Standard", "8"},
      {"OK", "5", "print=1\r\n", "[start]\r\ncla=0\r\n", BuildPlainReceipt, "Standard", "1"},
      {"OK", "5", "print=1\r\n", "[start]\r\nlog=0\r\n", BuildPlainReceipt, "Standard", nullptr},
      {"OK", "5", "print=1\r\nquitt=1\r\n", cla3, BuildNoteReceipt, "Standard", "4"},
      {"OK", "5", "print=1\r\nquitt=0\r\n", cla3 + bon, BuildPlainSlip, "BON", "4"},
      {"OK", "5", "print=1\r\nquitt=1\r\n", cla3 + bon, BuildNoteSlip, "BON", "4"},
      {"OK", "5", "print=1\r\nquitt=2\r\n", cla3, empty, "Standard", "4"},  // printed all the same
      {"OK", "0", "print=1\r\n", cla3 + bon, BuildConfirmation, "BON", "4"},
      // Only exactly "OK" confirms the deletion.
      {"ok", "5", "print=1\r\n", cla3, nullptr, "", "3"},
      {"OK ", "5", "print=1\r\n", cla3, nullptr, "", "3"},
      {"", "5", "print=1\r\n", cla3, nullptr, "", "3"},
      {"FEHLER", "5", "print=1\r\n", cla3, nullptr, "", "3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.deleted.toStdString() + " " + c.clients.toStdString() + c.cl.toStdString());
    settings(c.clients);
    writeBytes("cl.ini", c.cl);
    QFile::remove(path("coupons.ini"));
    fakes.printers.documents.clear();
    fakes.server.reply(kSearch, "1234;-;Cocktail;" + c.value + ";x;;-;");
    fakes.server.reply(kDelete, c.deleted);
    lookUp("0234567");
    const QString number = readSetting(keys::kCla);
    screen->guteinl_Click();
    const bool deleted = c.deleted == "OK";
    EXPECT_EQ(fakes.server.requests.last(), kDelete + "B---00491710234567---1234---04.12.2026");
    const QString redeemed = text(t::kRedeemed) + (c.layout ? text(t::kPrinted) : "") +
                             "||Cocktail|Der Gutschein hat einen Geldwert von - " + c.value + " EURO.";
    EXPECT_EQ(labels(), deleted ? redeemed : text(t::kError) + "||" + text(t::kNotDeleted) + "|");
    EXPECT_FALSE(shown("guteinl"));
    EXPECT_EQ(timer1()->interval(), 200);
    const QString logged = "04.12.2026;1234;0049171234567;" + c.value + "\r\n";
    EXPECT_EQ(readBytes("coupons.ini"), deleted ? logged.toLatin1() : QByteArray());
    if (c.cla) EXPECT_EQ(readSetting(keys::kCla), c.cla);
    else EXPECT_FALSE(readBytes("cl.ini").contains("cla"));
    if (!c.layout) {
      EXPECT_TRUE(fakes.printers.documents.empty());
      continue;
    }
    ASSERT_EQ(fakes.printers.documents.size(), 1u);
    const QStringList receipt =
        c.layout({c.value, "0171", "0234567", "12345", "Bar Nord", "04.12.2026", "14:30:05", number});
    EXPECT_EQ(screen->receipt(), receipt);
    EXPECT_EQ(fakes.printers.documents[0].printer, c.printer);
    EXPECT_EQ(fakes.printers.documents[0].lines().value(0), receipt.value(1));
  }
}

TEST_F(CouponScreenTest, NoPrinterSwitchesReceiptsOff) {
  fakes.printers.names.clear();
  fakes.printers.current.clear();
  settings("print=1\r\n");
  lookUp();
  EXPECT_EQ(screen->findChild<QLabel*>("pname")->text(), text(t::kNoPrinter));
  screen->guteinl_Click();
  EXPECT_TRUE(fakes.printers.documents.empty());
  EXPECT_TRUE(labels().startsWith(text(t::kRedeemed) + "|"));
  EXPECT_TRUE(exists("coupons.ini"));
}

TEST_F(CouponScreenTest, LogThatCannotBeWrittenIsReported) {
  QDir().mkpath(path("coupons.ini"));  // a folder where the log should be
  lookUp();
  screen->guteinl_Click();
  EXPECT_TRUE(labels().startsWith(text(t::kRedeemed) + "|" + text(t::kNotLogged) + "|"));
}

// Touches while the coupon is being deleted are dropped: a second "redeem" would delete,
// print and log twice, "Abbrechen" would close the screen under the running redemption.
TEST_F(CouponScreenTest, TouchesWhileTheCouponIsDeletedAreDropped) {
  settings("print=1\r\n");
  lookUp();
  screen->show();
  fakes.server.whileWaiting = [this](const QString&) {
    for (const char* touched : {"guteinl", "ABBRUCH"})
      QTest::mouseClick(screen->findChild<QPushButton*>(touched), Qt::LeftButton);
  };
  QTest::mouseClick(screen->findChild<QPushButton*>("guteinl"), Qt::LeftButton);
  EXPECT_EQ(fakes.server.requests.filter(kDelete).size(), 1);
  EXPECT_EQ(fakes.printers.documents.size(), 1u);
  EXPECT_EQ(readBytes("coupons.ini").count('\n'), 1);
  EXPECT_FALSE(screen->closedItself());
  EXPECT_TRUE(labels().startsWith(text(t::kRedeemed) + text(t::kPrinted) + "|"));
}

}  // namespace
}  // namespace quorvalis
