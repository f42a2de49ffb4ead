#include <QTest>

#include "coupons/coupon_screen.h"
#include "coupons/receipts.h"
#include "coupons/texts.h"
#include "kept_screen_test.h"
#include "settings/settings_files.h"

namespace quorvalis::testing {

namespace t = coupon_texts;

const QString kSearch = "/quorvalis/DATA/searchc.cgi?";
const QString kDelete = "/quorvalis/DATA/delcoupon.cgi?";
const QString kValid = "1234;05.01.2027;Freigetränk%20an%20der%20Bar;5;x;;-;";

// A valid coupon that the server deletes when asked.
class CouponScreenTest : public KeptScreenTest<CouponScreen> {
 protected:
  CouponScreenTest() {
    fakes.server.reply(kSearch, kValid);
    fakes.server.reply(kDelete, "OK");
    kept_ = [](const CouponScreen& s) {
      return QStringLiteral("idle %1 closed %2 value %3 receipt %4")
          .arg(s.idleSeconds()).arg(s.closedItself()).arg(s.geldwert(), s.receipt().join(u'|'));
    };
  }
  int countdown() { return screen->findChild<QTimer*>("Timer1")->interval(); }
  // The texts of the message labels shown.
  QString labels() {
    QStringList texts;
    for (const char* name : {"Label1", "Label2", "Label4", "Label5"}) if (shown(name)) texts << label(name);
    return texts.join(u'|');
  }
  void type(const QString& prefix, const QString& number, const QString& code) {
    fill({prefix, number, code});
    screen->cmdEnterNum_Click();
  }
  void lookUp() {
    open();
    type("0171", "0234567", "1234");
    screen->Datapr_Click();
  }
};

// Enter empties the first wrong field only. What a look-up shows (only a coupon valid here and now
// can be redeemed); whatever it found, the screen then closes.
TEST_F(CouponScreenTest, HandedOverNumberEnterChecksAndLookUpThenCountdown) {
  writeBytes("cl.ini", "[temp]\r\nnr=00491711234567\r\n");
  open();
  EXPECT_EQ(data(0)->text() + "/" + data(1)->text() + "/" + data(2)->text(), "0171/1234567/");
  type("171", "12345", "12a4");
  EXPECT_EQ(data(0)->text() + "/" + data(1)->text() + "/" + labels(), "/12345/" + QString(t::kPrompts[0]));
  type("0171", "123456", "12a4");
  EXPECT_TRUE(data(2)->text() + labels() == QString(t::kPrompts[2]) && !shown("Datapr"));
  type("0171", "123456", "0042");
  EXPECT_TRUE(shown("Datapr"));

  const struct { QString reply; const char* labels; bool redeemable; int countdown; } cases[] = {
      {kValid, "Gutschein gefunden.|Der Gutschein ist gültig.|Freigetränk an der Bar|"
               "Der Gutschein hat einen Geldwert von - 5 EURO.", true, 350},
      {"1234;-;T;5;x;;01.12.2026;", "Der Gutschein wurde bereits am 01.12.2026 eingelöst !", false, 350},
      {"1234;03.12.2026;T;5;x;;-;", "Gutschein gefunden.|Sorry - Der Gutschein war gültig bis 03.12.2026.", false, 200},
      {"1234;05.01.2027;T;5;x;Anderswo;-;", "Gutschein gefunden.|Der Gutschein ist in dieser Filiale nicht gültig !!!", false, 350},
      {"", "Kein Gutschein gefunden !", false, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.labels);
    fakes.server.reply(kSearch, c.reply);
    lookUp();
    EXPECT_EQ(fakes.server.requests.last(), kSearch + "B---00491710234567---1234");
    EXPECT_EQ(labels(), QString(c.labels));
    EXPECT_EQ(shown("guteinl"), c.redeemable);
    EXPECT_EQ(screen->geldwert(), c.redeemable ? "5" : "0");
    EXPECT_FALSE(shown("cmdNumeric_1") || data(0)->isEnabled());
    EXPECT_EQ(countdown(), c.countdown);
    int ticks = 0;
    for (; !screen->closedItself() && ticks < 500; ++ticks) screen->timer1Tick();
    EXPECT_EQ(ticks, 99);
  }
}

// What the server's reply and the settings make of a redemption: the labels, the receipt and its
// printer, the receipt counter and the log. Touches while the coupon is being deleted are dropped:
// a second "redeem" would delete, print and log twice, "Abbrechen" would close the screen under it.
// The band makes the screen at start and keeps it; the print system is asked only when it opens
// (its libraries are not loaded for a band that never redeems), and each opening names the
// printer current then, or "no printer" with printing off.
TEST_F(CouponScreenTest, ThePrinterIsAskedForWhenTheScreenOpensNotWhenItIsMade) {
  settings("print=1\r\n");
  KeptScreen<CouponScreen> band([this] { return std::make_unique<CouponScreen>(fakes.services, state); });
  band.prepare();
  EXPECT_EQ(fakes.printers.asked, 0);
  const struct { const char* current; QString shown; } openings[] = {
      {"BON", "BON"}, {"", t::kNoPrinter}, {"Standard", "Standard"}};
  for (const auto& o : openings) {
    SCOPED_TRACE(o.current);
    fakes.printers.current = o.current;
    const int before = fakes.printers.asked;
    whileOpen(*band.screen(), [&] { band.exec(); }, [&] {
      EXPECT_GT(fakes.printers.asked, before);
      EXPECT_EQ(testing::label(*band.screen(), "pname"), o.shown);
    });
  }
}

TEST_F(CouponScreenTest, Redemption) {
  using Layout = QStringList (*)(const ReceiptValues&);
  const QByteArray bon = "[Settings]\r\nQPrinter=BON\r\n", cla3 = "[start]\r\ncla=3\r\n";
  // layout nullptr: nothing printed; cla: after, nullptr: still missing; trouble: no printer, a folder as the log.
  const struct { QString deleted, value; QByteArray clients, cl; Layout layout; const char *printer, *cla;
                 bool trouble = false; } cases[] = {
      {"OK", "5", "", cla3, nullptr, "", "3"},  // receipts off
      {"OK", "5", "print=1\r\n", "[start]\r\ncla=7\r\n", BuildPlainReceipt, "Standard", "8"},
      {"OK", "5", "print=1\r\n", "[start]\r\nlog=0\r\n", BuildPlainReceipt, "Standard", nullptr},
      {"OK", "5", "print=1\r\nquitt=1\r\n", cla3, BuildNoteReceipt, "Standard", "4"},
      {"OK", "5", "print=1\r\nquitt=0\r\n", cla3 + bon, BuildPlainSlip, "BON", "4"},
      {"OK", "5", "print=1\r\nquitt=1\r\n", cla3 + bon, BuildNoteSlip, "BON", "4"},
      {"OK", "0", "print=1\r\n", cla3 + bon, BuildConfirmation, "BON", "4"},
      // Only exactly "OK" confirms the deletion; no reply is no confirmation either.
      {"ok ", "5", "print=1\r\n", cla3, nullptr, "", "3"}, {"", "5", "print=1\r\n", cla3, nullptr, "", "3"},
      {"OK", "5", "print=1\r\n", cla3, nullptr, "", "3", true},  // the last: it spoils the folder
  };
  fakes.server.whileWaiting = [this](const QString& path) {
    if (path.startsWith(kDelete))
      for (const char* touched : {"guteinl", "ABBRUCH"}) QTest::mouseClick(child(touched), Qt::LeftButton);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.deleted.toStdString() + " " + c.clients.toStdString() + c.cl.toStdString());
    settings(c.clients);
    writeBytes("cl.ini", c.cl);
    QFile::remove(path("coupons.ini"));
    fakes.printers.current = c.trouble ? "" : "Standard";
    if (c.trouble) QDir().mkpath(path("coupons.ini"));
    fakes.printers.documents.clear();
    fakes.server.reply(kSearch, "1234;-;Cocktail;" + c.value + ";x;;-;");
    fakes.server.reply(kDelete, c.deleted);
    lookUp();
    EXPECT_EQ(label("pname") == QString(t::kNoPrinter), c.trouble);
    const QString number = readSetting(keys::kCla);
    EXPECT_EQ(requestsFor([this] { QTest::mouseClick(child("guteinl"), Qt::LeftButton); }),
              QStringList{kDelete + "B---00491710234567---1234---04.12.2026"});
    EXPECT_FALSE(screen->closedItself() || shown("guteinl"));
    const bool deleted = c.deleted == "OK";
    const QString redeemed = QString(t::kRedeemed) + (c.layout ? QString(t::kPrinted) : "") + "|" +
                             (c.trouble ? QString(t::kNotLogged) : "") +
                             "|Cocktail|Der Gutschein hat einen Geldwert von - " + c.value + " EURO.";
    EXPECT_EQ(labels(), deleted ? redeemed : QString(t::kError) + "||" + QString(t::kNotDeleted) + "|");
    EXPECT_EQ(countdown(), 200);
    const QString logged = "04.12.2026;1234;0049171234567;" + c.value + "\r\n";
    EXPECT_EQ(readBytes("coupons.ini"), deleted && !c.trouble ? logged.toLatin1() : QByteArray());
    if (c.cla) EXPECT_EQ(readSetting(keys::kCla), c.cla);
    else EXPECT_FALSE(readBytes("cl.ini").contains("cla"));
    ASSERT_EQ(fakes.printers.documents.size(), c.layout ? 1u : 0u);
    if (!c.layout) continue;
    const QStringList receipt =
        c.layout({c.value, "0171", "0234567", "12345", "Bar Nord", "04.12.2026", "14:30:05", number});
    EXPECT_EQ(screen->receipt(), receipt);
    EXPECT_EQ(fakes.printers.documents[0].printer, c.printer);
    EXPECT_EQ(fakes.printers.documents[0].lines().value(0), receipt.value(1));
  }
}

}  // namespace quorvalis::testing
