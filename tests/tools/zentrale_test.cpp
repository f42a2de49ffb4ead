#include <gtest/gtest.h>

#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis {

// What the journeys never ask: blocked numbers, unknown keys, quoting, bad requests, a gateway's
// own reply; and without --faults no fault can be switched on from outside.
TEST(Zentrale, AnswersWhatTheTerminalRarelyAsks) {
  testing::ZentraleProcess zentrale({"--seed-demo", "--gate-reply", "gate1=E042"}, false);
  ASSERT_TRUE(zentrale.started());
  HttpCentralServer server({zentrale.host(), 10000});
  const QString d = "/quorvalis/DATA/", kai = QString::fromUtf8("00491718888888;Kai \"K\";O'Brien-Müller;01.01.1980");
  const struct { QString target, reply; } steps[] = {
      {d + "filiale.cgi?NOSUCH", "-"},
      {d + "search2.cgi?DEMO01---00491510000000---X---Y---01.01.1980", "---"},
      {d + "addclient.cgi?DEMO01---" + kai + ";12345-Bar;04.12.2026;N", "OK"},
      {d + "search2.cgi?DEMO01---" + QString(kai).replace(';', "---"), "1-1-1"},
      {d + "searchc.cgi?DEMO01---00491711234567---9999", "-"},
      {d + "searchc.cgi?DEMO01---1' OR '1'='1---1234", "-"},
      {d + "delcoupon.cgi?DEMO01---00491711234567---0042---06.12.2026", "OK"},
      {d + "delcoupon.cgi?DEMO01---00491711234567---0042---06.12.2026", "FEHLER"},
      {d + "clubsearch.cgi?DEMO01---00491700000000", "-"},
      {QString::fromUtf8("/gate1/send?receiver=0049171&msg=über 5 Euro&id=demoid&pw=demopw"), "E042"},
  };
  for (const auto& s : steps) EXPECT_EQ(server.get(s.target), s.reply) << s.target.toStdString();
  for (const char* query : {"search2.cgi?DEMO01---1---2", "search2.cgi?DEMO01---1---2---3---4---5", "addclient.cgi?DEMO01",
                            "addclient.cgi?DEMO01---a;b;c", "addcoupon.cgi?DEMO01---1;2", "smssending.cgi?DEMO01---x",
                            "searchc.cgi?DEMO01---1", "delcoupon.cgi?DEMO01---1---2", "clubsearch.cgi?",
                            "search2.cgi?NOSUCH---1---a---b---01.01.1990"})
    EXPECT_TRUE(server.get(d + query).startsWith("FEHLER: ")) << query;
  // Nothing outside the two served folders, however the path climbs.
  for (const QString& path : {d + "demo/filialen/99.ini", d + "nosuch/filial.ini", d + "demo/../../zentrale.sqlite",
                              d + "demo/%2E%2E/%2E%2E/zentrale.sqlite", d + "unknown.cgi?x", QString("/elsewhere"),
                              QString("/_fault?/quorvalis=empty"), QString("/_fault/clear")})
    EXPECT_TRUE(server.get(path).contains("File Not Found")) << path.toStdString();
  EXPECT_EQ(server.get(d + "filiale.cgi?NOSUCH"), "-");  // no fault was set
}

}  // namespace quorvalis
