#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include "program_folder_test.h"
#include "screen_test.h"
#include "ticker/ticker_rules.h"
#include "ticker/ticker_screen.h"

namespace quorvalis::testing {

TEST(TickerCleanUp, BothChainsInTheirOrder) {
  const struct { const char *in, *title, *entry; } cases[] = {
      // UTF-8 pairs read as single-byte text; only the entry chain knows all of them.
      {"GrÃ¼ÃŸe Ã¤Ã¶ CafÃ©", "Grüße äö Café", "Grüße äö Café"},
      {"Ãœber FranÃ§ais", "Ãœber FranÃ§ais", "Über Français"}, {"Marke â„¢ [mehr]", "Marke    ", "Marke    "},
      {"<p>Absatz</p><br/>neu", "  Absatz   / neu", "  Absatz   / neu"},
      {"<strong>fett</strong>", "  fett  ", "  fett  "}, {"a\r\nb\nc", "a b\nc", "a b\nc"},
      {"A%20B %2", "A B %2", "A B %2"},
      {"<a href=\"x\">Link</a> &amp;", "<a href=\"x\" Link</a  &amp;", "<a href=\"x\" Link</a  &amp;"},  // no more
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cleanTitle(QString::fromUtf8(c.in)), QString::fromUtf8(c.title)) << c.in;
    EXPECT_EQ(cleanEntry(QString::fromUtf8(c.in)), QString::fromUtf8(c.entry)) << c.in;
  }
}

using TickerSettingsTest = testing::ProgramFolderTest;

TEST_F(TickerSettingsTest, FeedTableFromTheSettingsFile) {
  const auto read = [this](const QByteArray& ini) {
    writeBytes("rss.ini", ini);
    const TickerSettings s = readTickerSettings("demo");
    QString seen = QStringLiteral("%1 %2 %3").arg(s.main).arg(s.items).arg(s.speed);
    for (const FeedEntry& f : s.feeds) seen += '|' + f.url + ' ' + QString::number(f.flag);
    return seen;
  };
  EXPECT_EQ(read("[rss]\r\nmain=2\r\nitems=1\r\nspeed=3.5\r\n1=http://a.example/feed.xml;1\r\n"
                 "2=http://b.example/rss|0\r\n3=\r\n5=http://c.example/x 7\r\n10=ab\r\n"),
            "2 1 3.5|/quorvalis/DATA/demo/rss.xml 1|http://a.example/feed.xml 1|http://b.example/rss 0| 0| 0|"
            "http://c.example/x 7| 0| 0| 0| 0| 0");
  EXPECT_EQ(read(""), "0 3 2|/quorvalis/DATA/demo/rss.xml 1| 0| 0| 0| 0| 0| 0| 0| 0| 0| 0");  // the defaults
}

TEST(TickerEntries, TextAndDateCorner) {
  const QStringList lines{" *** Erste", " - mit <img src=x> Bild", " - Mo, 01 Dez 2026", " *** Zweite%20Zeile",
                          " - Beschreibung", " - ", " *** Ãœber", " - FranÃ§ais", " - "};
  const struct { int k; double flag; const char *text, *date; } cases[] = {
      {0, 1, " *** Erste *** ", " - Mo, 01 Dez 2026 - "},  // an image: headline only
      {3, 1, " *** Zweite Zeile - Beschreibung *** ", ""},  // no date: empty corner
      {3, 0, " *** Zweite Zeile *** ", ""},
      {3, 2, "vorher", ""},                     // any other flag keeps the text
      {6, 1, " *** Über - Français *** ", ""},  // cleaned by the entry chain
  };
  for (const auto& c : cases) {
    EXPECT_EQ(entryText(lines, c.k, c.flag, "vorher"), QString::fromUtf8(c.text)) << c.k << "/" << c.flag;
    EXPECT_EQ(entryDate(lines, c.k), c.date) << c.k;
  }
}

// How many lines a document gives as a feed (-1: it is none) | the headline of its n-th channel child.
static QString parsed(const QByteArray& document, int n) {
  const ParsedFeed feed = parseFeed(document);
  return QString::number(feed.loaded ? feed.lines.size() : -1) + '|' + cleanEntry(feed.lines.value(3 * n));
}

