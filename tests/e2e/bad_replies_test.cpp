#include "demo_branch.h"

namespace quorvalis::testing {

using BadRepliesE2E = DemoBranchTest<RecordingPrinterSystem, 1000>;

// Requests of the screens answered badly on purpose by zentrale: what the person sees, that no
// file is written from a failed reply, and that no wait outlasts the timeout (1 s).
TEST_F(BadRepliesE2E, EachScreenWithEveryKindOfBadReply) {
  const auto band = [this] {
    MainScreen screen(services, state, "DEMO01");
    screen.timer2Tick();
    return desktop.ended ? "beendet" : label(screen, "quorvalName") + " / " + label(screen, "quorvalStatus");
  };
  int guests = 0;
  const auto guest = [&] {  // a guest of its own each time
    return registerGuest({"Lena", QStringLiteral("Probe") + QChar(u'a' + ++guests), "0172", QString::number(5550100 + guests),
                          "07", "03", "1970"});
  };
  const QString sms = guest_texts::kSmsFailed;
  // What the person sees for no usable answer, and for the kinds where it differs.
  const struct { const char* path; std::function<QString()> flow; QString failed; QMap<QString, QString> otherwise = {}; } rows[] = {
      // Only the not-found page for both files ends the program; otherwise the old file serves on.
      {"/quorvalis/DATA/demo/filial", band, "Demo Filiale / Server OK", {{"notfound", "beendet"}}},
      {"/quorvalis/DATA/search2.cgi", guest, guest_texts::kNoDatabase},
      // The last gateway's reply is shown, whatever it is.
      {"/gate", guest, sms + "no", {{"notfound", sms + "<html><body><h1>404 File Not Found</h1></body></html>"},
                                    {"garbage", sms + fromCp1252(QByteArray("\x01\xfe\x00\xff\x7f\x80\x1b[2J\xc3\x28", 12))}}},
      {"/quorvalis/DATA/delcoupon.cgi", [this] { return coupon("1234", true); },
       QString::fromUtf8("FEHLER / Der Gutschein konnte nicht gelöscht werden. Nicht einlösen !")},
      {"/quorvalis/DATA/demo/rss.xml", [this] { return strip(); },
       "NEWS konnten nicht geladen werden.| *** Diese RSS-NEWS sind zur Zeit offline. - the Channel is offline *** "},
  };
  const QByteArray config = readBytes("filialini.ini");
  for (const auto& r : rows) {
    for (const QString kind : {"empty", "notfound", "error500", "garbage", "huge", "silent", "cut", "redirect"}) {
      SCOPED_TRACE(r.path + (" / " + kind.toStdString()));
      ASSERT_EQ(server.get("/_fault?" + QString(r.path) + "=" + kind), "OK");
      desktop.ended = 0;
      const qint64 started = QDateTime::currentMSecsSinceEpoch();
      EXPECT_EQ(r.flow(), r.otherwise.value(kind, r.failed));
      EXPECT_LT(QDateTime::currentMSecsSinceEpoch() - started, 6000);  // three gateways at most
      EXPECT_EQ(readBytes("filialini.ini"), desktop.ended ? QByteArray() : config);
      writeBytes("filialini.ini", config);
      ASSERT_EQ(server.get("/_fault/clear"), "OK");
    }
  }
}

}  // namespace quorvalis::testing
