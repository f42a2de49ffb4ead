#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "coupons/coupon_screen.h"
#include "fakes.h"
#include "program_folder_test.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

const QString kSearch = "/quorvalis/DATA/searchc.cgi?";
const QString kDelete = "/quorvalis/DATA/delcoupon.cgi?";
const QString kValid = QString::fromUtf8("1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;-;");

class CouponScreenTest : public testing::ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    fakes.server.reply(kSearch, kValid);
  }
  void settings(const QByteArray& clients) { writeBytes("filialini.ini", "[clients]\r\n" + clients); }
  CouponScreen& open() {
    screen = std::make_unique<CouponScreen>(fakes.services, state);
    return *screen;
  }
  QLineEdit* data(int i) { return screen->findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i)); }
  QString label(const char* name) { return screen->findChild<QLabel*>(name)->text(); }
  bool shown(const char* name) { return !screen->findChild<QWidget*>(name)->isHidden(); }
  QTimer* timer1() { return screen->findChild<QTimer*>("Timer1"); }
  void lookUp(const QString& prefix = "0171", const QString& number = "1234567",
              const QString& code = "1234") {
    open();
    data(0)->setText(prefix);
    data(1)->setText(number);
    data(2)->setText(code);
    screen->cmdEnterNum_Click();
    screen->Datapr_Click();
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) screen->timer1Tick();
  }

  testing::FakeServices fakes;
  TerminalState state = testing::bandState();
  std::unique_ptr<CouponScreen> screen;
};

TEST_F(CouponScreenTest, EnterChecksEmptyAndFocusTheFirstWrongField) {
  open();
  data(0)->setText("171");
  data(1)->setText("12345");
  data(2)->setText("12a4");
  screen->cmdEnterNum_Click();
  EXPECT_EQ(data(0)->text(), "");
  EXPECT_EQ(data(1)->text(), "12345");
  EXPECT_EQ(label("Label1"), "Bitte Handy - Vorwahlnummer eingeben.");
  data(0)->setText("0171");
  screen->cmdEnterNum_Click();
  EXPECT_EQ(data(1)->text(), "");
  EXPECT_EQ(label("Label1"), "Bitte Handy - Nummer eingeben.");
  data(1)->setText("123456");
  screen->cmdEnterNum_Click();
  EXPECT_EQ(data(2)->text(), "");
  EXPECT_FALSE(shown("Datapr"));
  data(2)->setText("0042");
  screen->cmdEnterNum_Click();
  EXPECT_TRUE(shown("Datapr"));
}

TEST_F(CouponScreenTest, HandedOverNumberFillsBothFields) {
  writeBytes("cl.ini", "[temp]\r\nnr=00491711234567\r\n");
  open();
  EXPECT_EQ(data(0)->text(), "0171");
  EXPECT_EQ(data(1)->text(), "1234567");
  EXPECT_EQ(data(2)->text(), "");
}

TEST_F(CouponScreenTest, ValidCouponIsShownWithTheRedemptionButton) {
  lookUp("0171", "0234567");
  EXPECT_EQ(fakes.server.requests, QStringList{kSearch + "B---00491710234567---1234"});
  EXPECT_EQ(label("Label1"), "Gutschein gefunden.");
  EXPECT_EQ(label("Label2"), QString::fromUtf8("Der Gutschein ist gültig."));
  EXPECT_EQ(label("Label4"), QString::fromUtf8("Freigetränk an der Bar"));
  EXPECT_EQ(label("Label5"), "Der Gutschein hat einen Geldwert von - 5 EURO.");
  EXPECT_EQ(screen->geldwert(), "5");
  EXPECT_TRUE(shown("guteinl"));
  EXPECT_FALSE(data(0)->isEnabled());
  EXPECT_FALSE(shown("cmdNumeric_1"));
  EXPECT_EQ(timer1()->interval(), 350);
}

