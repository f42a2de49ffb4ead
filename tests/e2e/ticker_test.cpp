#include "demo_branch.h"

namespace quorvalis::testing {

using TickerE2E = DemoBranchTest<>;

// The branch's feed from zentrale; a feed from elsewhere byte for byte, an oversized one as none.
TEST_F(TickerE2E, FeedsOverHttp) {
  EXPECT_EQ(strip(), "*** Demo Filiale *** | *** Willkommen in der Demo-Filiale - Heute Happy Hour ab 18 Uhr. *** ");
  RecordingHttpServer web;
  for (const QByteArray& document : {QByteArray("<rss><title>M\xfc\r\nnchen</title></rss>"), QByteArray(6 << 20, 'x')}) {
    web.answer(200, document);
    std::optional<std::optional<QByteArray>> got;
    feeds.fetch("http://" + web.host() + "/rss.xml", &web, [&](std::optional<QByteArray> d) { got = d; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 10000));
    EXPECT_EQ(got.value_or(QByteArray("no answer")), document.size() > (5 << 20) ? std::nullopt : std::optional(document));
  }
}

}  // namespace quorvalis::testing
