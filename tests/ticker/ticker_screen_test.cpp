#include <gtest/gtest.h>

#include <QSignalSpy>

#include "fakes.h"
#include "program_folder_test.h"
#include "ticker/ticker_screen.h"

namespace quorvalis {
namespace {

const QString kOffline = " *** Diese RSS-NEWS sind zur Zeit offline. - the Channel is offline *** ";

QByteArray feed(const QStringList& titles, const QStringList& descriptions = {}) {
  QByteArray xml = "<rss><channel>";
  for (int i = 0; i < titles.size(); ++i)
    xml += "<item><title>" + titles[i].toUtf8() + "</title><description>" + descriptions.value(i, "Text").toUtf8() +
           "</description><pubDate>Mo</pubDate></item>";
  return xml + "<title>Kanal</title></channel></rss>";
}

// The strip's fetches wait until the test answers them, as a slow server would.
class TickerScreenTest : public testing::ProgramFolderTest, public FeedSource {
 protected:
  void fetch(const QString& url, QObject*, Done done) override {
    requested << url;
    pending << std::move(done);
  }
  void answer(std::optional<QByteArray> document) {
    ASSERT_FALSE(pending.isEmpty());
    pending.takeFirst()(std::move(document));
  }
  void open(const QByteArray& rss) {
    writeBytes("rss.ini", "[rss]\r\nmain=1\r\n" + rss);
    ticker = std::make_unique<TickerScreen>(state, *this, [this] { return tile; });
    ticker->show();
    QCoreApplication::processEvents();  // the first fetch starts once the strip is shown
  }
  // The channel caption, the scrolling text, the date corner and the captions' colour.
  QString strip() const {
    return ticker->caption(0) + '|' + ticker->scrollText() + '|' + ticker->caption(1) + '|' + ticker->textColour().name();
  }
  // Runs the strip until the current text has crossed it.
  void pass() {
    for (int i = 0; i < 100000 && !ticker->loading() && ticker->scroller()->x() > -ticker->scroller()->width(); ++i)
      ticker->timer1Tick();
    if (!ticker->loading()) ticker->timer1Tick();
  }

  QStringList requested;
  QList<Done> pending;
  TerminalState state = testing::bandState();
  bool tile = false;
  std::unique_ptr<TickerScreen> ticker;
};

TEST_F(TickerScreenTest, EntriesOfEachFeedInTurn) {
  QByteArray rss = "items=2\r\n";
  for (int i = 1; i <= 10; ++i) rss += QByteArray::number(i) + "=http://f" + QByteArray::number(i) + ";0\r\n";
  QStringList order{"/quorvalis/DATA/demo/rss.xml"};
  open(rss);
  answer(feed({"Eins", "Zwei", "Drei"}, {"Text", "&lt;img src=\"x\"&gt;Bild"}));
  EXPECT_EQ(strip(), "*** Kanal *** | *** Eins - Text *** | - Mo - |#ffff00");
  pass();
  EXPECT_EQ(ticker->scrollText(), " *** Zwei *** ");  // an image: headline only
  for (int i = 1; i <= 10; ++i) {  // two entries at most, then the next feed, with headlines only
    pass();
    order << "http://f" + QString::number(i);
    answer(feed({"Nr" + QString::number(i)}));
    EXPECT_EQ(ticker->scrollText(), " *** Nr" + QString::number(i) + " *** ");
  }
  // After feed 10 comes feed 1 as the settings now say; without feed 2, the branch feed again.
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\n1=http://neu;0\r\n");
  pass();
  answer(feed({"Neu"}));
  pass();
  EXPECT_EQ(requested, order << "http://neu" << "/quorvalis/DATA/demo/rss.xml");
}

// Failed or empty feeds scroll the offline entries, white until one loads; an empty one is passed over once.
TEST_F(TickerScreenTest, OfflineAndEmptyFeeds) {
  open("1=http://a;1\r\n2=http://b;1\r\n");
  answer(std::nullopt);
  EXPECT_EQ(strip(), "NEWS konnten nicht geladen werden.|" + kOffline + "| - No. 0 - |#ffffff");
  pass();
  for (const char* empty : {"<feed><title>Atom</title><entry><title>x</title></entry></feed>", "<rss><channel/></rss>"})
    answer(QByteArray(empty));
  EXPECT_EQ(strip(), "***  *** |" + kOffline + "| - No. 2 - |#ffff00");
  pass();
  EXPECT_EQ(requested, (QStringList{"/quorvalis/DATA/demo/rss.xml", "http://a", "http://b", "/quorvalis/DATA/demo/rss.xml"}));
}

TEST_F(TickerScreenTest, ShowHideAndClose) {
  open("items=1\r\n");
  QSignalSpy unloaded(ticker.get(), &TickerScreen::unloaded);
  const auto step = [&](const char* what, std::optional<QByteArray> document, const char* seen) {
    answer(std::move(document));
    EXPECT_EQ(QString(ticker->isVisible() ? "shown" : "hidden") + QString(", unloaded").repeated(unloaded.size()), seen) << what;
    if (!ticker->loading()) pass();
  };
  step("first load", feed({"A"}), "shown");
  ticker->picScrollParent_DblClick();
  step("hidden by a double-click, same headline", feed({"A"}), "hidden");
  step("new headline", feed({"B"}), "shown");
  tile = true;
  step("band is a tile", feed({"B"}), "hidden");
  tile = false;
  writeBytes("rss.ini", "[rss]\r\nmain=0\r\nitems=1\r\n");
  step("switched off, offline", std::nullopt, "hidden");
  step("switched off, loaded", feed({"C"}), "hidden, unloaded");
}

}  // namespace
}  // namespace quorvalis
