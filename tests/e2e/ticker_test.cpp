#include "demo_branch.h"

namespace quorvalis::testing {

using TickerE2E = DemoBranchTest<>;

// The branch's feed from the central server; a published feed (ISO-8859-1, the channel's own
// fields before the items) from elsewhere; silence and an oversized answer as no feed.
TEST_F(TickerE2E, FeedsOverHttp) {
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\n");
  HttpFeedSource feeds({zentrale.host(), 1000});
  TickerScreen ticker(state, feeds, [] { return false; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ticker.scrollText().isEmpty(); }, 10000));
  EXPECT_EQ(ticker.caption(0) + '|' + ticker.scrollText(),
            "*** Demo Filiale *** | *** Willkommen in der Demo-Filiale - Heute Happy Hour ab 18 Uhr. *** ");

  ASSERT_EQ(server.get("/_fault?/quorvalis/DATA/demo/rss.xml=silent"), "OK");
  bool done = false;
  ticker.LoadFeed([&] { done = true; });
  EXPECT_TRUE(ticker.loading());  // the strip goes on while the feed loads
  EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_EQ(ticker.entries().value(0), offlineLines(0).value(0));

  RecordingHttpServer web;
  const auto fetch = [&](const QByteArray& document) {
    web.answer(200, document);
    std::optional<QByteArray> got;
    bool answered = false;
    feeds.fetch("http://" + web.host() + "/rss.xml", &ticker, [&](std::optional<QByteArray> d) { got = d; answered = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 10000));
    return got;
  };
  EXPECT_FALSE(fetch("<rss><channel><title>" + QByteArray(6 * 1024 * 1024, 'x') + "</title></channel></rss>"));
  QFile golem(SHARED_DATA_DIR "/rss/de-golem-rss2-iso8859-1-escaped-html.xml");
  ASSERT_TRUE(golem.open(QIODevice::ReadOnly));
  const QStringList lines = parseFeed(fetch(golem.readAll()).value_or("")).lines;
  EXPECT_EQ(lines.size(), 147);
  EXPECT_EQ(entryText(lines, 27, 0, {}), " *** Anheuser Busch: US-Brauerei bestellt 40 Tesla-Trucks vor *** ");
}

}  // namespace quorvalis::testing