TEST_F(CouponScreenTest, NotFoundShowsNoButton) {
  fakes.server.reply(kSearch, "");
  lookUp();
  EXPECT_EQ(label("Label1"), "Kein Gutschein gefunden !");
  EXPECT_FALSE(shown("guteinl"));
  EXPECT_FALSE(shown("Label2"));
  EXPECT_EQ(timer1()->interval(), 200);
}

TEST_F(CouponScreenTest, CountdownClosesOnThe99thTick) {
  for (const QString& reply : {kValid, QString()}) {
    fakes.server.reply(kSearch, reply);
    lookUp();
    ticks(98);
    EXPECT_FALSE(screen->closedItself());
    ticks(1);
    EXPECT_TRUE(screen->closedItself());
    EXPECT_EQ(state.nominimize, "0");
  }
}

TEST_F(CouponScreenTest, NeverClosesWhileARequestRuns) {
  open();
  screen->findChild<QProgressBar*>("ProgressBar1")->setValue(1);
  timer1()->start(100);  // what the busy display sets while the server works
  ticks(500);
  EXPECT_FALSE(screen->closedItself());
  EXPECT_LE(screen->findChild<QProgressBar*>("ProgressBar1")->value(), 99);
}

TEST_F(CouponScreenTest, IdleFor121SecondsCloses) {
  open();
  for (int i = 0; i < 120; ++i) screen->timer2Tick();
  EXPECT_FALSE(screen->closedItself());
  screen->timer2Tick();
  EXPECT_TRUE(screen->closedItself());
}

TEST_F(CouponScreenTest, RedemptionWithoutReceipts) {
  writeBytes("cl.ini", "[start]\r\ncla=7\r\n");
  fakes.server.reply(kDelete, "OK");
  lookUp("0171", "0234567");
  screen->guteinl_Click();
  EXPECT_EQ(fakes.server.requests.last(), kDelete + "B---00491710234567---1234---04.12.2026");
  EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst."));
  EXPECT_EQ(label("Label2"), "");
  EXPECT_TRUE(fakes.printers.documents.empty());
  EXPECT_EQ(readSetting(keys::kCla), "7");
  EXPECT_EQ(readBytes("coupons.ini"), "04.12.2026;1234;0049171234567;5\r\n");
  EXPECT_FALSE(shown("guteinl"));
  EXPECT_EQ(timer1()->interval(), 200);
}

TEST_F(CouponScreenTest, OnlyExactlyOkConfirms) {
  for (const char* reply : {"ok", "OK ", "", "FEHLER"}) {
    QFile::remove(path("coupons.ini"));
    fakes.server.reply(kDelete, reply);
    settings("print=1\r\n");
    lookUp();
    screen->guteinl_Click();
    EXPECT_EQ(label("Label1"), "FEHLER") << reply;
    EXPECT_EQ(label("Label4"), QString::fromUtf8("Der Gutschein konnte nicht gelöscht werden. Nicht einlösen !"));
    EXPECT_EQ(label("Label5"), "");
    EXPECT_FALSE(exists("coupons.ini")) << reply;
    EXPECT_TRUE(fakes.printers.documents.empty()) << reply;
  }
}

TEST_F(CouponScreenTest, ReceiptNumberAdvancesOnlyWhenPresent) {
  const struct {
    const char* cl;
    const char* heading;
    const char* after;  // nullptr: the key stays missing
  } cases[] = {
      {"[start]\r\ncla=7\r\n", "No.7", "8"},
      {"[start]\r\ncla=0\r\n", nullptr, "1"},
      {"[start]\r\nlog=0\r\n", nullptr, nullptr},
  };
  fakes.server.reply(kDelete, "OK");
  settings("print=1\r\n");
  for (const auto& c : cases) {
    writeBytes("cl.ini", c.cl);
    fakes.printers.documents.clear();
    lookUp();
    screen->guteinl_Click();
    ASSERT_EQ(fakes.printers.documents.size(), 1u);
    const QString heading = screen->receipt().value(5);  // after the skipped entry
    if (c.heading) EXPECT_TRUE(heading.endsWith(c.heading)) << heading.toStdString();
    else EXPECT_EQ(heading, " - Quittung - ");
    if (c.after) EXPECT_EQ(readSetting(keys::kCla), c.after);
    else EXPECT_FALSE(readBytes("cl.ini").contains("cla"));
    EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
  }
}

