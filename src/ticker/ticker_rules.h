// The news ticker's settings, its feed table, the walk through a feed document, the offline
// entries, the two text clean-ups and the text of one scrolling entry.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace quorvalis {

struct FeedEntry {
  QString url;      // a central-server path (feed 0) or a full address; "" = no feed
  double flag = 0;  // 1: headline with description, 0: headline only
};

struct TickerSettings {
  std::array<FeedEntry, 11> feeds;  // 0 is the branch's own feed
  double main = 0, items = 3, speed = 2, description = 0;
};

// rss.ini [rss] of the program folder; feed 0 is the branch directory's rss.xml.
TickerSettings readTickerSettings(const QString& branchDirectory);

struct ParsedFeed {
  bool loaded = false;  // a well-formed document with a first child element under its root
  QString channelTitle;
  QStringList lines;    // " *** " title, " - " description, " - " pubDate, per channel child
};
// Decoded by the document's own declaration; entity expansion is bounded by the parser.
ParsedFeed parseFeed(const QByteArray& document);

QStringList offlineLines(int feedNumber);
inline constexpr char kOfflineCaption[] = "NEWS konnten nicht geladen werden.";

// The clean-up chains, each replacement over the whole text, in their order.
QString cleanTitle(QString text);
QString cleanEntry(QString text);

// The text of the entry at line k: headline, with the description when the flag is 1; the
// previous text for any other flag; headline only when the text holds an image tag. Cleaned.
QString entryText(const QStringList& lines, int k, double flag, const QString& previous);
// The date corner: " - " + date + " - ", or "" when the entry has no date.
QString entryDate(const QStringList& lines, int k);

}  // namespace quorvalis
