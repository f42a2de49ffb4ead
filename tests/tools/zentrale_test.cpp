#include <gtest/gtest.h>

#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis {

// Quoting, bad requests and climbing paths get no data; without --faults no fault can be set.
TEST(Zentrale, RefusesWhatIsNotARequestOfTheTerminal) {
  testing::ZentraleProcess zentrale({"--seed-demo"}, false);
  ASSERT_TRUE(zentrale.started());
  HttpCentralServer server({zentrale.host(), 10000});
  const QString d = "/quorvalis/DATA/";
  EXPECT_EQ(server.get(d + "searchc.cgi?DEMO01---1' OR '1'='1---1234"), "-");
  for (const char* query : {"search2.cgi?DEMO01---1---2", "addclient.cgi?DEMO01---a;b;c", "delcoupon.cgi?DEMO01---1---2",
                            "search2.cgi?NOSUCH---1---a---b---01.01.1990"})
    EXPECT_TRUE(server.get(d + query).startsWith("FEHLER: ")) << query;
  for (const QString& path : {d + "demo/../../zentrale.sqlite", d + "demo/%2E%2E/%2E%2E/zentrale.sqlite",
                              d + "unknown.cgi?x", QString("/_fault?/quorvalis=empty")})
    EXPECT_TRUE(server.get(path).contains("File Not Found")) << path.toStdString();
  EXPECT_EQ(server.get(d + "filiale.cgi?NOSUCH"), "-");  // no fault was set
}

}  // namespace quorvalis
