#include "branch/branch_report.h"

#include "common/text.h"
#include "platform/program_folder.h"

namespace quorvalis {

QStringList reportRecords(const QByteArray& log) {
  const QString text = fromCp1252(log);
  QStringList records;
  for (QStringView line : QStringView(text).split(u'\n')) {
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.size() >= 3) records << line.toString();
  }
  return records;
}

QString germanNumber(double value) { return writeNumber(value).replace(u'.', u','); }

QStringList reportLines(const QStringList& records, const QString& branchName,
                        const QString& since, const QDate& today) {
  if (records.isEmpty()) return {QString(), QStringLiteral("Keine Daten gefunden !")};
  // One pass: each record split once for its detail line and its value.
  double total = 0;
  QStringList details;
  details.reserve(records.size());
  const QString gap = QStringLiteral("  -  ");
  for (const QString& r : records) {
    const QList<QStringView> f = QStringView(r).split(u';');
    const auto field = [&](int i) { return i < f.size() ? f[i] : QStringView(); };
    total += readNumber(field(3).toString());
    QString line;
    line.reserve(r.size() + 24);
    line.append(field(0)).append(gap).append(field(1)).append(gap).append(field(2)).append(gap)
        .append(field(3)).append(QStringLiteral(" Euro"));
    details << line;
  }
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
  return lines + details;
}

QString archivedLogPath(const QDateTime& at) {
  return programFile(QStringLiteral("data/berichte/coupons_") +
                     at.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".ini"));
}

}  // namespace quorvalis
