// The club's records and files: the member look-up, the present-member records, their display
// lines, the day file and the visit log.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

namespace quorvalis {

QString clubSearchPath(const QString& branchId, const QString& number);

struct ClubReply {
  enum Kind { kNoAnswer, kUnknown, kMember };
  Kind kind = kNoAnswer;
  QString key;   // fields 1 to 4 joined with ";"
  QString name;  // field 2, a blank, field 3
};
// "-" is an unknown number; a reply of fewer than four fields counts as no answer. Only the
// first line is read, so a record never carries a line break into the day file.
ClubReply parseClubReply(const QString& reply);

// Field i (from 0) of a present-member record: number;first;second;extra;date.
QString recordField(const QString& record, int index);
QString presentRecord(const QString& key, const QDate& date);
// first - second - --------------------------------------- - time - date - number
QString displayLine(const QString& record, const QTime& time, const QDate& date);
// Fields 1 to 3, each followed by ";": what check-out looks for in the records.
QString checkOutKey(const QString& record);
// number;first;second;date;time
QString visitLogLine(const QString& record, const QDate& date, const QTime& time);
// The day file's lines that belong to today: longer than 11 characters, fifth field today.
QStringList todaysRecords(const QStringList& lines, const QDate& today);

// data/<month>/<day>.ini and data/<month>/<day>t.ini in the program folder (no leading zeros).
QString dayFilePath(const QDate& date);
QString visitLogPath(const QDate& date);

}  // namespace quorvalis
