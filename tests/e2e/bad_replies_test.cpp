#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "club/club_screen.h"
#include "common/text.h"
#include "coupons/coupon_screen.h"
#include "demo_branch.h"
#include "guests/new_guest_screen.h"
#include "shell/main_screen.h"
#include "ticker/ticker_screen.h"

namespace quorvalis {
namespace {

// Every request the flows make, answered badly on purpose by zentrale: what the person sees,
// and that no file is written from a failed reply and no wait outlasts the timeout (1 s).
class BadRepliesE2E : public testing::DemoBranchTest<testing::RecordingPrinterSystem> {
 protected:
  void fault(const QString& path, const QString& kind) {
    ASSERT_EQ(server.get(kind.isEmpty() ? "/_fault/clear" : "/_fault?" + path + "=" + kind), "OK");
  }
  QString band() {
    MainScreen screen(quickServices(), state, "DEMO01");
    screen.timer2Tick();
    if (desktop.ended) return "beendet: " + dialogs.messages.value(0);
    return screen.findChild<QLabel*>("quorvalName")->text() + " / " +
           screen.findChild<QLabel*>("quorvalStatus")->text();
  }
  QString registration(int row) {
    NewGuestScreen screen(quickServices(), state);
    screen.sexPictureTouched(true);
    // A guest of its own per row: another number, name and birthday.
    const QString last = QStringLiteral("Probe") + QChar(u'a' + row % 26) + QChar(u'a' + row / 26);
    const QStringList values{"Lena", last, "0172", QString::number(5550100 + row), "07", "03",
                             QString::number(1900 + row)};
    for (int i = 0; i < values.size(); ++i)
      screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
    screen.Datapr_Click();
    return screen.findChild<QLabel*>("Label1")->text();
  }
  QString coupon(bool redeem) {
    CouponScreen screen(quickServices(), state);
    const QStringList values{"0171", "1234567", "1234"};
    for (int i = 0; i < 3; ++i) screen.findChild<QLineEdit*>(QStringLiteral("DATA_%1").arg(i))->setText(values[i]);
    screen.cmdEnterNum_Click();
    screen.Datapr_Click();
    if (!redeem) return screen.findChild<QLabel*>("Label1")->text();
    screen.guteinl_Click();
    return screen.findChild<QLabel*>("Label1")->text() + " / " + screen.findChild<QLabel*>("Label4")->text() +
           QStringLiteral(" / %1 logged, %2 printed").arg(readBytes("coupons.ini").count('\n')).arg(printers.documents.size());
  }
  QString club() {
    ClubScreen screen(quickServices(), state);
    screen.findChild<QLineEdit*>("DATA_0")->setText("0171");
    screen.findChild<QLineEdit*>("DATA_1")->setText("1234567");
    screen.cmdEnterNum_Click();
    screen.search_Click();
    return screen.findChild<QLabel*>("Hinweis")->text();
  }
  QString feed() {
    writeBytes("rss.ini", "[rss]\r\nmain=1\r\n");
    HttpFeedSource feeds({zentrale.host(), 1000});
    TickerScreen ticker(state, feeds, [] { return false; });
    bool done = false;
    ticker.LoadFeed([&] { done = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    return ticker.entries().value(0);
  }

  HttpCentralServer quick{{zentrale.host(), 1000}};
  Services quick_services_{clock, quick, reader, desktop, dialogs, printers};
  Services& quickServices() { return quick_services_; }
};

TEST_F(BadRepliesE2E, EveryRequestAnsweredBadly) {
  const QString noServer = "warte auf Internetverbindung... / Server failed";
  const QString running = "Demo Filiale / Server OK";
  const QString noCouponText = "Kein Gutschein gefunden !";
  const QString offline = " *** Diese RSS-NEWS sind zur Zeit offline.";
  const QString saveFailed = "Fehler beim speichern. Bitte überprüfen Sie die Internetverbindung.";
  const QString noDatabase = "Es ist ein Problem aufgetreten. Die Datenbank ist nicht erreichbar.";
  const QString smsFailed = "Fehler beim Versenden der SMS - Fehlercode - ";
  const QString notDeleted = "FEHLER / Der Gutschein konnte nicht gelöscht werden. Nicht einlösen ! / 0 logged, 0 printed";
  struct Row {
    const char* what;
    QString path;
    std::function<QString(int)> flow;
    QString failed;    // what the person sees for a reply that is no answer
    QString notFound;  // ... for the server's not-found page
    QString garbage;   // ... for bytes that mean nothing
  };
  const std::vector<Row> rows = {
      {"branch lookup", "/quorvalis/DATA/filiale.cgi", [&](int) { return band(); }, noServer, noServer, noServer},
      {"configuration", "/quorvalis/DATA/demo/filial", [&](int) { return band(); }, running,
       "beendet: Hinweis: Es wurde keine Filialdatei gefunden. Bitte wenden Sie sich an die Zentrale. "
       "Das Programm wird beendet.", running},
      {"update version", "/quorvalis/update/filial.ini", [&](int) { return band(); }, running, running, running},
      {"coupon lookup", "/quorvalis/DATA/searchc.cgi", [&](int) { return coupon(false); }, noCouponText,
       noCouponText, noCouponText},
      {"club search", "/quorvalis/DATA/clubsearch.cgi", [&](int) { return club(); },
       "Bitte überprüfen Sie die Internetverbindung.", "Bitte überprüfen Sie die Internetverbindung.",
       "Bitte überprüfen Sie die Internetverbindung."},
      {"feed", "/quorvalis/DATA/demo/rss.xml", [&](int) { return feed(); }, offline, offline, offline},
      {"duplicate check", "/quorvalis/DATA/search2.cgi", [&](int row) { return registration(row); },
       noDatabase, noDatabase, noDatabase},
      {"guest creation", "/quorvalis/DATA/addclient.cgi", [&](int row) { return registration(row); },
       saveFailed, saveFailed, saveFailed},
      {"coupon creation", "/quorvalis/DATA/addcoupon.cgi", [&](int row) { return registration(row); },
       saveFailed, saveFailed, saveFailed},
      {"credentials", "/quorvalis/DATA/demo/smsauth", [&](int row) { return registration(row); },
       smsFailed + "no", smsFailed + "no", smsFailed + "no"},
      // The last gateway's reply is shown, whatever it is.
      {"gateway", "/gate", [&](int row) { return registration(row); }, smsFailed + "no",
       smsFailed + "<html><body><h1>404 File Not Found</h1></body></html>",
       smsFailed + fromCp1252(QByteArray("\x01\xfe\x00\xff\x7f\x80\x1b[2J\xc3\x28", 12))},
      // The SMS went out; only the head office's count of it is missing.
      {"sending log", "/quorvalis/DATA/smssending.cgi", [&](int row) { return registration(row); },
       "Die SMS wurde erfolgreich versendet.", "Die SMS wurde erfolgreich versendet.",
       "Die SMS wurde erfolgreich versendet."},
      {"deletion", "/quorvalis/DATA/delcoupon.cgi", [&](int) { return coupon(true); }, notDeleted, notDeleted,
       notDeleted},
  };
  const QByteArray config = readBytes("filialini.ini");
  int row = 0;
  for (const Row& r : rows) {
    for (const char* kind : {"empty", "notfound", "error500", "garbage", "huge", "silent", "cut", "redirect"}) {
      ++row;
      fault(r.path, kind);
      desktop.ended = 0;
      dialogs.messages.clear();
      QElapsedTimer took;
      took.start();
      const QString seen = r.flow(row);
      const QString expected = QString(kind) == "notfound" ? r.notFound : QString(kind) == "garbage" ? r.garbage : r.failed;
      EXPECT_EQ(seen, expected) << r.what << " / " << kind;
      EXPECT_LT(took.elapsed(), 4000) << r.what << " / " << kind;
      // The configuration's not-found page for both files removes it, as it must.
      const bool removed = QString(kind) == "notfound" && QString(r.what) == "configuration";
      EXPECT_EQ(readBytes("filialini.ini"), removed ? QByteArray() : config) << r.what << " / " << kind;
      writeBytes("filialini.ini", config);
      fault({}, {});
    }
  }
}

}  // namespace
}  // namespace quorvalis
