#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "demo_branch.h"
#include "platform/widgets.h"
#include "recording_http_server.h"
#include "shell/main_screen.h"
#include "ticker/ticker_screen.h"

namespace quorvalis {
namespace {

const QString kOffline = " *** Diese RSS-NEWS sind zur Zeit offline.";

// Holds back the strip's own first fetch, so the test runs LoadFeed by itself.
class FirstFetchHeld : public FeedSource {
 public:
  explicit FirstFetchHeld(FeedSource& real) : real_(real) {}
  void fetch(const QString& url, QObject* context, Done done) override {
    if (held_++ > 0) real_.fetch(url, context, std::move(done));
  }

 private:
  FeedSource& real_;
  int held_ = 0;
};

class TickerE2E : public testing::ProgramFolderTest {
 protected:
  // The strip against a loopback server, with only the branch feed configured.
  std::unique_ptr<TickerScreen> strip(FeedSource& source) {
    writeBytes("rss.ini", "[rss]\r\nmain=1\r\n");
    auto ticker = std::make_unique<TickerScreen>(state, source, [] { return false; });
    ticker->show();
    QCoreApplication::processEvents();  // its own first fetch starts
    return ticker;
  }
  QStringList loadFeed(TickerScreen& ticker) {
    bool done = false;
    ticker.LoadFeed([&] { done = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    return ticker.entries();
  }

  testing::RecordingHttpServer server;
  HttpFeedSource http{{server.host(), 1000}};
  FirstFetchHeld held{http};
  TerminalState state = testing::bandState();
};

TEST_F(TickerE2E, PublishedFeedsThroughLoadFeed) {
  const QString folder = QStringLiteral(SHARED_DATA_DIR) + "/rss";
  if (!QDir(folder).exists()) GTEST_SKIP() << "no published feeds in " << folder.toStdString();
  const struct {
    const char* file;
    int lines;
    int firstItem;  // channel children before the first item
    const char* headline;  // the first item's headline, cleaned as it scrolls
  } cases[] = {
      {"de-golem-rss2-iso8859-1-escaped-html.xml", 147, 9, " *** Anheuser Busch: US-Brauerei bestellt 40 Tesla-Trucks vor"},
      {"de-anime2you-rss2-utf8-cdata-wordpress.xml", 99, 8, " *** Geschichte von »Jujutsu Kaisen« nähert sich dem Ende"},
      {"de-appspodcast-rss2-utf8-cdata-strong-single-line.xml", 72, 14, " *** Appspodcast #102 - Still Alive"},
      {"de-dradio-kommentar-rss2-iso8859-1-stylesheet-pi.xml", 132, 14, " *** Kommentar: Russland verschärft Versammlungsrecht"},
      {"de-brf-nachrichten-rss2-utf8-413-items.xml", 1287, 16, " *** Nachrichten: Nachrichten von 18h00"},
      {"de-schockwellenreiter-rss092-iso8859-1-cr-lineends.xml", 21, 6, " *** Päuschen (auf der Rixdorfer Bühne)"},
      {"de-prolinux-rss091-iso8859-1-doctype.xml", 24, 5, " *** Mainsoft und IBM wollen Portierung auf Linux unterstützen"},
      {"de-sueddeutsche-rss2-iso8859-1-empty-description.xml", 33, 8, " *** Special: Der 5er.Pack"},
      {"de-spiegel-update-rss2-utf8-podcast-html-entities-in-cdata.xml", 60, 19,
       " *** 07.02. – die Wochenvorschau: Lockdown-Verlängerung, Kriegsverbrecher vor Gericht, Super Bowl, Karneval "},
      // No channel children under the walk: no lines at all.
      {"de-heise-developer-atom-utf8.xml", 0, 0, ""},
      // Malformed: the offline entries.
      {"de-hawk-wordpress-rss2-malformed-undefined-entity.xml", 3, 0, " *** Diese RSS-NEWS sind zur Zeit offline."},
      {"de-3sat-rss2-malformed-bom-raw-ampersand.xml", 3, 0, " *** Diese RSS-NEWS sind zur Zeit offline."},
  };
  auto ticker = strip(held);
  for (const auto& c : cases) {
    QFile file(folder + "/" + c.file);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    server.answer(200, file.readAll());
    const QStringList lines = loadFeed(*ticker);
    EXPECT_EQ(lines.size(), c.lines) << c.file;
    EXPECT_EQ(cleanEntry(lines.value(3 * c.firstItem)).toStdString(), c.headline) << c.file;
  }
}

TEST_F(TickerE2E, SilentOrOversizedFeedServerIsOfflineAndTheBandTakesTouches) {
  testing::FakeServices fakes;
  MainScreen band(fakes.services, state, "B");
  int settingsOpened = 0;
  band.screens.settings = [&](bool) { ++settingsOpened; };
  band.show();
  server.neverAnswer();
  auto ticker = strip(http);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticker->loading(); }, 2000));
  QTest::mouseClick(band.findChild<ClickLabel*>("Picture2"), Qt::LeftButton);
  EXPECT_EQ(settingsOpened, 1);
  EXPECT_TRUE(ticker->loading());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !ticker->loading(); }, 10000));
  EXPECT_EQ(ticker->entries().value(0), kOffline);

  server.answer(200, "<rss><channel><title>" + QByteArray(6 * 1024 * 1024, 'x') + "</title></channel></rss>");
  EXPECT_EQ(loadFeed(*ticker).value(0), kOffline);
}

TEST_F(TickerE2E, DemoBranchFeedFromTheCentralServer) {
  testing::ZentraleProcess zentrale;
  ASSERT_TRUE(zentrale.started());
  HttpFeedSource fromZentrale({zentrale.host(), 10000});
  auto ticker = strip(fromZentrale);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ticker->scrollText().isEmpty(); }, 10000));
  EXPECT_EQ(ticker->caption(0), "*** Demo Filiale *** ");
  EXPECT_EQ(ticker->scrollText(), " *** Willkommen in der Demo-Filiale - Heute Happy Hour ab 18 Uhr. *** ");
  EXPECT_EQ(ticker->entries().size(), 12);
}

}  // namespace
}  // namespace quorvalis
