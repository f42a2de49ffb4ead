#include "branch/branch_report.h"

#include "common/text.h"
#include "platform/program_folder.h"

namespace quorvalis {

QStringList reportRecords(const QByteArray& log) {
  QStringList records;
  for (QString line : fromCp1252(log).split(u'\n')) {
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.size() >= 3) records << line;
  }
  return records;
}

QString germanNumber(double value) { return writeNumber(value).replace(u'.', u','); }

QStringList reportLines(const QStringList& records, const QString& branchName,
                        const QString& since, const QDate& today) {
  if (records.isEmpty()) return {QString(), QStringLiteral("Keine Daten gefunden !")};
  double total = 0;
  for (const QString& record : records) total += readNumber(record.section(u';', 3, 3));
  const QString rule(98, u'-');
  QStringList lines{QString(),
                    QStringLiteral("quorvalis -  Filialbericht  -  ") + branchName,
                    QString(),
                    QStringLiteral("Zeitraum :  ") + since + QStringLiteral("  bis  ") + dateText(today),
                    rule,
                    QString::fromUtf8("Gutscheine eingelöst :  ") + QString::number(records.size()) +
                        QString::fromUtf8(" Stück für insgesamt ") + germanNumber(total) +
                        QStringLiteral(" Euro"),
                    rule,
                    QStringLiteral("Details:")};
  const QString gap = QStringLiteral("  -  ");
  for (const QString& r : records)
    lines << r.section(u';', 0, 0) + gap + r.section(u';', 1, 1) + gap + r.section(u';', 2, 2) + gap +
                 r.section(u';', 3, 3) + QStringLiteral(" Euro");
  return lines;
}

QString archivedLogPath(const QDateTime& at) {
  return programFile(QStringLiteral("data/berichte/coupons_") +
                     at.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".ini"));
}

}  // namespace quorvalis
