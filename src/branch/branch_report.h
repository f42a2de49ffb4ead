// The branch report of redeemed coupons: built from the redemption log, printed, reset.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quorvalis {

// The log's lines of three characters or more, in file order.
QStringList reportRecords(const QByteArray& log);

// The report as the list shows it; "since" is the last reset date ("---" when never reset).
QStringList reportLines(const QStringList& records, const QString& branchName,
                        const QString& since, const QDate& today);

// A number as a German branch PC writes it: decimal comma, no grouping.
QString germanNumber(double value);

// Where a reset puts the log: data/berichte/coupons_<yyyyMMdd_HHmmss>.ini in the program folder.
QString archivedLogPath(const QDateTime& at);

}  // namespace quorvalis
