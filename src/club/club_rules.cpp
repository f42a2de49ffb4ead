#include "club/club_rules.h"

#include <QRegularExpression>

#include "common/text.h"
#include "platform/program_folder.h"

namespace quorvalis {
namespace {

const QString kRule = QStringLiteral(" - --------------------------------------- - ");

QString clubFile(const QDate& date, const char* suffix) {
  return programFile(QStringLiteral("data/%1/%2%3")
                         .arg(date.month())
                         .arg(date.day())
                         .arg(QString::fromLatin1(suffix)));
}

}  // namespace

QString clubSearchPath(const QString& branchId, const QString& number) {
  return QStringLiteral("/quorvalis/DATA/clubsearch.cgi?") + branchId + QStringLiteral("---") + number;
}

ClubReply parseClubReply(const QString& reply) {
  static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
  const QString line = restoreBlanks(reply.section(lineEnd, 0, 0));
  ClubReply out;
  if (line == QStringLiteral("-")) {
    out.kind = ClubReply::kUnknown;
    return out;
  }
  const QStringList fields = line.split(u';');
  if (fields.size() < 4) return out;
  out.kind = ClubReply::kMember;
  out.key = fields.mid(0, 4).join(u';');
  out.name = fields[1] + u' ' + fields[2];
  return out;
}

QString recordField(const QString& record, int index) { return record.section(u';', index, index); }

QString presentRecord(const QString& key, const QDate& date) { return key + u';' + dateText(date); }

QString displayLine(const QString& record, const QTime& time, const QDate& date) {
  return recordField(record, 1) + QStringLiteral(" - ") + recordField(record, 2) + kRule +
         timeText(time) + QStringLiteral(" - ") + dateText(date) + QStringLiteral(" - ") +
         recordField(record, 0);
}

QString checkOutKey(const QString& record) {
  return recordField(record, 0) + u';' + recordField(record, 1) + u';' + recordField(record, 2) + u';';
}

QString visitLogLine(const QString& record, const QDate& date, const QTime& time) {
  return checkOutKey(record) + dateText(date) + u';' + timeText(time);
}

QStringList todaysRecords(const QStringList& lines, const QDate& today) {
  const QString date = dateText(today);
  QStringList kept;
  for (const QString& line : lines)
    if (line.size() > 11 && recordField(line, 4) == date) kept << line;
  return kept;
}

QString dayFilePath(const QDate& date) { return clubFile(date, ".ini"); }
QString visitLogPath(const QDate& date) { return clubFile(date, "t.ini"); }

}  // namespace quorvalis
