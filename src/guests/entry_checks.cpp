#include "guests/entry_checks.h"

#include "common/text.h"

namespace quorvalis {
namespace {

// One left-to-right pass that does not look at what it produced, like the branch PCs' Replace.
QString replaceOnce(const QString& s, int blanks) {
  return QString(s).replace(QString(blanks, u' '), QStringLiteral(" "));
}

bool nameCharactersOnly(const QString& s) {
  for (QChar c : s)
    if (!c.isLetter() && c != u' ' && c != u'-' && c != u'\'' && c != u'.') return false;
  return true;
}

bool digitsOnly(const QString& s) {
  for (QChar c : s)
    if (c < u'0' || c > u'9') return false;
  return true;
}

bool checkName(QString& name) {
  // "---" separates the values of a request: a name holding it would shift the fields.
  bool failed = name.size() < 3 || !nameCharactersOnly(name) || name.contains(QStringLiteral("---"));
  if (name.contains(u' ')) {
    name.replace(u' ', u'-');
    for (int i = 0; i < 10 && name.endsWith(u'-'); ++i) name.chop(1);
  }
  return failed;
}

}  // namespace

QString tidyName(const QString& name) {
  QString s = name;
  s.replace(u'-', u' ').replace(u'_', u' ');
  s = replaceOnce(replaceOnce(replaceOnce(s, 2), 3), 4);
  if (s.isEmpty()) return s;
  s[0] = s[0].toUpper();
  for (qsizetype p = 0; p + 1 < s.size(); ++p) {
    if (s[p] == u'\r' && p + 2 < s.size() && s[p + 1] == u'\n') s[p + 2] = s[p + 2].toUpper();
    if (s[p] == u' ' && p + 1 < s.size()) s[p + 1] = s[p + 1].toUpper();
  }
  return s;
}

std::array<bool, kGuestFields> checkEntries(GuestFields& f, int currentYear) {
  std::array<bool, kGuestFields> failed{};
  failed[0] = checkName(f[0]);
  failed[1] = checkName(f[1]);
  failed[2] = f[2].size() != 4 || !f[2].startsWith(QStringLiteral("01"));
  failed[3] = f[3].size() < 6;
  const double day = readNumber(f[4]), month = readNumber(f[5]), year = readNumber(f[6]);
  failed[4] = day > 31 || day < 1;
  failed[5] = month > 12 || month < 1;
  failed[6] = year > currentYear - 18 || year < 1900;
  for (int i = 2; i < kGuestFields; ++i)
    if (!digitsOnly(f[static_cast<size_t>(i)])) failed[static_cast<size_t>(i)] = true;
  return failed;
}

}  // namespace quorvalis