// Small documents of our own for what published feeds do: encodings by declaration or mark,
// doubly encoded umlauts, CDATA, Atom, malformed text; broken or explosive ones are no feed.
TEST(TickerFeeds, EncodingsAndShapes) {
  // Each entity ten of the one before: a million characters in the end.
  QByteArray bomb = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e0 \"aaaaaaaaaa\">";
  for (int i = 1; i <= 5; ++i)
    bomb += "<!ENTITY e" + QByteArray::number(i) + " \"" + ("&e" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
  bomb += "]><rss><channel><title>&e5;</title></channel></rss>";
  const auto rss = [](const QByteArray& declaration, const QByteArray& title) {
    return declaration + "<rss version=\"2.0\"><channel><title>K</title><item><title>" + title +
           "</title><description>d</description><pubDate>p</pubDate></item></channel></rss>";
  };
  const QByteArray cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>";
  const QByteArray latin1 = "<?xml version='1.0' encoding='ISO-8859-1' ?>";
  const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  const QByteArray utf16 = QByteArray("\xFF\xFE") + [&] {
    const QString text = QString::fromUtf8(rss("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "Grüße"));
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  }();
  const struct { const char* what; QByteArray document; int lines; const char* headline; } cases[] = {
      {"windows-1252", rss(cp1252, "\x80 5 \x84Preis\x93 \xFC"), 6, " *** € 5 „Preis“ ü"},
      {"latin-1", rss(latin1, "Gr\xFC\xDF" "e"), 6, " *** Grüße"},
      {"utf-8 declared", rss(utf8, "Gr\xC3\xBC\xC3\x9F" "e"), 6, " *** Grüße"},
      {"utf-8 undeclared", rss("", "Gr\xC3\xBC\xC3\x9F" "e"), 6, " *** Grüße"},
      {"utf-8 mark", "\xEF\xBB\xBF" + rss(utf8, "\xC3\xA4"), 6, " *** ä"},
      {"utf-16 mark", utf16, 6, " *** Grüße"},
      {"doubly encoded", rss(utf8, "Gr\xC3\x83\xC2\xBC\xC3\x83\xC5\xB8" "e"), 6, " *** Grüße"},
      {"cdata", rss(utf8, "<![CDATA[<strong>A & B</strong>]]>"), 6, " ***   A & B  "},
      {"atom", utf8 + "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title></feed>", 0, ""},
      {"undefined entity", rss(utf8, "&nbsp;"), -1, ""}, {"raw ampersand", rss(utf8, "A & B"), -1, ""},
      {"unknown encoding", rss("<?xml version=\"1.0\" encoding=\"x-klingon\"?>", "A"), -1, ""},
      {"entity bomb", bomb, -1, ""}, {"no channel", "<rss/>", -1, ""}, {"cut", "<rss><channel>", -1, ""},
      {"empty", "", -1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(parsed(c.document, 1), QString::number(c.lines) + '|' + QString::fromUtf8(c.headline)) << c.what;
}

// Feeds as sites publish them, where the collection is beside the project; an Atom feed has no channel to walk and a malformed one is no feed.
TEST(TickerFeeds, PublishedDocuments) {
  // lines -1: not loaded; firstItem: the channel's children before the first item.
  const struct { const char* file; int lines, firstItem; const char* headline; } cases[] = {
      {"golem-rss2-iso8859-1-escaped-html", 147, 9, " *** Anheuser Busch: US-Brauerei bestellt 40 Tesla-Trucks vor"},
      {"anime2you-rss2-utf8-cdata-wordpress", 99, 8, " *** Geschichte von »Jujutsu Kaisen« nähert sich dem Ende"},
      {"appspodcast-rss2-utf8-cdata-strong-single-line", 72, 14, " *** Appspodcast #102 - Still Alive"},
      {"dradio-kommentar-rss2-iso8859-1-stylesheet-pi", 132, 14, " *** Kommentar: Russland verschärft Versammlungsrecht"},
      {"brf-nachrichten-rss2-utf8-413-items", 1287, 16, " *** Nachrichten: Nachrichten von 18h00"},
      {"schockwellenreiter-rss092-iso8859-1-cr-lineends", 21, 6, " *** Päuschen (auf der Rixdorfer Bühne)"},
      {"prolinux-rss091-iso8859-1-doctype", 24, 5, " *** Mainsoft und IBM wollen Portierung auf Linux unterstützen"},
      {"sueddeutsche-rss2-iso8859-1-empty-description", 33, 8, " *** Special: Der 5er.Pack"},
      {"spiegel-update-rss2-utf8-podcast-html-entities-in-cdata", 60, 19,
       " *** 07.02. – die Wochenvorschau: Lockdown-Verlängerung, Kriegsverbrecher vor Gericht, Super Bowl, Karneval "},
      {"heise-developer-atom-utf8", 0, 0, ""}, {"hawk-wordpress-rss2-malformed-undefined-entity", -1, 0, ""},
      {"3sat-rss2-malformed-bom-raw-ampersand", -1, 0, ""},
  };
  if (!QFile::exists(QStringLiteral(SHARED_DATA_DIR "/rss")))
    GTEST_SKIP() << "the published feeds are not beside the project (" SHARED_DATA_DIR "/rss)";
  for (const auto& c : cases) {
    QFile file(QStringLiteral(SHARED_DATA_DIR "/rss/de-%1.xml").arg(QString::fromLatin1(c.file)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    const QString expected = QString::number(c.lines) + '|' + QString::fromUtf8(c.headline);
    EXPECT_EQ(parsed(file.readAll(), c.firstItem), expected) << c.file;
  }
}

QByteArray feed(const QStringList& titles, const QStringList& descriptions = {}) {
  QByteArray xml = "<rss><channel>";
  for (int i = 0; i < titles.size(); ++i)
    xml += "<item><title>" + titles[i].toUtf8() + "</title><description>" + descriptions.value(i, "Text").toUtf8() +
           "</description><pubDate>Mo</pubDate></item>";
  return xml + "<title>Kanal</title></channel></rss>";
}

// The strip's fetches wait until the test answers them, as a slow server would.
class TickerScreenTest : public ScreenTest<TickerScreen>, public FeedSource {
 protected:
  void fetch(const QString& url, QObject*, Done done) override {
    requested << url;
    pending << std::move(done);
  }
  void answer(std::optional<QByteArray> document) {
    ASSERT_FALSE(pending.isEmpty());
    pending.takeFirst()(std::move(document));
  }
  // Runs the strip until the current text has crossed it.
  void pass() {
    for (int i = 0; i < 100000 && !screen->loading() && screen->scroller()->x() > -screen->scroller()->width(); ++i)
      screen->timer1Tick();
    if (!screen->loading()) screen->timer1Tick();
  }

  QStringList requested;
  QList<Done> pending;
};

// Two entries a feed, the feeds in turn; a double-click hides the strip until a new first
// headline; a feed without entries is passed over once.
TEST_F(TickerScreenTest, EntriesOfEachFeedInTurnHiddenByADoubleClickEmptyFeedsPassedOver) {
  QByteArray rss = "[rss]\r\nmain=1\r\nitems=2\r\n";
  for (int i = 1; i <= 10; ++i) rss += QByteArray::number(i) + "=http://f" + QByteArray::number(i) + ";0\r\n";
  QStringList order{"/quorvalis/DATA/demo/rss.xml"};
  writeBytes("rss.ini", rss);
  screen = std::make_unique<TickerScreen>(state, *this, [] { return false; });
  screen->show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return !pending.isEmpty(); }, 5000));  // the first fetch once it shows
  answer(feed({"Eins", "Zwei", "Drei"}, {"Text", "&lt;img src=\"x\"&gt;Bild"}));
  // The channel caption, the scrolling text, the date corner and the captions' colour.
  const QString strip = screen->caption(0) + '|' + screen->scrollText() + '|' + screen->caption(1);
  EXPECT_EQ(strip + '|' + screen->textColour().name(), "*** Kanal *** | *** Eins - Text *** | - Mo - |#ffff00");
  pass();
  EXPECT_EQ(screen->scrollText(), " *** Zwei *** ");  // an image: headline only
  for (int i = 1; i <= 10; ++i) {  // two entries at most, then the next feed, with headlines only
    pass();
    order << "http://f" + QString::number(i);
    answer(feed({"Nr" + QString::number(i)}));
    EXPECT_EQ(screen->scrollText(), " *** Nr" + QString::number(i) + " *** ");
  }
  // After feed 10 comes feed 1 as the settings now say; without feed 2, the branch feed again.
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\n1=http://neu;0\r\n");
  pass();
  answer(feed({"Neu"}));
  pass();
  EXPECT_EQ(requested, order << "http://neu" << "/quorvalis/DATA/demo/rss.xml");

  // A double-click hides the strip until a feed brings a new first headline.
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\nitems=1\r\n");
  QTest::mouseDClick(child("picScrollParent"), Qt::LeftButton);
  EXPECT_TRUE(screen->isHidden());
  for (const char* first : {"Eins", "Eins", "Neu eins"}) {
    answer(feed({first}));
    EXPECT_EQ(screen->isHidden(), QByteArray(first) == "Eins") << first;
    pass();
  }
  // A feed without entries is passed over once; when the next has none either, it is offline.
  writeBytes("rss.ini", "[rss]\r\nmain=1\r\nitems=1\r\n1=http://leer;0\r\n2=http://auch-leer;0\r\n");
  answer(feed({"Eins"}));
  pass();
  const QByteArray empty = "<rss><channel></channel></rss>";
  answer(empty);
  EXPECT_EQ(requested.last(), "http://auch-leer");
  answer(empty);
  EXPECT_TRUE(screen->scrollText().contains("offline")) << screen->scrollText().toStdString();
}

}  // namespace quorvalis::testing
