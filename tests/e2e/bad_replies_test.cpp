#include <QElapsedTimer>

#include "demo_branch.h"

namespace quorvalis::testing {
namespace {

// Requests of the screens answered badly on purpose by zentrale: what the person sees, that no
// file is written from a failed reply, and that no wait outlasts the timeout (1 s).
class BadRepliesE2E : public DemoBranchTest<RecordingPrinterSystem, 1000> {
 public:  // the table points at the flows
  QString band() {
    MainScreen screen(services, state, "DEMO01");
    screen.timer2Tick();
    return desktop.ended ? "beendet" : label(screen, "quorvalName") + " / " + label(screen, "quorvalStatus");
  }
  QString guest() {  // a guest of its own each time
    return registerGuest({"Lena", QStringLiteral("Probe") + QChar(u'a' + ++guests), "0172", QString::number(5550100 + guests),
                          "07", "03", "1970"});
  }
  QString redeem() {
    const QString seen = coupon("1234", true);
    return seen + QStringLiteral(" / %1 logged, %2 printed").arg(readBytes("coupons.ini").count('\n')).arg(printers.documents.size());
  }
  QString feed() {
    HttpFeedSource feeds({zentrale.host(), 1000});
    TickerScreen ticker(state, feeds, [] { return false; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ticker.entries().isEmpty(); }, 5000));
    return ticker.entries().value(0);
  }
  int guests = 0;
};

TEST_F(BadRepliesE2E, EachScreenWithEveryKindOfBadReply) {
  using E = BadRepliesE2E;
  const QString sms = guest_texts::kSmsFailed;
  const struct {
    const char* path;
    QString (E::*flow)();
    QString failed, notFound = {}, garbage = {};  // seen for no answer; for the not-found page, meaningless bytes
  } rows[] = {
      // Only the not-found page for both files ends the program; otherwise the old file serves on.
      {"/quorvalis/DATA/demo/filial", &E::band, "Demo Filiale / Server OK", "beendet"},
      {"/quorvalis/DATA/search2.cgi", &E::guest, guest_texts::kNoDatabase},
      // The last gateway's reply is shown, whatever it is.
      {"/gate", &E::guest, sms + "no", sms + "<html><body><h1>404 File Not Found</h1></body></html>",
       sms + fromCp1252(QByteArray("\x01\xfe\x00\xff\x7f\x80\x1b[2J\xc3\x28", 12))},
      {"/quorvalis/DATA/delcoupon.cgi", &E::redeem,
       QString::fromUtf8("FEHLER / Der Gutschein konnte nicht gelöscht werden. Nicht einlösen ! / 0 logged, 0 printed")},
      {"/quorvalis/DATA/demo/rss.xml", &E::feed, offlineLines(0).value(0)},
  };
  const QByteArray config = readBytes("filialini.ini");
  for (const auto& r : rows) {
    for (const QString kind : {"empty", "notfound", "error500", "garbage", "huge", "silent", "cut", "redirect"}) {
      const std::string where = r.path + (" / " + kind.toStdString());
      ASSERT_EQ(server.get("/_fault?" + QString(r.path) + "=" + kind), "OK");
      desktop.ended = 0;
      QElapsedTimer took;
      took.start();
      const QString other = kind == "notfound" ? r.notFound : kind == "garbage" ? r.garbage : QString();
      EXPECT_EQ((this->*r.flow)(), other.isEmpty() ? r.failed : other) << where;
      EXPECT_LT(took.elapsed(), 4000) << where;
      EXPECT_EQ(readBytes("filialini.ini"), desktop.ended ? QByteArray() : config) << where;
      writeBytes("filialini.ini", config);
      ASSERT_EQ(server.get("/_fault/clear"), "OK");
    }
  }
}

}  // namespace
}  // namespace quorvalis::testing
