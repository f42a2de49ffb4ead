#include "common/text.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cmath>

namespace quorvalis {

double readNumber(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
  QString number;
  if (i < n && (text[i] == u'-' || text[i] == u'+')) number += text[i++];
  bool digits = false;
  while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
    number += text[i++];
    digits = true;
  }
  if (i < n && text[i] == u'.') {
    number += text[i++];
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
      number += text[i++];
      digits = true;
    }
  }
  if (!digits) return 0.0;
  bool ok = false;
  const double value = number.toDouble(&ok);
  return ok ? value : 0.0;
}

QString writeNumber(double value) {
  if (!std::isfinite(value) || value == 0.0) return QStringLiteral("0");
  QString s = QString::number(value, 'f', 10);
  if (s.contains(u'.')) {
    while (s.endsWith(u'0')) s.chop(1);
    if (s.endsWith(u'.')) s.chop(1);
  }
  return s == QStringLiteral("-0") ? QStringLiteral("0") : s;
}

QString normaliseNumber(const QString& text) { return writeNumber(readNumber(text)); }

QString dateText(const QDate& date) { return date.toString(QStringLiteral("dd.MM.yyyy")); }

QString timeText(const QTime& time) { return time.toString(QStringLiteral("HH:mm:ss")); }

QDate parseDateText(const QString& text) {
  const QStringList parts = text.trimmed().split(u'.');
  if (parts.size() != 3) return {};
  bool okDay = false, okMonth = false, okYear = false;
  const int day = parts[0].toInt(&okDay);
  const int month = parts[1].toInt(&okMonth);
  const int year = parts[2].toInt(&okYear);
  if (!okDay || !okMonth || !okYear || parts[2].size() != 4) return {};
  return QDate(year, month, day);
}

int firstFailingMobileField(const QString& prefix, const QString& number) {
  const auto digitsOnly = [](const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
  };
  if (prefix.size() != 4 || !prefix.startsWith(QStringLiteral("01")) || !digitsOnly(prefix)) return 0;
  if (number.size() < 6 || !digitsOnly(number)) return 1;
  return -1;
}

QString internationalNumber(const QString& prefix, const QString& number) {
  return QStringLiteral("0049") + normaliseNumber(prefix) +
         (number.startsWith(u'0') ? QStringLiteral("0") : QString()) + normaliseNumber(number);
}

QString loggedNumber(const QString& prefix, const QString& number) {
  return QStringLiteral("0049") + normaliseNumber(prefix) + normaliseNumber(number);
}

QString restoreBlanks(QString text) { return text.replace(QStringLiteral("%20"), QStringLiteral(" ")); }

// Opening the converter is far dearer than converting a line, so each thread keeps one.
QString fromCp1252(const QByteArray& bytes) {
  thread_local QStringDecoder decoder("windows-1252");
  decoder.resetState();
  return decoder(bytes);
}

QByteArray toCp1252(const QString& text) {
  thread_local QStringEncoder encoder("windows-1252");
  encoder.resetState();
  return encoder(text);
}

}  // namespace quorvalis