TEST_F(CouponScreenTest, ZeroValueGetsTheConfirmationOnTheReceiptPrinter) {
  writeBytes("cl.ini", "[Settings]\r\nQPrinter=BON\r\n");
  settings("print=1\r\n");
  fakes.server.reply(kSearch, "1234;-;Cocktail;0;x;;-;");
  fakes.server.reply(kDelete, "OK");
  lookUp();
  screen->guteinl_Click();
  ASSERT_EQ(fakes.printers.documents.size(), 1u);
  EXPECT_EQ(fakes.printers.documents[0].printer, "BON");
  EXPECT_EQ(fakes.printers.documents[0].lines()[0], "quorvalis - Tarvendel Coupons - System  -  ");
  EXPECT_TRUE(screen->receipt().value(5).startsWith(QString::fromUtf8(" - Bestätigung")));
  EXPECT_EQ(readBytes("coupons.ini"), "04.12.2026;1234;00491711234567;0\r\n");
}

TEST_F(CouponScreenTest, LayoutByPrinterAndQuitt) {
  const struct {
    const char* qprinter;
    const char* quitt;
    const char* firstLine;  // nullptr: nothing is built
  } cases[] = {
      {"-", "0", "quorvalis - Tarvendel Coupons - System  -  "},
      {"-", "1", "quorvalis - Tarvendel Coupons - System  -  "},
      {"BON", "0", "quorvalis  - System  - "},
      {"BON", "1", "quorvalis  - System  - "},
      {"-", "2", nullptr},
  };
  fakes.server.reply(kDelete, "OK");
  for (const auto& c : cases) {
    writeBytes("cl.ini", QByteArray("[start]\r\ncla=3\r\n[Settings]\r\nQPrinter=") + c.qprinter + "\r\n");
    settings(QByteArray("print=1\r\nquitt=") + c.quitt + "\r\n");
    fakes.printers.documents.clear();
    lookUp();
    screen->guteinl_Click();
    ASSERT_EQ(fakes.printers.documents.size(), 1u) << c.quitt;
    const QStringList lines = fakes.printers.documents[0].lines();
    if (c.firstLine) EXPECT_EQ(lines[0], c.firstLine) << c.qprinter << c.quitt;
    else EXPECT_EQ(lines, QStringList{""});  // an empty receipt, printed all the same
    EXPECT_EQ(readSetting(keys::kCla), "4");
    EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
  }
}

TEST_F(CouponScreenTest, NoPrinterSwitchesReceiptsOff) {
  fakes.printers.names.clear();
  fakes.printers.current.clear();
  settings("print=1\r\n");
  fakes.server.reply(kDelete, "OK");
  lookUp();
  EXPECT_EQ(label("pname"), "kein Drucker gefunden");
  screen->guteinl_Click();
  EXPECT_TRUE(fakes.printers.documents.empty());
  EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst."));
  EXPECT_TRUE(exists("coupons.ini"));
}

TEST_F(CouponScreenTest, LogThatCannotBeWrittenIsReported) {
  QDir().mkpath(path("coupons.ini"));  // a folder where the log should be
  fakes.server.reply(kDelete, "OK");
  lookUp();
  screen->guteinl_Click();
  EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst."));
  EXPECT_EQ(label("Label2"), QString::fromUtf8("Achtung: Einlösung konnte nicht protokolliert werden !"));
}

// Touches while the coupon is being deleted are dropped: a second "redeem" would delete,
// print and log twice, "Abbrechen" would close the screen under the running redemption.
TEST_F(CouponScreenTest, TouchesWhileTheCouponIsDeletedAreDropped) {
  fakes.server.reply(kDelete, "OK");
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
  EXPECT_EQ(label("Label1"), QString::fromUtf8("Der Gutschein ist eingelöst. Quittung gedruckt !"));
}

}  // namespace
}  // namespace quorvalis
