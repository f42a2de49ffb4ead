#include "common/text.h"

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

namespace {

// 0x80-0x9F, the only bytes where Windows-1252 is not Latin-1. The five bytes the code page
// leaves undefined map to the control of the same number, as Windows' own conversion does, so
// every byte survives a round trip.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char encodeChar(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';  // what Windows writes for a character its code page lacks
}

}  // namespace

// Our own table rather than a codec: Qt without ICU (the Windows build) has no Windows-1252.
QString fromCp1252(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char b : bytes) {
    const auto u = static_cast<unsigned char>(b);
    *out++ = QChar(u >= 0x80 && u < 0xA0 ? kHighControls[u - 0x80] : char16_t(u));
  }
  return text;
}

QByteArray toCp1252(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    // A character outside the basic plane is one character, one '?'.
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    bytes += c.isSurrogate() ? '?' : encodeChar(c.unicode());
  }
  return bytes;
}

}  // namespace quorvalis
