#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <deque>

#include "fakes.h"
#include "program_folder_test.h"
#include "ticker/ticker_screen.h"

namespace quorvalis {
namespace {

// Fetches wait until the test answers them, as a slow server would.
class ScriptedFeedSource : public FeedSource {
 public:
  void fetch(const QString& url, QObject* context, Done done) override {
    requested << url;
    pending.push_back({context, std::move(done)});
  }
  void answer(std::optional<QByteArray> document) {
    ASSERT_FALSE(pending.empty());
    auto [context, done] = std::move(pending.front());
    pending.pop_front();
    if (context) done(std::move(document));
  }
  QStringList requested;
  std::deque<std::pair<QPointer<QObject>, Done>> pending;
};

QByteArray feed(const QStringList& titles, const QStringList& descriptions = {}) {
  QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel>";
  for (int i = 0; i < titles.size(); ++i)
    xml += "<item><title>" + titles[i].toUtf8() + "</title><description>" +
           descriptions.value(i, "Text").toUtf8() + "</description><pubDate>Mo</pubDate></item>";
  return xml + "<title>Kanal</title></channel></rss>";
}
const QByteArray kAtom = "<feed><title>Atom</title><entry><title>x</title></entry></feed>";

class TickerScreenTest : public testing::ProgramFolderTest {
 protected:
  void settings(const QByteArray& rss, const QByteArray& main = "1") {
    writeBytes("rss.ini", "[rss]\r\nmain=" + main + "\r\n" + rss);
  }
  TickerScreen& open() {
    ticker = std::make_unique<TickerScreen>(state, feeds, [this] { return tile; });
    ticker->show();
    QCoreApplication::processEvents();  // the first fetch starts once the strip is shown
    return *ticker;
  }
  // Runs the strip until the current text has crossed it.
  void pass() {
    for (int i = 0; i < 100000 && !ticker->loading() && ticker->scroller()->x() > -ticker->scroller()->width(); ++i)
      ticker->timer1Tick();
    if (!ticker->loading()) ticker->timer1Tick();
  }

  ScriptedFeedSource feeds;
  TerminalState state = testing::bandState();
  bool tile = false;
  std::unique_ptr<TickerScreen> ticker;
};

TEST_F(TickerScreenTest, EntriesOfAFeedThenTheNext) {
  settings("items=2\r\n1=http://a.example/rss;0\r\n");
  open();
  ASSERT_EQ(feeds.requested, QStringList{"/quorvalis/DATA/demo/rss.xml"});
  feeds.answer(feed({"Eins", "Zwei", "Drei"}, {"Text", "&lt;img src=\"x\"&gt;Bild"}));
  EXPECT_EQ(ticker->caption(0), "*** Kanal *** ");
  EXPECT_EQ(ticker->scrollText(), " *** Eins - Text *** ");
  EXPECT_EQ(ticker->caption(1), " - Mo - ");
  pass();
  EXPECT_EQ(ticker->scrollText(), " *** Zwei *** ");  // an image: headline only
  pass();  // items 2: on to feed 1, headlines only
  ASSERT_TRUE(ticker->loading());
  EXPECT_EQ(feeds.requested.last(), "http://a.example/rss");
  feeds.answer(feed({"Fremd"}));
  EXPECT_EQ(ticker->feedNumber(), 1);
  EXPECT_EQ(ticker->scrollText(), " *** Fremd *** ");
  pass();
  pass();  // feed 2 is empty: back to the branch feed
  EXPECT_EQ(feeds.requested.last(), "/quorvalis/DATA/demo/rss.xml");
  EXPECT_EQ(ticker->feedNumber(), 0);
}

TEST_F(TickerScreenTest, OfflineFeedScrollsItsEntriesAndKeepsItsColourUntilTheSecond) {
  settings("");
  open();
  feeds.answer(std::nullopt);
  EXPECT_EQ(ticker->caption(0), "NEWS konnten nicht geladen werden.");
  EXPECT_EQ(ticker->scrollText(), " *** Diese RSS-NEWS sind zur Zeit offline. - the Channel is offline *** ");
  EXPECT_EQ(ticker->caption(1), " - No. 0 - ");
  EXPECT_EQ(ticker->textColour(), QColor(Qt::white));
  pass();  // only one entry: the same feed again
  feeds.answer(feed({"A", "B"}));
  EXPECT_EQ(ticker->textColour(), QColor(255, 255, 0));
}

TEST_F(TickerScreenTest, RotationAfterFeedTenReadsTheSettingsAgain) {
  QByteArray rss = "items=1\r\n";
  for (int i = 1; i <= 10; ++i) rss += QByteArray::number(i) + "=http://f" + QByteArray::number(i) + ";0\r\n";
  settings(rss);
  open();
  for (int i = 0; i <= 10; ++i) {
    feeds.answer(feed({"Nr" + QString::number(i)}));
    EXPECT_EQ(ticker->feedNumber(), i);
    if (i == 10) settings("items=1\r\n1=http://neu;0\r\n");
    pass();
  }
  EXPECT_EQ(feeds.requested.last(), "http://neu");
  EXPECT_EQ(ticker->feedNumber(), 1);
}

TEST_F(TickerScreenTest, FeedsWithoutLinesDoNotChainLoads) {
  settings("1=http://a;1\r\n2=http://b;1\r\n");
  open();
  feeds.answer(kAtom);  // no lines: on to feed 1
  feeds.answer(kAtom);  // none again: passed over once more
  ASSERT_EQ(feeds.requested, (QStringList{"/quorvalis/DATA/demo/rss.xml", "http://a", "http://b"}));
  feeds.answer(kAtom);  // and again: its offline entries scroll instead of another load
  EXPECT_EQ(feeds.requested.size(), 3);
  EXPECT_FALSE(ticker->loading());
  EXPECT_EQ(ticker->scrollText(), " *** Diese RSS-NEWS sind zur Zeit offline. - the Channel is offline *** ");
  EXPECT_EQ(ticker->caption(1), " - No. 2 - ");
  pass();
  EXPECT_EQ(feeds.requested.last(), "/quorvalis/DATA/demo/rss.xml");
}

TEST_F(TickerScreenTest, ShowHideAndClose) {
  settings("items=1\r\n");
  open();
  QSignalSpy unloaded(ticker.get(), &TickerScreen::unloaded);
  const struct {
    const char* what;
    std::function<void()> before;
    std::optional<QByteArray> answer;
    bool visible;
    int unloads;
  } steps[] = {
      {"first load", [] {}, feed({"A"}), true, 0},
      {"hidden by a double-click, same headline", [this] { ticker->picScrollParent_DblClick(); }, feed({"A"}), false, 0},
      {"new headline", [] {}, feed({"B"}), true, 0},
      {"band is a tile", [this] { tile = true; }, feed({"B"}), false, 0},
      {"switched off, offline", [this] { tile = false; settings("items=1\r\n", "0"); }, std::nullopt, false, 0},
      {"switched off, loaded", [] {}, feed({"C"}), false, 1},
  };
  for (const auto& s : steps) {
    s.before();
    feeds.answer(s.answer);
    EXPECT_EQ(ticker->isVisible(), s.visible) << s.what;
    EXPECT_EQ(unloaded.size(), s.unloads) << s.what;
    if (!ticker->loading()) pass();
  }
}

}  // namespace
}  // namespace quorvalis
