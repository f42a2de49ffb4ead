#include "ticker/ticker_rules.h"

#include <QDomDocument>
#include <QRegularExpression>
#include <QStringDecoder>
#include <optional>

#include "common/text.h"
#include "platform/program_folder.h"
#include "settings/ini.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

using Pairs = std::initializer_list<std::pair<const char*, const char*>>;

QString replaceAll(QString text, Pairs pairs) {
  for (const auto& [from, to] : pairs) text.replace(QString::fromUtf8(from), QString::fromUtf8(to));
  return text;
}

QString child(const QDomElement& e, const char* name) {
  return e.firstChildElement(QString::fromLatin1(name)).text();
}

// The document as text by its byte-order mark or declared encoding, decoded here rather than by
// the XML reader: Qt without ICU (the Windows build) knows no Windows-1252 or Latin-1 by name.
// An encoding we cannot decode is no document.
std::optional<QString> documentText(const QByteArray& document) {
  const auto bom = QStringConverter::encodingForData(document);
  if (bom && *bom != QStringConverter::Utf8) return QStringDecoder(*bom).decode(document);
  if (bom) return QString::fromUtf8(document.mid(3));
  QByteArray name = "utf-8";
  if (document.startsWith("<?xml")) {
    const QByteArray head = document.left(document.indexOf("?>"));
    static const QRegularExpression declared(QStringLiteral("encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const auto match = declared.match(QString::fromLatin1(head));
    if (match.hasMatch()) name = match.captured(1).trimmed().toLower().toLatin1();
  }
  if (name == "windows-1252" || name == "cp1252") return fromCp1252(document);
  if (name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1" || name == "us-ascii")
    return QString::fromLatin1(document);
  QStringDecoder decoder(name.constData());
  if (!decoder.isValid()) return std::nullopt;
  QString text = decoder.decode(document);
  return decoder.hasError() ? std::nullopt : std::optional<QString>(text);
}

}  // namespace

TickerSettings readTickerSettings(const QString& branchDirectory) {
  const QString file = programFile(QString::fromLatin1(files::kRss));
  const auto number = [&](const char* key, const char* def) {
    return readNumber(IniRead(file, QStringLiteral("rss"), QString::fromLatin1(key), QString::fromLatin1(def)));
  };
  TickerSettings s;
  s.main = number("main", "0");
  s.items = number("items", "3");
  s.speed = number("speed", "2");
  s.description = number("description", "0");
  s.feeds[0] = {QStringLiteral("/quorvalis/DATA/") + branchDirectory + QStringLiteral("/rss.xml"), 1};
  for (int i = 1; i <= 10; ++i) {
    const QString value = IniRead(file, QStringLiteral("rss"), QString::number(i), QString());
    if (value.isEmpty()) continue;
    s.feeds[static_cast<size_t>(i)] = {value.left(std::max<qsizetype>(0, value.size() - 2)),
                                       readNumber(value.right(1))};
  }
  return s;
}

ParsedFeed parseFeed(const QByteArray& document) {
  ParsedFeed feed;
  const std::optional<QString> text = documentText(document);
  QDomDocument dom;
  if (!text || !dom.setContent(*text)) return feed;
  const QDomElement channel = dom.documentElement().firstChildElement();
  if (channel.isNull()) return feed;
  feed.loaded = true;
  feed.channelTitle = child(channel, "title");
  for (QDomElement e = channel.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
    feed.lines << QStringLiteral(" *** ") + child(e, "title")
               << QStringLiteral(" - ") + child(e, "description")
               << QStringLiteral(" - ") + child(e, "pubDate");
  return feed;
}

QStringList offlineLines(int feedNumber) {
  return {QStringLiteral(" *** Diese RSS-NEWS sind zur Zeit offline."),
          QStringLiteral(" - the Channel is offline"), QStringLiteral(" - No. %1").arg(feedNumber)};
}

QString cleanTitle(QString text) {
  return replaceAll(std::move(text),
                    {{"Ã¼", "ü"}, {"Ã©", "é"}, {"Ã¤", "ä"}, {"Ã¶", "ö"}, {"ÃŸ", "ß"},
                     {"<br", " "}, {">", " "}, {"[mehr]", " "}, {"\r\n", " "}, {"â„¢", " "},
                     {"<p", " "}, {"</p", " "}, {"<strong", " "}, {"</strong", " "}, {"%20", " "}});
}

QString cleanEntry(QString text) {
  return replaceAll(std::move(text),
                    {{"Ã¼", "ü"}, {"Ã©", "é"}, {"Ã¤", "ä"}, {"Ã¶", "ö"}, {"ÃŸ", "ß"}, {"Ãœ", "Ü"},
                     {"<br", " "}, {">", " "}, {"<p", " "}, {"</p", " "}, {"<strong", " "},
                     {"</strong", " "}, {"[mehr]", " "}, {"\r\n", " "}, {"%20", " "},
                     {"â„¢", " "}, {"Ã§", "ç"}});
}

QString entryText(const QStringList& lines, int k, double flag, const QString& previous) {
  const QString headline = lines.value(k) + QStringLiteral(" *** ");
  QString text = previous;
  if (flag == 0) text = headline;
  else if (flag == 1) text = lines.value(k) + lines.value(k + 1) + QStringLiteral(" *** ");
  if (text.contains(QStringLiteral("<img"))) text = headline;
  return cleanEntry(text);
}

QString entryDate(const QStringList& lines, int k) {
  const QString date = lines.value(k + 2);
  return date == QStringLiteral(" - ") ? QString() : date + QStringLiteral(" - ");
}

}  // namespace quorvalis
