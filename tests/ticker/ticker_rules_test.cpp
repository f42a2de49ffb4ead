#include <gtest/gtest.h>

#include "program_folder_test.h"
#include "ticker/ticker_rules.h"

namespace quorvalis {
namespace {

TEST(TickerCleanUp, BothChainsInTheirOrder) {
  const struct {
    const char *in, *title, *entry;
  } cases[] = {
      // UTF-8 pairs read as single-byte text; only the entry chain knows all of them.
      {"GrÃ¼ÃŸe Ã¤Ã¶ CafÃ©", "Grüße äö Café", "Grüße äö Café"},
      {"Ãœber FranÃ§ais", "Ãœber FranÃ§ais", "Über Français"},
      {"Marke â„¢ [mehr]", "Marke    ", "Marke    "},
      {"<p>Absatz</p><br/>neu", "  Absatz   / neu", "  Absatz   / neu"},
      {"<strong>fett</strong>", "  fett  ", "  fett  "},
      {"a\r\nb\nc", "a b\nc", "a b\nc"},
      {"A%20B %2", "A B %2", "A B %2"},
      // Only these: other markup and entities stay.
      {"<a href=\"x\">Link</a> &amp;", "<a href=\"x\" Link</a  &amp;", "<a href=\"x\" Link</a  &amp;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cleanTitle(QString::fromUtf8(c.in)), QString::fromUtf8(c.title)) << c.in;
    EXPECT_EQ(cleanEntry(QString::fromUtf8(c.in)), QString::fromUtf8(c.entry)) << c.in;
  }
}

class TickerSettingsTest : public testing::ProgramFolderTest {};

TEST_F(TickerSettingsTest, FeedTableFromTheSettingsFile) {
  writeBytes("rss.ini",
             "[rss]\r\nmain=2\r\nitems=1\r\nspeed=3.5\r\n1=http://a.example/feed.xml;1\r\n"
             "2=http://b.example/rss|0\r\n3=\r\n5=http://c.example/x 7\r\n10=ab\r\n");
  const TickerSettings s = readTickerSettings("demo");
  EXPECT_EQ(QList<double>({s.main, s.items, s.speed}), QList<double>({2, 1, 3.5}));
  const struct {
    size_t feed;
    const char* url;
    double flag;
  } feeds[] = {{0, "/quorvalis/DATA/demo/rss.xml", 1}, {1, "http://a.example/feed.xml", 1},
               {2, "http://b.example/rss", 0}, {3, "", 0}, {4, "", 0},
               {5, "http://c.example/x", 7}, {10, "", 0}};
  for (const auto& f : feeds) {
    EXPECT_EQ(s.feeds[f.feed].url, f.url) << f.feed;
    EXPECT_EQ(s.feeds[f.feed].flag, f.flag) << f.feed;
  }
  writeBytes("rss.ini", "");  // nothing set: the branch feed alone, the defaults
  const TickerSettings none = readTickerSettings("demo");
  EXPECT_EQ(QList<double>({none.main, none.items, none.speed}), QList<double>({0, 3, 2}));
  for (size_t i = 1; i <= 10; ++i) EXPECT_TRUE(none.feeds[i].url.isEmpty()) << i;
}

TEST(TickerEntries, TextAndDateCorner) {
  const QStringList lines{" *** Erste",          " - mit <img src=x> Bild", " - Mo, 01 Dez 2026",
                          " *** Zweite%20Zeile", " - Beschreibung",         " - ",
                          " *** Ãœber",           " - FranÃ§ais",            " - "};
  const struct {
    int k;
    double flag;
    const char *text, *date;
  } cases[] = {
      {0, 1, " *** Erste *** ", " - Mo, 01 Dez 2026 - "},  // an image: headline only
      {3, 1, " *** Zweite Zeile - Beschreibung *** ", ""},  // no date: empty corner
      {3, 0, " *** Zweite Zeile *** ", ""},
      {3, 2, "vorher", ""},  // any other flag keeps the text
      {6, 1, " *** Über - Français *** ", ""},  // cleaned by the entry chain
  };
  for (const auto& c : cases) {
    EXPECT_EQ(entryText(lines, c.k, c.flag, "vorher"), QString::fromUtf8(c.text)) << c.k << "/" << c.flag;
    EXPECT_EQ(entryDate(lines, c.k), c.date) << c.k;
  }
}

TEST(TickerFeeds, WalkOfTheDocument) {
  const ParsedFeed feed = parseFeed(
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss><channel><title>Bar \xfc</title>"
      "<item><title>Eins</title><pubDate>heute</pubDate></item></channel></rss>");
  EXPECT_TRUE(feed.loaded);
  EXPECT_EQ(feed.channelTitle, "Bar ü");
  EXPECT_EQ(feed.lines, (QStringList{" *** ", " - ", " - ", " *** Eins", " - ", " - heute"}));
  const QByteArray bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<rss><channel><title>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</title></channel></rss>";
  for (const QByteArray& broken : {bomb, QByteArray("<rss/>"), QByteArray("<rss><channel>"), QByteArray()})
    EXPECT_FALSE(parseFeed(broken).loaded) << broken.left(40).constData();
}

}  // namespace
}  // namespace quorvalis
