#include <gtest/gtest.h>

#include "common/text.h"
#include "server/http_central_server.h"
#include "zentrale_process.h"

namespace quorvalis {
namespace {

using testing::ZentraleProcess;

class ZentraleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zentrale_ = new ZentraleProcess(); }
  static void TearDownTestSuite() { delete zentrale_; }
  void SetUp() override { ASSERT_TRUE(zentrale_->started()); }

  QString get(const QString& path) {
    HttpCentralServer server({zentrale_->host(), 10000});
    return server.get(path);
  }
  static ZentraleProcess* zentrale_;
};
ZentraleProcess* ZentraleTest::zentrale_ = nullptr;

const QString kData = QStringLiteral("/quorvalis/DATA/");

TEST_F(ZentraleTest, BranchLookup) {
  EXPECT_EQ(get(kData + "filiale.cgi?DEMO01"), "demo;Demo%20Filiale;Bar%20Nord%20Demo;12345");
  EXPECT_EQ(get(kData + "filiale.cgi?NOSUCH"), "-");
  EXPECT_EQ(get(kData + "filiale.cgi?"), "-");
}

TEST_F(ZentraleTest, ServesBranchAndUpdateFilesAndANotFoundPage) {
  EXPECT_TRUE(get(kData + "demo/filial.ini").startsWith("[clients]\r\n"));
  EXPECT_TRUE(get(kData + "demo/smsauth.ini").startsWith("demoid-demopw-http://127.0.0.1:"));
  EXPECT_EQ(get("/quorvalis/update/filial.ini"), "F106");
  for (const char* missing :
       {"demo/filialen/99.ini", "nosuch/filial.ini", "demo/../../zentrale.sqlite",
        "demo/%2E%2E/%2E%2E/zentrale.sqlite", "unknown.cgi?x"})
    EXPECT_TRUE(get(kData + missing).contains("File Not Found")) << missing;
  EXPECT_TRUE(get("/elsewhere").contains("File Not Found"));
}

TEST_F(ZentraleTest, DuplicateCheckCountsAndCreation) {
  const QString query = "DEMO01---00491719999999---Anna---Muster-Meier---07.03.1990";
  EXPECT_EQ(get(kData + "search2.cgi?" + query), "0-0-0");
  const QString record =
      "00491719999999;Anna;Muster-Meier;07.03.1990;12345-Bar Nord Demo;04.12.2026;ABWN";
  EXPECT_EQ(get(kData + "addclient.cgi?DEMO01---" + record), "OK");
  EXPECT_EQ(get(kData + "search2.cgi?" + query), "1-1-1");
  EXPECT_EQ(get(kData + "search2.cgi?DEMO01---00491710000001---Anna---Muster-Meier---01.01.1980"),
            "0-1-0");
  EXPECT_EQ(get(kData + "search2.cgi?DEMO01---00491510000000---X---Y---01.01.1980"), "---");
  const auto rows = zentrale_->query(
      "SELECT number, first, last, birthday, branch_text, created, flags FROM guests"
      " WHERE number = '00491719999999'");
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0].join(';'), record);
}

TEST_F(ZentraleTest, QuotesAndUmlautsAreStoredVerbatim) {
  const QString record = QString::fromUtf8(
      "00491718888888;Kai \"K\";O'Brien-Müller;01.01.1980;12345-Bar Nord Demo;04.12.2026;N");
  EXPECT_EQ(get(kData + "addclient.cgi?DEMO01---" + record), "OK");
  EXPECT_EQ(get(kData + "search2.cgi?DEMO01---00491718888888---Kai \"K\"---" +
                QString::fromUtf8("O'Brien-Müller") + "---01.01.1980"),
            "1-1-1");
  const auto rows = zentrale_->query("SELECT first, last FROM guests WHERE number = '00491718888888'");
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0], (QStringList{"Kai \"K\"", QString::fromUtf8("O'Brien-Müller")}));
}

TEST_F(ZentraleTest, MalformedQueriesGetAnErrorTextAndTheServerStaysUp) {
  const char* bad[] = {
      "search2.cgi?DEMO01---1---2",           "search2.cgi?DEMO01---1---2---3---4---5",
      "addclient.cgi?DEMO01---a;b;c",         "addclient.cgi?DEMO01",
      "addcoupon.cgi?DEMO01---1;2",           "smssending.cgi?DEMO01---x",
      "searchc.cgi?DEMO01---1",               "delcoupon.cgi?DEMO01---1---2",
      "clubsearch.cgi?",                      "search2.cgi?NOSUCH---1---a---b---01.01.1990",
      "searchc.cgi?DEMO01---1' OR '1'='1---1234",
  };
  for (const char* query : bad) {
    const QString reply = get(kData + query);
    EXPECT_TRUE(reply.startsWith("FEHLER") || reply == "-") << query << " -> " << reply.toStdString();
  }
  EXPECT_TRUE(zentrale_->running());
  EXPECT_EQ(get(kData + "filiale.cgi?DEMO01").left(4), "demo");
}

TEST_F(ZentraleTest, CouponLifecycle) {
  const QString number = "00491717777777";
  const QString booking = "DEMO01---" + number + ";0042;04.12.2027;Neuregistrierung;5;04.12.2026;-";
  EXPECT_EQ(get(kData + "addcoupon.cgi?" + booking), "OK");
  EXPECT_EQ(get(kData + "searchc.cgi?DEMO01---" + number + "---0042"),
            "0042;04.12.2027;Neuregistrierung;5;04.12.2026;;-;");
  EXPECT_EQ(get(kData + "searchc.cgi?DEMO01---" + number + "---9999"), "-");
  EXPECT_EQ(get(kData + "delcoupon.cgi?DEMO01---" + number + "---0042---06.12.2026"), "OK");
  EXPECT_NE(get(kData + "delcoupon.cgi?DEMO01---" + number + "---0042---06.12.2026"), "OK");
  EXPECT_EQ(get(kData + "searchc.cgi?DEMO01---" + number + "---0042").section(';', 6, 6),
            "06.12.2026");
}

TEST_F(ZentraleTest, SeededCouponsCoverEveryLookupOutcome) {
  const QString base = kData + "searchc.cgi?DEMO01---00491711234567---";
  const QStringList valid = get(base + "1234").split(';');
  ASSERT_EQ(valid.size(), 8);
  EXPECT_EQ(valid[2], QString::fromUtf8("Freigetränk%20an%20der%20Bar"));
  EXPECT_GT(parseDateText(valid[1]), QDate::currentDate());
  EXPECT_LT(parseDateText(get(base + "2345").section(';', 1, 1)), QDate::currentDate());
  EXPECT_EQ(get(base + "3456").section(';', 6, 6).size(), 10);
  EXPECT_EQ(get(base + "4567").section(';', 5, 5), QString::fromUtf8("Bar%20Süd"));
  EXPECT_EQ(get(base + "5678").section(';', 3, 3), "0");
}

TEST_F(ZentraleTest, SendingLogAndClubSearch) {
  EXPECT_EQ(get(kData + "smssending.cgi?DEMO01---04.12.2026;1;1;5;12345;Basic"), "OK");
  EXPECT_EQ(zentrale_->query("SELECT date, coupon, euro, postcode, sender FROM sms_sendings"
                             " WHERE branch = 'DEMO01'")
                .value(0)
                .join(';'),
            "04.12.2026;1;5;12345;Basic");
  EXPECT_EQ(get(kData + "clubsearch.cgi?DEMO01---00491711234567"), "00491711234567;Anna;Muster;Gold");
  EXPECT_EQ(get(kData + "clubsearch.cgi?DEMO01---00491700000000"), "-");
}

TEST_F(ZentraleTest, RequestLogHoldsTargetsByteForByte) {
  get(kData + QString::fromUtf8("search2.cgi?DEMO01---0049171---Jürgen---A B---50% 1"));
  EXPECT_EQ(zentrale_->requestLog().last(),
            "/quorvalis/DATA/search2.cgi?DEMO01---0049171---J%FCrgen---A%20B---50%25%201");
}

TEST(ZentraleGateway, StoresMessagesAndAnswersPerGate) {
  ZentraleProcess zentrale({"--seed-demo", "--gate-reply", "gate1=E042"});
  ASSERT_TRUE(zentrale.started());
  HttpCentralServer server({zentrale.host(), 10000});
  const QString query = QString::fromUtf8(
      "receiver=00491711234567&sender=Basic&msg=Hallo Anna, Gutschein 0042 über 5 Euro"
      "&id=demoid&pw=demopw&msgtype=t");
  EXPECT_EQ(server.get("/gate1/send?" + query), "E042");
  EXPECT_EQ(server.get("/gate2/send?" + query), "OK");
  const auto rows = zentrale.query("SELECT gate, receiver, msg, account, password, reply FROM sms ORDER BY id");
  ASSERT_EQ(rows.size(), 2);
  EXPECT_EQ(rows[0].join('|'),
            QString::fromUtf8("gate1|00491711234567|Hallo Anna, Gutschein 0042 über 5 Euro|demoid|demopw|E042"));
  EXPECT_EQ(rows[1][0], "gate2");
  EXPECT_EQ(rows[1][5], "OK");
}

}  // namespace
}  // namespace quorvalis
